#include "platform/Environment.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <system_error>

namespace orvanta {

LanguageId languageFromLocale(const char* lcAll, const char* lcMessages, const char* lang) {
    std::string_view chosen;
    for (const char* v : {lcAll, lcMessages, lang}) {
        if (v != nullptr && *v != '\0') {
            chosen = v;
            break;
        }
    }
    if (chosen.starts_with("ja_JP") || chosen == "ja") {
        return LanguageId::Japanese;
    }
    if (chosen.starts_with("zh_CN") || chosen.starts_with("zh_SG") || chosen == "zh") {
        return LanguageId::ChineseSimplified;
    }
    return LanguageId::English;
}

LanguageId systemLanguage() {
    return languageFromLocale(std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"),
                              std::getenv("LANG"));
}

std::string executableFolder() {
    std::string buf(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size() - 1);
    if (n <= 0) {
        return "./";
    }
    buf.resize(static_cast<size_t>(n));
    const auto slash = buf.rfind('/');
    return slash == std::string::npos ? "./" : buf.substr(0, slash + 1);
}

namespace {
std::string withSlash(std::string dir) {
    if (dir.empty()) {
        return "./";
    }
    if (dir.back() != '/') {
        dir.push_back('/');
    }
    return dir;
}
}  // namespace

const char* programVersion() {
    return ORVANTA_VERSION;
}

std::string installedDataFolder(const std::string& executableFolder) {
    // Relative to the program file, so that a copy of the whole installed tree (a DESTDIR
    // install, an unpacked package) finds its own data rather than the system's.
    const std::filesystem::path data =
        (std::filesystem::path(executableFolder) / ORVANTA_DATA_FROM_BIN).lexically_normal();
    std::error_code error;
    if (executableFolder.empty() || !std::filesystem::is_directory(data, error)) {
        return {};
    }
    return withSlash(data.string());
}

std::string installedDataFolder() {
    return installedDataFolder(executableFolder());
}

ProgramFolder chooseProgramFolder(const ProgramFolderSources& sources) {
    ProgramFolder folder;
    if (!sources.option.empty() || !sources.environment.empty()) {
        folder.path = withSlash(sources.option.empty() ? sources.environment : sources.option);
        return folder;
    }
    if (sources.installedData.empty() && sources.executableFolderWritable) {
        folder.path = withSlash(sources.executableFolder);
        return folder;
    }
    folder.perUser = true;
    // Only an absolute XDG_DATA_HOME counts; a relative one is to be ignored.
    if (sources.xdgDataHome.starts_with('/')) {
        folder.path = withSlash(sources.xdgDataHome) + "orvanta/";
    } else if (!sources.home.empty()) {
        folder.path = withSlash(sources.home) + ".local/share/orvanta/";
    } else {
        // No home at all: the program file's folder is the last place left; writes there
        // fail with their own message when it is read-only.
        folder.path = withSlash(sources.executableFolder);
        folder.perUser = false;
        folder.problem = "no home folder (HOME is not set) for the user's data folder";
    }
    return folder;
}

Result<> prepareUserFolder(const std::string& folder, const std::string& installedData) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path root(folder);
    if (!fs::is_directory(root, error)) {
        fs::create_directories(root, error);
        if (error) {
            return fail("cannot create " + folder + ": " + error.message());
        }
        // LastPj.txt keeps projector passwords: the folder is the user's alone.
        fs::permissions(root, fs::perms::owner_all, error);
    }
    const fs::path messages = root / "MessageData";
    const fs::path examples = fs::path(installedData) / "MessageData";
    if (installedData.empty() || fs::exists(fs::symlink_status(messages, error)) ||
        !fs::is_directory(examples, error)) {
        return {};
    }
    // Copied under a temporary name and renamed, so that a second program starting at the
    // same moment, or a crash halfway, never leaves a half-filled MessageData/.
    const fs::path scratch = root / (".MessageData-" + std::to_string(::getpid()));
    fs::remove_all(scratch, error);
    fs::copy(examples, scratch, fs::copy_options::recursive, error);
    if (!error) {
        fs::rename(scratch, messages, error);
    }
    std::error_code ignored;
    fs::remove_all(scratch, ignored);
    if (error && !fs::exists(messages, ignored)) {
        return fail("cannot copy the example messages into " + messages.string() + ": " +
                    error.message());
    }
    return {};
}

namespace {
std::string homeFolder() {
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
        return home;
    }
    passwd entry{};
    passwd* found = nullptr;
    std::string buffer(16384, '\0');
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_dir != nullptr) {
        return found->pw_dir;
    }
    return {};
}

std::string takeProgramFolderOption(std::vector<std::string>& args) {
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--program-folder" && i + 1 < args.size()) {
            std::string chosen = args[i + 1];
            args.erase(args.begin() + static_cast<long>(i),
                       args.begin() + static_cast<long>(i) + 2);
            return chosen;
        }
        if (args[i].starts_with("--program-folder=")) {
            std::string chosen = args[i].substr(17);
            args.erase(args.begin() + static_cast<long>(i));
            return chosen;
        }
    }
    return {};
}
}  // namespace

ProgramFolder openProgramFolder(std::vector<std::string>& args, bool prepare) {
    ProgramFolderSources sources;
    sources.option = takeProgramFolderOption(args);
    if (const char* env = std::getenv("ORVANTA_PROGRAM_FOLDER"); env != nullptr) {
        sources.environment = env;
    }
    sources.executableFolder = executableFolder();
    sources.installedData = installedDataFolder(sources.executableFolder);
    sources.executableFolderWritable = ::access(sources.executableFolder.c_str(), W_OK) == 0;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg != nullptr) {
        sources.xdgDataHome = xdg;
    }
    sources.home = homeFolder();
    ProgramFolder folder = chooseProgramFolder(sources);
    if (prepare) {
        prepareProgramFolder(folder);
    }
    return folder;
}

void prepareProgramFolder(ProgramFolder& folder) {
    if (folder.perUser) {
        if (const Result<> prepared = prepareUserFolder(folder.path, installedDataFolder());
            !prepared) {
            folder.problem = prepared.error();
        }
    }
}

std::string resolveProgramFolder(std::vector<std::string>& args) {
    return openProgramFolder(args).path;
}

std::optional<int> answerHelpOrVersion(const std::vector<std::string>& args, const char* program,
                                       const char* help) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(help, stdout);
            return 0;
        }
        if (arg == "--version") {
            std::printf("%s %s\n", program, programVersion());
            return 0;
        }
        if (arg == "--program-folder") {
            ++i;  // its value may be any name, even "--help"
        }
    }
    return std::nullopt;
}

std::string resourceFolder(const std::string& programFolder, const std::string& name,
                           const std::vector<std::string>& fallbacks) {
    std::error_code error;
    const std::string own = withSlash(programFolder) + name + "/";
    if (std::filesystem::is_directory(own, error)) {
        return own;
    }
    for (const std::string& folder : fallbacks) {
        if (folder.empty()) {
            continue;
        }
        const std::string candidate = withSlash(folder) + name + "/";
        if (std::filesystem::is_directory(candidate, error)) {
            return candidate;
        }
    }
    return own;
}

std::string resourceFolder(const std::string& programFolder, const std::string& name) {
    return resourceFolder(programFolder, name, {installedDataFolder(), executableFolder()});
}

}  // namespace orvanta
