// What watching the whole fleet costs. One refresh of the fleet table asks 64 simulated
// projectors (state query, message and alarm status, over one connection per projector) in
// parallel; its wall time is compared with one projector's refresh measured in the same run,
// by the same watch. Between refreshes the watch must cost next to nothing: the CPU time of
// this process (getrusage) while 64 projectors are watched is reported as a share of one
// core, for the quiet time between two refreshes and averaged over the five-second rhythm.
//
// Two kinds of projector: the bare simulator, which answers at once, so that a refresh of 64
// is bound by the CPU time of 64 exchanges (ours and the simulators') on this machine's cores;
// and simulators that take 20 ms over each answer, as a projector on a network does, where the
// parallel refresh should cost hardly more than one projector's. The 64 projectors of each
// kind live in four simulator processes of 16 addresses, as real projectors are machines of
// their own.

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "RatioReporter.h"
#include "commands/FleetWatch.h"
#include "support/LoopbackPeer.h"
#include "support/SimProcess.h"

namespace {

using orvanta::testsupport::ipv4;
using orvanta::testsupport::SimProcess;

// The simulator with its log thrown away; ready once every address takes a connection.
class QuietSimulator {
  public:
    QuietSimulator(std::vector<std::string> args, const std::vector<std::string>& addresses) {
        const std::string program = SimProcess::programPath();
        args.insert(args.begin(), program);
        std::vector<char*> argv;
        for (std::string& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        pid_ = ::fork();
        if (pid_ == 0) {
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, 1);
            ::dup2(null, 2);
            ::execv(program.c_str(), argv.data());
            ::_exit(127);
        }
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        for (const std::string& address : addresses) {
            const sockaddr_in port = orvanta::testsupport::projectorPortOf(address.c_str());
            while (!(ready_ = accepts(port)) && std::chrono::steady_clock::now() < end) {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        }
    }
    ~QuietSimulator() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    QuietSimulator(const QuietSimulator&) = delete;
    QuietSimulator& operator=(const QuietSimulator&) = delete;
    bool ready() const { return ready_; }

  private:
    static bool accepts(const sockaddr_in& port) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&port), sizeof port) == 0;
        ::close(fd);
        return ok;
    }

    pid_t pid_ = -1;
    bool ready_ = false;
};

constexpr int kProjectors = 64;
constexpr int kPerSimulator = 16;
constexpr int kSlowReplyMs = 20;

std::string projectorAddress(bool slow, int i) {
    return (slow ? "127.0.49." : "127.0.48.") + std::to_string(2 + i);
}

std::vector<orvanta::ProjectorTarget> fleet(bool slow, int count) {
    std::vector<orvanta::ProjectorTarget> members;
    for (int i = 0; i < count; ++i) {
        members.push_back({ipv4(projectorAddress(slow, i).c_str()), "bench"});
    }
    return members;
}

double cpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// A running watch and the answers it has delivered.
class Watch {
  public:
    Watch(std::vector<orvanta::ProjectorTarget> members, std::chrono::milliseconds rest)
        : poller_(timings(rest)) {
        poller_.start(std::move(members), [this](const orvanta::FleetStatus& s) {
            std::lock_guard lock(mutex_);
            ++answers_;
            failed_ = failed_ || !s.answered || !s.messageStatus || !s.alarmStatus;
            arrived_.notify_all();
        });
    }

    // Waits until `count` answers arrived in all; false when one failed or they did not come.
    bool waitFor(int count) {
        std::unique_lock lock(mutex_);
        return arrived_.wait_for(lock, std::chrono::seconds(30), [&] {
            return answers_ >= count;
        }) && !failed_;
    }
    int answers() {
        std::lock_guard lock(mutex_);
        return answers_;
    }
    void refreshNow() { poller_.refreshNow(); }

  private:
    static orvanta::FleetWatchTimings timings(std::chrono::milliseconds rest) {
        orvanta::FleetWatchTimings t;
        t.interval = rest;
        return t;
    }

    std::mutex mutex_;
    std::condition_variable arrived_;
    int answers_ = 0;
    bool failed_ = false;
    orvanta::FleetPoller poller_;  // last: stopped before the counters go
};

