#pragma once
// The send lock's per-user settings: section PJOrvantaPass of
// $XDG_CONFIG_HOME/TAVRIX/PJOrvanta.conf (~/.config when XDG_CONFIG_HOME is not absolute),
// the INI file that Qt's native settings format keeps on Linux. The desktop program and the
// command line both read and write it here, so neither can disagree with the other.
//
// Entries: "Lock" ("1" locked, anything else unlocked) and "Pass" (MD5 of the lock password
// as 32 upper-case hexadecimal digits, empty when no password was set). The password itself
// is never stored. Writes keep every other line of the file and replace it atomically.

#include <string>
#include <string_view>

#include "platform/Result.h"

namespace orvanta {

struct SendLockSettings {
    bool locked = false;     // "Lock" is exactly "1"
    std::string passDigest;  // "Pass": 32 hexadecimal digits, or empty when no password is set
};

std::string sendLockSettingsPath();
// A missing or unreadable file reads as unlocked without password.
SendLockSettings readSendLockSettings(const std::string& path);
// On failure the file is as it was.
Result<> writeSendLocked(const std::string& path, bool locked);
Result<> writeSendLockDigest(const std::string& path, std::string_view digest);

// MD5 over the low 8 bits of each UTF-16 unit of the UTF-8 `password`, as "%02X" per byte.
std::string sendLockDigest(std::string_view password);

// Lock or unlock with `typed`: with no password set only an empty field is accepted,
// otherwise the digest must equal "Pass" exactly.
bool sendLockPasswordAccepted(const SendLockSettings& settings, std::string_view typed);

enum class PasswordProblem {
    IncorrectPassword,  // the current password does not match
    SamePassword,       // the new password's digest equals the stored one
    WriteFailed,        // the settings file could not be replaced; the error text says why
};
// "Change Password": checks `current`, refuses a new password equal to the stored one and
// writes the new digest (an empty new password stores the digest of the empty input).
Result<void, PasswordProblem> changeSendLockPassword(const std::string& path,
                                                     std::string_view current,
                                                     std::string_view replacement);

}  // namespace orvanta
