// The send lock's settings file and its password rules.

#include <gtest/gtest.h>

#include <optional>

#include <filesystem>

#include "platform/AtomicFile.h"
#include "platform/Md5.h"
#include "settings/SendLockStore.h"

using namespace orvanta;

namespace {

std::string settingsFile(const std::string& name) {
    const auto dir = std::filesystem::temp_directory_path() /
                     ("orvanta-lock-" + std::to_string(::getpid()) + "-" + name);
    std::filesystem::remove_all(dir);
    return (dir / "TAVRIX" / "PJOrvanta.conf").string();
}

}  // namespace

TEST(SendLockStore, PasswordChecksAndChangesFollowTheStoredDigest) {
    const std::string path = settingsFile("rules");
    struct Step {
        const char* action;  // "lock" checks a password, "change" changes it
        const char* current;
        const char* replacement;
        bool accepted;
        std::optional<PasswordProblem> refused;  // nothing: changed
    };
    const Step steps[] = {
        {"lock", "", "", true, {}},  // fresh installation: only the empty field
        {"lock", "x", "", false, {}},
        {"change", "x", "secret", false, PasswordProblem::IncorrectPassword},
        {"change", "", "secret", true, std::nullopt},
        {"lock", "", "", false, {}},
        {"lock", "Secret", "", false, {}},
        {"lock", "secret", "", true, {}},
        {"change", "secret", "secret", false, PasswordProblem::SamePassword},
        {"change", "secret", "", true, std::nullopt},  // back to the empty digest
        {"lock", "", "", true, {}},
    };
    for (const Step& s : steps) {
        if (std::string(s.action) == "lock") {
            EXPECT_EQ(sendLockPasswordAccepted(readSendLockSettings(path), s.current), s.accepted)
                << s.current;
        } else {
            const auto changed = changeSendLockPassword(path, s.current, s.replacement);
            EXPECT_EQ(changed.ok() ? std::nullopt : std::optional(changed.reason()), s.refused)
                << s.current << " -> " << s.replacement;
        }
    }
    EXPECT_EQ(readSendLockSettings(path).passDigest, md5Hex(""));
}

TEST(SendLockStore, DigestTakesTheLowByteOfEachCharacter) {
    EXPECT_EQ(sendLockDigest("abc"), "900150983CD24FB0D6963F7D28E17F72");
    // U+0161 and U+0061 share their low byte, so they are the same password.
    EXPECT_EQ(sendLockDigest("p\xC5\xA1ss"), sendLockDigest("pass"));
    EXPECT_NE(sendLockDigest("p\xC3\xA9ss"), sendLockDigest("pass"));
}

TEST(SendLockStore, LockIsOnlyTheTextOneAndOtherLinesSurviveWrites) {
    const std::string path = settingsFile("lock");
    EXPECT_FALSE(readSendLockSettings(path).locked);  // no file yet
    ASSERT_TRUE(writeSendLocked(path, true).ok());
    EXPECT_TRUE(readSendLockSettings(path).locked);
    ASSERT_TRUE(writeFileAtomically(path, "[General]\nother=kept\n[PJOrvantaPass]\nLock=2\n").ok());
    EXPECT_FALSE(readSendLockSettings(path).locked);
    ASSERT_TRUE(writeSendLockDigest(path, sendLockDigest("a")).ok());
    ASSERT_TRUE(writeSendLocked(path, true).ok());
    const auto textRead = readWholeFile(path);
    ASSERT_TRUE(textRead.ok());
    const std::string text = textRead.valueOr({});
    EXPECT_EQ(text,
              "[General]\nother=kept\n[PJOrvantaPass]\nLock=1\nPass=" + sendLockDigest("a") + "\n");
}
