// What a send cancelled during the save wait says, and records, is what the projector holds
// afterwards: the message it kept when its save ended before the CANCEL came, nothing when
// the CANCEL took. Simulated projectors on 127.0.151.x.

#include <gtest/gtest.h>

#include "cli/CliTestSupport.h"
#include "commands/ReadBack.h"
#include "commands/SendCommand.h"
#include "support/ScriptedPrompt.h"
#include "support/SimProcess.h"
#include "text/LanguageText.h"

namespace orvanta {
namespace {

using testsupport::CliFolders;
using testsupport::ipv4;
using testsupport::SimProcess;

class LastRecord : public CommandHistory {
  public:
    void record(const ProjectorTarget&, const CommandRecord&, const Outcome& outcome) override {
        ++count;
        last = outcome;
    }
    int count = 0;
    Outcome last;
};

TEST(CancelEnding, TheOperatorIsToldWhatTheProjectorHolds) {
    setInterfaceLanguage(LanguageId::English);
    CliFolders folders("cancel-ending");
    Message m;
    m.title = RichText(u"Drill", 0xFFFFFF, 0xC0C0C0);
    m.body = RichText(u"Leave now", 0xFFFFFF, 0xC0C0C0);
    const std::string file = folders.messageData("m.ovx");
    ASSERT_TRUE(testsupport::writeMessageFile(file, m));
    struct Case {
        const char* what;
        const char* address;
        const char* savePolls;  // STAT rounds of "still saving" after the PUT
        Outcome::Kind kind;
        Text told;
        bool slotHolds;
    };
    // The cancel comes after the first "still saving": with one round the save has ended by
    // the time the CANCEL arrives, with three it has not.
    const Case cases[] = {
        {"save ended first", "127.0.151.2", "1", Outcome::Kind::Done, Text::StoredBeforeCancel,
         true},
        {"cancel took", "127.0.151.3", "3", Outcome::Kind::Cancelled, Text::CancelComplete, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SimProcess sim({"--address", c.address, "--save-polls", c.savePolls});
        ASSERT_TRUE(sim.ready()) << sim.output();
        TransferFlags flags;
        TransferTimings timings;
        timings.statInterval = std::chrono::milliseconds(20);
        BlockingTransferRunner runner(flags, timings);
        runner.setObserver([&](TransferJob& job, const TransferEvent& e) {
            if (job.kind() == TransferKind::Stat && e.type == TransferEventType::SaveStatus) {
                flags.cancelRequested = true;
            }
        });
        ProjectorInfo info;
        ScriptedPrompt prompt(PromptAnswer::Yes);
        LastRecord history;
        const CommandContext context{{ipv4(c.address), ""}, prompt, runner, info, &history};
        const Outcome sent = sendMessageFile(context, {file, 4, false, ""}, false);
        EXPECT_EQ(sent.kind, c.kind);
        EXPECT_EQ(prompt.texts().back(), languageText(c.told));
        ASSERT_EQ(history.count, 1);
        EXPECT_EQ(history.last.kind, c.kind);

        runner.setObserver({});
        SlotQuery query;
        ScriptedPrompt quiet(PromptAnswer::Ok);
        const CommandContext asking{{ipv4(c.address), ""}, quiet, runner, info};
        EXPECT_EQ(querySlot(asking, 4, query).ok(), c.slotHolds);
    }
}

}  // namespace
}  // namespace orvanta
