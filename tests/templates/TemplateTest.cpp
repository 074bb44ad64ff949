#include "templates/Template.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "message/Payload.h"
#include "platform/AtomicFile.h"
#include "support/TemplateFillCheck.h"
#include "text/LanguageText.h"

namespace orvanta {
namespace {

namespace fs = std::filesystem;

constexpr Rgb kWhite = 0xFFFFFF;
constexpr Rgb kRed = 0xFF0000;
constexpr Rgb kSilver = 0xC0C0C0;
constexpr Rgb kYellow = 0xFFFF00;

const ProjectorCapabilities kNarrow{4, 0x3u};  // no wide character set
const ProjectorCapabilities kWide{4, 0x7u};

class TempDir {
  public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "templates-XXXXXX").string();
        path_ = std::string(::mkdtemp(pattern.data())) + "/";
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

// "Room closed" as an operator would make it: a text, a choice, a time and a date field.
MessageTemplate roomTemplate() {
    MessageTemplate t;
    t.name = "Room closed";
    t.fields = {
        {"room", "Room", FieldKind::Text, true, "", 6, {}},
        {"reason", "Reason", FieldKind::Choice, false, "Repairs", 40, {"Repairs", "Exam"}},
        {"until", "Until", FieldKind::Time, false, "", 40, {}},
        {"day", "Day", FieldKind::Date, false, "", 40, {}},
    };
    t.message.title = RichText(u"CLOSED", kRed, kSilver);
    t.message.body = RichText(u"Room ", kWhite, kSilver);
    t.message.body.append(u"{room}", kYellow, kRed);
    t.message.body.append(u" is closed ({reason}) until {until} on {day}.", kWhite, kSilver);
    return t;
}

SendFacts facts() {
    return {"Hall A", "127.0.0.2", "", "2026-12-08", "09:30"};
}

TEST(TemplateValues, EachRefusalNamesTheFieldAndTheReason) {
    setInterfaceLanguage(LanguageId::English);
    MessageTemplate longTitle = roomTemplate();
    longTitle.message.title =
        RichText(u"{room}{room}{room}{room}{room}{room}{room}{room}", kRed, kSilver);
    MessageTemplate longBody = roomTemplate();
    longBody.fields[0].maxLength = kMaxFieldLength;
    for (int i = 0; i < 3; ++i) {
        longBody.message.body.append(u"{room}", kWhite, kSilver);
    }
    const std::string longRoom(kMaxFieldLength, 'W');
    struct Case {
        const char* what;
        const MessageTemplate tmpl;
        FieldValues values;
        ProjectorCapabilities capabilities;
        TemplateProblemKind kind;
        std::string field;
        std::string text;
    };
    const Case cases[] = {
        {"required field without value",
         roomTemplate(),
         {},
         kWide,
         TemplateProblemKind::Missing,
         "room",
         "Field \"room\": a value is needed."},
        {"empty value of a required field",
         roomTemplate(),
         {{"room", ""}},
         kWide,
         TemplateProblemKind::Missing,
         "room",
         "a value is needed"},
        {"unknown field",
         roomTemplate(),
         {{"room", "B12"}, {"floor", "2"}},
         kWide,
         TemplateProblemKind::Unknown,
         "floor",
         "Field \"floor\": this template has no such field."},
        {"a time of one digit",
         roomTemplate(),
         {{"room", "B12345"}, {"until", "1"}},
         kWide,
         TemplateProblemKind::NotATime,
         "until",
         "HH:MM"},
        {"seven characters over six",
         roomTemplate(),
         {{"room", "B123456"}},
         kWide,
         TemplateProblemKind::TooLong,
         "room",
         "longer than 6 characters"},
        {"an emoji counts as one character",
         roomTemplate(),
         {{"room", "\U0001F525\U0001F525\U0001F525\U0001F525\U0001F525\U0001F525\U0001F525"}},
         kWide,
         TemplateProblemKind::TooLong,
         "room",
         "6 characters"},
        {"not a choice",
         roomTemplate(),
         {{"room", "B12"}, {"reason", "repairs"}},
         kWide,
         TemplateProblemKind::NotAChoice,
         "reason",
         "one of: Repairs, Exam"},
        {"hour 24",
         roomTemplate(),
         {{"room", "B12"}, {"until", "24:00"}},
         kWide,
         TemplateProblemKind::NotATime,
         "until",
         "HH:MM"},
        {"time without leading zero",
         roomTemplate(),
         {{"room", "B12"}, {"until", "9:30"}},
         kWide,
         TemplateProblemKind::NotATime,
         "until",
         "HH:MM"},
        {"no 29 February in 2026",
         roomTemplate(),
         {{"room", "B12"}, {"day", "2026-02-29"}},
         kWide,
         TemplateProblemKind::NotADate,
         "day",
         "YYYY-MM-DD"},
        {"line end in a value",
         roomTemplate(),
         {{"room", "B1\n2"}},
         kWide,
         TemplateProblemKind::ControlCharacter,
         "room",
         "one line"},
        {"page-feed mark in a value",
         roomTemplate(),
         {{"room", "B\u25BC"}},
         kWide,
         TemplateProblemKind::ControlCharacter,
         "room",
         "one line"},
        {"escape in a value",
         roomTemplate(),
         {{"room",
           "\x1B"
           "1"}},
         kWide,
         TemplateProblemKind::ControlCharacter,
         "room",
         "one line"},
        {"invalid UTF-8",
         roomTemplate(),
         {{"room", "B\xC3"}},
         kWide,
         TemplateProblemKind::ControlCharacter,
         "room",
         "one line"},
        {"CJK on the narrow character set",
         roomTemplate(),
         {{"room", "\u65E5\u672C"}},
         kNarrow,
         TemplateProblemKind::Unsupported,
         "room",
         "cannot show these characters: \u65E5\u672C"},
        {"projector name the narrow set cannot show",
         [] {
             MessageTemplate t = roomTemplate();
             t.message.body.append(u" {projector}", kWhite, kSilver);
             return t;
         }(),
         {{"room", "B12"}},
         kNarrow,
         TemplateProblemKind::Unsupported,
         "projector",
         ""},
        {"title over the limit once filled",
         longTitle,
         {{"room", "B12345"}},
         kNarrow,
         TemplateProblemKind::TitleTooLong,
         "",
         "40 characters"},
        {"message over the size limit once filled",
         longBody,
         {{"room", longRoom}},
         kWide,
         TemplateProblemKind::MessageTooLong,
         "",
         "the projector takes at most 3968"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SendFacts f = facts();
        if (c.field == "projector") {
            f.projectorName = "\u4F1A\u8B70\u5BA4";
        }
        const auto filled = fillTemplate(c.tmpl, c.values, f, c.capabilities);
        ASSERT_FALSE(filled.ok());
        EXPECT_EQ(filled.reason().kind, c.kind);
        EXPECT_EQ(filled.reason().field, c.field);
        EXPECT_NE(filled.error().find(c.text), std::string::npos) << filled.error();
        if (!c.field.empty()) {
            EXPECT_NE(filled.error().find("\"" + c.field + "\""), std::string::npos);
        }
    }
}

TEST(TemplateFill, ValuesTakeTheirPlaceholdersFormatAndStayText) {
    struct Case {
        const char* what;
        std::u16string body;
        FieldValues values;
        SendFacts facts;
        std::u16string filled;
    };
    const Case cases[] = {
        {"typed fields and defaults",
         u"{room}: {reason} until {until}",
         {{"room", "B12"}, {"until", "14:30"}},
         facts(),
         u"B12: Repairs until 14:30"},
        {"a value holding a placeholder is sent as written",
         u"[{room}]",
         {{"room", "{day}"}},
         facts(),
         u"[{day}]"},
        {"an optional field left empty", u"a{day}b", {{"room", "B1"}}, facts(), u"ab"},
        {"braces that are no field",
         u"{} { room} {9} {room",
         {{"room", "B1"}},
         facts(),
         u"{} { room} {9} {room"},
        {"fields of the projector",
         u"{projector}/{address}/{group}/{date} {time}",
         {{"room", "B1"}},
         {"Hall A", "127.0.0.2", "Floor 2", "2026-12-08", "09:30"},
         u"Hall A/127.0.0.2/Floor 2/2026-12-08 09:30"},
        {"an unnamed projector goes by its address",
         u"{projector}",
         {{"room", "B1"}},
         {"", "127.0.0.3", "", "2026-12-08", "09:30"},
         u"127.0.0.3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MessageTemplate t = roomTemplate();
        t.message.body = RichText(c.body, kWhite, kSilver);
        const auto filled = fillTemplate(t, c.values, c.facts, kWide);
        ASSERT_TRUE(filled.ok()) << filled.error();
        EXPECT_EQ(filled.value().message.body.text(), c.filled);
        EXPECT_GT(filled.value().bodyBytes, 0u);
    }

    // The value takes the yellow on red of "{room}"; the text around keeps its own colors.
    const auto filled = fillTemplate(roomTemplate(), {{"room", "B12"}}, facts(), kWide);
    ASSERT_TRUE(filled.ok()) << filled.error();
    const RichText& body = filled.value().message.body;
    ASSERT_EQ(body.text().substr(0, 9), u"Room B12 ");
    for (std::size_t i = 5; i < 8; ++i) {
        EXPECT_EQ(body.units[i].color, kYellow);
        EXPECT_EQ(body.units[i].background, kRed);
    }
    EXPECT_EQ(body.units[8].color, kWhite);
    EXPECT_EQ(filled.value().message.title.text(), u"CLOSED");
}

TEST(TemplateFill, RandomTemplatesAndValuesFillExactlyAndDecode) {
    std::mt19937 generator(28);
    const testing::Draw draw = [&] { return static_cast<std::uint32_t>(generator()); };
    for (int round = 0; round < 400; ++round) {
        SCOPED_TRACE(round);
        ASSERT_EQ(testing::checkRandomFill(draw), "");
    }
}

TEST(TemplateCheck, TemplatesThatCannotBeFilledAreRefused) {
    setInterfaceLanguage(LanguageId::English);
    struct Case {
        const char* what;
        std::function<void(MessageTemplate&)> change;
        TemplateProblemKind kind;
        std::string field;
    };
    const Case cases[] = {
        {"field name with a space", [](MessageTemplate& t) { t.fields[0].name = "the room"; },
         TemplateProblemKind::BadName, "the room"},
        {"field name starting with a digit", [](MessageTemplate& t) { t.fields[0].name = "1st"; },
         TemplateProblemKind::BadName, "1st"},
        {"field defined twice", [](MessageTemplate& t) { t.fields[1].name = "room"; },
         TemplateProblemKind::BadField, "room"},
        {"field named like one the program fills",
         [](MessageTemplate& t) {
             t.fields.push_back({"projector", "P", FieldKind::Text, true, "", 40, {}});
         },
         TemplateProblemKind::BadName, "projector"},
        {"choice without choices", [](MessageTemplate& t) { t.fields[1].choices.clear(); },
         TemplateProblemKind::BadField, "reason"},
        {"text limit of zero", [](MessageTemplate& t) { t.fields[0].maxLength = 0; },
         TemplateProblemKind::BadField, "room"},
        {"default that is no time", [](MessageTemplate& t) { t.fields[2].defaultValue = "noon"; },
         TemplateProblemKind::BadField, "until"},
        {"placeholder of an undefined field",
         [](MessageTemplate& t) { t.message.title.append(u"{floor}", kRed, kSilver); },
         TemplateProblemKind::UndefinedField, "floor"},
        {"template name with a slash", [](MessageTemplate& t) { t.name = "a/b"; },
         TemplateProblemKind::BadName, ""},
        {"template name of a hidden file", [](MessageTemplate& t) { t.name = ".x"; },
         TemplateProblemKind::BadName, ""},
    };
    ASSERT_TRUE(checkTemplate(roomTemplate()).ok());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MessageTemplate t = roomTemplate();
        c.change(t);
        const auto checked = checkTemplate(t);
        ASSERT_FALSE(checked.ok());
        EXPECT_EQ(checked.reason().kind, c.kind);
        EXPECT_EQ(checked.reason().field, c.field);
        EXPECT_FALSE(checked.error().empty());
        TempDir dir;
        EXPECT_FALSE(saveTemplate(dir.path(), t).ok())
            << "a template that cannot be filled is saved";
    }
}

TEST(TemplateFiles, SavedTemplatesLoadBackAndDamagedOnesAreReportedByName) {
    setInterfaceLanguage(LanguageId::English);
    TempDir dir;
    const std::string folder = templatesFolder(dir.path());
    MessageTemplate room = roomTemplate();
    room.message.options.style = 1;
    room.message.options.alarmSound = 3;
    room.message.icon = 2;
    room.message.options.iconNumber = 2;
    room.message.backgroundColor = 1;
    room.message.body.append(u"\r\u65E5\u672C \U0001F525", 0x00FF00, 0x0000FF);
    ASSERT_TRUE(saveTemplate(folder, room).ok());
    MessageTemplate other = roomTemplate();
    other.name = "\u65E5\u672C";
    ASSERT_TRUE(saveTemplate(folder, other).ok());

    const std::pair<const char*, const char*> damaged[] = {
        {"Broken", "{\"format\": 1, \"fields\": ["},
        {"Wrong kind", "{\"format\": 1, \"fields\": [{\"name\": \"a\", \"kind\": \"colour\"}]}"},
        {"Future", "{\"format\": 2, \"fields\": []}"},
        {"Undefined",
         "{\"format\": 1, \"fields\": [], \"message\": [{\"text\": \"{x}\", "
         "\"color\": \"#FFFFFF\", \"background\": \"#000000\"}]}"},
        {"Bad color",
         "{\"format\": 1, \"fields\": [], \"message\": [{\"text\": \"a\", "
         "\"color\": \"white\", \"background\": \"#000000\"}]}"},
    };
    for (const auto& [name, content] : damaged) {
        ASSERT_TRUE(writeFileAtomically(templatePath(folder, name), content).ok());
    }
    std::ofstream(folder + "notes.txt") << "not a template";

    const TemplateSet set = loadTemplates(folder);
    ASSERT_EQ(set.templates.size(), 2u);
    EXPECT_EQ(set.templates[0], room);
    EXPECT_EQ(set.templates[1], other);
    ASSERT_EQ(set.errors.size(), std::size(damaged));
    for (const TemplateFileError& error : set.errors) {
        EXPECT_NE(error.text.find(error.name), std::string::npos) << error.text;
    }
    EXPECT_TRUE(set.folderError.empty());

    EXPECT_EQ(loadTemplate(folder, "Missing").reason().kind, TemplateProblemKind::NotFound);
    EXPECT_EQ(loadTemplate(folder, "../x").reason().kind, TemplateProblemKind::BadName);
    EXPECT_TRUE(loadTemplates(dir.path() + "none/").templates.empty());
    ASSERT_TRUE(removeTemplate(folder, other.name).ok());
    EXPECT_EQ(loadTemplates(folder).templates.size(), 1u);
}

TEST(TemplateFiles, DescriptionsHaveTheShapeScriptsRead) {
    MessageTemplate t = roomTemplate();
    EXPECT_EQ(
        describeTemplateJson(t),
        R"({"fields":[)"
        R"({"default":"","kind":"text","label":"Room","max_length":6,"name":"room","required":true},)"
        R"({"choices":["Repairs","Exam"],"default":"Repairs","kind":"choice","label":"Reason","name":"reason","required":false},)"
        R"({"default":"","kind":"time","label":"Until","name":"until","required":false},)"
        R"({"default":"","kind":"date","label":"Day","name":"day","required":false}],)"
        R"("name":"Room closed"})");
    EXPECT_EQ(describeTemplatesJson({}), "[]");
}

TEST(StarterTemplates, EachLoadsFillsWithItsDefaultsAndFitsInEveryLanguage) {
    const std::string starter = std::string(ORVANTA_TEST_SOURCE_DIR) + "/data/StarterTemplates/";
    for (LanguageId language :
         {LanguageId::English, LanguageId::Japanese, LanguageId::ChineseSimplified}) {
        SCOPED_TRACE(std::string(starterLanguageFolder(language)));
        const TemplateSet set =
            loadTemplates(starter + std::string(starterLanguageFolder(language)));
        EXPECT_TRUE(set.errors.empty()) << set.errors.front().text;
        EXPECT_EQ(set.templates.size(), 7u);
        for (const MessageTemplate& t : set.templates) {
            SCOPED_TRACE(t.name);
            std::vector<ProjectorCapabilities> projectors = {kWide, {1, 0}};
            if (language == LanguageId::English) {
                projectors.push_back(kNarrow);
            }
            for (const ProjectorCapabilities& capabilities : projectors) {
                const auto filled = fillTemplate(t, {}, facts(), capabilities);
                ASSERT_TRUE(filled.ok()) << filled.error();
                EXPECT_LE(filled.value().bodyBytes, kMaxBodyBytes);
                EXPECT_EQ(placeholderNames({"", {}, filled.value().message}).size(), 0u);
            }
        }
    }

    // Installed once: what the operator deletes later stays deleted.
    TempDir program;
    ASSERT_TRUE(installStarterTemplates(program.path(), starter, LanguageId::Japanese).ok());
    const std::string folder = templatesFolder(program.path());
    ASSERT_EQ(loadTemplates(folder).templates.size(), 7u);
    ASSERT_TRUE(removeTemplate(folder, loadTemplates(folder).templates[0].name).ok());
    ASSERT_TRUE(installStarterTemplates(program.path(), starter, LanguageId::Japanese).ok());
    EXPECT_EQ(loadTemplates(folder).templates.size(), 6u);
}

TEST(TemplateValues, AssignmentsSplitAtTheFirstEquals) {
    const auto split = parseAssignment("note=a=b");
    ASSERT_TRUE(split.ok());
    EXPECT_EQ(split.value(), (std::pair<std::string, std::string>{"note", "a=b"}));
    EXPECT_FALSE(parseAssignment("=x").ok());
    EXPECT_FALSE(parseAssignment("room").ok());
}

}  // namespace
}  // namespace orvanta
