// The status watch's loop against the projector simulator. Its order of requests and its stops
// are seen through the Main tab (tests/ui/main); here: a restart while the old loop still waits
// for a reply leaves only the new loop talking to the sink.

#include <gtest/gtest.h>

#include <mutex>
#include <vector>

#include "commands/StatusWatch.h"
#include "support/SimProcess.h"
#include "support/WaitUntil.h"

using namespace orvanta;
using namespace orvanta::testsupport;

namespace {

struct Log {
    std::mutex mutex;
    std::vector<std::pair<std::uint16_t, PollResult>> events;

    StatusPollSink sink() {
        return [this](const PollResult& r) {
            std::lock_guard lock(mutex);
            events.emplace_back(r.code, r);
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

}  // namespace

TEST(StatusPoller, ARestartLeavesOnlyTheNewLoopTalking) {
    SimProcess sim({"--address", "127.0.61.4", "--address", "127.0.61.5", "--reply-delay", "300"});
    ASSERT_TRUE(sim.ready()) << sim.output();
    Log first;
    Log second;
    StatusPoller poller(quickPolls());
    poller.start({ipv4("127.0.61.4"), ""}, first.sink());
    ASSERT_TRUE(sim.waitForLine("127.0.61.4:9719 CTRL 3534")) << sim.output();
    poller.start({ipv4("127.0.61.5"), ""}, second.sink());
    ASSERT_TRUE(test::waitUntil([&] { return second.size() >= 2; }, std::chrono::seconds(10)));
    poller.stop();
    ASSERT_TRUE(
        test::waitUntil([] { return StatusPoller::threadsAlive() == 0; }, std::chrono::seconds(5)));
    EXPECT_EQ(first.size(), 0u);
}