// Each iteration is one refresh of `count` projectors: the watch rests an hour between its
// own refreshes, so every one is asked for here.
void refreshOf(benchmark::State& state, bool slow, int count) {
    Watch watch(fleet(slow, count), std::chrono::hours(1));
    if (!watch.waitFor(count)) {  // the first refresh, made at start, warms up
        state.SkipWithError("a projector did not answer");
        return;
    }
    for (auto _ : state) {
        const int until = watch.answers() + count;
        watch.refreshNow();
        if (!watch.waitFor(until)) {
            state.SkipWithError("a projector did not answer");
            return;
        }
    }
}

void BM_OneProjectorRefresh(benchmark::State& state) {
    refreshOf(state, false, 1);
}
void BM_FleetRefresh64(benchmark::State& state) {
    refreshOf(state, false, kProjectors);
}
void BM_OneProjectorRefresh_Network(benchmark::State& state) {
    refreshOf(state, true, 1);
}
void BM_FleetRefresh64_Network(benchmark::State& state) {
    refreshOf(state, true, kProjectors);
}

BENCHMARK(BM_OneProjectorRefresh)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FleetRefresh64)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_OneProjectorRefresh_Network)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FleetRefresh64_Network)->Unit(benchmark::kMillisecond)->UseRealTime();

void printRatio(const RatioReporter& reporter, const char* what, const std::string& one,
                const std::string& many) {
    const RatioReporter::Run* base = reporter.find(one);
    const RatioReporter::Run* run = reporter.find(many);
    if (base == nullptr || run == nullptr || base->GetAdjustedRealTime() <= 0) {
        return;
    }
    std::printf("  %-34s %8.2f ms vs %8.2f ms: %6.2f x\n", what, run->GetAdjustedRealTime(),
                base->GetAdjustedRealTime(),
                run->GetAdjustedRealTime() / base->GetAdjustedRealTime());
}

// The watch with its real rhythm shortened to two seconds, so that a few refreshes fit into
// the measurement: the CPU time of the quiet part between two refreshes, and of whole cycles.
void measureWatchCost() {
    using namespace std::chrono;
    constexpr auto kRest = milliseconds(2000);
    Watch watch(fleet(false, kProjectors), kRest);
    if (!watch.waitFor(kProjectors)) {
        std::printf("the watch did not get every answer\n");
        return;
    }
    const double quietStart = cpuSeconds();
    const auto wallStart = steady_clock::now();
    std::this_thread::sleep_for(kRest * 3 / 4);
    const double quietCpu = cpuSeconds() - quietStart;
    const double quietWall = duration<double>(steady_clock::now() - wallStart).count();
    const double cycleStart = cpuSeconds();
    constexpr int kCycles = 3;
    if (!watch.waitFor((1 + kCycles) * kProjectors)) {
        std::printf("the watch did not get every answer\n");
        return;
    }
    const double perRefresh = (cpuSeconds() - cycleStart) / kCycles;
    std::printf("\nwatching %d projectors (CPU time of this process):\n", kProjectors);
    std::printf("  between refreshes:                  %.4f %% of one core\n",
                100.0 * quietCpu / quietWall);
    std::printf("  per refresh:                        %.2f ms\n", perRefresh * 1000.0);
    std::printf("  averaged over the 5 s rhythm:       %.4f %% of one core\n",
                100.0 * perRefresh / 5.0);
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    std::vector<std::unique_ptr<QuietSimulator>> simulators;
    for (bool slow : {false, true}) {
        for (int first = 0; first < kProjectors; first += kPerSimulator) {
            std::vector<std::string> args = {"--password", "bench"};
            std::vector<std::string> addresses;
            if (slow) {
                args.insert(args.end(), {"--reply-delay", std::to_string(kSlowReplyMs)});
            }
            for (int i = first; i < first + kPerSimulator; ++i) {
                addresses.push_back(projectorAddress(slow, i));
                args.insert(args.end(), {"--address", addresses.back()});
            }
            simulators.push_back(std::make_unique<QuietSimulator>(args, addresses));
            if (!simulators.back()->ready()) {
                std::fprintf(stderr, "could not start the simulator\n");
                return 1;
            }
        }
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\none refresh of %d projectors as a multiple of one projector's (same run):\n",
                kProjectors);
    printRatio(reporter, "simulator answering at once", "BM_OneProjectorRefresh/real_time",
               "BM_FleetRefresh64/real_time");
    printRatio(reporter, "simulator answering in 20 ms", "BM_OneProjectorRefresh_Network/real_time",
               "BM_FleetRefresh64_Network/real_time");
    measureWatchCost();
    benchmark::Shutdown();
    return reporter.exitStatus();
}
