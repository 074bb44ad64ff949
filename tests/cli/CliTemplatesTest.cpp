// orvanta-cli templates and send --template against simulated projectors on 127.0.128.x: each
// projector of one send gets the template filled with its own name, refused values never
// reach a projector, and the history names the template and its values.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/CliTestSupport.h"
#include "history/History.h"
#include "message/MessageFile.h"
#include "platform/TextCodec.h"
#include "projectors/ProjectorGroups.h"
#include "projectors/ProjectorRegistry.h"
#include "support/SimProcess.h"
#include "templates/Template.h"
#include "text/LanguageText.h"

namespace orvanta {
namespace {

using testsupport::CliFolders;
using testsupport::CliOutcome;
using testsupport::describe;
using testsupport::ipv4;
using testsupport::SimProcess;

// "Welcome" greets each room by its name and says what comes when.
MessageTemplate welcome() {
    MessageTemplate t;
    t.name = "Welcome";
    t.fields = {{"event", "Event", FieldKind::Text, true, "", 20, {}},
                {"at", "Starts at", FieldKind::Time, true, "09:00", 40, {}}};
    t.message.title = RichText(u"WELCOME", 0xFFFF00, 0xC0C0C0);
    t.message.body = RichText(u"{projector} ({group}): {event} at {at}", 0xFFFFFF, 0xC0C0C0);
    return t;
}

void registerNamed(const CliFolders& folders, const char* address, const char* name) {
    ProjectorRecord record;
    record.address = ipv4(address);
    record.name = name;
    record.mac = "-----";
    ASSERT_TRUE(registerProjector(folders.program(), record).ok());
}

TEST(CliTemplates, ListShowAndJsonDescribeTheFieldsAlike) {
    setInterfaceLanguage(LanguageId::English);
    CliFolders folders("templates-list");
    ASSERT_TRUE(saveTemplate(templatesFolder(folders.program()), welcome()).ok());
    ASSERT_TRUE(writeFileAtomically(templatePath(templatesFolder(folders.program()), "Broken"),
                                    "{\"format\": 1, \"fields\": 3}")
                    .ok());

    const CliOutcome list = folders.run({"templates", "list"});
    EXPECT_EQ(list.status, 0) << list.err;
    EXPECT_EQ(list.out, "Welcome - {event} {at}\n");
    EXPECT_NE(list.err.find("Broken"), std::string::npos) << list.err;

    const CliOutcome json = folders.run({"templates", "show", "Welcome", "--json"});
    EXPECT_EQ(json.status, 0) << json.err;
    EXPECT_EQ(json.out, describeTemplateJson(welcome()) + "\n");
    const CliOutcome all = folders.run({"templates", "list", "--json"});
    EXPECT_EQ(all.out, describeTemplatesJson({welcome()}) + "\n");

    const CliOutcome missing = folders.run({"templates", "show", "Nothing"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find(languageText(Text::TemplateNotFound)), std::string::npos);
}

TEST(CliTemplates, ASendToAGroupFillsEachProjectorWithItsOwnName) {
    setInterfaceLanguage(LanguageId::English);
    CliFolders folders("templates-send");
    SimProcess sims({"--address", "127.0.128.2", "--address", "127.0.128.3", "--save-polls", "0"});
    ASSERT_TRUE(sims.ready()) << sims.output();
    registerNamed(folders, "127.0.128.2", "Hall A");
    registerNamed(folders, "127.0.128.3", "Lab 3");
    ASSERT_TRUE(createGroup(folders.program(), "Floor 1").ok());
    for (const char* a : {"127.0.128.2", "127.0.128.3"}) {
        ASSERT_TRUE(addToGroup(folders.program(), "Floor 1", ipv4(a)).ok());
    }
    ASSERT_TRUE(saveTemplate(templatesFolder(folders.program()), welcome()).ok());

    const std::vector<std::string> args = {
        "send",   "--template", "Welcome", "--set",  "event=Assembly {at}",
        "--slot", "3",          "--group", "Floor 1"};
    const CliOutcome sent = folders.run(args);
    ASSERT_EQ(sent.status, 0) << describe(args, sent);
    EXPECT_EQ(sent.out, "127.0.128.2:     Complete.\n127.0.128.3:     Complete.\n");

    for (const auto& [address, name] :
         {std::pair{"127.0.128.2", "Hall A"}, std::pair{"127.0.128.3", "Lab 3"}}) {
        const std::string file = folders.path(std::string(name) + ".ovx");
        const CliOutcome got =
            folders.run({"get", "--slot", "3", "--projector", address, "--out", file});
        ASSERT_EQ(got.status, 0) << got.err;
        const MessageFileResult read = readMessageFile(file, true);
        ASSERT_TRUE(read.ok()) << read.error();
        EXPECT_EQ(read.value().body.text(),
                  utf8ToUtf16(std::string(name)) + u" (Floor 1): Assembly {at} at 09:00");
    }

    const auto history = HistoryFile(historyPath(folders.program())).read();
    ASSERT_TRUE(history.ok()) << history.error();
    int fromTemplate = 0;
    for (const HistoryRecord& r : history.value().records) {
        if (r.command == "send") {
            EXPECT_EQ(r.templateName, "Welcome");
            EXPECT_EQ(r.templateValues, R"({"event":"Assembly {at}"})");
            ++fromTemplate;
        }
    }
    EXPECT_EQ(fromTemplate, 2);
    const CliOutcome printed = folders.run({"history"});
    EXPECT_NE(printed.out.find(R"(template Welcome {"event":"Assembly {at}"})"), std::string::npos)
        << printed.out;
}

TEST(CliTemplates, RefusedValuesNeverReachAProjector) {
    setInterfaceLanguage(LanguageId::English);
    CliFolders folders("templates-refused");
    SimProcess sim({"--address", "127.0.128.10", "--caps", "3"});  // narrow character set
    ASSERT_TRUE(sim.ready()) << sim.output();
    MessageTemplate big = welcome();
    big.name = "Big";
    big.fields[0].maxLength = kMaxFieldLength;
    for (int i = 0; i < 3; ++i) {
        big.message.body.append(u"{event}", 0xFFFFFF, 0xC0C0C0);
    }
    std::string spaced;  // words, so that the lines break without growing the message
    while (spaced.size() < static_cast<std::size_t>(kMaxFieldLength)) {
        spaced += "Wait ";
    }
    for (const MessageTemplate& t : {welcome(), big}) {
        ASSERT_TRUE(saveTemplate(templatesFolder(folders.program()), t).ok());
    }
    struct Case {
        std::vector<std::string> values;
        std::string tmpl;
        std::string err;
        bool connects;  // refused by the projector's kind, told only after its state query
    };
    const Case cases[] = {
        {{}, "Welcome", "Field \"event\": a value is needed.", false},
        {{"event=Talk", "room=B12"},
         "Welcome",
         "Field \"room\": this template has no such field.",
         false},
        {{"event=A talk far too long to fit"}, "Welcome", "longer than 20 characters", false},
        {{"event=Talk", "at=9.30"}, "Welcome", "Field \"at\": the value must be a time", false},
        {{"event=Talk\x1B[2J"}, "Welcome", "one line of text", false},
        {{"event"}, "Welcome", languageText(Text::TemplateAssignment), false},
        {{"event=" + spaced}, "Big", "the projector takes at most 3968", false},
        {{"event=Talk"}, "Nothing", languageText(Text::TemplateNotFound), false},
        {{"event=\u4F1A\u8B70"}, "Welcome", "Field \"event\": the projector cannot show", true},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"send", "--template", c.tmpl, "--projector",
                                         "127.0.128.10"};
        for (const std::string& v : c.values) {
            args.insert(args.end(), {"--set", v});
        }
        const CliOutcome o = folders.run(args);
        EXPECT_EQ(o.status, 1) << describe(args, o);
        EXPECT_NE((o.err + o.out).find(c.err), std::string::npos) << describe(args, o);
        if (c.connects) {
            EXPECT_TRUE(sim.waitForLine("127.0.128.10:9719 ")) << sim.output();
        } else {
            EXPECT_EQ(sim.output().find("127.0.128.10:9719 "), std::string::npos)
                << describe(args, o) << sim.output();
        }
        EXPECT_EQ(sim.output().find("PUT"), std::string::npos) << sim.output();
    }
}

}  // namespace
}  // namespace orvanta
