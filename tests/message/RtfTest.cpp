#include "message/Rtf.h"

#include <gtest/gtest.h>

#include <string>

namespace orvanta {
namespace {

constexpr Rgb kWhite = 0xFFFFFF;
constexpr Rgb kSilver = 0xC0C0C0;
constexpr Rgb kRed = 0xFF0000;
constexpr Rgb kBlue = 0x0000FF;
constexpr Rgb kGreen = 0x00FF00;

const RtfDefaults kDefaults{kWhite, kSilver};

// Units of `text` as "text" plus one color pair per unit, for readable failure output.
std::u16string textOf(const Result<RichText, RtfError>& r) {
    return r.value().text();
}

RichText run(std::u16string_view s, Rgb fg, Rgb bg) {
    return RichText(s, fg, bg);
}

RichText concat(std::initializer_list<RichText> parts) {
    RichText out;
    for (const auto& p : parts) {
        out.units.insert(out.units.end(), p.units.begin(), p.units.end());
    }
    return out;
}

TEST(RtfReader, JapaneseRichEditFileWithShiftJisPairs) {
    // As the Japanese rich edit control writes it: font names and text in code page 932; the
    // trail byte 0x5C of 0x83 0x5C (katakana "so") appears as an escaped backslash.
    const std::string rtf =
        "{\\rtf1\\ansi\\ansicpg932\\deff0\\deflang1033\\deflangfe1041{\\fonttbl{\\f0\\fnil"
        "\\fcharset128 \\'82\\'6c\\'82\\'72 \\'82\\'6f\\'83\\'53\\'83\\'56\\'83\\'62\\'83\\'4e;}"
        "{\\f1\\fnil\\fcharset0 Arial Unicode MS;}}\r\n"
        "{\\colortbl ;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}\r\n"
        "{\\*\\generator Riched20 5.50.99.2050;}\\viewkind4\\uc1\\pard\\cf1\\highlight2\\lang1041"
        "\\f0\\fs18\\'82\\'a0\\'82\\'a2\\cf2\\'95\\'5c\\'83\\\\\\f1  AB\\par\r\n}\r\n";
    const auto r = readRtf(rtf, kDefaults);
    ASSERT_TRUE(r.ok()) << r.error();
    EXPECT_EQ(r.value(), concat({run(u"\u3042\u3044", kRed, kBlue),
                                 run(u"\u8868\u30BD", kBlue, kBlue), run(u" AB", kBlue, kBlue)}));
}

TEST(RtfReader, ChineseRichEditFileWithGbkPairs) {
    const std::string rtf =
        "{\\rtf1\\ansi\\ansicpg936\\deff0{\\fonttbl{\\f0\\fnil\\fcharset134 \\'cb\\'ce\\'cc\\'e5;}}"
        "{\\colortbl ;\\red0\\green255\\blue0;}\\viewkind4\\uc1\\pard\\cf1\\f0\\'d6\\'d0\\'ce\\'c4"
        "\\par \\'c4\\'e3\\'ba\\'c3\\par}";
    const auto r = readRtf(rtf, kDefaults);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.value(), run(u"\u4E2D\u6587\r\u4F60\u597D", kGreen, kSilver));
}

TEST(RtfReader, DocumentCodePageAppliesToFontsWithoutCharset) {
    const auto r =
        readRtf("{\\rtf1\\ansi\\ansicpg932{\\fonttbl{\\f0 X;}}\\f0 \\'82\\'a0}", kDefaults);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(textOf(r), u"\u3042");
    // A Latin font in a Japanese document keeps its bytes Windows-1252.
    const auto latin = readRtf(
        "{\\rtf1\\ansi\\ansicpg932{\\fonttbl{\\f0\\fcharset0 X;}}\\f0 \\'e9\\'80}", kDefaults);
    EXPECT_EQ(textOf(latin), u"\u00E9\u20AC");
}

TEST(RtfReader, TextElements) {
    struct Case {
        const char* name;
        std::string body;
        std::u16string text;
    };
    const Case cases[] = {
        {"escapes", "a\\\\b\\{c\\}", u"a\\b{c}"},
        {"line tab nbsp hyphen", "a\\line b\\tab c\\~d\\-e", u"a\rb\tc\u00A0de"},
        {"unicode with fallback", "\\u8364?x", u"\u20ACx"},
        {"negative unicode", "\\u-3913?", u"\uF0B7"},
        {"uc2 skips two hex bytes", "\\uc2\\u26085\\'93\\'fa!", u"\u65E5!"},
        {"uc0 skips nothing", "\\uc0\\u26085!", u"\u65E5!"},
        {"skip stops at group end", "{\\uc3\\u26085\\'93}!", u"\u65E5!"},
        {"uc is group local", "{\\uc2 }\\u26085?!", u"\u65E5!"},
        {"skip counts control words", "\\uc2\\u26085\\foo\\bar!", u"\u65E5!"},
        {"surrogate pair", "\\u-10179?\\u-8704?", u"\U0001F600"},
        {"ignored destinations",
         "{\\*\\unknown a}{\\info{\\author b}}{\\stylesheet{\\s0 c;}}{\\pict\\wmetafile8 0d0e}"
         "{\\*\\bkmkstart x}y",
         u"y"},
        {"unknown words", "\\foo123 bar\\zz-5 baz", u"barbaz"},
        {"binary data is skipped", "a\\bin3 }{\\b", u"ab"},
        {"file line breaks ignored", "a\r\nb\n", u"ab"},
        {"field result kept", "{\\field{\\*\\fldinst HYPERLINK x}{\\fldrslt link}}", u"link"},
        {"quotes and dashes", "\\lquote\\rquote\\ldblquote\\rdblquote\\emdash\\endash\\bullet",
         u"\u2018\u2019\u201C\u201D\u2014\u2013\u2022"},
        {"hex escape of ascii", "\\'41\\'09", u"A\t"},
        {"space after word is the delimiter", "\\par  x", u"\r x"},
        {"final paragraph mark dropped", "x\\par\n", u"x"},
        {"only the final one", "x\\par\\par", u"x\r"},
        {"mark inside a group", "{x\\par}", u"x"},
        {"text after the last par stays", "x\\par y", u"x\ry"},
    };
    for (const auto& c : cases) {
        const auto r = readRtf("{\\rtf1\\ansi " + c.body + "}", kDefaults);
        ASSERT_TRUE(r.ok()) << c.name;
        EXPECT_EQ(textOf(r), c.text) << c.name;
    }
}

TEST(RtfReader, ColorsFollowGroupsAndResets) {
    const std::string table = "{\\colortbl ;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}";
    struct Case {
        const char* name;
        std::string body;
        RichText expected;
    };
    const Case cases[] = {
        {"nested groups restore", "{\\cf1 a{\\cf2 b}c}d",
         concat({run(u"a", kRed, kSilver), run(u"b", kBlue, kSilver), run(u"c", kRed, kSilver),
                 run(u"d", kWhite, kSilver)})},
        {"highlight, cb and chcbpat all set the background",
         "\\highlight1 a\\cb2 b\\chcbpat1 c\\highlight0 d",
         concat({run(u"a", kWhite, kRed), run(u"b", kWhite, kBlue), run(u"c", kWhite, kRed),
                 run(u"d", kWhite, kSilver)})},
        {"plain resets, pard does not", "\\cf1\\highlight2 a\\pard b\\plain c",
         concat({run(u"ab", kRed, kBlue), run(u"c", kWhite, kSilver)})},
        {"auto entry and indices out of range give the defaults",
         "\\cf1 a\\cf0 b\\cf7 c\\cf99999999999999999999 d\\cf-4 e",
         concat({run(u"a", kRed, kSilver), run(u"bcde", kWhite, kSilver)})},
        {"paragraph ends carry the color", "\\cf2 a\\par\\cf1 b",
         concat({run(u"a\r", kBlue, kSilver), run(u"b", kRed, kSilver)})},
    };
    for (const auto& c : cases) {
        const auto r = readRtf("{\\rtf1\\ansi" + table + c.body + "}", kDefaults);
        ASSERT_TRUE(r.ok()) << c.name;
        EXPECT_EQ(r.value(), c.expected) << c.name;
    }
    // A table whose first entry is a real color: \cf0 means that color.
    const auto r = readRtf("{\\rtf1{\\colortbl\\red0\\green255\\blue0;}\\cf0 x}", kDefaults);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.value(), run(u"x", kGreen, kSilver));
    // Components outside 0..255 are clamped.
    const auto clamped =
        readRtf("{\\rtf1{\\colortbl;\\red999\\green-3\\blue0;}\\cf1 x}", kDefaults);
    ASSERT_TRUE(clamped.ok());
    EXPECT_EQ(clamped.value(), run(u"x", kRed, kSilver));
}

