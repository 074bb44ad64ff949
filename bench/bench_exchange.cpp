// Cost of one CTRL exchange (error status query, 0x6020) against the projector simulator on
// loopback, with greeting and digest and without, compared with a bare TCP
// connect-send-receive round trip against an in-process echo server measured in the same run.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

#include "RatioReporter.h"
#include "protocol/CommandExchange.h"
#include "support/LoopbackPeer.h"
#include "support/SimProcess.h"

namespace {

using orvanta::testsupport::ipv4;
using orvanta::testsupport::LoopbackPeer;
using orvanta::testsupport::SimProcess;

constexpr const char* kGreetingAddress = "127.0.11.2";
constexpr const char* kPlainAddress = "127.0.11.3";
constexpr const char* kEchoAddress = "127.0.11.4";

void BM_BareRoundTrip(benchmark::State& state) {
    const std::string request = orvanta::buildCtrlRequest(0x6020, 2, 0);
    const sockaddr_in echo = orvanta::testsupport::projectorPortOf(kEchoAddress);
    for (auto _ : state) {
        if (!orvanta::testsupport::bareRoundTrip(echo, request)) {
            state.SkipWithError("echo server not reachable");
            break;
        }
    }
}

void runCtrl(benchmark::State& state, const char* address) {
    orvanta::ExchangeRequest request;
    request.address = ipv4(address);
    request.password = "bench";
    request.verb = orvanta::Verb::Ctrl;
    request.text = orvanta::buildCtrlRequest(0x6020, 2, 0);
    for (auto _ : state) {
        const orvanta::ExchangeResult r = orvanta::runExchange(request);
        if (!r.status.ok() || r.code != 0) {
            state.SkipWithError("exchange failed");
            break;
        }
    }
}

void BM_CtrlWithGreeting(benchmark::State& state) {
    runCtrl(state, kGreetingAddress);
}

// Without a greeting the client waits out the whole greeting wait (1 s) before it sends.
void BM_CtrlWithoutGreeting(benchmark::State& state) {
    runCtrl(state, kPlainAddress);
}

BENCHMARK(BM_BareRoundTrip)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CtrlWithGreeting)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CtrlWithoutGreeting)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    SimProcess greeting({"--address", kGreetingAddress, "--password", "bench"});
    SimProcess plain({"--address", kPlainAddress, "--no-greeting"});
    LoopbackPeer echo(kEchoAddress);
    if (!greeting.ready() || !plain.ready() || !echo.ok()) {
        std::fprintf(stderr, "could not start the simulators or the echo server:\n%s%s",
                     greeting.output().c_str(), plain.output().c_str());
        return 1;
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    const auto meanSeconds = [](const RatioReporter::Run& run) {
        return run.real_accumulated_time / static_cast<double>(run.iterations);
    };
    const RatioReporter::Run* base = reporter.find("BM_BareRoundTrip/real_time");
    if (base != nullptr && meanSeconds(*base) > 0) {
        for (const auto& [name, run] : reporter.runs()) {
            if (name != "BM_BareRoundTrip/real_time") {
                std::printf("ratio %s / BM_BareRoundTrip: %.1f\n", name.c_str(),
                            meanSeconds(run) / meanSeconds(*base));
            }
        }
    }
    benchmark::Shutdown();
    return reporter.exitStatus();
}
