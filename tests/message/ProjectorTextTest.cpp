#include "message/ProjectorText.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "message/WidthTables.h"
#include "support/ScriptedPrompt.h"
#include "text/LanguageText.h"

namespace orvanta {
namespace {

constexpr Rgb kWhite = 0xFFFFFF;
constexpr Rgb kSilver = 0xC0C0C0;  // code 8
constexpr Rgb kGrey = 0xE0E0E0;    // code 9
constexpr Rgb kRed = 0xFF0000;
constexpr Rgb kBlue = 0x0000FF;

std::u16string repeat(std::u16string_view s, int n) {
    std::u16string out;
    for (int i = 0; i < n; ++i) {
        out += s;
    }
    return out;
}

// The width of a glyph file: the signed 32-bit width field of its bitmap header.
int glyphFileWidth(int code) {
    char name[64];
    std::snprintf(name, sizeof name, "%s/data/mfont/0x%04x.bmp", ORVANTA_TEST_SOURCE_DIR, code);
    std::ifstream in(name, std::ios::binary);
    unsigned char header[22] = {};
    if (!in.read(reinterpret_cast<char*>(header), sizeof header) || header[0] != 'B') {
        return kNoWidth;
    }
    return header[18] | header[19] << 8 | header[20] << 16 | header[21] << 24;
}

TEST(WidthTables, NarrowWidthsAreThoseOfTheGlyphFiles) {
    // The projector draws each character of the narrow set with these glyphs, so a line
    // breaks where the glyphs fill it.
    for (int code = 0x20; code <= 0xFF; ++code) {
        EXPECT_EQ(narrowCharacterWidth(static_cast<char16_t>(code)), glyphFileWidth(code))
            << std::hex << code;
        // Only the low byte of a unit counts.
        EXPECT_EQ(narrowCharacterWidth(static_cast<char16_t>(0x0100 | code)),
                  narrowCharacterWidth(static_cast<char16_t>(code)))
            << std::hex << code;
    }
    for (char16_t control = 0; control < 0x20; ++control) {
        EXPECT_EQ(narrowCharacterWidth(control), 0) << std::hex << int(control);
    }
}

TEST(WidthTables, WideSetCoversItsRangesWithCellWidths) {
    for (int unit = 0; unit <= 0xFFFF; ++unit) {
        const char16_t u = static_cast<char16_t>(unit);
        const bool covered = unit <= 0x04FF || (unit >= 0x1E00 && unit <= 0x1EFF);
        const int width = wideCharacterWidth(u);
        if (!covered) {
            ASSERT_EQ(width, kNoWidth) << std::hex << unit;
        } else if (unit < 0x20) {
            ASSERT_EQ(width, 0) << std::hex << unit;
        } else {
            // A glyph is at most one 24-pixel cell wide.
            ASSERT_GT(width, 0) << std::hex << unit;
            ASSERT_LE(width, 24) << std::hex << unit;
        }
    }
}

TEST(ReplaceTabs, FourSpacesWithTheTabsColors) {
    RichText t(u"a", kWhite, kSilver);
    t.append(u"\t", kRed, kBlue);
    t.append(u"b", kWhite, kSilver);
    EXPECT_EQ(replaceTabs(t), 1u);
    EXPECT_EQ(t.text(), u"a    b");
    EXPECT_EQ(t.units[4], (RichUnit{u' ', kRed, kBlue}));
}

TEST(BreakLines, LastSpaceBeforeTheLimitBecomesLineFeed) {
    // 10 M (13 px) and a space (12 px) per word: 142 px per word.
    const std::u16string words = repeat(u"MMMMMMMMMM ", 6);
    struct Case {
        int characterSize;
        std::vector<size_t> breaks;
    };
    for (const Case& c : {Case{0, {43}}, Case{1, {21, 43}}}) {
        std::u16string text = words;
        breakLines(text, text.size(), c.characterSize, false);
        std::u16string expected = words;
        for (size_t b : c.breaks) {
            expected[b] = u'\n';
        }
        EXPECT_EQ(text, expected) << "size " << c.characterSize;
    }

    // Without a space nothing is inserted.
    std::u16string ms = repeat(u"M", 60);
    breakLines(ms, ms.size(), 0, false);
    EXPECT_EQ(ms, repeat(u"M", 60));

    // Only the first `count` units take part; the rich text keeps its colors.
    RichText rich(words, kRed, kBlue);
    breakLines(rich, 40, 0, false);
    EXPECT_EQ(rich.text(), words);
    breakLines(rich, rich.size(), 0, false);
    EXPECT_EQ(rich.units[43], (RichUnit{u'\n', kRed, kBlue}));
}

TEST(BreakLines, UnmeasuredCharacterStopsBreakingUntilTheNextParagraph) {
    const std::u16string groups = repeat(u"MMMM ", 10);  // 73 px each in the wide font
    std::u16string text = u"\u4E2D" + groups;
    breakLines(text, text.size(), 0, true);
    EXPECT_EQ(text.find(u'\n'), std::u16string::npos);

    text = u"\u4E2D\r" + groups;
    breakLines(text, text.size(), 0, true);
    EXPECT_NE(text.find(u'\n'), std::u16string::npos);
}

TEST(BreakLines, NeverBreaksAnEarlierLine) {
    const std::u16string text = u"A B\r" + repeat(u"M", 60);
    std::u16string broken = text;
    breakLines(broken, broken.size(), 0, false);
    EXPECT_EQ(broken, text);
    EXPECT_EQ(countDisplayLines(text, 0, false), 3);
}

TEST(CountDisplayLines, Cases) {
    struct Case {
        std::u16string text;
        int size;
        bool wide;
        int lines;
    };
    const Case cases[] = {
        {u"", 0, false, 0},
        {u"A", 0, false, 1},
        {u"A\r", 0, false, 1},
        {u"A\rB", 0, false, 2},
        {u"\r\r", 0, false, 2},
        {u"A\u25BC\rB", 0, false, 2},
        {u"\u25BC", 0, false, 1},
        {u"A\u25BCB", 0, false, 1},   // the mark takes the unit after it along
        {u"A\u25BCBC", 0, false, 2},  // ... and only that one
        {u"A\0B", 0, false, 1},
        {repeat(u"M", 47), 0, false, 1},  // 611 px
        {repeat(u"M", 60), 0, false, 2},  // the 48th reaches 624
        {repeat(u"M", 60), 1, false, 3},  // 22 per line at double width
        {repeat(u"\u4E2D", 51), 0, true, 1},
        {repeat(u"\u4E2D", 60), 0, true, 2},  // 12 px each outside the wide font
        {repeat(u"MMMMMMMMMM ", 6), 0, false, 2},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(countDisplayLines(c.text, c.size, c.wide), c.lines)
            << c.text.size() << " units, size " << c.size;
    }

    Message m;
    m.title = RichText(u"T", kWhite, kSilver);
    m.body = RichText(repeat(u"M", 60), kWhite, kSilver);
    EXPECT_EQ(countDisplayLines(m, false), 3);
}

TEST(CharacterColors, EscapeValues) {
    struct Case {
        Rgb fg, bg;
        std::uint8_t background;
        bool displayMode;
        EscapeColors expected;
    };
    const Case cases[] = {
        {kWhite, kSilver, 0x20, false, {0, 7, 1, 0}},
        {kRed, kBlue, 0x20, false, {0, 1, 0, 5}},
        {0xFFA500, 0x123456, 0x20, false, {0, 0, 0, 0}},  // outside the palette: black
        {kSilver, kWhite, 0x20, false, {1, 0, 0, 7}},
        {kGrey, kWhite, 0x20, false, {1, 0, 0, 7}},  // follows a half transparent background
        {kGrey, kGrey, 0x05, false, {0, 5, 0, 5}},   // follows a blue background
        {kGrey, kGrey, 0x40, false, {2, 0, 2, 0}},   // follows a transparent background
        {kGrey, kRed, 0x03, true, {2, 3, 2, 0}},
        {kRed, kBlue, 0x20, true, {0, 1, 2, 0}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(characterColors({u'x', c.fg, c.bg}, c.background, c.displayMode), c.expected)
            << std::hex << c.fg << " on " << c.bg << " background " << int(c.background);
    }
}

class Unsupported : public ::testing::Test {
  protected:
    void SetUp() override { setInterfaceLanguage(LanguageId::English); }
};

TEST_F(Unsupported, ListsCharactersWithTheirLine) {
    const UnsupportedCharacters found = findUnsupported(u"ab\rcd\r\u0416x\u0416");
    EXPECT_EQ(found.count, 2);
    EXPECT_EQ(found.positions, (std::vector<size_t>{6, 8}));
    EXPECT_EQ(found.listText, "Line 3 : [Ж]\r\nLine 3 : [Ж]\r\n");

    // One line for a character in two units; both units are removed.
    const UnsupportedCharacters emoji = findUnsupported(u"a\U0001F600");
    EXPECT_EQ(emoji.count, 1);
    EXPECT_EQ(emoji.positions, (std::vector<size_t>{1, 2}));
    EXPECT_EQ(emoji.listText, "Line 1 : [\xF0\x9F\x98\x80]\r\n");

    EXPECT_TRUE(findUnsupported(u"\u00E9\t\x0C\u25BC\n\x1B~ \u00FF\uFFFF").empty());
    EXPECT_TRUE(findUnsupported(std::u16string_view(u"a\0\u0416", 3)).empty());  // NUL ends it
}

TEST_F(Unsupported, TheThreeAnswers) {
    const RichText original(u"a\u0416b\u0416", kWhite, kSilver);
    struct Case {
        PromptAnswer answer;
        UnsupportedOutcome outcome;
        std::u16string after;
    };
    for (const Case& c :
         {Case{PromptAnswer::Yes, UnsupportedOutcome::Deleted, u"ab"},
          Case{PromptAnswer::No, UnsupportedOutcome::ShowList, u"a\u0416b\u0416"},
          Case{PromptAnswer::Cancel, UnsupportedOutcome::Cancelled, u"a\u0416b\u0416"}}) {
        ScriptedPrompt prompt;
        prompt.queue(c.answer);
        RichText text = original;
        UnsupportedCharacters found;
        EXPECT_EQ(resolveUnsupported(text, prompt, found), c.outcome);
        EXPECT_EQ(text.text(), c.after);
        EXPECT_EQ(found.listText, "Line 1 : [Ж]\r\nLine 1 : [Ж]\r\n");
        ASSERT_EQ(prompt.entries().size(), 1u);
        EXPECT_EQ(prompt.entries()[0].text,
                  "Number of characters that so not supported : [ 2 ]\nDo you want to execute "
                  "Auto-delete-function?");
        EXPECT_EQ(prompt.entries()[0].buttons, PromptButtons::YesNoCancel);
    }

    ScriptedPrompt silent;
    RichText clean(u"fine", kWhite, kSilver);
    UnsupportedCharacters found;
    EXPECT_EQ(resolveUnsupported(clean, silent, found), UnsupportedOutcome::None);
    EXPECT_TRUE(silent.entries().empty());
}

}  // namespace
}  // namespace orvanta