TEST(RtfReader, MalformedInputGivesAnError) {
    struct Case {
        const char* name;
        std::string input;
        RtfError error;
    };
    const Case cases[] = {
        {"empty", "", RtfError::NotRtf},
        {"plain text", "OPTNUM=10\nTITLE=11\n", RtfError::NotRtf},
        {"binary", std::string("\x00\xff\x7f{\\rtf1}", 9), RtfError::NotRtf},
        {"missing closing brace", "{\\rtf1\\ansi abc\\par", RtfError::Truncated},
        {"ends in a backslash", "{\\rtf1 abc\\", RtfError::Truncated},
        {"ends in a hex escape", "{\\rtf1 abc\\'8", RtfError::Truncated},
        {"bad hex escape", "{\\rtf1 abc\\'zz}", RtfError::Malformed},
        {"overlong control word", "{\\rtf1 \\" + std::string(40, 'a') + " x}", RtfError::Malformed},
        {"binary data past the end", "{\\rtf1 \\bin99 abc}", RtfError::Truncated},
        {"huge binary length", "{\\rtf1 \\bin99999999999999999999 abc}", RtfError::Truncated},
        {"too deep",
         "{\\rtf1 " + std::string(kRtfMaxDepth, '{') + "x" + std::string(kRtfMaxDepth + 1, '}'),
         RtfError::TooDeep},
    };
    for (const auto& c : cases) {
        const auto r = readRtf(c.input, kDefaults);
        ASSERT_FALSE(r.ok()) << c.name;
        EXPECT_EQ(r.reason(), c.error) << c.name;
    }
    // Just below the depth limit is fine, and whatever follows the document is ignored.
    const auto deep = readRtf("{\\rtf1 " + std::string(kRtfMaxDepth - 1, '{') + "x" +
                                  std::string(kRtfMaxDepth, '}') + "garbage{",
                              kDefaults);
    ASSERT_TRUE(deep.ok());
    EXPECT_EQ(textOf(deep), u"x");
}

