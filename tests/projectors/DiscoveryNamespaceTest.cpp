// The discovery worker against real sockets, inside a private network namespace whose single
// interface is loopback (see support/NetworkNamespace.h); a silent test network is routed to lo
// for the probe limit. The inner tests also refuse to run when any adaptor lies outside
// 127.0.0.0/8.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "projectors/Discovery.h"
#include "support/DiscoveryEventLog.h"
#include "support/NetworkNamespace.h"
#include "support/SimProcess.h"

using namespace orvanta;
using namespace std::chrono_literals;
using testsupport::ipv4;
using testsupport::SimProcess;

namespace {

constexpr const char* kInsideVariable = "ORVANTA_DISCOVERY_NAMESPACE";

bool insideNamespace() {
    return testsupport::insideNamespace(kInsideVariable);
}

}  // namespace

TEST(DiscoveryNamespace, WorkerFindsSimulatedProjectors) {
    if (insideNamespace()) {
        GTEST_SKIP() << "already inside the namespace";
    }
    const testsupport::NamespaceRun run = testsupport::runInNetworkNamespace(
        kInsideVariable, "DiscoveryNamespaceInner.*", {"192.0.2.0/24"});
    if (!run.skipReason.empty()) {
        GTEST_SKIP() << run.skipReason;
    }
    const testsupport::ChildRun& inner = run.inner;
    EXPECT_EQ(inner.exitCode, 0) << inner.output;
    EXPECT_NE(inner.output.find("[  PASSED  ] 4 tests"), std::string::npos) << inner.output;
    EXPECT_EQ(inner.output.find("SKIPPED"), std::string::npos) << inner.output;
}

// ---------------------------------------------------------------------------------------
// Run only inside the namespace.

namespace {

class DiscoveryNamespaceInner : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!insideNamespace()) {
            GTEST_SKIP() << "runs only inside the private network namespace";
        }
        adaptors_ = enumerateAdaptors().valueOr({});
        ASSERT_FALSE(adaptors_.empty());
        for (const AdaptorEntry& a : adaptors_) {
            ASSERT_EQ(a.address >> 24, 127u) << "adaptor " << a.description << " " << a.dotted
                                             << " is not loopback: refusing to send multicast here";
        }
    }

    static DiscoveryTimings fast() {
        DiscoveryTimings t;
        t.listenWait = 300ms;
        t.answerPause = 10ms;
        return t;
    }

    // Started with --discovery; ready once its search socket has joined the group.
    static void expectAnswering(SimProcess& sim) {
        ASSERT_TRUE(sim.ready()) << sim.output();
        ASSERT_TRUE(sim.waitForLine("discovery: answering")) << sim.output();
    }

    std::vector<AdaptorEntry> adaptors_;
};

std::size_t countOf(const std::vector<DiscoveryEvent>& events, DiscoveryEventKind kind) {
    return static_cast<std::size_t>(std::count_if(
        events.begin(), events.end(), [&](const DiscoveryEvent& e) { return e.kind == kind; }));
}

}  // namespace

TEST_F(DiscoveryNamespaceInner, FindsEachProjectorOnce) {
    SimProcess hallA({"--address", "127.0.0.2", "--name", "Hall A", "--mac", "00:11:22:33:44:02",
                      "--discovery"});
    SimProcess hallB({"--address", "127.0.0.3", "--name", "Salle \xE9t\xE9", "--discovery"});
    expectAnswering(hallA);
    expectAnswering(hallB);

    std::atomic<bool> stop{false};
    testsupport::DiscoveryEventLog queue;
    {
        DiscoveryRun run(stop);
        run.start(makeDiscoveryJob(adaptors_, 0, fast()), queue.sink());
        ASSERT_TRUE(queue.waitFor(30s, DiscoveryEventKind::DiscoveryFinished));
    }
    const std::vector<DiscoveryEvent> events = queue.events();
    // Two rounds of searching on the one adaptor, each answered by both simulators.
    EXPECT_EQ(countOf(events, DiscoveryEventKind::DiscoveryAnswer), 4u);
    EXPECT_EQ(countOf(events, DiscoveryEventKind::DiscoveryFinished), 1u);
    EXPECT_EQ(events.back().kind, DiscoveryEventKind::DiscoveryFinished);
    EXPECT_TRUE(hallA.waitForLine("discovery: search for 127.0.0.1, 127.0.0.2 answered"))
        << hallA.output();

    // What the page does with them on its own thread.
    FoundProjectors found;
    for (const DiscoveryEvent& e : events) {
        if (e.kind == DiscoveryEventKind::DiscoveryAnswer) {
            found.handleAnswer(e.record);
        }
    }
    std::vector<ProjectorRecord> rows = found.records();
    std::sort(rows.begin(), rows.end(),
              [](const auto& a, const auto& b) { return a.address < b.address; });
    const std::vector<ProjectorRecord> expected = {
        {"Hall A", ipv4("127.0.0.2"), 1, "", "00-11-22-33-44-02"},
        {"Salle \xC3\xA9t\xC3\xA9", ipv4("127.0.0.3"), 1, "", "02-00-7F-00-00-03"},
    };
    EXPECT_EQ(rows, expected);
}

TEST_F(DiscoveryNamespaceInner, BlockingRunSkipsUnreachableProjectors) {
    SimProcess reachable({"--address", "127.0.0.2", "--discovery"});
    // Answers the search, but its command port is elsewhere.
    SimProcess deaf({"--address", "127.0.0.4", "--port", "9800", "--discovery"});
    expectAnswering(reachable);
    expectAnswering(deaf);

    std::atomic<bool> stop{true};
    std::vector<ProjectorRecord> reported;
    const std::vector<ProjectorRecord> rows = runDiscovery(
        adaptors_, fast(), [&](const ProjectorRecord& r) { reported.push_back(r); }, stop);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].address, ipv4("127.0.0.2"));
    EXPECT_EQ(rows[0].name, "SIM-127.0.0.2");
    EXPECT_EQ(reported, rows);
    EXPECT_TRUE(deaf.waitForLine("127.0.0.4 answered")) << deaf.output();
}

TEST_F(DiscoveryNamespaceInner, StopEndsTheRunEarly) {
    SimProcess sim({"--address", "127.0.0.2", "--discovery"});
    expectAnswering(sim);

    DiscoveryTimings endless = fast();
    endless.listenWait = 1h;  // left alone, the run would outlast the test
    std::atomic<bool> stop{false};
    testsupport::DiscoveryEventLog queue;
    DiscoveryRun run(stop);
    run.start(makeDiscoveryJob(adaptors_, 0, endless), queue.sink());
    ASSERT_TRUE(queue.waitFor(30s, DiscoveryEventKind::DiscoveryAnswer));
    run.stop();
    EXPECT_FALSE(run.running());
    const std::vector<DiscoveryEvent> events = queue.events();
    EXPECT_EQ(countOf(events, DiscoveryEventKind::DiscoveryAnswer), 1u);
    EXPECT_EQ(events.back().kind, DiscoveryEventKind::DiscoveryFinished);
}

TEST_F(DiscoveryNamespaceInner, ProbeGivesUpAtItsLimit) {
    // The namespace routes 192.0.2.0/24 to loopback, where nobody owns it: the connection
    // attempt gets no answer at all, as with a switched-off host.
    // Left to the kernel, the attempt would last minutes, longer than the inner run may.
    EXPECT_FALSE(probeProjector(ipv4("192.0.2.1"), 500ms));
}
