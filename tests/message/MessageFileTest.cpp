#include "message/MessageFile.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <optional>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "message/Rtf.h"
#include "platform/AtomicFile.h"
#include "support/ScriptedPrompt.h"
#include "text/LanguageText.h"

namespace orvanta {
namespace {

namespace fs = std::filesystem;

constexpr Rgb kWhite = 0xFFFFFF;
constexpr Rgb kSilver = 0xC0C0C0;
constexpr Rgb kRed = 0xFF0000;
constexpr Rgb kBlue = 0x0000FF;

const char* const kNotSupported = "This file format is not supported.";

class TempDir {
  public:
    TempDir() {
        std::string tmpl = (fs::temp_directory_path() / "msgfile-XXXXXX").string();
        path_ = ::mkdtemp(tmpl.data());
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

  private:
    fs::path path_;
};

ProjectorCapabilities capabilities(bool extendedOptions) {
    ProjectorCapabilities c;
    c.level = extendedOptions ? 4 : 1;
    c.flags = extendedOptions ? 0x7u : 0u;
    return c;
}

Message sampleMessage() {
    Message m;
    m.title = RichText(u"Fire drill", kWhite, kSilver);
    m.body = RichText(u"Please leave ", kRed, kBlue);
    m.body.append(u"now\u25BC\rPage 2 \u65E5\u672C \u0416\r\rend", kWhite, 0xE0E0E0);
    return m;
}

// Reads a file into `message` as the editor does; the reason it failed, else nothing. The
// text the operator would be told goes to `told`.
std::optional<MessageFileProblem> openInto(const std::string& path, bool extendedOptions,
                                           Message& message, std::string* told = nullptr) {
    MessageFileResult read = readMessageFile(path, extendedOptions, message);
    if (!read) {
        if (told != nullptr) {
            *told = read.error();
        }
        return read.reason();
    }
    message = std::move(read).value();
    return std::nullopt;
}
std::optional<MessageFileProblem> parseInto(std::string_view bytes, bool extendedOptions,
                                            Message& message) {
    MessageFileResult read = parseMessageFile(bytes, extendedOptions, message);
    if (!read) {
        return read.reason();
    }
    message = std::move(read).value();
    return std::nullopt;
}

std::string readFile(const std::string& path) {
    const auto sRead = readWholeFile(path);
    EXPECT_TRUE(sRead.ok()) << path;
    const std::string s = sRead.valueOr({});
    return s;
}

class MessageFileTest : public ::testing::Test {
  protected:
    void SetUp() override { setInterfaceLanguage(LanguageId::English); }

    MessageHeader saveHeader(Message& m, bool extendedOptions) {
        EncodeSettings s;
        s.purpose = EncodePurpose::Save;
        s.capabilities = capabilities(extendedOptions);
        ScriptedPrompt prompt;
        auto r = encodeMessage(m, s, prompt);
        EXPECT_TRUE(r.ok() && r.value().payload);
        return r && r.value().payload ? r.value().payload->header : MessageHeader{};
    }

    MessagePayload sendPayload(Message m, bool extendedOptions) {
        EncodeSettings s;
        s.purpose = EncodePurpose::Send;
        s.capabilities = capabilities(extendedOptions);
        ScriptedPrompt prompt;
        auto r = encodeMessage(m, s, prompt);
        EXPECT_TRUE(r.ok() && r.value().payload);
        return r ? r.value().payload.value_or(MessagePayload{}) : MessagePayload{};
    }

