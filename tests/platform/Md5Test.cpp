#include <gtest/gtest.h>

#include <string>

#include "platform/Md5.h"

namespace orvanta {
namespace {

TEST(Md5, KnownVectors) {
    // RFC 1321, appendix A.5, in the upper-case form the protocol writes.
    const struct {
        std::string input;
        const char* digest;
    } cases[] = {
        {"", "D41D8CD98F00B204E9800998ECF8427E"},
        {"a", "0CC175B9C0F1B6A831C399E269772661"},
        {"abc", "900150983CD24FB0D6963F7D28E17F72"},
        {"message digest", "F96B697D7CB7938D525A2F31AAF161D0"},
        {"abcdefghijklmnopqrstuvwxyz", "C3FCD3D76192E4007DFB496CCA67E13B"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57EDF4A22BE3C955AC49DA2E2107B67A"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(md5Hex(c.input), c.digest) << c.input;
    }
}

TEST(ChallengeDigest, FollowsTheGreetingAndPasswordRules) {
    const struct {
        const char* what;
        std::string greeting;
        std::string password;  // UTF-8
        std::string digestInput;
    } cases[] = {
        {"ASCII", "4F1A09C2\r\n", "secret", "4F1A09C2secret"},
        {"only 8 greeting bytes count", "4F1A09C2-and-more\r\n", "pw", "4F1A09C2pw"},
        {"empty password", "4F1A09C2\r\n", "", "4F1A09C2"},
        {"5-byte greeting ignores the password", "4F1A0", "secret", "4F1A0"},
        {"zero inside the greeting ends the input", std::string("4F1\0A09C2", 9), "pw", "4F1"},
        {"non-ASCII gives its low 8 bits", "4F1A09C2\r\n", "p\xC3\xA9\xE2\x82\xAC",
         "4F1A09C2p\xE9\xAC"},
        {"a character with zero low bits ends the input", "4F1A09C2\r\n", "a\xC4\x80z",
         "4F1A09C2a"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(challengeDigest(c.greeting, c.password), md5Hex(c.digestInput)) << c.what;
    }
}

TEST(ChallengeDigest, PasswordLowBytes) {
    EXPECT_EQ(passwordLowBytes("Abc"), "Abc");
    // U+00E9 and U+4E2D (low byte 0x2D).
    EXPECT_EQ(passwordLowBytes("\xC3\xA9\xE4\xB8\xAD"), "\xE9\x2D");
}

}  // namespace
}  // namespace orvanta
