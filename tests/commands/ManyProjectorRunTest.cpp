// One command to many projectors (ManyProjectorRun) against simulated projectors that fail in
// different ways. Simulated projectors live on 127.0.91.x.

#include "commands/ManyProjectorRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "commands/DisplayCommands.h"
#include "support/HostilePeers.h"
#include "support/ScriptedPrompt.h"
#include "support/SimProcess.h"
#include "support/TransferTestSupport.h"
#include "support/WaitUntil.h"
#include "text/LanguageText.h"

using namespace orvanta;
using namespace orvanta::testsupport;

namespace {

// The events of a run, kept for the test thread.
class EventLog {
  public:
    EventSink<ManyProjectorEvent> sink() {
        return [this](const ManyProjectorEvent& e) {
            std::lock_guard lock(mutex_);
            events_.push_back(e);
            changed_.notify_all();
        };
    }
    // Waits until `count` runs have finished, or a minute has passed.
    bool waitFinished(int count) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::minutes(1), [&] {
            return std::count_if(events_.begin(), events_.end(), [](const ManyProjectorEvent& e) {
                       return e.kind == ManyProjectorEvent::Kind::Finished;
                   }) >= count;
        });
    }
    // Waits until every row in `rows` has reached `stage`.
    bool waitStage(const std::vector<std::size_t>& rows, RowStage stage) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::minutes(1), [&] {
            return std::all_of(rows.begin(), rows.end(), [&](std::size_t r) {
                return std::any_of(events_.begin(), events_.end(),
                                   [&](const ManyProjectorEvent& e) {
                                       return e.kind == ManyProjectorEvent::Kind::Row &&
                                              e.row == r && e.stage == stage;
                                   });
            });
        });
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<ManyProjectorEvent> events_;
};

std::size_t countLines(const SimProcess& sim, const std::string& address, const std::string& what) {
    const auto lines = sim.lines();
    return static_cast<std::size_t>(std::count_if(lines.begin(), lines.end(), [&](const auto& l) {
        return l.find(address + ":") != std::string::npos && l.find(what) != std::string::npos;
    }));
}

// The simulator's log reaches the test on a reader thread, after the run has seen the reply:
// the count once `expected` lines have come (or the wait gave up).
std::size_t countLinesOnceIn(const SimProcess& sim, const std::string& address,
                             const std::string& what, std::size_t expected) {
    test::waitUntil([&] { return countLines(sim, address, what) >= expected; },
                    std::chrono::seconds(10));
    return countLines(sim, address, what);
}

SendFile textFile(std::u16string_view title, std::u16string_view body) {
    SendFile file;
    file.plain.title = RichText(title, 0xFFFFFF, 0xC0C0C0);
    file.plain.body = RichText(body, 0xFFFFFF, 0xC0C0C0);
    file.extended = file.plain;
    return file;
}

ManyProjectorTarget target(const char* address, const char* password = "pw") {
    return {{ipv4(address), password}, address, false};
}

class ManyProjectorRuns : public ::testing::Test {
  protected:
    void SetUp() override { setInterfaceLanguage(LanguageId::English); }
    ManyProjectorRunOptions options(std::shared_ptr<const AnswerBook> answers = nullptr) {
        ManyProjectorRunOptions o;
        o.timings = quickTimings();
        o.answers = std::move(answers);
        return o;
    }
};

}  // namespace

TEST_F(ManyProjectorRuns, EveryRowEndsWithItsOwnTextAndARetrySendsOnlyToTheFailed) {
    SimProcess good({"--address", "127.0.91.2", "--address", "127.0.91.3", "--password", "pw",
                     "--save-polls", "0"});
    SimProcess otherPassword({"--address", "127.0.91.4", "--password", "other"});
    SimProcess busy({"--address", "127.0.91.7", "--password", "pw", "--busy"});
    UnansweredAddress silent("127.0.91.6");
    ASSERT_TRUE(good.ready() && otherPassword.ready() && busy.ready() && silent.ok());

    // A title too long for wide characters is asked about once for the whole run, and the
    // answer holds for all.
    ScriptedPrompt operatorPrompt(PromptAnswer::Ok);
    SendRequest request;
    request.slot = 1;
    const SendFile file = textFile(std::u16string(30, u'T'), u"Evacuate the building");
    const auto answers = rehearseSend(file, request, operatorPrompt);
    ASSERT_NE(answers, nullptr);
    EXPECT_EQ(operatorPrompt.entries().size(), 1u);

    EventLog log;
    ManyProjectorRun run(
        {target("127.0.91.2"), target("127.0.91.3"), target("127.0.91.4"), target("127.0.91.5"),
         target("127.0.91.6"), target("127.0.91.7")},
        [&](const CommandContext& c) { return sendFileToProjector(c, request, file); }, log.sink(),
        options(answers));
    run.start();
    ASSERT_TRUE(log.waitFinished(1));

    const std::string connectError = communicationErrorText(toCode(ExchangeError::Connect));
    struct Expected {
        RowStage stage;
        std::string text;
    };
    const Expected expected[] = {
        {RowStage::Complete, languageText(Text::Complete)},
        {RowStage::Complete, languageText(Text::Complete)},
        // The projector hangs up on a wrong digest.
        {RowStage::Failed, communicationErrorText(toCode(ExchangeError::Receive))},
        {RowStage::Failed, connectError},  // nothing listens
        {RowStage::Failed, connectError},  // takes no connection
        {RowStage::Failed, languageText(Text::ProjectorBusy)},
    };
    for (std::size_t i = 0; i < run.size(); ++i) {
        EXPECT_EQ(run.stage(i), expected[i].stage) << run.target(i).name;
        EXPECT_EQ(run.text(i), expected[i].text) << run.target(i).name;
    }
    EXPECT_EQ(manyProjectorSummaryText(run.summary()), "2 of 6 complete, 4 failed");

    // The projector that was off comes up; the retry reaches it and asks none of the others
    // that completed.
    SimProcess late({"--address", "127.0.91.5", "--password", "pw", "--save-polls", "0"});
    ASSERT_TRUE(late.ready());
    ASSERT_TRUE(run.retryFailed());
    ASSERT_TRUE(log.waitFinished(2));
    EXPECT_EQ(run.stage(3), RowStage::Complete) << run.text(3);
    EXPECT_EQ(manyProjectorSummaryText(run.summary()), "3 of 6 complete, 3 failed");
    for (const char* address : {"127.0.91.2", "127.0.91.3"}) {
        EXPECT_EQ(countLinesOnceIn(good, address, "PUT", 1), 1u) << address;
    }
    EXPECT_EQ(countLinesOnceIn(late, "127.0.91.5", "PUT", 1), 1u);
    EXPECT_EQ(run.attempts(0), 1);
    EXPECT_EQ(run.attempts(3), 2);
}

