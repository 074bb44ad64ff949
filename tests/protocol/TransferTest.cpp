// Transfer workers against the projector simulator, through the blocking runner: what each
// reply digit and each exchange failure ends with, the CTRL value reads, the STAT poll and
// the cancel rules.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "protocol/Transfer.h"
#include "support/SimProcess.h"
#include "support/TransferTestSupport.h"
#include "text/LanguageText.h"

using namespace orvanta;
using namespace orvanta::testsupport;

namespace {

class Transfer : public ::testing::Test {
  protected:
    void SetUp() override {
        setInterfaceLanguage(LanguageId::English);
        flags.cancelRequested = false;
        flags.cancelPending = false;
    }

    // Runs `kind` on `job`, recording every event; true when the run succeeded.
    bool run(TransferJob& job, TransferKind kind) {
        BlockingTransferRunner runner(flags, job.timings());
        runner.setObserver([this](TransferJob& j, const TransferEvent& e) {
            events.push_back(e);
            if (onEvent) {
                onEvent(j, e);
            }
        });
        return runner.run(job, kind);
    }

    int count(TransferEventType type) const {
        int n = 0;
        for (const TransferEvent& e : events) {
            n += e.type == type ? 1 : 0;
        }
        return n;
    }

    // A job for `address` with every record pointing there.
    TransferJob& job(const char* address, TransferTimings timings = quickTimings()) {
        jobs.push_back(std::make_unique<TransferJob>(flags, timings));
        TransferJob& j = *jobs.back();
        j.message.address = j.control.address = j.info.address = ipv4(address);
        return j;
    }

    TransferFlags flags;
    std::vector<TransferEvent> events;
    std::function<void(TransferJob&, const TransferEvent&)> onEvent;
    std::vector<std::unique_ptr<TransferJob>> jobs;
};

const std::string kUnexpected = "Communication error\n : [Unexpected error]";

// Fills a job so that the simulator answers `kind` with a reply of the forced digit.
void prepare(TransferJob& j, TransferKind kind) {
    j.message.slot = 1;
    j.info.slot = 1;
    j.message.length = 100;  // TEXT expects 100 + 74 - 39 bytes
    j.message.infoLength = 74;
    j.control.code = kind == TransferKind::CtrlStateQuery ? 0x0F01 : 0x6020;
    j.control.count = 2;
    const MessagePayload p = testPayload(40, true);
    j.message.header = p.header.bytes;
    std::copy(p.body.begin(), p.body.end(), j.message.body.begin());
    if (kind == TransferKind::Put) {
        j.message.length = 40;
    }
}

}  // namespace

