#include "message/ProjectorText.h"

#include <gtest/gtest.h>

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

TEST(WidthTables, HandPickedEntriesOfEveryRow) {
    struct Case {
        char16_t unit;
        int width;
    };
    // First, a middle and the last entry of printed rows, plus the implied values.
    const Case narrow[] = {
        {0x00, 0},  {0x0D, 0},    {0x1F, 0},  {0x20, 12}, {0x27, 5},
        {0x2F, 8},  {0x30, 12},   {0x3A, 7},  {0x3F, 12}, {0x40, 13},
        {0x49, 8},  {0x4F, 13},   {0x50, 13}, {0x57, 12}, {0x5F, 13},
        {0x60, 7},  {0x69, 8},    {0x6F, 13}, {0x70, 12}, {0x7C, 8},
        {0x7F, 12}, {0x80, 12},   {0x9F, 12}, {0xA0, 12}, {0xA1, 8},
        {0xAF, 14}, {0xB0, 8},    {0xB4, 7},  {0xBF, 12}, {0xC0, 13},
        {0xCC, 8},  {0xCF, 8},    {0xD0, 13}, {0xD7, 11}, {0xDF, 12},
        {0xE0, 12}, {0xE6, 13},   {0xEF, 8},  {0xF0, 13}, {0xF1, 12},
        {0xFF, 13}, {0x014D, 13},  // only the low byte counts
    };
    for (const Case& c : narrow) {
        EXPECT_EQ(narrowCharacterWidth(c.unit), c.width) << std::hex << int(c.unit);
    }

    const Case wide[] = {
        {0x0000, 0},        {0x001F, 0},        {0x0020, 9},        {0x0025, 18},
        {0x002F, 13},       {0x003D, 14},       {0x0040, 18},       {0x0057, 19},
        {0x005F, 11},       {0x006D, 18},       {0x007C, 5},        {0x007F, 9},
        {0x0080, 11},       {0x009F, 11},       {0x00A9, 19},       {0x00BC, 18},
        {0x00C6, 21},       {0x00D7, 12},       {0x00E6, 18},       {0x00FF, 14},
        {0x010F, 15},       {0x011E, 14},       {0x0126, 23},       {0x013F, 23},
        {0x0149, 23},       {0x0152, 20},       {0x0163, 9},        {0x0174, 19},
        {0x017F, 9},        {0x0180, 11},       {0x0192, 14},       {0x01A0, 16},
        {0x01AF, 16},       {0x01B0, 15},       {0x01CE, 23},       {0x01DC, 23},
        {0x01E0, 11},       {0x01F9, 23},       {0x0251, 23},       {0x0261, 23},
        {0x02C9, 23},       {0x02DA, 23},       {0x02DC, 10},       {0x0380, 9},
        {0x038E, 19},       {0x0391, 15},       {0x03A9, 16},       {0x03B9, 5},
        {0x03CE, 17},       {0x0409, 20},       {0x0416, 19},       {0x042E, 20},
        {0x0434, 13},       {0x0449, 18},       {0x0456, 5},        {0x045F, 12},
        {0x0460, 11},       {0x04FF, 11},       {0x1E00, 15},       {0x1E1F, 9},
        {0x1E3F, 18},       {0x1E41, 18},       {0x1E5F, 9},        {0x1E6F, 10},
        {0x1E80, 19},       {0x1E98, 17},       {0x1EA0, 15},       {0x1EB8, 12},
        {0x1EC9, 6},        {0x1EDF, 14},       {0x1EE9, 15},       {0x1EFF, 9},
        {0x0500, kNoWidth}, {0x1DFF, kNoWidth}, {0x1F00, kNoWidth}, {0x4E2D, kNoWidth},
        {0x25BC, kNoWidth},
    };
    for (const Case& c : wide) {
        EXPECT_EQ(wideCharacterWidth(c.unit), c.width) << std::hex << int(c.unit);
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
        {u"A\u25BCB", 0, false, 2},  // the letter after a mark is a page of its own
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
