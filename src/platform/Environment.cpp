#include "platform/Environment.h"

#include <unistd.h>

#include <cstdlib>
#include <string_view>

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

std::string resolveProgramFolder(std::vector<std::string>& args) {
    std::string chosen;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--program-folder" && i + 1 < args.size()) {
            chosen = args[i + 1];
            args.erase(args.begin() + static_cast<long>(i),
                       args.begin() + static_cast<long>(i) + 2);
            break;
        }
        if (args[i].starts_with("--program-folder=")) {
            chosen = args[i].substr(17);
            args.erase(args.begin() + static_cast<long>(i));
            break;
        }
    }
    if (chosen.empty()) {
        if (const char* env = std::getenv("ORVANTA_PROGRAM_FOLDER"); env != nullptr && *env) {
            chosen = env;
        }
    }
    return chosen.empty() ? executableFolder() : withSlash(chosen);
}

}  // namespace orvanta