TEST(RtfReader, HugeNumbersAndStrayBytesAreHarmless) {
    const auto r = readRtf(
        "{\\rtf1\\ansicpg99999999999\\deff-99999999999{\\fonttbl{\\f-5\\fcharset128 x;}}"
        "\\uc99999999999\\u99999999999 abc\\f-5\\'82\\'a0\\'82 \x82\xa0\xff}",
        kDefaults);
    ASSERT_TRUE(r.ok());
    EXPECT_FALSE(r.value().empty());
}

TEST(RtfRoundTrip, WriterOutputReadsBackUnitForUnit) {
    const Rgb colors[] = {kWhite, kRed, 0x00FFFF, 0xE0E0E0, 0x123456};
    struct Case {
        const char* name;
        std::u16string text;
    };
    const Case cases[] = {
        {"empty", u""},
        {"ascii", u"Hello, world"},
        {"paragraphs and a trailing empty one", u"Line 1\rLine 2\r\r"},
        {"only paragraph ends", u"\r\r"},
        {"page feed mark", u"Page 1\u25BC\rPage 2"},
        {"japanese", u"\u65E5\u672C\u8A9E\u306E\u30C6\u30AD\u30B9\u30C8"},
        {"cyrillic", u"\u041F\u0440\u0438\u0432\u0435\u0442"},
        {"rtf specials", u"{\\}\t a\\par b"},
        {"digits and spaces after color changes", u"1 2  3 -4"},
        {"controls and surrogates", u"\u0001\u000C\n\U0001F600\uFFFF"},
    };
    for (const auto& c : cases) {
        RichText text;
        for (size_t i = 0; i < c.text.size(); ++i) {
            // Change the colors every few units so that runs start everywhere.
            text.units.push_back({c.text[i], colors[(i / 2) % 5], colors[(i / 3 + 2) % 5]});
        }
        const std::string rtf = writeRtf(text);
        const auto r = readRtf(rtf, kDefaults);
        ASSERT_TRUE(r.ok()) << c.name;
        EXPECT_EQ(r.value(), text) << c.name << "\n" << rtf;
    }
}

TEST(RtfWriter, WritesTheRichEditDialect) {
    RichText text(u"A\u25BC", kWhite, kSilver);
    text.append(u"\r\u041F", kRed, kWhite);
    const std::string rtf = writeRtf(text, 35);
    EXPECT_EQ(rtf.rfind("{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fnil\\fcharset0 "
                        "Arial Unicode MS;}}",
                        0),
              0u);
    EXPECT_NE(rtf.find("{\\colortbl ;\\red255\\green255\\blue255;\\red192\\green192\\blue192;"
                       "\\red255\\green0\\blue0;}"),
              std::string::npos);
    EXPECT_NE(rtf.find("\\uc1\\pard\\f0\\fs35\\cf1\\highlight2\\chcbpat2 "
                       "A\\u9660?\\cf3\\highlight1\\chcbpat1\\par\n"
                       "\\u1055?\\par\n}"),
              std::string::npos)
        << rtf;
    for (char c : rtf) {
        EXPECT_TRUE(static_cast<unsigned char>(c) < 0x80) << "the writer writes 7-bit text only";
    }
}

TEST(RtfParagraphs, SplitKeepsEmptyParagraphs) {
    const auto paragraphs = splitParagraphs(RichText(u"a\r\rbc\r", kWhite, kSilver));
    ASSERT_EQ(paragraphs.size(), 4u);
    EXPECT_EQ(paragraphs[0].text(), u"a");
    EXPECT_TRUE(paragraphs[1].empty());
    EXPECT_EQ(paragraphs[2].text(), u"bc");
    EXPECT_TRUE(paragraphs[3].empty());
    EXPECT_EQ(splitParagraphs(RichText()).size(), 1u);
}

}  // namespace
}  // namespace orvanta