    TempDir dir_;
};

TEST_F(MessageFileTest, OptionLinesHaveTheExactTexts) {
    Message m = sampleMessage();
    m.options.style = 1;
    m.options.scrollCount = 10;
    m.options.alarmSound = 0;  // no alarm chosen
    m.options.lappedOverPicture = 1;
    m.options.horizontalPosition = 2;
    m.icon = 4;
    m.options.titlePosition = 2;
    m.options.blink = 1;
    EXPECT_EQ(messageFileOptionText(saveHeader(m, true), true),
              "OPTNUM=10\nTITLE=11\nMSG=12\nff00ffffffST01\nVPOS=00\nHPOS=12\nCHRSIZE=00\n"
              "DISPAR=a0\nDISPLVL=00\nTITLEATT=84\nSCRLLNUM=0a\nSCRLLSPD=01\nDISPTIME=ff\n");
    EXPECT_EQ(messageFileOptionText(saveHeader(m, false), false).substr(0, 31),
              "OPTNUM=10\nTITLE=11\nMSG=12\nST01\n");

    // The file is rich text whose paragraphs are those lines, the title and the message.
    const auto rtf = readRtf(composeMessageFile(m, saveHeader(m, true), true));
    ASSERT_TRUE(rtf.ok());
    const auto paragraphs = splitParagraphs(rtf.value());
    ASSERT_GE(paragraphs.size(), 15u);
    EXPECT_EQ(paragraphs[3].text(), u"ff00ffffffST01");
    EXPECT_EQ(paragraphs[12].text(), u"DISPTIME=ff");
    EXPECT_EQ(paragraphs[13], m.title);
}

TEST_F(MessageFileTest, SaveThenOpenKeepsTextColorsAndOptions) {
    struct Variant {
        const char* name;
        std::function<void(Message&)> change;
    };
    std::vector<Variant> variants;
    for (int style = 0; style <= 3; ++style) {
        variants.push_back({"style", [style](Message& m) { m.options.style = style; }});
    }
    for (int v = 0; v <= 2; ++v) {
        variants.push_back({"vertical", [v](Message& m) { m.options.verticalPosition = v; }});
        variants.push_back({"title position", [v](Message& m) { m.options.titlePosition = v; }});
        variants.push_back({"level", [v](Message& m) { m.options.level = v; }});
        variants.push_back({"speed", [v](Message& m) { m.options.scrollSpeed = v; }});
    }
    for (int h : {0, 2}) {
        for (int lapped : {0, 1}) {
            variants.push_back({"horizontal and lapped", [h, lapped](Message& m) {
                                    m.options.horizontalPosition = h;
                                    m.options.lappedOverPicture = lapped;
                                }});
        }
    }
    variants.push_back({"double size", [](Message& m) {
                            m.options.characterSize = 1;
                            m.title = RichText(u"Short", kWhite, kSilver);
                        }});
    for (int count : {0, 1, 10, 100}) {
        variants.push_back(
            {"scroll count", [count](Message& m) { m.options.scrollCount = count; }});
    }
    for (int minutes : {0, 5, 127}) {
        for (int half : {0, 1}) {
            variants.push_back({"display time", [minutes, half](Message& m) {
                                    m.options.displayMinutes = minutes;
                                    m.options.displayHalfMinute = half;
                                }});
        }
    }
    variants.push_back({"no display time", [](Message& m) {
                            m.options.displayMinutes = 255;
                            m.options.displayHalfMinute = 255;
                        }});
    for (int color = 0; color <= 9; ++color) {
        for (int blink : {0, 1}) {
            variants.push_back({"background and blink", [color, blink](Message& m) {
                                    m.backgroundColor = color;
                                    m.options.background = packBackground(color);
                                    m.options.blink = blink;
                                }});
        }
    }
    for (int icon = 0; icon <= 5; ++icon) {
        variants.push_back({"icon", [icon](Message& m) { m.icon = icon; }});
    }
    variants.push_back({"alarm", [](Message& m) {
                            m.options.alarmVolume = 2;
                            m.options.alarmSound = 3;
                            m.options.alarmLoop = 5;
                            m.options.alarmInterval = 4;
                        }});
    variants.push_back({"empty title", [](Message& m) { m.title = {}; }});
    variants.push_back({"message ending in an empty line",
                        [](Message& m) { m.body.append(u"\r", kWhite, kSilver); }});

    const std::string path = dir_.file("round.ovx");
    for (bool ext : {false, true}) {
        for (const auto& v : variants) {
            SCOPED_TRACE(std::string(v.name) + (ext ? " (extended)" : ""));
            Message before = sampleMessage();
            v.change(before);
            const MessageHeader header = saveHeader(before, ext);
            ScriptedPrompt prompt;
            ASSERT_TRUE(saveMessageFile(path, before, header, capabilities(ext), prompt).ok());
            EXPECT_TRUE(prompt.entries().empty());

            Message after;
            ASSERT_EQ(openInto(path, ext, after), std::nullopt);
            EXPECT_TRUE(prompt.entries().empty());
            EXPECT_EQ(after.title, before.title);
            EXPECT_EQ(after.body, before.body);
            EXPECT_EQ(after.icon, before.icon);
            // What the file keeps of the options: everything as the save header carries it
            // (background with the blink bit, the icon, display time in one byte, the alarm
            // only with the extended options, where the unused byte reads as 255).
            MessageOptions expected = before.options;
            expected.background = header[4];
            expected.iconNumber = before.icon;
            expected.displayMinutes = header[9] & 0x7F;
            expected.displayHalfMinute = header[9] >> 7;
            if (ext) {
                expected.alarmVolume = header[16];
                expected.alarmSound = header[17];
                expected.alarmCustomSound = 0xFF;
                expected.alarmLoop = header[19];
                expected.alarmInterval = header[20];
            } else {
                MessageOptions fresh;
                expected.alarmVolume = fresh.alarmVolume;
                expected.alarmSound = fresh.alarmSound;
                expected.alarmCustomSound = fresh.alarmCustomSound;
                expected.alarmLoop = fresh.alarmLoop;
                expected.alarmInterval = fresh.alarmInterval;
            }
            EXPECT_EQ(after.options, expected);
            EXPECT_EQ(after.backgroundColor, before.backgroundColor);
            // What goes to the projector is the same before and after the round trip.
            EXPECT_EQ(sendPayload(after, ext), sendPayload(before, ext));
        }
    }
}

TEST_F(MessageFileTest, DocumentedValuesReadBack) {
    Message m = sampleMessage();
    m.options.style = 1;
    m.options.alarmSound = 0;
    m.options.scrollCount = 10;
    m.options.displayMinutes = 255;
    m.options.displayHalfMinute = 255;
    const std::string path = dir_.file("values.ovx");
    ScriptedPrompt prompt;
    ASSERT_TRUE(saveMessageFile(path, m, saveHeader(m, true), capabilities(true), prompt).ok());

    // Read without the extended options, the ten alarm digits are ignored and the style still
    // comes from the last two characters.
    Message plain;
    plain.options.alarmVolume = 7;
    ASSERT_EQ(openInto(path, false, plain), std::nullopt);
    EXPECT_EQ(plain.options.style, 1);
    EXPECT_EQ(plain.options.alarmVolume, 7);
    EXPECT_EQ(plain.options.scrollCount, 10);
    EXPECT_EQ(plain.options.displayMinutes, 127);
    EXPECT_EQ(plain.options.displayHalfMinute, 1);

    Message extended;
    ASSERT_EQ(openInto(path, true, extended), std::nullopt);
    EXPECT_EQ(extended.options.alarmVolume, 0xFF);
    EXPECT_EQ(extended.options.alarmSound, 0x00);
    EXPECT_EQ(extended.options.alarmLoop, 0xFF);
}

// A file as the rich edit control of the old program wrote it, with the option lines given.
std::string richEditFile(const std::vector<std::string>& optionLines, const std::string& title,
                         const std::string& message) {
    std::string rtf =
        "{\\rtf1\\ansi\\ansicpg932\\deff0\\deflang1033\\deflangfe1041{\\fonttbl{\\f0\\fnil"
        "\\fcharset128 Arial Unicode MS;}}\r\n{\\colortbl ;\\red255\\green255\\blue255;"
        "\\red192\\green192\\blue192;\\red255\\green0\\blue0;}\r\n"
        "{\\*\\generator Msftedit 5.41.21.2510;}\\viewkind4\\uc1\\pard\\cf1\\highlight2\\lang1041"
        "\\f0\\fs18 ";
    for (const auto& line : optionLines) {
        rtf += line + "\\par\r\n";
    }
    return rtf + title + "\\par\r\n" + message + "\\par\r\n}\r\n";
}

TEST_F(MessageFileTest, OlderLayoutsAreAccepted) {
    const std::vector<std::string> common = {"VPOS=02",     "HPOS=12",     "CHRSIZE=00",
                                             "DISPAR=05",   "DISPLVL=01",  "TITLEATT=43",
                                             "SCRLLNUM=03", "SCRLLSPD=02", "DISPTIME=85"};
    struct Case {
        const char* name;
        std::vector<std::string> head;  // OPTNUM, TITLE, MSG and the style line
        std::vector<std::string> tail;  // after the common lines
        bool extendedOptions;
        std::uint8_t horizontal, lapped, alarmSound, alarmVolume;
    };
    const Case cases[] = {
        {"current layout without alarm",
         {"OPTNUM=10", "TITLE=11", "MSG=12", "ST02"},
         {},
         false,
         2,
         1,
         0,
         0},
        {"plain style line read with the extended options",
         {"OPTNUM=10", "TITLE=11", "MSG=12", "ST02"},
         {},
         true,
         2,
         1,
         0,
         0xFF},
        {"current layout with alarm",
         {"OPTNUM=10", "TITLE=11", "MSG=12", "0203ff0101ST02"},
         {},
         true,
         2,
         1,
         3,
         2},
        {"STYLE line", {"OPTNUM=10", "TITLE=11", "MSG=12", "STYLE=02"}, {}, true, 2, 1, 0, 0xFF},
        {"eleven option lines: lapped over picture on its own line",
         {"OPTNUM=11", "TITLE=12", "MSG=13", "STYLE=02"},
         {"00"},
         false,
         2,
         0,
         0,
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> lines = c.head;
        lines.insert(lines.end(), common.begin(), common.end());
        lines.insert(lines.end(), c.tail.begin(), c.tail.end());
        const std::string path = dir_.file("old.ovx");
        ASSERT_TRUE(writeFileAtomically(
                        path, richEditFile(lines, "\\'93\\'fa\\'96\\'7b",
                                           "\\cf3 Hello\\par\\cf1\\'83\\'5c\\'83\\'74\\'83\\'67"))
                        .ok());
        Message m;
        ASSERT_EQ(openInto(path, c.extendedOptions, m), std::nullopt);
        EXPECT_EQ(m.options.style, 2);
        EXPECT_EQ(m.options.verticalPosition, 2);
        EXPECT_EQ(m.options.horizontalPosition, c.horizontal);
        EXPECT_EQ(m.options.lappedOverPicture, c.lapped);
        EXPECT_EQ(m.options.level, 1);
        EXPECT_EQ(m.options.titlePosition, 1);
        EXPECT_EQ(m.icon, 3);
        EXPECT_EQ(m.options.scrollCount, 3);
        EXPECT_EQ(m.options.displayMinutes, 5);
        EXPECT_EQ(m.options.displayHalfMinute, 1);
        EXPECT_EQ(m.backgroundColor, 5);
        EXPECT_EQ(m.options.alarmSound, c.alarmSound);
        EXPECT_EQ(m.options.alarmVolume, c.alarmVolume);
        EXPECT_EQ(m.title, RichText(u"\u65E5\u672C", kWhite, kSilver));
        RichText body(u"Hello\r", kRed, kSilver);
        body.append(u"\u30BD\u30D5\u30C8", kWhite, kSilver);
        EXPECT_EQ(m.body, body);
    }
}

TEST_F(MessageFileTest, MalformedFilesAreNotSupported) {
    Message good = sampleMessage();
    const std::string valid = composeMessageFile(good, saveHeader(good, false), false);
    const std::vector<std::string> goodLines = {
        "OPTNUM=10",   "TITLE=11",    "MSG=12",     "ST01",       "VPOS=00",
        "HPOS=10",     "CHRSIZE=00",  "DISPAR=20",  "DISPLVL=00", "TITLEATT=00",
        "SCRLLNUM=00", "SCRLLSPD=01", "DISPTIME=ff"};
    auto withLine = [&](std::size_t index, const std::string& text) {
        auto lines = goodLines;
        lines[index] = text;
        return richEditFile(lines, "T", "M");
    };
    struct Case {
        const char* name;
        std::string bytes;
        std::optional<MessageFileProblem> error;
    };
    const Case cases[] = {
        {"empty file", "", MessageFileProblem::NotRichText},
        {"truncated", valid.substr(0, valid.size() / 2), MessageFileProblem::NotRichText},
        {"missing closing brace", valid.substr(0, valid.rfind('}')),
         MessageFileProblem::NotRichText},
        {"plain text with the right lines", "OPTNUM=10\nTITLE=11\nMSG=12\nST01\n",
         MessageFileProblem::NotRichText},
        {"binary garbage",
         std::string("\x7f"
                     "ELF\x02\x01\x01\x00\xff\xfe{\\rtf",
                     15),
         MessageFileProblem::NotRichText},
        {"fourteen lines",
         richEditFile(std::vector<std::string>(goodLines.begin(), goodLines.end() - 1), "T", ""),
         MessageFileProblem::TooFewLines},
        {"missing option lines",
         richEditFile(std::vector<std::string>(goodLines.begin(), goodLines.end() - 2), "T",
                      "M1\\par M2\\par M3"),
         MessageFileProblem::BadOptionLine},
        {"option count 09", withLine(0, "OPTNUM=09"), MessageFileProblem::WrongLayout},
        {"title line 13", withLine(1, "TITLE=13"), MessageFileProblem::WrongLayout},
        {"message line 11", withLine(2, "MSG=11"), MessageFileProblem::WrongLayout},
        {"no equals sign", withLine(0, "OPTNUM 10"), MessageFileProblem::WrongLayout},
        {"huge number", withLine(0, "OPTNUM=99999999999999999999"),
         MessageFileProblem::WrongLayout},
        {"empty option line", withLine(5, ""), MessageFileProblem::BadOptionLine},
        {"one character option line", withLine(5, "1"), MessageFileProblem::BadOptionLine},
        {"not hexadecimal", withLine(7, "DISPAR=zz"), MessageFileProblem::BadOptionLine},
        {"huge control word numbers",
         "{\\rtf1\\ansicpg99999999999\\uc99999999999\\cf99999999999\\fs-99999999999 x}",
         MessageFileProblem::TooFewLines},
    };
    const std::string path = dir_.file("bad.ovx");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(writeFileAtomically(path, c.bytes).ok());
        Message m = sampleMessage();
        const Message before = m;
        std::string told;
        EXPECT_EQ(openInto(path, true, m, &told), c.error);
        EXPECT_EQ(told, kNotSupported);
        EXPECT_EQ(m, before);
    }

    // Endings are compared with exact case: ".TXT" is a message file, and not in the format.
    const std::string upper = dir_.file("NOTE.TXT");
    ASSERT_TRUE(writeFileAtomically(upper, "Hello").ok());
    Message m;
    std::string told;
    EXPECT_EQ(openInto(upper, false, m, &told), MessageFileProblem::NotRichText);
    EXPECT_EQ(told, kNotSupported);
    EXPECT_EQ(openInto(dir_.file("missing.ovx"), false, m), MessageFileProblem::Unreadable);
    EXPECT_EQ(openInto(dir_.file(""), false, m), MessageFileProblem::NotRegular);
}

TEST_F(MessageFileTest, FailedSaveKeepsThePreviousFile) {
    Message m = sampleMessage();
    const MessageHeader header = saveHeader(m, false);
    const std::string path = dir_.file("keep.ovx");
    const std::string previous = "previous content";
    ASSERT_TRUE(writeFileAtomically(path, previous).ok());

    // Title over the limit: refused with its text, nothing written.
    {
        Message longTitle = m;
        longTitle.title = RichText(std::u16string(21, u'T'), kWhite, kSilver);
        ScriptedPrompt prompt;
        const auto r = saveMessageFile(path, longTitle, header, capabilities(false), prompt);
        EXPECT_EQ(r.reason(), SaveProblem::TitleTooLong);
        EXPECT_FALSE(r.ok());
        EXPECT_EQ(prompt.texts(),
                  std::vector<std::string>{"There is too many character in the title box.  (Max 20 "
                                           "characters.) \nPlease delete any characters."});
        EXPECT_EQ(readFile(path), previous);
    }
    // Missing folder.
    {
        ScriptedPrompt prompt;
        const auto r = saveMessageFile(dir_.file("no/such/folder/x.ovx"), m, header,
                                       capabilities(false), prompt);
        EXPECT_EQ(r.reason(), SaveProblem::WriteFailed);
        ASSERT_EQ(prompt.entries().size(), 1u);
        EXPECT_EQ(prompt.entries()[0].icon, PromptIcon::Error);
    }
    // The disk fills up while the new content is written (a file size limit stands in for it).
    {
        struct rlimit old {};
        ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
        auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit small = old;
        small.rlim_cur = 64;
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
        ScriptedPrompt prompt;
        const auto r = saveMessageFile(path, m, header, capabilities(false), prompt);
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);
        EXPECT_EQ(r.reason(), SaveProblem::WriteFailed);
        EXPECT_EQ(readFile(path), previous);
        // No temporary file is left beside it.
        int entries = 0;
        for ([[maybe_unused]] const auto& e :
             fs::directory_iterator(fs::path(path).parent_path())) {
            ++entries;
        }
        EXPECT_EQ(entries, 1);
    }
}

TEST_F(MessageFileTest, ProposedSaveName) {
    EXPECT_EQ(proposedSaveName("notes.txt"), "notes");
    EXPECT_EQ(proposedSaveName("notes.TXT"), "notes.TXT");
    EXPECT_EQ(proposedSaveName("msg.ovx"), "msg.ovx");
}

TEST_F(MessageFileTest, TextImportInEachEncoding) {
    struct Case {
        const char* name;
        std::string bytes;
        std::u16string text;
    };
    const Case cases[] = {
        {"UTF-16 with byte order mark",
         std::string("\xFF\xFE"
                     "A\0\t\0B\0\r\0\n\0\x16\x04",
                     14),
         u"A    B\r\u0416"},
        {"UTF-16 odd last byte",
         std::string("\xFF\xFE"
                     "A\0B",
                     5),
         u"A"},
        {"UTF-8", "\xE6\x97\xA5\xE6\x9C\xAC\nline 2\r\nline 3", u"\u65E5\u672C\rline 2\rline 3"},
        {"UTF-8 with signature", "\xEF\xBB\xBFx", u"x"},
        {"Windows-1252", "caf\xE9 \x80 \x9C", u"caf\u00E9 \u20AC \u0153"},
        {"NUL ends the text", std::string("ab\0cd", 5), u"ab"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Message m = sampleMessage();
        m.options.characterSize = 1;
        m.options.style = 2;
        importTextFile(c.bytes, m);
        EXPECT_EQ(m.body, RichText(c.text, kWhite, kSilver));
        EXPECT_TRUE(m.title.empty());
        EXPECT_EQ(m.options.characterSize, 0);
        EXPECT_EQ(m.options.style, 2);
    }

    // Only the first 4096 bytes count; a UTF-8 character cut there does not turn the whole
    // text into Windows-1252.
    std::string longText(4095, 'a');
    longText += "\xE6\x97\xA5tail";
    const std::string path = dir_.file("long.txt");
    ASSERT_TRUE(writeFileAtomically(path, longText).ok());
    Message m;
    ASSERT_EQ(openInto(path, false, m), std::nullopt);
    EXPECT_EQ(m.body.text(), std::u16string(4095, u'a'));
}

const std::vector<std::string> kPlainOptionLines = {
    "OPTNUM=10",   "TITLE=11",    "MSG=12",     "ST01",       "VPOS=00",
    "HPOS=10",     "CHRSIZE=00",  "DISPAR=20",  "DISPLVL=00", "TITLEATT=00",
    "SCRLLNUM=00", "SCRLLSPD=01", "DISPTIME=ff"};

TEST_F(MessageFileTest, HostileValuesInAFileReadAsSomethingSendable) {
    auto withSize = [](const char* line) {
        auto lines = kPlainOptionLines;
        lines[6] = line;
        return lines;
    };
    const struct {
        const char* name;
        std::string bytes;
        const char16_t* title;
        const char16_t* body;
        int characterSize;
    } cases[] = {
        // A NUL would end the text on the projector and in every read back.
        {"NUL in title and message", richEditFile(kPlainOptionLines, "a\\u0?b", "before\\u0?after"),
         u"ab", u"beforeafter", 0},
        {"character size out of range", richEditFile(withSize("CHRSIZE=ff"), "T", "M"), u"T", u"M",
         1},
    };
    for (const auto& c : cases) {
        Message m;
        ASSERT_EQ(parseInto(c.bytes, false, m), std::nullopt) << c.name;
        EXPECT_EQ(m.title.text(), c.title) << c.name;
        EXPECT_EQ(m.body.text(), c.body) << c.name;
        EXPECT_EQ(m.options.characterSize, c.characterSize) << c.name;
    }

    // Text given to the encoder directly (the editor) loses its NULs the same way.
    Message withNul = sampleMessage();
    withNul.body.append(std::u16string(u"x\0y", 3), kWhite, kSilver);
    Message without = sampleMessage();
    without.body.append(u"xy", kWhite, kSilver);
    EXPECT_EQ(saveHeader(withNul, false), saveHeader(without, false));
    ScriptedPrompt prompt;
    EncodeSettings send;
    send.purpose = EncodePurpose::Send;
    const EncodeResult a = encodeMessage(withNul, send, prompt);
    const EncodeResult b = encodeMessage(without, send, prompt);
    ASSERT_TRUE(a && a.value().payload && b && b.value().payload);
    EXPECT_EQ(a.value().payload->body, b.value().payload->body);
}

}  // namespace
}  // namespace orvanta
