#include "settings/SendLockStore.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "platform/Md5.h"
#include "platform/ProfileFile.h"

namespace orvanta {
namespace {

constexpr const char* kSection = "PJOrvantaPass";

std::string homeFolder() {
    const char* home = std::getenv("HOME");
    if (home != nullptr && *home != '\0') {
        return home;
    }
    passwd entry{};
    passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_dir != nullptr) {
        return found->pw_dir;
    }
    return {};
}

Result<> writeEntry(const std::string& path, const char* key, std::string_view value) {
    // The folder may not exist yet on a fresh account.
    const std::size_t slash = path.rfind('/');
    if (slash != std::string::npos && slash > 0) {
        std::string folder;
        for (std::size_t i = 0; i <= slash; ++i) {
            if (path[i] == '/' && !folder.empty()) {
                ::mkdir(folder.c_str(), 0700);
            }
            folder += path[i];
        }
    }
    return writeProfileString(path, kSection, key, value);
}

}  // namespace

std::string sendLockSettingsPath() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    const std::string base =
        (xdg != nullptr && xdg[0] == '/') ? std::string(xdg) : homeFolder() + "/.config";
    return base + "/TAVRIX/PJOrvanta.conf";
}

SendLockSettings readSendLockSettings(const std::string& path) {
    SendLockSettings out;
    const Result<ProfileDocument> read = loadProfileDocument(path);
    if (!read) {
        return out;
    }
    const ProfileDocument& settings = read.value();
    out.locked = settings.find(kSection, "Lock").value_or("") == "1";
    out.passDigest = settings.find(kSection, "Pass").value_or("");
    return out;
}

Result<> writeSendLocked(const std::string& path, bool locked) {
    return writeEntry(path, "Lock", locked ? "1" : "0");
}

Result<> writeSendLockDigest(const std::string& path, std::string_view digest) {
    return writeEntry(path, "Pass", digest);
}

std::string sendLockDigest(std::string_view password) {
    return md5Hex(passwordLowBytes(password));
}

bool sendLockPasswordAccepted(const SendLockSettings& settings, std::string_view typed) {
    if (settings.passDigest.empty()) {
        return typed.empty();
    }
    return sendLockDigest(typed) == settings.passDigest;
}

Result<void, PasswordProblem> changeSendLockPassword(const std::string& path,
                                                     std::string_view current,
                                                     std::string_view replacement) {
    const SendLockSettings settings = readSendLockSettings(path);
    if (!sendLockPasswordAccepted(settings, current)) {
        return fail(PasswordProblem::IncorrectPassword, "the current password does not match");
    }
    const std::string digest = sendLockDigest(replacement);
    if (digest == settings.passDigest) {
        return fail(PasswordProblem::SamePassword, "the new password is the current one");
    }
    if (Result<> written = writeSendLockDigest(path, digest); !written) {
        return fail(PasswordProblem::WriteFailed, written.error());
    }
    return {};
}

}  // namespace orvanta
