// What the commands leave in the history: one record per operator command that reached a
// projector (a send with its startup follow-up is one), with the message as it was sent;
// nothing for a command that ended in its own checks or found no projector. Simulated
// projectors on 127.0.100.x.

#include <gtest/gtest.h>

#include "cli/CliTestSupport.h"
#include "commands/DisplayCommands.h"
#include "commands/ProjectorState.h"
#include "commands/SendCommand.h"
#include "commands/StartupDisplay.h"
#include "message/MessageFile.h"
#include "support/ScriptedPrompt.h"
#include "support/SimProcess.h"
#include "text/LanguageText.h"

namespace orvanta {
namespace {

using testsupport::CliFolders;
using testsupport::ipv4;
using testsupport::SimProcess;

struct Kept {
    CommandRecord record;
    Outcome outcome;
};

class ListHistory : public CommandHistory {
  public:
    void record(const ProjectorTarget& target, const CommandRecord& record,
                const Outcome& outcome) override {
        EXPECT_NE(target.address, 0u);
        kept.push_back({record, outcome});
    }
    std::vector<Kept> kept;
};

TEST(CommandHistory, OneRecordPerCommandThatReachedAProjector) {
    setInterfaceLanguage(LanguageId::English);
    CliFolders folders("history");
    SimProcess sim({"--address", "127.0.100.2", "--save-polls", "0"});
    ASSERT_TRUE(sim.ready()) << sim.output();
    Message m;
    m.title = RichText(u"Drill", 0xFFFFFF, 0xC0C0C0);
    m.body = RichText(u"Leave now", 0xFFFFFF, 0xC0C0C0);
    const std::string file = folders.messageData("m.ovx");
    ASSERT_TRUE(testsupport::writeMessageFile(file, m));

    TransferFlags flags;
    BlockingTransferRunner runner(flags);
    ProjectorInfo info;
    ScriptedPrompt prompt(PromptAnswer::Yes);
    ListHistory history;
    const CommandContext context{{ipv4("127.0.100.2"), ""}, prompt, runner, info, &history};
    const CommandContext nobody{{ipv4("127.0.100.9"), ""}, prompt, runner, info, &history};
    ASSERT_TRUE(refreshProjectorInfo(context).ok());
    ASSERT_TRUE(history.kept.empty()) << "a state query is not an operator command";

    struct Case {
        const char* what;
        std::function<Outcome()> run;
        std::vector<std::string> recorded;  // command names, in order
        std::vector<Outcome::Kind> results;
    };
    StartupDisplay shown;
    const Case cases[] = {
        {"send with its startup follow-up",
         [&] {
             return sendMessageFile(context, {file, 3, true, "5"}, false);
         },
         {"send"},
         {Outcome::Kind::Done}},
        {"send lock",
         [&] {
             return sendMessageFile(context, {file, 3, false, ""}, true);
         },
         {},
         {}},
        {"display on after its checks",
         [&] { return runDisplayCommand(context, DisplayCommand::DisplayOn, 3); },
         {"display-on"},
         {Outcome::Kind::Done}},
        {"display off",
         [&] { return hideStoredMessage(context, 3); },
         {"display-off"},
         {Outcome::Kind::Done}},
        {"clear answered No",
         [&] {
             prompt.queue(PromptAnswer::No);
             return runClear(context, clearCode(ClearScope::Quick));
         },
         {},
         {}},
        {"clear",
         [&] { return runClear(context, clearCode(ClearScope::All)); },
         {"clear-all"},
         {Outcome::Kind::Done}},
        {"mute", [&] { return runMute(context); }, {"mute"}, {Outcome::Kind::Done}},
        {"startup edit",
         [&] { return applyStartupEdit(context, 4, "Repeat", shown); },
         {"startup"},
         {Outcome::Kind::Done}},
        {"startup edit with a bad time",
         [&] { return applyStartupEdit(context, 4, "x", shown); },
         {},
         {}},
        {"nobody at the address", [&] { return runMute(nobody); }, {}, {}},
    };
    for (const Case& c : cases) {
        history.kept.clear();
        c.run();
        std::vector<std::string> names;
        std::vector<Outcome::Kind> results;
        for (const Kept& k : history.kept) {
            names.push_back(k.record.command);
            results.push_back(k.outcome.kind);
        }
        EXPECT_EQ(names, c.recorded) << c.what;
        EXPECT_EQ(results, c.results) << c.what;
    }

    // The send's record holds the message as it went out, readable as a message file.
    history.kept.clear();
    ASSERT_TRUE(sendMessageFile(context, {file, 7, false, ""}, false).ok());
    ASSERT_EQ(history.kept.size(), 1u);
    const CommandRecord& sent = history.kept.front().record;
    // A command that ends without a text of its own is recorded with the last one told.
    EXPECT_EQ(history.kept.front().outcome.text, "    Complete.");
    EXPECT_EQ(sent.slot, 7);
    EXPECT_EQ(sent.title, "Drill");
    EXPECT_EQ(sent.source, file);
    const MessageFileResult back = parseMessageFile(sent.message, true);
    ASSERT_TRUE(back.ok()) << back.error();
    EXPECT_EQ(back.value().title.text(), u"Drill");
    EXPECT_EQ(back.value().body.text(), u"Leave now");

    // A startup edit says what it set.
    history.kept.clear();
    ASSERT_TRUE(applyStartupEdit(context, 2, "9", shown).ok());
    ASSERT_EQ(history.kept.size(), 1u);
    EXPECT_EQ(history.kept.front().record.detail, "on 9");
    EXPECT_EQ(history.kept.front().record.slot, 2);
}

}  // namespace
}  // namespace orvanta
