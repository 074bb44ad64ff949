#pragma once
// Facts about where and how the program runs.

#include <optional>
#include <string>
#include <vector>

#include "platform/Result.h"

namespace orvanta {

// Interface language identifiers as the language table knows them.
enum class LanguageId : unsigned {
    English = 0x0409,
    Japanese = 0x0411,
    ChineseSimplified = 0x0804
};

// From LC_ALL, else LC_MESSAGES, else LANG (the first one set and not empty): ja_JP is
// Japanese, zh_CN is Simplified Chinese, anything else (zh_TW too) English.
LanguageId languageFromLocale(const char* lcAll, const char* lcMessages, const char* lang);
LanguageId systemLanguage();

// The folder of the running program file, with a trailing '/'.
std::string executableFolder();

// The version of the programs, e.g. "0.1.0".
const char* programVersion();

// The shared data an installed program ships (share/orvanta/ beside bin/), with a trailing
// '/'; empty when the program does not run from an installed layout.
std::string installedDataFolder(const std::string& executableFolder);
std::string installedDataFolder();

// What decides the program folder; the defaults read the process's arguments and environment.
struct ProgramFolderSources {
    std::string option;            // --program-folder DIR
    std::string environment;       // ORVANTA_PROGRAM_FOLDER
    std::string executableFolder;  // with a trailing '/'
    std::string installedData;     // installedDataFolder(executableFolder)
    bool executableFolderWritable = false;
    std::string xdgDataHome;  // XDG_DATA_HOME
    std::string home;         // HOME, else the password database
};

struct ProgramFolder {
    std::string path;      // with a trailing '/'
    bool perUser = false;  // the user's data folder of an installed program
    // Why the folder could not be made ready; empty when it is. The path is used all the
    // same (writes there fail with their own message), so this is a warning to show.
    std::string problem;
};

// Where LastPj.txt, MessageData/ and the scratch files live, without touching the disk:
// the option, else the environment variable, else the folder of the program file when that
// is writable and not an installed location (a build folder), else the user's data folder
// ($XDG_DATA_HOME/orvanta, or ~/.local/share/orvanta when XDG_DATA_HOME is unset or relative).
ProgramFolder chooseProgramFolder(const ProgramFolderSources& sources);

// Makes a per-user folder ready: creates it (private to the user, it holds passwords) and,
// when it has no MessageData/ yet, copies the example messages of `installedData` into it.
// Never overwrites what the folder already holds.
Result<> prepareUserFolder(const std::string& folder, const std::string& installedData);

// The program folder of this run: takes --program-folder DIR (or --program-folder=DIR) out of
// `args` so that the rest can be parsed as usual, chooses the folder and, with `prepare`,
// prepares it (without, nothing on disk changes; prepareProgramFolder does it later).
ProgramFolder openProgramFolder(std::vector<std::string>& args, bool prepare = true);
// Makes a per-user folder chosen without preparing it ready; sets its problem.
void prepareProgramFolder(ProgramFolder& folder);
// openProgramFolder(args).path, for callers with no way to report a problem.
std::string resolveProgramFolder(std::vector<std::string>& args);

// The lines of a program's --help that say how the program folder is chosen (a string
// literal, so that it joins the literals around it).
#define ORVANTA_PROGRAM_FOLDER_HELP                                                        \
    "  --program-folder DIR  folder holding LastPj.txt, MessageData, mfont and micon\n"    \
    "                        (default: ORVANTA_PROGRAM_FOLDER, else beside this program\n" \
    "                        when it runs from a build folder, else the user's data\n"     \
    "                        folder $XDG_DATA_HOME/orvanta or ~/.local/share/orvanta)\n"

// Answers --help (or -h) with `help` and --version with "`program` VERSION", on standard
// output, before anything else is read; the value of --program-folder is passed over, whatever
// it says. The exit status when one of them was asked for, else nothing.
std::optional<int> answerHelpOrVersion(const std::vector<std::string>& args, const char* program,
                                       const char* help);

// The folder `name` (mfont, micon) with a trailing '/': the program folder's own when it has
// one, else the first of `fallbacks` that has it, else the program folder's (which then names
// where it is missing).
std::string resourceFolder(const std::string& programFolder, const std::string& name,
                           const std::vector<std::string>& fallbacks);
// The same with the installed data and then the program file's own folder as fallbacks, so
// that a program folder chosen by hand still draws with the glyphs a build puts beside the
// programs.
std::string resourceFolder(const std::string& programFolder, const std::string& name);

}  // namespace orvanta
