#include "message/Payload.h"

#include <gtest/gtest.h>

#include <numeric>

#include "support/ScriptedPrompt.h"
#include "text/LanguageText.h"

namespace orvanta {
namespace {

constexpr Rgb kWhite = 0xFFFFFF;
constexpr Rgb kSilver = 0xC0C0C0;
constexpr Rgb kRed = 0xFF0000;
constexpr Rgb kBlue = 0x0000FF;
constexpr Rgb kGreen = 0x00FF00;
constexpr Rgb kBlack = 0x000000;

using Bytes = std::vector<std::uint8_t>;

const ProjectorCapabilities kWide{1, 0};    // level 1: wide character set, no extras
const ProjectorCapabilities kNarrow{4, 3};  // narrow set, extended options
const ProjectorCapabilities kWideExtended{4, 7};

std::u16string repeat(std::u16string_view s, int n) {
    std::u16string out;
    for (int i = 0; i < n; ++i) {
        out += s;
    }
    return out;
}

Message makeMessage(std::u16string_view title, std::u16string_view body) {
    Message m;
    m.title = RichText(title, kWhite, kSilver);
    m.body = RichText(body, kWhite, kSilver);
    return m;
}

EncodeResult encode(Message& m, EncodePurpose purpose = EncodePurpose::Send,
                    ProjectorCapabilities caps = kWide, bool displayMode = false,
                    bool fromFile = false) {
    ScriptedPrompt prompt(PromptAnswer::Cancel);
    return encodeMessage(m, {purpose, caps, displayMode, fromFile}, prompt);
}

Bytes bodyOf(const EncodeResult& r) {
    return r && r.value().payload ? r.value().payload->body : Bytes{};
}

bool hasPayload(const EncodeResult& r) {
    return r && r.value().payload;
}

// Nothing for a message that was encoded, else how the encoding failed.
std::optional<EncodeFailure> failureOf(const EncodeResult& r) {
    return r ? std::nullopt : std::optional(r.reason().kind);
}

Bytes slice(const Bytes& b, size_t from, size_t n) {
    return Bytes(b.begin() + static_cast<std::ptrdiff_t>(from),
                 b.begin() + static_cast<std::ptrdiff_t>(from + n));
}

class Payload : public ::testing::Test {
  protected:
    void SetUp() override { setInterfaceLanguage(LanguageId::English); }
};

TEST_F(Payload, TitleAndMessageByteForByte) {
    Message m;
    m.title = RichText(u"AB", kWhite, kSilver);
    m.body = RichText(u"Hi", kRed, kBlue);
    const EncodeResult r = encode(m);
    ASSERT_TRUE(r.ok());
    Bytes expected = {0x00, 0x1B, 0x00, 0x07, 0x01, 0x00, 0x00, 0x41, 0x00, 0x42};
    expected.resize(128, 0xFF);
    for (std::uint8_t b : {0x00, 0x1B, 0x00, 0x01, 0x00, 0x05, 0x00, 0x48, 0x00, 0x69}) {
        expected.push_back(b);
    }
    EXPECT_EQ(bodyOf(r), expected);
    EXPECT_EQ(r.value().bodyLength, 138u);

    const std::uint32_t sum = std::accumulate(expected.begin(), expected.end(), 0u);
    EXPECT_EQ((sum + r.value().payload->header.checksum()) % 65536, 0u);
    EXPECT_EQ(r.value().payload->header.checksum(), bodyChecksum(expected));
}

TEST_F(Payload, TerminatorsPageFeedsAndEmptyTitle) {
    struct Case {
        std::u16string title, body;
        size_t at;  // where `tail` is expected
        Bytes tail;
        size_t length;
    };
    const Case cases[] = {
        // a unit with two non-zero bytes needs an explicit end
        {u"T", u"\u4E2D", 134, {0x4E, 0x2D, 0x00, 0x00}, 138},
        {u"\u4E2D", u"x", 6, {0x4E, 0x2D, 0x00, 0x00, 0xFF}, 136},
        // the page-feed mark becomes a page feed and its line end goes
        {u"T", u"\u25BC\rX", 134, {0x00, 0x0C, 0x00, 0x58}, 138},
        {u"T", u"\u25BC\nX", 134, {0x00, 0x0C, 0x00, 0x58}, 138},
        {u"T", u"\u25BC\r\rX", 134, {0x00, 0x0C, 0x00, 0x0D, 0x00, 0x58}, 140},
        {u"T", u"\u25BCX", 134, {0x00, 0x0C, 0x00, 0x58}, 138},
        // an empty title is a lone end mark
        {u"", u"x", 0, {0x00, 0x00, 0xFF, 0xFF}, 136},
        // an empty message leaves the length at the end of the title
        {u"AB", u"", 0, {0x00, 0x1B, 0x00, 0x07, 0x01, 0x00, 0x00, 0x41, 0x00, 0x42}, 10},
    };
    for (const Case& c : cases) {
        Message m = makeMessage(c.title, c.body);
        const EncodeResult r = encode(m);
        ASSERT_TRUE(r.ok());
        const Bytes body = bodyOf(r);
        ASSERT_EQ(body.size(), c.length);
        EXPECT_EQ(slice(body, c.at, c.tail.size()), c.tail);
    }
}

TEST_F(Payload, ColorRunsOnlyWhereColorsChange) {
    Message m = makeMessage(u"", u"ab");
    m.body.append(u"cd", kRed, kSilver);
    const Bytes body = bodyOf(encode(m));
    const Bytes expected = {0x00, 0x1B, 0x00, 0x07, 0x01, 0x00, 0x00, 0x61, 0x00, 0x62,
                            0x00, 0x1B, 0x00, 0x01, 0x01, 0x00, 0x00, 0x63, 0x00, 0x64};
    EXPECT_EQ(slice(body, 128, body.size() - 128), expected);

    // Character display mode: every background transparent, header byte 4 = 0x40.
    Message shown = makeMessage(u"", u"a");
    const EncodeResult r = encode(shown, EncodePurpose::Send, kWide, true);
    EXPECT_EQ(slice(bodyOf(r), 128, 6), (Bytes{0x00, 0x1B, 0x00, 0x07, 0x02, 0x00}));
    EXPECT_EQ(r.value().payload->header[4], 0x40);
}

TEST_F(Payload, BodySizeLimits) {
    // 128 + escape + 2 per character: 1917 characters are 3968 bytes.
    Message fits = makeMessage(u"T", repeat(u"A", 1917));
    const EncodeResult ok = encode(fits);
    ASSERT_TRUE(ok.ok());
    EXPECT_EQ(ok.value().bodyLength, 3968u);
    EXPECT_EQ(ok.value().payload->body.size(), 3968u);

    Message over = makeMessage(u"T", repeat(u"A", 1918));
    const EncodeResult tooLong = encode(over);
    EXPECT_EQ(failureOf(tooLong), EncodeFailure::BodyTooLong);
    EXPECT_FALSE(tooLong.ok());
    EXPECT_EQ(tooLong.error(),
              "Too many characters in the message box.\n( Current:3970[byte] / MAX:3968[byte])\n"
              "Please delete character datas.");
    EXPECT_FALSE(hasPayload(tooLong));

    // Alternating colors: 8 bytes a character overflow the working buffer first.
    Message runs = makeMessage(u"T", u"");
    for (int i = 0; i < 600; ++i) {
        runs.body.append(u"x", i % 2 ? kRed : kBlue, kSilver);
    }
    const EncodeResult tooMany = encode(runs);
    EXPECT_EQ(failureOf(tooMany), EncodeFailure::TooManyCharacters);
    EXPECT_EQ(tooMany.error(), "There is too many character. \nPlease delete any characters.");

    // A title of many color runs must not spill into the message area.
    Message title = makeMessage(u"", u"x");
    for (int i = 0; i < 17; ++i) {
        title.title.append(u"x", i % 2 ? kRed : kBlue, kSilver);
    }
    EXPECT_EQ(failureOf(encode(title)), EncodeFailure::TooManyCharacters);

    // Reporting shows the text once, as information.
    ScriptedPrompt prompt;
    reportEncodeFailure(tooLong, prompt);
    reportEncodeFailure(EncodeResult(EncodedMessage{}), prompt);
    ASSERT_EQ(prompt.entries().size(), 1u);
    EXPECT_EQ(prompt.entries()[0].icon, PromptIcon::Information);
}

TEST_F(Payload, PasteIsCutToTheLongestPrefixTheEncoderTakes) {
    // Whatever is kept encodes within the limit, and one more unit would not: checked against
    // encodeMessage itself.
    RichText colored;
    for (int i = 0; i < 3000; ++i) {
        colored.append(u"x", i % 50 == 0 ? kRed : kWhite, kSilver);
    }
    struct Case {
        const char* name;
        std::u16string body;
        std::size_t from, to;
        RichText inserted;
        ProjectorCapabilities caps;
    };
    const Case cases[] = {
        {"small", u"Hello", 5, 5, RichText(u"world", kWhite, kSilver), kWide},
        {"huge", u"", 0, 0, RichText(repeat(u"A", 500000), kWhite, kSilver), kWide},
        {"middle", u"abcdef", 3, 3, RichText(repeat(u"B", 4000), kWhite, kSilver), kWide},
        {"replacing", repeat(u"C", 1900), 0, 1900, RichText(repeat(u"D", 3000), kWhite, kSilver),
         kWide},
        {"tabs", u"", 0, 0, RichText(repeat(u"\tz", 2000), kWhite, kSilver), kWide},
        {"lines", u"", 0, 0, RichText(repeat(u"line\r", 1000), kWhite, kSilver), kNarrow},
        {"colors", u"", 0, 0, colored, kWide},
        {"full", repeat(u"E", 1917), 1917, 1917, RichText(u"F", kWhite, kSilver), kWide},
    };
    for (const auto& c : cases) {
        Message m = makeMessage(u"Title", c.body);
        const EncodeSettings settings{EncodePurpose::Check, c.caps, false, false};
        const std::size_t kept = unitsThatFit(m, c.from, c.to, c.inserted, settings);
        const auto withUnits = [&](std::size_t n) {
            Message pasted = m;
            pasted.body.units.erase(pasted.body.units.begin() + static_cast<std::ptrdiff_t>(c.from),
                                    pasted.body.units.begin() + static_cast<std::ptrdiff_t>(c.to));
            pasted.body.units.insert(
                pasted.body.units.begin() + static_cast<std::ptrdiff_t>(c.from),
                c.inserted.units.begin(),
                c.inserted.units.begin() + static_cast<std::ptrdiff_t>(n));
            replaceTabs(pasted.body);
            ScriptedPrompt prompt(PromptAnswer::Cancel);
            return encodeMessage(pasted, settings, prompt).ok();
        };
        ASSERT_LE(kept, c.inserted.size()) << c.name;
        EXPECT_TRUE(withUnits(kept)) << c.name;
        if (kept < c.inserted.size()) {
            EXPECT_FALSE(withUnits(kept + 1)) << c.name << " kept " << kept;
        }
    }
    EXPECT_EQ(unitsThatFit(makeMessage(u"T", u"Hello"), 5, 5, RichText(u"world", kWhite, kSilver),
                           {EncodePurpose::Check, kWide, false, false}),
              5u);
}

TEST_F(Payload, CheckPurposesStopBeforeTheHeader) {
    for (EncodePurpose p : {EncodePurpose::Check, EncodePurpose::BackgroundCheck}) {
        Message m = makeMessage(u"T", u"hello");
        const EncodeResult r = encode(m, p);
        ASSERT_TRUE(r.ok());
        EXPECT_FALSE(hasPayload(r));
        EXPECT_EQ(r.value().bodyLength, 128u + 6 + 10);
    }
}

TEST_F(Payload, TitleLimitQuestion) {
    struct Case {
        int characterSize;
        ProjectorCapabilities caps;
        int limit;
    };
    for (const Case& c :
         {Case{0, kWide, 20}, Case{0, kNarrow, 40}, Case{1, kWide, 10}, Case{1, kNarrow, 10}}) {
        Message m = makeMessage(repeat(u"A", 45), u"x");
        m.options.characterSize = static_cast<std::uint8_t>(c.characterSize);

        ScriptedPrompt cancel;
        cancel.queue(PromptAnswer::Cancel);
        const EncodeResult refused =
            encodeMessage(m, {EncodePurpose::Send, c.caps, false, false}, cancel);
        EXPECT_EQ(failureOf(refused), EncodeFailure::TitleCancelled);
        EXPECT_TRUE(refused.error().empty());
        ASSERT_EQ(cancel.entries().size(), 1u);
        EXPECT_EQ(cancel.entries()[0].text, formatText(Text::TitleMayNotBeDisplayed, {c.limit}));
        EXPECT_EQ(cancel.entries()[0].buttons, PromptButtons::OkCancel);

        ScriptedPrompt proceed;
        proceed.queue(PromptAnswer::Ok);
        const EncodeResult r =
            encodeMessage(m, {EncodePurpose::Send, c.caps, false, false}, proceed);
        ASSERT_TRUE(r.ok());
        // escape, `limit` characters, then the end of the cut title, then the fill
        const size_t end = 6 + 2 * static_cast<size_t>(c.limit);
        EXPECT_EQ(slice(r.value().payload->body, end - 2, 5),
                  (Bytes{0x00, 0x41, 0x00, 0x00, 0xFF}));
    }
    EXPECT_NE(formatText(Text::TitleMayNotBeDisplayed, {20}).find("(Max 20 characters.)"),
              std::string::npos);
}

TEST_F(Payload, UnsupportedCharactersStopTheEncoding) {
    struct Case {
        PromptAnswer answer;
        UnsupportedOutcome outcome;
        std::u16string after;
    };
    for (const Case& c :
         {Case{PromptAnswer::Yes, UnsupportedOutcome::Deleted, u"ab\r"},
          Case{PromptAnswer::No, UnsupportedOutcome::ShowList, u"ab\r\u0416"},
          Case{PromptAnswer::Cancel, UnsupportedOutcome::Cancelled, u"ab\r\u0416"}}) {
        Message m = makeMessage(u"T", u"ab\r\u0416");
        ScriptedPrompt prompt;
        prompt.queue(c.answer);
        const EncodeResult r =
            encodeMessage(m, {EncodePurpose::Send, kNarrow, false, false}, prompt);
        EXPECT_EQ(failureOf(r), EncodeFailure::UnsupportedCharacters);
        EXPECT_EQ(r.reason().unsupported, c.outcome);
        EXPECT_EQ(r.reason().found.listText, "Line 2 : [Ж]\r\n");
        EXPECT_EQ(m.body.text(), c.after);
        EXPECT_FALSE(hasPayload(r));
    }

    // The wide character set shows Cyrillic: no question.
    Message wide = makeMessage(u"T", u"ab\r\u0416");
    ScriptedPrompt prompt;
    EXPECT_TRUE(encodeMessage(wide, {EncodePurpose::Send, kWide, false, false}, prompt).ok());
    EXPECT_TRUE(prompt.entries().empty());
}

TEST_F(Payload, LineBreaksInTheBody) {
    // 60 M without a space: no break in the body, though the projector needs two lines.
    Message ms = makeMessage(u"T", repeat(u"M", 60));
    const Bytes body = bodyOf(encode(ms, EncodePurpose::Send, kNarrow));
    ASSERT_EQ(body.size(), 128u + 6 + 120);
    for (size_t i = 134; i < body.size(); i += 2) {
        EXPECT_EQ(body[i + 1], 'M');
    }
    EXPECT_EQ(countDisplayLines(ms, false), 3);  // title line plus two

    // Words: the last space before the limit becomes LF.
    Message words = makeMessage(u"T", repeat(u"MMMMMMMMMM ", 6));
    const Bytes wb = bodyOf(encode(words, EncodePurpose::Send, kNarrow));
    EXPECT_EQ(slice(wb, 134 + 2 * 43, 2), (Bytes{0x00, 0x0A}));
    EXPECT_EQ(words.body.text(), repeat(u"MMMMMMMMMM ", 6));  // the message itself is unchanged
}

Message optionsMessage(int style) {
    Message m = makeMessage(u"AB", u"Hi");
    MessageOptions& o = m.options;
    o.style = static_cast<std::uint8_t>(style);
    o.verticalPosition = 1;
    o.horizontalPosition = 2;
    o.characterSize = 1;
    o.titlePosition = 2;
    o.level = 2;
    o.scrollCount = 5;
    o.scrollSpeed = 2;
    o.displayMinutes = 3;
    o.displayHalfMinute = 1;
    o.blink = 1;
    o.background = 0x20;
    o.lappedOverPicture = 1;
    o.iconNumber = 4;
    m.icon = 3;
    return m;
}

TEST_F(Payload, HeaderBytesAndPerStyleMasking) {
    struct Case {
        int style;
        EncodePurpose purpose;
        bool fromFile;
        // bytes 1, 2, 3, 7, 8, 9, 10
        std::array<std::uint8_t, 7> masked;
    };
    const std::array<std::uint8_t, 7> all = {1, 2, 1, 5, 2, 0x83, 1};
    const Case cases[] = {
        {0, EncodePurpose::Send, false, {1, 0xFF, 1, 5, 2, 0x00, 0xFF}},
        {1, EncodePurpose::Send, false, {1, 0xFF, 1, 0xFF, 0xFF, 0x83, 0xFF}},
        {2, EncodePurpose::Send, false, {1, 0xFF, 1, 0xFF, 0xFF, 0x83, 0xFF}},
        {3, EncodePurpose::Send, false, {0xFF, 2, 0, 0xFF, 0xFF, 0x83, 1}},
        {0, EncodePurpose::Save, false, all},
        {1, EncodePurpose::Save, false, all},
        {3, EncodePurpose::Save, false, all},
        {0, EncodePurpose::Save, true, {1, 0xFF, 1, 5, 2, 0x00, 0xFF}},
    };
    for (const Case& c : cases) {
        Message m = optionsMessage(c.style);
        const EncodeResult r = encode(m, c.purpose, kWide, false, c.fromFile);
        ASSERT_TRUE(r.ok());
        const MessageHeader& h = r.value().payload->header;
        const std::array<std::uint8_t, 7> got = {h[1], h[2], h[3], h[7], h[8], h[9], h[10]};
        EXPECT_EQ(got, c.masked) << "style " << c.style << " purpose " << int(c.purpose);
        EXPECT_EQ(h[0], c.style);
        EXPECT_EQ(h[4], 0xA0);  // half transparent, blinking
        EXPECT_EQ(h[5], 2);
        // title position 2 with the editor's icon, or with the file's icon when sending a file
        EXPECT_EQ(h[6], c.fromFile ? 0x84 : 0x83);
        EXPECT_EQ(h[11], 0xFF);
        for (size_t i : {12u, 13u, 16u, 17u, 18u, 19u, 20u, 21u, 31u}) {
            EXPECT_EQ(h[i], 0xFF) << i;
        }
    }

    // "No display time chosen" stays all ones; blink off clears bit 7.
    Message none = optionsMessage(1);
    none.options.displayMinutes = 255;
    none.options.displayHalfMinute = 255;
    none.options.blink = 0;
    none.options.background = 0x85;
    const MessageHeader h = encode(none, EncodePurpose::Save).value().payload->header;
    EXPECT_EQ(h[9], 0xFF);
    EXPECT_EQ(h[4], 0x05);
}

TEST_F(Payload, AlarmBytesAndHexForm) {
    struct Case {
        ProjectorCapabilities caps;
        std::uint8_t sound;
        std::array<std::uint8_t, 5> alarm;  // bytes 16..20
        size_t hexLength;
    };
    const Case cases[] = {
        {kWide, 2, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 32},
        {kWideExtended, 2, {1, 2, 0xFF, 3, 4}, 64},
        {kWideExtended, 0, {0xFF, 0x00, 0xFF, 0xFF, 0xFF}, 64},
    };
    for (const Case& c : cases) {
        Message m = makeMessage(u"AB", u"Hi");
        m.options.alarmVolume = 1;
        m.options.alarmSound = c.sound;
        m.options.alarmCustomSound = 6;
        m.options.alarmLoop = 3;
        m.options.alarmInterval = 4;
        const EncodeResult r = encode(m, EncodePurpose::Send, c.caps);
        ASSERT_TRUE(r.ok());
        const MessageHeader& h = r.value().payload->header;
        EXPECT_EQ((std::array<std::uint8_t, 5>{h[16], h[17], h[18], h[19], h[20]}), c.alarm);
        const std::string hex = headerToHex(h);
        ASSERT_EQ(hex.size(), c.hexLength);
        EXPECT_EQ(hex.substr(22, 2), c.hexLength == 64 ? "20" : "FF");
        EXPECT_EQ(hex.find_first_not_of("0123456789ABCDEF"), std::string::npos);
        const auto back = headerFromHex(hex);
        ASSERT_TRUE(back);
        for (size_t i = 0; i < c.hexLength / 2; ++i) {
            EXPECT_EQ((*back)[i], h[i]) << i;
        }
    }
    EXPECT_FALSE(headerFromHex(std::string(33, '0')));
    EXPECT_FALSE(headerFromHex(std::string(31, '0') + "G"));
    EXPECT_TRUE(headerFromHex(std::string(64, 'f')));
}

TEST_F(Payload, ReadBackHeaderForms) {
    const std::string first16 = "0102000120020A05FF83FFFF0000FFFF";  // 32 digits
    const auto longForm = parseReadBackHeader(first16 + "02030405061111111111111111111111");
    ASSERT_TRUE(longForm);
    EXPECT_EQ((*longForm)[0], 0x01);
    EXPECT_EQ((*longForm)[9], 0x83);
    EXPECT_EQ((*longForm)[16], 0x02);
    EXPECT_EQ((*longForm)[20], 0x06);

    // The short form is followed by CR LF and zeros: no alarm bytes.
    const std::string shortText = first16 + std::string("\r\n") + std::string(30, '\0');
    const auto shortForm = parseReadBackHeader(shortText);
    ASSERT_TRUE(shortForm);
    EXPECT_EQ((*shortForm)[4], 0x20);
    for (size_t i = 16; i < 21; ++i) {
        EXPECT_EQ((*shortForm)[i], 0xFF) << i;
    }
    EXPECT_TRUE(parseReadBackHeader(first16));
    EXPECT_TRUE(parseReadBackHeader("0102000120020a05ff83ffff0000ffff"));  // either case
    EXPECT_FALSE(parseReadBackHeader(first16.substr(0, 30)));
    EXPECT_FALSE(parseReadBackHeader("x" + first16.substr(1)));
    EXPECT_FALSE(parseReadBackHeader(""));
}

TEST_F(Payload, ApplyReadBack) {
    Message sent = makeMessage(u"AB", u"one\u25BC\rtwo");
    sent.options.background = 0x40;
    sent.options.displayMinutes = 255;
    sent.options.displayHalfMinute = 255;
    sent.icon = 5;
    const EncodeResult r = encode(sent, EncodePurpose::Save, kWide, true);
    ASSERT_TRUE(r.ok());

    Message got;
    bool displayMode = false;
    ASSERT_TRUE(applyReadBack(got, headerToHex(r.value().payload->header), r.value().payload->body,
                              false, displayMode));
    EXPECT_TRUE(displayMode);
    EXPECT_EQ(got.backgroundColor, 8);
    EXPECT_EQ(got.icon, 5);
    EXPECT_EQ(got.options.displayMinutes, 127);
    EXPECT_EQ(got.options.displayHalfMinute, 1);
    EXPECT_EQ(got.title.text(), u"AB");
    EXPECT_EQ(got.body.text(), u"one\u25BC\rtwo");
    EXPECT_EQ(got.body.units[0].background, kSilver);  // transparent shows as code 8

    Message untouched = makeMessage(u"keep", u"me");
    EXPECT_FALSE(applyReadBack(untouched, "nothex", r.value().payload->body, false, displayMode));
    EXPECT_EQ(untouched.title.text(), u"keep");
}

TEST_F(Payload, DecodeRoundTrips) {
    struct Case {
        const char* name;
        RichText title, body;
        ProjectorCapabilities caps;
    };
    RichText mixedTitle(u"He", kRed, kBlack);
    mixedTitle.append(u"llo", kGreen, kSilver);
    RichText mixedBody(u"first ", kWhite, kBlue);
    mixedBody.append(u"second\r", kSilver, kWhite);
    mixedBody.append(u"third", 0xFFFF00, 0xFF00FF);
    RichText pages(u"page one\u25BC\rpage two\u25BC\r", kWhite, kSilver);
    pages.append(u"three", kRed, kSilver);
    const Case cases[] = {
        {"mixed colors", mixedTitle, mixedBody, kWide},
        {"page feeds", RichText(u"P", kWhite, kSilver), pages, kNarrow},
        {"Japanese", RichText(u"\u304A\u77E5\u3089\u305B", kWhite, kSilver),
         RichText(u"\u65E5\u672C\u8A9E\u306E\u30C6\u30AD\u30B9\u30C8\u4E2D", kRed, kSilver), kWide},
        {"Cyrillic", RichText(u"\u0422\u0435\u043C\u0430", kWhite, kSilver),
         RichText(u"\u041F\u0440\u0438\u0432\u0435\u0442 \u043C\u0438\u0440", kWhite, kBlue),
         kWideExtended},
        {"broken lines", RichText(u"", kWhite, kSilver),
         RichText(repeat(u"MMMMMMMMMM ", 12), kWhite, kSilver), kNarrow},
    };
    for (const Case& c : cases) {
        Message m;
        m.title = c.title;
        m.body = c.body;
        ScriptedPrompt prompt;
        const EncodeResult r =
            encodeMessage(m, {EncodePurpose::Send, c.caps, false, false}, prompt);
        ASSERT_TRUE(r.ok()) << c.name;
        DecodedBody d = decodeMessageBody(r.value().payload->body);
        pageFeedsToMarks(d.message);
        EXPECT_EQ(d.title, c.title) << c.name;
        EXPECT_EQ(d.message, c.body) << c.name;
    }
}

TEST_F(Payload, OptionsRoundTripForEveryStyle) {
    for (int style = 0; style < 4; ++style) {
        Message m = optionsMessage(style);
        m.options.alarmVolume = 2;
        m.options.alarmSound = 4;
        m.options.alarmLoop = 5;
        m.options.alarmInterval = 1;
        const EncodeResult r = encode(m, EncodePurpose::Save, kWideExtended);
        ASSERT_TRUE(r.ok());
        Message got;
        bool displayMode = true;
        ASSERT_TRUE(applyReadBack(got, headerToHex(r.value().payload->header),
                                  r.value().payload->body, true, displayMode));
        EXPECT_FALSE(displayMode);
        MessageOptions expected = m.options;
        expected.iconNumber = m.icon;
        expected.background = 0xA0;        // byte 4 whole, blink bit included
        expected.alarmCustomSound = 0xFF;  // not sent
        expected.lappedOverPicture = 0;    // read from the high half of byte 2
        EXPECT_EQ(got.options, expected) << "style " << style;
        EXPECT_EQ(got.title.text(), u"AB");
        EXPECT_EQ(got.body.text(), u"Hi");
    }
}

TEST_F(Payload, DecodeOddBodiesSafely) {
    // A title that fills its area without an end, then a message without one.
    Bytes full;
    for (int i = 0; i < 64; ++i) {
        full.push_back(0x00);
        full.push_back('t');
    }
    full.insert(full.end(), {0x00, 0x1B, 0x02, 0x00, 0x02, 0x00, 0x00, 'm', 0x00});  // odd
    DecodedBody d = decodeMessageBody(full);
    EXPECT_EQ(d.title.size(), 64u);
    ASSERT_EQ(d.message.size(), 1u);
    EXPECT_EQ(d.message.units[0], (RichUnit{u'm', 0xE0E0E0, kSilver}));

    // An escape cut off by the end of the body, an empty body, a body far too long.
    EXPECT_TRUE(decodeMessageBody(Bytes{0x00, 0x1B, 0x00}).title.empty());
    EXPECT_TRUE(decodeMessageBody(Bytes{}).message.empty());
    Bytes huge(6000, 0x41);
    d = decodeMessageBody(huge);
    EXPECT_EQ(d.title.size(), 64u);
    EXPECT_EQ(d.message.size(), 1936u);

    // LF reads as a space, NUL ends the message.
    Bytes lf(128, 0xFF);
    lf.insert(lf.end(), {0x00, 'a', 0x00, 0x0A, 0x00, 'b', 0x00, 0x00, 0x00, 'c'});
    d = decodeMessageBody(lf);
    EXPECT_TRUE(d.title.empty());
    EXPECT_EQ(d.message.text(), u"a b");
}

}  // namespace
}  // namespace orvanta
