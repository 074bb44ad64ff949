#include <gtest/gtest.h>

#include <array>
#include <string>

#include "protocol/CommandExchange.h"
#include "text/LanguageText.h"

namespace orvanta {
namespace {

std::array<std::uint8_t, 32> header(std::uint8_t byte11) {
    std::array<std::uint8_t, 32> h{};
    for (std::size_t i = 0; i < h.size(); ++i) {
        h[i] = static_cast<std::uint8_t>(0xA0 + i);
    }
    h[11] = byte11;
    return h;
}

TEST(Requests, PutLineFormDependsOnHeaderByte11) {
    const std::string longForm = buildPutRequest(header(0x20), 10, 300);
    EXPECT_EQ(longForm,
              "PUT A0A1A2A3A4A5A6A7A8A9AA20ACADAEAFB0B1B2B3B4B5B6B7B8B9BABBBCBDBEBF\r\n"
              "Save-ID:A\r\nLength:00300\r\n\r\n");
    EXPECT_EQ(longForm.find("\r\n"), 4u + 64u);

    const std::string shortForm = buildPutRequest(header(0x21), 0, 7);
    EXPECT_EQ(shortForm,
              "PUT A0A1A2A3A4A5A6A7A8A9AA21ACADAEAF\r\nSave-ID:0\r\nLength:00007\r\n\r\n");
    EXPECT_EQ(shortForm.find("\r\n"), 4u + 32u);

    EXPECT_NE(buildPutRequest(header(0x20), 12, 3968).find("Save-ID:C\r\nLength:03968\r\n\r\n"),
              std::string::npos);
}

TEST(Requests, OtherVerbs) {
    const struct {
        std::string built;
        const char* expected;
    } cases[] = {
        {buildTextRequest(0), "TEXT 0\r\n"},
        {buildTextRequest(11), "TEXT B\r\n"},
        {buildInfoRequest(12), "INFO C\r\n"},
        {buildInfoRequest(255), "INFO FF\r\n"},
        {buildStatRequest(1), "STAT 1\r\n"},
        {buildCancelRequest(), "CANCEL\r\n"},
        {buildCtrlRequest(0x6020, 2, 999), "CTRL 6020\r\n2\r\n"},
        {buildCtrlRequest(0x0F01, 2, 0), "CTRL 0F01\r\n2\r\n"},
        {buildCtrlRequest(0x3510, 1, 0x8301), "CTRL 3510\r\n1\r\n33537\r\n"},
        {buildCtrlRequest(0x2002, 1, 1), "CTRL 2002\r\n1\r\n1\r\n"},
        {buildCtrlRequest(0x3511, 6, 5), "CTRL 3511\r\n6\r\n"},
        {buildCtrlRequest(0x000A, 1, 65535), "CTRL 000A\r\n1\r\n65535\r\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.built, c.expected);
    }
}

TEST(Classify, ComparesTheRightNumberOfBytes) {
    using namespace std::string_literals;
    constexpr int kUnknown = 19;
    const struct {
        std::string reply;
        Verb verb;
        int expected;
    } cases[] = {
        {"PUT 0\r\n", Verb::Put, 0},
        {"PUT 5\r\n", Verb::Put, 5},
        {"PUT 0\r\n\0"s, Verb::Put, 0},  // trailing zeros are the buffer's own
        {"PUT 0\r\nX", Verb::Put, kUnknown},
        {"PUT 4\r\n", Verb::Put, kUnknown},
        {"PUT 0\n", Verb::Put, kUnknown},
        {"CANCEL 1\r\n", Verb::Cancel, 1},
        {"CANCEL 4\r\n", Verb::Cancel, 4},
        {"CANCEL 0\r\n!", Verb::Cancel, kUnknown},
        {"CANCEL 2\r\n", Verb::Cancel, kUnknown},
        {"CTRL 0\r\nValue:1\r\n", Verb::Ctrl, 0},
        {"CTRL 8\r\n", Verb::Ctrl, 8},
        {"CTRL 5\r\n", Verb::Ctrl, kUnknown},
        {"CTRL 0", Verb::Ctrl, kUnknown},  // a short receive
        {"TEXT 1\r\n", Verb::Text, 1},
        {"INFO 9\r\nanything", Verb::Info, 9},
        {"INFO 0\r\n", Verb::Ctrl, kUnknown},
        {"STAT 0\r\nSave-ID:1\r\nStatus:1\r\n", Verb::Stat, 0},
        {"STAT 2\r\n", Verb::Stat, kUnknown},
        {"", Verb::Stat, kUnknown},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(classify(c.reply, c.verb), c.expected)
            << verbWord(c.verb) << " / " << c.reply.size() << " bytes";
    }
}

TEST(ExchangeErrors, TextsComeFromTheLanguageTable) {
    setInterfaceLanguage(LanguageId::English);
    const struct {
        int code;
        const char* text;
    } cases[] = {{11, "[Socket error]"},
                 {12, "[Connection error]"},
                 {14, "[Authentication error]"},
                 {15, "[No Response]"},
                 {16, "[Send error]"},
                 {17, "[No Response]"},
                 {18, "[Receive error]"},
                 {19, "[Unexpected error]"},
                 {21, "[Socket error]"},
                 {22, "[Socket error]"},
                 {0, ""},
                 {13, ""}};
    for (const auto& c : cases) {
        EXPECT_EQ(exchangeErrorText(c.code), c.text) << c.code;
    }
}

}  // namespace
}  // namespace orvanta