TEST_F(Transfer, EveryReplyDigitOfEveryVerbEndsAsTheTablesSay) {
    // Per kind, the result text for digits 0..9: "" a success that leaves the text as it was,
    // nullptr a digit the verb does not know (error 19), "-" a digit not asked here (TEXT 0
    // and STAT 0 need stored data and are read elsewhere).
    const char* busy = "Projector Busy.";
    const char* none = "No Message Data.";
    const char* timeout = "TimeOut error";
    const char* other = "Other error";
    const char* ok = "Request ok.";
    struct Row {
        TransferKind kind;
        const char* texts[10];
    };
    const Row rows[] = {
        {TransferKind::Put,
         {"", "Transfer failure", busy, busy, nullptr, "Data Size Over.", nullptr, nullptr, nullptr,
          other}},
        {TransferKind::Text,
         {"-", none, busy, busy, nullptr, nullptr, nullptr, nullptr, timeout, other}},
        {TransferKind::Ctrl,
         {ok, "Illegal Request.", busy, busy, nullptr, nullptr, nullptr, nullptr, timeout, other}},
        {TransferKind::CtrlRead,
         {ok, ok, busy, busy, nullptr, nullptr, nullptr, nullptr, timeout, other}},
        {TransferKind::CtrlStateQuery,
         {ok, ok, busy, busy, nullptr, nullptr, nullptr, nullptr, timeout, other}},
        {TransferKind::Info,
         {ok, none, busy, busy, nullptr, nullptr, nullptr, nullptr, timeout, none}},
        {TransferKind::Stat,
         {"-", none, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, other}},
        {TransferKind::Cancel,
         {"", "", nullptr, busy, "Transfer error.", nullptr, nullptr, nullptr, timeout, other}},
    };
    for (int digit = 0; digit <= 9; ++digit) {
        const std::string address = "127.0.4." + std::to_string(10 + digit);
        std::vector<std::string> args = {"--address", address, "--password", "pw"};
        for (const char* verb : {"PUT", "TEXT", "CTRL", "INFO", "STAT", "CANCEL"}) {
            args.push_back("--reply-digit");
            args.push_back(std::string(verb) + "=" + std::to_string(digit));
        }
        SimProcess sim(args);
        ASSERT_TRUE(sim.ready()) << sim.output();
        for (const Row& row : rows) {
            const char* expected = row.texts[digit];
            if (expected != nullptr && std::string(expected) == "-") {
                continue;
            }
            TransferJob& j = job(address.c_str());
            j.message.password = j.control.password = j.info.password = "pw";
            prepare(j, row.kind);
            const std::string verb(transferVerbWord(row.kind));
            SCOPED_TRACE(verb + " " + std::to_string(digit) + " kind " +
                         std::to_string(static_cast<int>(row.kind)));
            const bool result = run(j, row.kind);
            const TransferOutcome& o = j.outcome;
            if (expected == nullptr) {
                EXPECT_FALSE(result);
                EXPECT_EQ(o.resultCode, 19);
                EXPECT_EQ(o.resultText, kUnexpected);
                EXPECT_EQ(o.statusLine, "ERROR");
            } else if (digit == 0 || std::string(expected) == "" || expected == ok) {
                EXPECT_TRUE(result);
                EXPECT_EQ(o.resultCode, 0);
                EXPECT_EQ(o.resultText, expected);
            } else {
                EXPECT_FALSE(result);
                EXPECT_EQ(o.resultCode, digit);
                EXPECT_EQ(o.resultText, expected);
                EXPECT_EQ(o.statusLine, verb + std::to_string(digit));
            }
        }
    }
}

