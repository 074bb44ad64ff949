// The discovery worker against real sockets. Multicast must never leave this machine, so the
// worker only runs inside a private network namespace whose single interface is loopback:
//
//   DiscoveryNamespace.WorkerFindsSimulatedProjectors (outer) starts
//     unshare --net --pid --fork --kill-child sh -c '<bring lo up, allow multicast on it,
//         route 224.0.0.0/4 and a silent test network to lo>; exec <this program>
//         --gtest_filter=DiscoveryNamespaceInner.*'
//   with ORVANTA_DISCOVERY_NAMESPACE=1 set by the script. The DiscoveryNamespaceInner tests skip
//   unless that variable is set, and refuse to run when any adaptor lies outside 127.0.0.0/8.
//
// The PID namespace makes the inner program its init process: when it dies, however it dies,
// the simulators it started die with it.

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "projectors/Discovery.h"
#include "support/SimProcess.h"

using namespace orvanta;
using namespace std::chrono_literals;
using testsupport::ipv4;
using testsupport::SimProcess;

namespace {

constexpr const char* kInsideVariable = "ORVANTA_DISCOVERY_NAMESPACE";
constexpr int kSetupFailed = 77;

bool insideNamespace() {
    return std::getenv(kInsideVariable) != nullptr;
}

struct ChildRun {
    int exitCode = -1;  // -1: did not end by itself within the limit, or could not start
    std::string output;
};

// Runs argv[0] from PATH with stdout and stderr collected; SIGKILL to its pid at the limit.
ChildRun runChild(const std::vector<std::string>& args, std::chrono::seconds limit) {
    ChildRun run;
    std::vector<char*> argv;
    for (const std::string& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        return run;
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(fds[1], 1);
        ::dup2(fds[1], 2);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(fds[1]);
    if (pid < 0) {
        ::close(fds[0]);
        return run;
    }
    const auto end = std::chrono::steady_clock::now() + limit;
    bool killed = false;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            ::kill(pid, SIGKILL);
            killed = true;
            run.output += "\n[killed after " + std::to_string(limit.count()) + " s]\n";
            break;
        }
        pollfd p{fds[0], POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) {
            continue;
        }
        char chunk[4096];
        const ssize_t n = ::read(fds[0], chunk, sizeof chunk);
        if (n <= 0) {
            break;
        }
        run.output.append(chunk, static_cast<std::size_t>(n));
    }
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!killed && WIFEXITED(status)) {
        run.exitCode = WEXITSTATUS(status);
    }
    return run;
}

std::string ownPath() {
    char path[4096];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? std::string(path, static_cast<std::size_t>(n)) : std::string();
}

}  // namespace

TEST(DiscoveryNamespace, WorkerFindsSimulatedProjectors) {
    if (insideNamespace()) {
        GTEST_SKIP() << "already inside the namespace";
    }
    const std::vector<std::string> unshare = {"unshare", "--net", "--pid", "--fork",
                                              "--kill-child"};
    std::vector<std::string> check = unshare;
    check.push_back("true");
    const ChildRun permitted = runChild(check, 20s);
    if (permitted.exitCode != 0) {
        GTEST_SKIP() << "no private network namespace available (unshare --net): "
                     << permitted.output;
    }

    const std::string script =
        "ip link set lo up && ip link set lo multicast on && "
        "ip route add 224.0.0.0/4 dev lo && ip route add 192.0.2.0/24 dev lo || exit " +
        std::to_string(kSetupFailed) + "\nexport " + kInsideVariable +
        "=1\n"
        "exec \"$1\" --gtest_filter='DiscoveryNamespaceInner.*' --gtest_color=no\n";
    std::vector<std::string> args = unshare;
    for (const char* a : {"sh", "-c", script.c_str(), "discovery-namespace"}) {
        args.push_back(a);
    }
    args.push_back(ownPath());
    const ChildRun inner = runChild(args, 120s);
    if (inner.exitCode == kSetupFailed) {
        GTEST_SKIP() << "could not set up loopback multicast in the namespace: " << inner.output;
    }
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
        adaptors_ = enumerateAdaptors();
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

class EventQueue {
  public:
    DiscoveryEventSink sink() {
        return [this](const DiscoveryEvent& e) {
            std::lock_guard lock(mutex_);
            events_.push_back(e);
            changed_.notify_all();
        };
    }
    bool waitFor(std::chrono::seconds limit, DiscoveryEventKind kind) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, limit, [&] {
            return std::any_of(events_.begin(), events_.end(),
                               [&](const DiscoveryEvent& e) { return e.kind == kind; });
        });
    }
    std::vector<DiscoveryEvent> events() {
        std::lock_guard lock(mutex_);
        return events_;
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<DiscoveryEvent> events_;
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
    EventQueue queue;
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

    DiscoveryTimings slow = fast();
    slow.listenWait = 3s;  // left alone, the run would last at least 2 x 2 x 3 s
    std::atomic<bool> stop{false};
    EventQueue queue;
    DiscoveryRun run(stop);
    const auto begin = std::chrono::steady_clock::now();
    run.start(makeDiscoveryJob(adaptors_, 0, slow), queue.sink());
    ASSERT_TRUE(queue.waitFor(10s, DiscoveryEventKind::DiscoveryAnswer));
    run.stop();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 9s);
    EXPECT_FALSE(run.running());
    const std::vector<DiscoveryEvent> events = queue.events();
    EXPECT_EQ(countOf(events, DiscoveryEventKind::DiscoveryAnswer), 1u);
    EXPECT_EQ(events.back().kind, DiscoveryEventKind::DiscoveryFinished);
}

TEST_F(DiscoveryNamespaceInner, ProbeGivesUpAtItsLimit) {
    // The namespace routes 192.0.2.0/24 to loopback, where nobody owns it: the connection
    // attempt gets no answer at all, as with a switched-off host.
    const auto begin = std::chrono::steady_clock::now();
    EXPECT_FALSE(probeProjector(ipv4("192.0.2.1"), 500ms));
    const auto took = std::chrono::steady_clock::now() - begin;
    EXPECT_GE(took, 400ms);
    EXPECT_LT(took, 10s);
}
