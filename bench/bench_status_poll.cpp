// What the Main tab's status watch costs while the program sits idle: the CPU time of this
// process per poll round (message status and alarm status, each one CTRL exchange with
// greeting and digest against the projector simulator), compared with the CPU time of one
// bare TCP connect-send-receive round trip to an in-process echo server, measured in the same
// run. With the real pause of five seconds between rounds, the idle share of one core follows.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <mutex>

#include "RatioReporter.h"
#include "commands/StatusWatch.h"
#include "support/LoopbackPeer.h"
#include "support/SimProcess.h"

namespace {

using orvanta::testsupport::ipv4;
using orvanta::testsupport::LoopbackPeer;
using orvanta::testsupport::SimProcess;

constexpr const char* kProjectorAddress = "127.0.13.2";
constexpr const char* kEchoAddress = "127.0.13.3";

double processCpuSeconds() {
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

void BM_BareRoundTrip(benchmark::State& state) {
    const std::string request = orvanta::buildCtrlRequest(0x3534, 2, 0);
    const sockaddr_in echo = orvanta::testsupport::projectorPortOf(kEchoAddress);
    for (auto _ : state) {
        const double start = processCpuSeconds();
        if (!orvanta::testsupport::bareRoundTrip(echo, request)) {
            state.SkipWithError("echo server not reachable");
            break;
        }
        state.SetIterationTime(processCpuSeconds() - start);
    }
}

// The poller runs with a 1 ms pause so that rounds follow each other; each iteration is one
// round, timed as the CPU time the whole process spent on it.
void BM_PollRound(benchmark::State& state) {
    std::mutex mutex;
    std::condition_variable arrived;
    int events = 0;
    bool failed = false;
    orvanta::StatusPollTimings timings;
    timings.pause = std::chrono::milliseconds(1);
    timings.pauses = 1;
    orvanta::StatusPoller poller(timings);
    poller.start({ipv4(kProjectorAddress), "bench"}, [&](const orvanta::PollResult& r) {
        std::lock_guard lock(mutex);
        ++events;
        failed = failed || (r.event != orvanta::PollEvent::MessageStatus &&
                            r.event != orvanta::PollEvent::AlarmStatus);
        arrived.notify_all();
    });
    std::unique_lock lock(mutex);
    arrived.wait(lock, [&] { return events >= 2; });  // first round: connections warmed up
    for (auto _ : state) {
        const double start = processCpuSeconds();
        const int until = events + 2;
        arrived.wait(lock, [&] { return events >= until; });
        state.SetIterationTime(processCpuSeconds() - start);
        if (failed) {
            state.SkipWithError("the simulator did not answer a poll");
            break;
        }
    }
    lock.unlock();
    poller.stop();
}

BENCHMARK(BM_BareRoundTrip)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PollRound)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    SimProcess projector({"--address", kProjectorAddress, "--password", "bench"});
    LoopbackPeer echo(kEchoAddress);
    if (!projector.ready() || !echo.ok()) {
        std::fprintf(stderr, "could not start the simulator or the echo server:\n%s",
                     projector.output().c_str());
        return 1;
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    const auto meanSeconds = [](const RatioReporter::Run& run) {
        return run.real_accumulated_time / static_cast<double>(run.iterations);
    };
    const RatioReporter::Run* base = reporter.find("BM_BareRoundTrip/manual_time");
    const RatioReporter::Run* poll = reporter.find("BM_PollRound/manual_time");
    if (base != nullptr && poll != nullptr && meanSeconds(*base) > 0) {
        std::printf("ratio BM_PollRound / BM_BareRoundTrip (CPU time): %.1f\n",
                    meanSeconds(*poll) / meanSeconds(*base));
        // One round every five seconds (plus the exchanges themselves) while the tab is shown.
        std::printf("idle share of one core with the 5 s pause: %.4f %%\n",
                    100.0 * meanSeconds(*poll) / 5.0);
    }
    benchmark::Shutdown();
    return reporter.exitStatus();
}