TEST_F(Transfer, ExchangeFailuresEndWithCommunicationErrorAndTheirText) {
    struct Case {
        const char* address;
        std::vector<std::string> simArgs;  // empty: no simulator on that address
        TransferKind kind;
        int code;
        const char* text;
    };
    const Case cases[] = {
        {"127.0.4.30", {}, TransferKind::Ctrl, 12, "[Connection error]"},
        {"127.0.4.31", {"--hang-up"}, TransferKind::Info, 14, "[Authentication error]"},
        {"127.0.4.32", {"--drop"}, TransferKind::Put, 18, "[Receive error]"},
        {"127.0.4.33", {"--reply-delay", "3000"}, TransferKind::Ctrl, 17, "[No Response]"},
        {"127.0.4.34", {"--garbage"}, TransferKind::Cancel, 19, "[Unexpected error]"},
        {"127.0.4.35",
         {"--reply-digit", "TEXT=0", "--close-after", "20"},
         TransferKind::Text,
         22,
         "[Socket error]"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        std::unique_ptr<SimProcess> sim;
        if (!c.simArgs.empty()) {
            std::vector<std::string> args = {"--address", c.address};
            args.insert(args.end(), c.simArgs.begin(), c.simArgs.end());
            sim = std::make_unique<SimProcess>(args);
            ASSERT_TRUE(sim->ready()) << sim->output();
        }
        TransferJob& j = job(c.address);
        prepare(j, c.kind);
        EXPECT_FALSE(run(j, c.kind));
        EXPECT_EQ(j.outcome.resultCode, c.code);
        EXPECT_EQ(j.outcome.resultText, std::string("Communication error\n : ") + c.text);
        EXPECT_EQ(j.outcome.statusLine, "ERROR");
    }
}

TEST_F(Transfer, EventsComeInOrderWithExactlyOneFinalEvent) {
    SimProcess sim({"--address", "127.0.4.36"});
    ASSERT_TRUE(sim.ready()) << sim.output();
    for (TransferKind kind : {TransferKind::Ctrl, TransferKind::Info, TransferKind::Cancel}) {
        events.clear();
        TransferJob& j = job("127.0.4.36");
        prepare(j, kind);
        run(j, kind);
        ASSERT_EQ(events.size(), 2u);
        EXPECT_EQ(events[0].type, TransferEventType::TransferStarted);
        EXPECT_NE(events[1].type, TransferEventType::TransferStarted);
    }
}

// Timings under which only the bounded connect ever gives up: a plain connect to a projector
// that does not accept would wait for as long as the test may run.
TransferTimings onlyTheBoundedConnectEnds() {
    TransferTimings t;
    t.exchange.plainConnectLimit = std::chrono::hours(24);
    return t;
}

TEST_F(Transfer, CtrlReadOfAProjectorThatDoesNotAcceptSucceedsWithF000) {
    StalledListener stalled("127.0.4.40");
    ASSERT_TRUE(stalled.ok());
    for (const char* address : {"127.0.4.40", "127.0.4.41"}) {  // hanging, then refused
        for (TransferKind kind : {TransferKind::CtrlRead, TransferKind::CtrlStateQuery}) {
            SCOPED_TRACE(address);
            TransferJob& j = job(address, onlyTheBoundedConnectEnds());
            j.control.code = 0x3532;
            j.control.count = 1;
            j.control.value = 7;
            EXPECT_TRUE(run(j, kind));
            EXPECT_EQ(j.control.value, kUnreachableValue);
            EXPECT_EQ(j.outcome.resultCode, 0);
            EXPECT_EQ(j.outcome.resultText, "Request ok.");
        }
    }
}

TEST_F(Transfer, CtrlReadsStatusCharactersAndNumbers) {
    SimProcess sim({"--address", "127.0.4.50", "--error-status", "3", "--startup-word", "37"});
    ASSERT_TRUE(sim.ready()) << sim.output();
    // Ctrl keeps the one character at offset 14; "CTRL 1" of a CtrlRead still carries a number.
    TransferJob& status = job("127.0.4.50");
    status.control.code = 0x6020;
    status.control.count = 2;
    EXPECT_TRUE(run(status, TransferKind::Ctrl));
    EXPECT_EQ(status.control.value, '3');

    TransferJob& word = job("127.0.4.50");
    word.control.code = 0x3532;
    word.control.count = 2;
    EXPECT_TRUE(run(word, TransferKind::CtrlRead));
    EXPECT_EQ(word.control.value, 37);

    // A number is no status character: a second character before CR reads as "0".
    TransferJob& twoCharacters = job("127.0.4.50");
    twoCharacters.control.code = 0x3532;
    twoCharacters.control.count = 2;
    EXPECT_TRUE(run(twoCharacters, TransferKind::Ctrl));
    EXPECT_EQ(twoCharacters.control.value, '0');
}

TEST_F(Transfer, StateQueryAsksItsFollowUpsOnlyAboveLevelTwo) {
    struct Case {
        const char* address;
        const char* level;
        std::uint16_t value;
        std::int16_t extra1;
        std::int16_t extra2;
        int followUps;
    };
    for (const Case& c :
         {Case{"127.0.4.42", "2", 2, -1, -1, 0}, Case{"127.0.4.43", "4", 4, 5, 1234, 1}}) {
        SimProcess sim({"--address", c.address, "--level", c.level, "--caps", "5", "--startup-word",
                        "1234", "--password", "x"});
        ASSERT_TRUE(sim.ready()) << sim.output();
        TransferJob& j = job(c.address);
        j.control.password = "x";
        j.control.code = 0x0F01;
        j.control.count = 2;
        EXPECT_TRUE(run(j, TransferKind::CtrlStateQuery));
        EXPECT_EQ(j.control.value, c.value);
        EXPECT_EQ(j.control.extra1, c.extra1);
        EXPECT_EQ(j.control.extra2, c.extra2);
        ASSERT_TRUE(sim.waitForLine("CTRL 0F01 | digest ok")) << sim.output();
        // The follow-ups go over the same connection with the same digest.
        if (c.followUps > 0) {
            ASSERT_TRUE(sim.waitForLine("CTRL 3532 | digest ok")) << sim.output();
        }
        EXPECT_EQ(countLines(sim, "CTRL 0F02 | digest ok"), c.followUps);
        EXPECT_EQ(countLines(sim, "CTRL 3532"), c.followUps);
    }
}

TEST_F(Transfer, StatPollEndsOnCompleteOrAfterTwentyOneBusyRounds) {
    struct Case {
        const char* address;
        const char* polls;
        bool succeeded;
        int saveStatusEvents;
        const char* text;
        const char* line;
    };
    for (const Case& c :
         {Case{"127.0.4.44", "3", true, 4, "", "Complete"},
          Case{"127.0.4.45", "21", false, 21, "Communication error\n : [Socket error]", "ERROR"}}) {
        SimProcess sim({"--address", c.address, "--save-polls", c.polls});
        ASSERT_TRUE(sim.ready()) << sim.output();
        TransferJob& put = job(c.address);
        prepare(put, TransferKind::Put);
        ASSERT_TRUE(run(put, TransferKind::Put));
        events.clear();
        TransferJob& stat = job(c.address);
        stat.info.slot = 1;
        EXPECT_EQ(run(stat, TransferKind::Stat), c.succeeded);
        EXPECT_EQ(count(TransferEventType::SaveStatus), c.saveStatusEvents);
        EXPECT_EQ(stat.outcome.resultText, c.text);
        EXPECT_EQ(stat.outcome.statusLine, c.line);
        EXPECT_EQ(stat.outcome.saveStatus, c.succeeded ? '0' : '1');
    }
}

TEST_F(Transfer, CancelDuringALongPutCarriesOverToTheStatPoll) {
    // The PUT itself ignores the cancel; only a body of 500 bytes or more keeps it.
    struct Case {
        const char* address;
        std::size_t bodyBytes;
        bool pending;
    };
    for (const Case& c : {Case{"127.0.4.46", 600, true}, Case{"127.0.4.47", 400, false},
                          Case{"127.0.4.47", 500, true}}) {
        SCOPED_TRACE(c.bodyBytes);
        SimProcess sim({"--address", c.address, "--reply-delay", "300"});
        ASSERT_TRUE(sim.ready()) << sim.output();
        TransferJob& put = job(c.address);
        const MessagePayload p = testPayload(c.bodyBytes, true);
        put.message.header = p.header.bytes;
        std::copy(p.body.begin(), p.body.end(), put.message.body.begin());
        put.message.length = static_cast<std::int32_t>(c.bodyBytes);
        put.message.slot = 1;
        onEvent = [this](TransferJob&, const TransferEvent& e) {
            if (e.type == TransferEventType::TransferStarted) {
                flags.cancelRequested = true;  // the operator presses Cancel
            }
        };
        EXPECT_TRUE(run(put, TransferKind::Put));
        onEvent = nullptr;
        EXPECT_EQ(flags.cancelPending.load(), c.pending);
        EXPECT_EQ(flags.cancelRequested.load(), c.pending);
        // The set-aside cancel is remembered, so that the send can say the message stayed.
        EXPECT_EQ(flags.cancelOverruled.load(), !c.pending);

        // A pending cancel ends the STAT without asking the projector (whose answer would
        // come only after its delay).
        TransferJob& stat = job(c.address);
        stat.info.slot = 1;
        const bool result = run(stat, TransferKind::Stat);
        if (c.pending) {
            EXPECT_FALSE(result);
            EXPECT_EQ(stat.outcome.resultText, "Cancel complete.");
            EXPECT_EQ(stat.outcome.statusLine, "CANCEL");
            EXPECT_EQ(countLines(sim, "STAT"), 0);
        } else {
            EXPECT_TRUE(result);
            EXPECT_EQ(stat.outcome.statusLine, "Complete");
        }
    }
}

TEST_F(Transfer, CancelDuringTextEndsCancelledAndTheSameJobSendsCancel) {
    SimProcess sim({"--address", "127.0.4.48", "--reply-delay", "400"});
    ASSERT_TRUE(sim.ready()) << sim.output();
    TransferJob& j = job("127.0.4.48");
    prepare(j, TransferKind::Text);
    onEvent = [this](TransferJob&, const TransferEvent& e) {
        if (e.type == TransferEventType::TransferStarted) {
            flags.cancelRequested = true;
        }
    };
    EXPECT_FALSE(run(j, TransferKind::Text));
    onEvent = nullptr;
    EXPECT_EQ(j.outcome.resultCode, 0);
    EXPECT_EQ(j.outcome.resultText, "Cancel complete.");
    EXPECT_EQ(j.outcome.statusLine, "CANCEL");
    EXPECT_EQ(events.back().type, TransferEventType::TransferCancelled);

    // The second run of the same job: CANCEL succeeds and leaves the text as it was.
    EXPECT_TRUE(run(j, TransferKind::Cancel));
    EXPECT_EQ(j.outcome.resultText, "Cancel complete.");
    EXPECT_TRUE(sim.waitForLine("CANCEL | digest ok | CANCEL 0")) << sim.output();
}

TEST_F(Transfer, ACancelEndsTheReplyWaitOfAHungProjectorAndSaysTheProjectorMayHaveActed) {
    // Every request is taken and never answered: only the cancel can end these runs.
    SimProcess sim({"--address", "127.0.13.10", "--reply-delay", "600000"});
    ASSERT_TRUE(sim.ready()) << sim.output();
    TransferTimings endless = quickTimings();
    endless.exchange.replyPolls = 1000000;
    // The request may have reached the projector and been carried out: the operator is told
    // to look, never that nothing changed.
    const std::string cancelled =
        "The request was cancelled before the projector answered. The projector may have carried "
        "it out: please check it.";
    struct Case {
        TransferKind kind;
        int code;
        std::string text;
    };
    const Case cases[] = {
        {TransferKind::Ctrl, 17, cancelled},
        {TransferKind::CtrlRead, 17, cancelled},
        {TransferKind::CtrlStateQuery, 17, cancelled},
        {TransferKind::Info, 17, cancelled},
        {TransferKind::Cancel, 17, cancelled},
        {TransferKind::Stat, 0, "Cancel complete."},  // the caller then tells the projector
        {TransferKind::Text, 0, "Cancel complete."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(transferVerbWord(c.kind)));
        TransferJob& j = job("127.0.13.10", endless);
        prepare(j, c.kind);
        onEvent = [this](TransferJob&, const TransferEvent& e) {
            if (e.type == TransferEventType::TransferStarted) {
                flags.cancelRequested = true;  // the operator presses Cancel
            }
        };
        EXPECT_FALSE(run(j, c.kind));
        onEvent = nullptr;
        EXPECT_EQ(j.outcome.resultCode, c.code);
        EXPECT_EQ(j.outcome.resultText, c.text);
        EXPECT_EQ(j.outcome.statusLine, "CANCEL");
    }
    // Without a cancel, a reply wait that runs out is still "no response".
    TransferTimings quick = quickTimings();
    TransferJob& j = job("127.0.13.10", quick);
    prepare(j, TransferKind::Ctrl);
    EXPECT_FALSE(run(j, TransferKind::Ctrl));
    EXPECT_EQ(j.outcome.resultText, "Communication error\n : [No Response]");
}

TEST_F(Transfer, RecordsOutsideTheBuffersAreRefusedBeforeAnythingIsSent) {
    SimProcess sim({"--address", "127.0.4.49"});
    ASSERT_TRUE(sim.ready()) << sim.output();
    struct Case {
        TransferKind kind;
        std::int32_t length;
        std::int32_t infoLength;
        int code;
        const char* text;
    };
    const Case cases[] = {
        // TEXT expects infoLength + length - 39 bytes into a 4500-byte buffer.
        {TransferKind::Text, 4500, 74, 23, "[Receive error]"},
        {TransferKind::Text, 0, 10, 23, "[Receive error]"},
        {TransferKind::Text, 2147483647, 2147483647, 23, "[Receive error]"},
        {TransferKind::Put, 4501, 0, 11, "[Socket error]"},
        {TransferKind::Put, -1, 0, 11, "[Socket error]"},
    };
    for (const Case& c : cases) {
        TransferJob& j = job("127.0.4.49");
        j.message.length = c.length;
        j.message.infoLength = c.infoLength;
        EXPECT_FALSE(run(j, c.kind));
        EXPECT_EQ(j.outcome.resultCode, c.code);
        EXPECT_EQ(j.outcome.resultText, std::string("Communication error\n : ") + c.text);
    }
    EXPECT_EQ(countLines(sim, "TEXT"), 0) << sim.output();
    EXPECT_EQ(countLines(sim, "PUT"), 0) << sim.output();
}

TEST(TransferOutcome, SaveStatusesAndStartLines) {
    setInterfaceLanguage(LanguageId::English);
    struct Case {
        TransferKind kind;
        TransferEvent event;
        TransferEnd end;
        const char* line;
        const char* text;  // result text afterwards ("before" when left as it was)
    };
    using T = TransferEventType;
    const Case cases[] = {
        {TransferKind::Put,
         {T::TransferStarted, 0},
         TransferEnd::Running,
         "Now Sending...",
         "before"},
        {TransferKind::Text,
         {T::TransferStarted, 0},
         TransferEnd::Running,
         "Now Getting...",
         "before"},
        {TransferKind::CtrlRead,
         {T::TransferStarted, 0},
         TransferEnd::Running,
         "Now Controlling...",
         "before"},
        {TransferKind::Info,
         {T::TransferStarted, 0},
         TransferEnd::Running,
         "Now Get Information...",
         "before"},
        {TransferKind::Stat,
         {T::TransferStarted, 0},
         TransferEnd::Running,
         "Now Get Status...",
         "before"},
        {TransferKind::Cancel,
         {T::TransferStarted, 0},
         TransferEnd::Running,
         "Cancel...",
         "before"},
        {TransferKind::Stat, {T::SaveStatus, '0'}, TransferEnd::Success, "Complete", "before"},
        {TransferKind::Stat, {T::SaveStatus, '1'}, TransferEnd::Running, "Save...", "before"},
        {TransferKind::Stat, {T::SaveStatus, '2'}, TransferEnd::Running, "ReTry...", "before"},
        {TransferKind::Stat,
         {T::SaveStatus, '3'},
         TransferEnd::Running,
         "PROJECTOR busy...",
         "before"},
        {TransferKind::Stat,
         {T::SaveStatus, '4'},
         TransferEnd::Failure,
         "Transfer failure",
         "Transfer failure"},
        {TransferKind::Stat, {T::SaveStatus, '5'}, TransferEnd::Running, "Waiting...", "before"},
        {TransferKind::Stat,
         {T::SaveStatus, 'x'},
         TransferEnd::Failure,
         "Undefined error...",
         "Other error"},
        {TransferKind::CtrlStateQuery,
         {T::ProjectorUnreachable, 0},
         TransferEnd::Success,
         "",
         "Request ok."},
    };
    for (const Case& c : cases) {
        TransferOutcome outcome;
        outcome.resultText = "before";
        outcome.resultCode = 5;
        EXPECT_EQ(applyTransferEvent(c.kind, c.event, outcome), c.end) << c.line;
        EXPECT_EQ(outcome.statusLine, c.line);
        EXPECT_EQ(outcome.resultText, c.text) << c.line;
        if (c.event.type == T::SaveStatus) {
            EXPECT_EQ(outcome.saveStatus, static_cast<char>(c.event.value));
        }
    }
}
