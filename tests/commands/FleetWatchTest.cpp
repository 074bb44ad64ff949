// The fleet watch against simulated projectors that fail in different ways: every projector's
// status ends with its own answer or its own reason, one that never answers holds up nobody
// else, and a stopped watch delivers nothing more and leaves no thread behind.

#include <gtest/gtest.h>

#include <map>
#include <mutex>
#include <vector>

#include "commands/FleetWatch.h"
#include "protocol/Transfer.h"
#include "support/SimProcess.h"
#include "support/WaitUntil.h"
#include "text/LanguageText.h"

using namespace orvanta;
using namespace orvanta::testsupport;

namespace {

// A projector that never answers gives up after a second instead of twelve.
FleetWatchTimings quickTimings() {
    FleetWatchTimings t;
    t.interval = std::chrono::milliseconds(50);
    t.exchange.replyStep = std::chrono::milliseconds(50);
    t.exchange.replyPolls = 20;
    return t;
}

// Statuses by address, as a watch delivers them.
struct Log {
    std::mutex mutex;
    std::map<std::uint32_t, std::vector<FleetStatus>> byAddress;
    int total = 0;

    FleetSink sink() {
        return [this](const FleetStatus& s) {
            std::lock_guard lock(mutex);
            byAddress[s.address].push_back(s);
            ++total;
        };
    }
    std::size_t count(const char* address) {
        std::lock_guard lock(mutex);
        return byAddress[ipv4(address)].size();
    }
    int all() {
        std::lock_guard lock(mutex);
        return total;
    }
};

}  // namespace

TEST(FleetWatch, EveryProjectorEndsWithItsOwnAnswerOrReason) {
    SimProcess good({"--address", "127.0.94.2", "--password", "pw", "--alarm", "3"});
    SimProcess busy({"--address", "127.0.94.3", "--busy"});
    SimProcess oldFirmware({"--address", "127.0.94.4", "--level", "3"});
    SimProcess silent({"--address", "127.0.94.5", "--reply-delay", "60000"});
    SimProcess noStartup({"--address", "127.0.94.7", "--password", "pw", "--caps", "5"});
    // Answers one request per connection, then closes it.
    SimProcess oneEach({"--address", "127.0.94.8", "--close-after", "4096", "--alarm", "1"});
    for (SimProcess* sim : {&good, &busy, &oldFirmware, &silent, &noStartup, &oneEach}) {
        ASSERT_TRUE(sim->ready()) << sim->output();
    }

    struct Case {
        const char* address;
        const char* password;
        bool answered;
        std::string problem;
        bool watched;
        std::optional<int> alarm;
    };
    const Case cases[] = {
        {"127.0.94.2", "pw", true, "", true, 0x301},
        {"127.0.94.2", "wrong", false, communicationErrorText(toCode(ExchangeError::Receive)),
         false, std::nullopt},
        {"127.0.94.3", "", false, languageText(Text::ProjectorBusy), false, std::nullopt},
        // Level 3 has no message and alarm status to ask.
        {"127.0.94.4", "", true, "", false, std::nullopt},
        {"127.0.94.5", "", false, communicationErrorText(toCode(ExchangeError::NoResponse)), false,
         std::nullopt},
        // Nothing listens here.
        {"127.0.94.6", "", false, communicationErrorText(toCode(ExchangeError::Connect)), false,
         std::nullopt},
        // Without capability bit 1 nothing is watched either.
        {"127.0.94.7", "pw", true, "", false, std::nullopt},
        // Message and alarm status are asked again on connections of their own.
        {"127.0.94.8", "", true, "", true, 0x101},
    };
    std::vector<ProjectorTarget> members;
    for (const Case& c : cases) {
        members.push_back({ipv4(c.address), c.password});
    }
    const std::atomic<bool> stop{false};
    const std::vector<FleetStatus> statuses = runFleetRound(members, stop, quickTimings());
    ASSERT_EQ(statuses.size(), std::size(cases));
    for (std::size_t i = 0; i < statuses.size(); ++i) {
        const Case& c = cases[i];
        const FleetStatus& s = statuses[i];
        SCOPED_TRACE(std::string(c.address) + " " + c.password);
        EXPECT_EQ(s.index, i);
        EXPECT_EQ(s.address, ipv4(c.address));
        EXPECT_EQ(s.answered, c.answered);
        EXPECT_EQ(s.problem, c.problem);
        EXPECT_EQ(s.watched, c.watched);
        EXPECT_EQ(s.alarmStatus, c.alarm);
        EXPECT_EQ(s.messageStatus.has_value(), c.watched);
    }
    // The good one as the table shows it.
    const FleetStatusTexts texts = fleetStatusTexts(statuses[0]);
    EXPECT_EQ(texts.reachable, languageText(Text::FleetReachableYes));
    EXPECT_EQ(texts.level, "4");
    EXPECT_EQ(texts.message, languageText(Text::MessageOff));
    EXPECT_EQ(texts.alarm,
              languageText(Text::AlarmOn) + " " + formatText(Text::AlarmSoundNumber, {3}));
    EXPECT_EQ(fleetStatusTexts(statuses[5]).problem, "Communication error : [Connection error]");
    EXPECT_TRUE(good.waitForLine("127.0.94.2:9719 CTRL 3535")) << good.output();
}

TEST(FleetWatch, AProjectorThatNeverAnswersHoldsUpNoOther) {
    SimProcess good({"--address", "127.0.94.10"});
    SimProcess silent({"--address", "127.0.94.11", "--reply-delay", "60000"});
    ASSERT_TRUE(good.ready() && silent.ready()) << good.output() << silent.output();
    Log log;
    {
        FleetWatchTimings timings;  // the real reply wait: the silent one gives up after ~12 s
        timings.interval = std::chrono::milliseconds(20);
        FleetPoller poller(timings);
        poller.start({{ipv4("127.0.94.11"), ""}, {ipv4("127.0.94.10"), ""}}, log.sink());
        ASSERT_TRUE(silent.waitForLine("127.0.94.11:9719 CTRL 0F01")) << silent.output();
        // The good one is asked again and again while the silent one is still waited for.
        EXPECT_TRUE(test::waitUntil([&] { return log.count("127.0.94.10") >= 5; },
                                    std::chrono::seconds(10)));
        EXPECT_EQ(log.count("127.0.94.11"), 0u);
        poller.stop();
        const int afterStop = log.all();
        // Refreshing a stopped watch asks nobody.
        poller.refreshNow();
        EXPECT_EQ(log.all(), afterStop);
    }
    // The destructor has joined every thread, the silent projector's too.
    EXPECT_EQ(FleetPoller::threadsAlive(), 0);
}

TEST(FleetWatch, RefreshAsksEveryProjectorAgainAtOnce) {
    SimProcess sim({"--address", "127.0.94.20", "--address", "127.0.94.21"});
    ASSERT_TRUE(sim.ready()) << sim.output();
    Log log;
    FleetWatchTimings timings;
    timings.interval = std::chrono::hours(1);
    FleetPoller poller(timings);
    poller.start({{ipv4("127.0.94.20"), ""}, {ipv4("127.0.94.21"), ""}}, log.sink());
    ASSERT_TRUE(test::waitUntil([&] { return log.all() == 2; }, std::chrono::seconds(10)));
    poller.refreshNow();
    EXPECT_TRUE(test::waitUntil([&] { return log.all() == 4; }, std::chrono::seconds(10)));
    EXPECT_EQ(log.count("127.0.94.20"), 2u);
    EXPECT_EQ(log.count("127.0.94.21"), 2u);
}
