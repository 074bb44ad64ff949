#pragma once
// Facts about where and how the program runs.

#include <string>
#include <vector>

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

// The program folder: --program-folder DIR (or --program-folder=DIR) among the arguments,
// else ORVANTA_PROGRAM_FOLDER, else the folder of the program file; always with a trailing '/'.
// The option is removed from `args` so that the rest can be parsed as usual.
std::string resolveProgramFolder(std::vector<std::string>& args);

}  // namespace orvanta
