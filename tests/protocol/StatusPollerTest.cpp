// The status watch's loop against the projector simulator: what it asks, in which order, and
// that stopping it is immediate for the caller and final for the sink.

#include <gtest/gtest.h>

#include <mutex>
#include <vector>

#include "protocol/StatusPoller.h"
#include "support/SimProcess.h"

using namespace orvanta;
using namespace orvanta::testsupport;

namespace {

struct Log {
    std::mutex mutex;
    std::vector<std::pair<std::uint16_t, PollResult>> events;

    StatusPollSink sink() {
        return [this](std::uint16_t code, const PollResult& r) {
            std::lock_guard lock(mutex);
            events.emplace_back(code, r);
        };
    }
    std::size_t size() {
        std::lock_guard lock(mutex);
        return events.size();
    }
};

StatusPollTimings quickPolls() {
    StatusPollTimings t;
    t.pause = std::chrono::milliseconds(10);
    t.exchange.replyStep = std::chrono::milliseconds(20);
    return t;
}

bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done() && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return done();
}

std::vector<std::string> ctrlCodes(const SimProcess& sim) {
    std::vector<std::string> codes;
    for (const std::string& line : sim.lines()) {
        if (const auto at = line.find("CTRL 353"); at != std::string::npos) {
            codes.push_back(line.substr(at + 5, 4));
        }
    }
    return codes;
}

}  // namespace

TEST(StatusPoller, AsksMessageThenAlarmEachRoundAndStopsForGood) {
    SimProcess sim({"--address", "127.0.61.2", "--password", "pw", "--alarm", "2"});
    ASSERT_TRUE(sim.ready()) << sim.output();
    Log log;
    {
        StatusPoller poller(quickPolls());
        poller.start({ipv4("127.0.61.2"), "pw"}, log.sink());
        ASSERT_TRUE(waitUntil([&] { return log.size() >= 6; }, std::chrono::seconds(10)));
        poller.stop();
        EXPECT_FALSE(poller.active());
    }
    ASSERT_TRUE(
        waitUntil([] { return StatusPoller::threadsAlive() == 0; }, std::chrono::seconds(5)));
    const std::size_t delivered = log.size();
    const std::vector<std::string> asked = ctrlCodes(sim);
    ASSERT_GE(asked.size(), 6u) << sim.output();
    for (std::size_t i = 0; i < asked.size(); ++i) {
        EXPECT_EQ(asked[i], i % 2 == 0 ? "3534" : "3535") << sim.output();
    }
    EXPECT_EQ(log.size(), delivered);  // nothing after stop
    for (std::size_t i = 0; i < delivered; ++i) {
        const auto& [code, result] = log.events[i];
        EXPECT_EQ(code, i % 2 == 0 ? kCtrlMessageStatus : kCtrlAlarmStatus);
        EXPECT_EQ(result.event, i % 2 == 0 ? PollEvent::MessageStatus : PollEvent::AlarmStatus);
    }
    EXPECT_EQ(log.events[1].second.value & 0xFF00, 0x0200);  // the sounding alarm's number
}

TEST(StatusPoller, StopDuringAReplyWaitReturnsAtOnceAndDeliversNothing) {
    SimProcess sim({"--address", "127.0.61.3", "--reply-delay", "30000"});
    ASSERT_TRUE(sim.ready()) << sim.output();
    Log log;
    StatusPoller poller(quickPolls());
    poller.start({ipv4("127.0.61.3"), ""}, log.sink());
    ASSERT_TRUE(sim.waitForLine("CTRL 3534")) << sim.output();
    poller.stop();
    // The loop notices the flag within one reply step instead of the projector's 30 s.
    EXPECT_TRUE(
        waitUntil([] { return StatusPoller::threadsAlive() == 0; }, std::chrono::seconds(5)));
    EXPECT_EQ(log.size(), 0u);
    EXPECT_EQ(ctrlCodes(sim).size(), 1u);
}

TEST(StatusPoller, ARestartLeavesOnlyTheNewLoopTalking) {
    SimProcess sim({"--address", "127.0.61.4", "--address", "127.0.61.5", "--reply-delay", "300"});
    ASSERT_TRUE(sim.ready()) << sim.output();
    Log first;
    Log second;
    StatusPoller poller(quickPolls());
    poller.start({ipv4("127.0.61.4"), ""}, first.sink());
    ASSERT_TRUE(sim.waitForLine("127.0.61.4:9719 CTRL 3534")) << sim.output();
    poller.start({ipv4("127.0.61.5"), ""}, second.sink());
    ASSERT_TRUE(waitUntil([&] { return second.size() >= 2; }, std::chrono::seconds(10)));
    poller.stop();
    ASSERT_TRUE(
        waitUntil([] { return StatusPoller::threadsAlive() == 0; }, std::chrono::seconds(5)));
    EXPECT_EQ(first.size(), 0u);
}
