#include <gtest/gtest.h>

#include "platform/TextCodec.h"

using namespace orvanta;

TEST(TextCodec, Utf8RoundTripsThroughUtf16IncludingSurrogates) {
    const std::string text = "A\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80";  // A é 中 😀
    const std::u16string wide = utf8ToUtf16(text);
    EXPECT_EQ(wide, (std::u16string{u'A', 0x00E9, 0x4E2D, 0xD83D, 0xDE00}));
    EXPECT_EQ(utf16ToUtf8(wide), text);
}

TEST(TextCodec, StrictDecodingRejectsWhatLenientDecodingReplaces) {
    struct Case {
        std::string bytes;
        bool valid;
    };
    const Case cases[] = {
        {"plain", true},         {"\xC3\xA9", true}, {"\xE9t\xE9", false},  // Windows-1252 é
        {"\xC0\xAF", false},                                                // overlong
        {"\xED\xA0\x80", false},                                            // encoded surrogate
        {"\xE4\xB8", false},                                                // cut short
    };
    for (const auto& c : cases) {
        EXPECT_EQ(decodeUtf8Strict(c.bytes).has_value(), c.valid) << c.bytes;
    }
    EXPECT_EQ(utf8ToUtf16("\xE9t"), (std::u16string{0xFFFD, u't'}));
    EXPECT_EQ(utf16ToUtf8(std::u16string{0xD800, u'x'}), "\xEF\xBF\xBDx");
}

TEST(TextCodec, Windows1252MapsTheHighControlRange) {
    EXPECT_EQ(decodeWindows1252("\x80\x93\xE9\xFF"),
              (std::u16string{0x20AC, 0x201C, 0x00E9, 0x00FF}));
}