TEST_F(ManyProjectorRuns, CancelEndsEveryRowAndThoseSentAreToldToDropIt) {
    // Two projectors that took the message and are saving it for long, one that never
    // answers, and more rows than workers, so some never start.
    SimProcess saving({"--address", "127.0.91.20", "--address", "127.0.91.21", "--password", "pw",
                       "--save-polls", "1000"});
    UnansweredAddress silent("127.0.91.22");
    ASSERT_TRUE(saving.ready() && silent.ok());
    SendRequest request;
    request.slot = 2;
    const SendFile file = textFile(u"Notice", u"The 10:00 session moved to Hall B");
    EventLog log;
    ManyProjectorRunOptions o = options();
    o.maxParallel = 3;
    ManyProjectorRun run(
        {target("127.0.91.20"), target("127.0.91.21"), target("127.0.91.22"), target("127.0.91.23"),
         target("127.0.91.24")},
        [&](const CommandContext& c) { return sendFileToProjector(c, request, file); }, log.sink(),
        o);
    run.start();
    ASSERT_TRUE(log.waitStage({0, 1}, RowStage::Saving));
    run.cancel();
    ASSERT_TRUE(log.waitFinished(1));
    for (std::size_t i = 0; i < run.size(); ++i) {
        EXPECT_EQ(run.stage(i), RowStage::Cancelled) << run.target(i).name << run.text(i);
    }
    for (const char* address : {"127.0.91.20", "127.0.91.21"}) {
        EXPECT_TRUE(saving.waitForLine(std::string(address) + ":")) << address;
        EXPECT_EQ(countLinesOnceIn(saving, address, "CANCEL", 1), 1u) << address << saving.output();
    }
    EXPECT_EQ(run.attempts(3) + run.attempts(4), 0);
}

TEST_F(ManyProjectorRuns, QuestionsOfOneProjectorEndItsRowAndQuestionsOfAllAreAskedOnce) {
    SimProcess sims({"--address", "127.0.91.30", "--address", "127.0.91.31", "--password", "pw"});
    ASSERT_TRUE(sims.ready());
    // Clear asks "Are you sure?" once; No calls the whole command off before any projector.
    auto clear = [](const CommandContext& c) { return runClear(c, clearCode(ClearScope::All)); };
    ScriptedPrompt no(PromptAnswer::No);
    EXPECT_EQ(rehearse(clear, no), nullptr);
    ScriptedPrompt yes(PromptAnswer::Yes);
    const auto answers = rehearse(clear, yes);
    ASSERT_NE(answers, nullptr);
    EXPECT_EQ(yes.entries().size(), 1u);

    EventLog log;
    ManyProjectorRun cleared({target("127.0.91.30"), target("127.0.91.31")}, clear, log.sink(),
                             options(answers));
    cleared.start();
    ASSERT_TRUE(log.waitFinished(1));
    EXPECT_EQ(cleared.summary().complete, 2u);

    // A question no rehearsal asked (here: every one) is that row's end, not a dialog.
    ManyProjectorRun unasked({target("127.0.91.30"), {{ipv4("127.0.91.31"), "pw"}, "", true}},
                             clear, log.sink(), options());
    unasked.start();
    ASSERT_TRUE(log.waitFinished(2));
    EXPECT_EQ(unasked.stage(0), RowStage::Cancelled);
    EXPECT_EQ(unasked.text(0), languageText(Text::ConfirmClear));
    EXPECT_EQ(unasked.stage(1), RowStage::Failed);
    EXPECT_EQ(unasked.text(1), languageText(Text::ProjectorNoLongerRegistered));
    EXPECT_EQ(countLinesOnceIn(sims, "127.0.91.30", "CTRL 3511", 1), 1u);
}
