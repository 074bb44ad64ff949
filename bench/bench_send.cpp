// The Main tab's whole Send sequence against the projector simulator on loopback: the error
// status read (CTRL 6020), the PUT of a 3968-byte body and the STAT poll that the simulator
// answers "0" at once - three connections, each with greeting and digest.  Reported next to
// a bare loopback round trip (connect, one short request, one short reply, close) measured
// in the same run, as the ratio of the two.

#include <benchmark/benchmark.h>
#include <poll.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <vector>

#include "commands/ProjectorState.h"
#include "commands/SendCommand.h"
#include "support/LoopbackPeer.h"
#include "support/ScriptedPrompt.h"
#include "support/SimProcess.h"
#include "support/TransferTestSupport.h"
#include "text/LanguageText.h"

using namespace orvanta;
using namespace orvanta::testsupport;

namespace {

constexpr const char* kSimAddress = "127.0.4.200";
constexpr const char* kEchoAddress = "127.0.4.201";

// One bare round trip to the peer: connect, request, reply, close.
bool roundTrip() {
    CommandExchange exchange;
    Reply reply;
    return exchange.open(ipv4(kEchoAddress), ConnectMode::Plain).ok() &&
           exchange.sendRequest("", "CTRL 6020\r\n2\r\n").ok() &&
           exchange.waitReply(CancelBehaviour::Ignore, nullptr).ok() &&
           exchange.receiveReply(kSmallReceiveSize, reply).ok();
}

// Median of a few hundred round trips, measured once per run.
double baselineMicroseconds() {
    static const double median = [] {
        LoopbackPeer peer(kEchoAddress, "CTRL 0\r\n");
        if (!peer.ok()) {
            return 0.0;
        }
        std::vector<double> samples;
        for (int i = 0; i < 300; ++i) {
            const auto start = std::chrono::steady_clock::now();
            if (!roundTrip()) {
                return 0.0;
            }
            samples.push_back(
                std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
                    .count());
        }
        std::nth_element(samples.begin(), samples.begin() + samples.size() / 2, samples.end());
        return samples[samples.size() / 2];
    }();
    return median;
}

void ensureBinDir() {
    if (std::getenv("ORVANTA_BIN_DIR") == nullptr) {
        const auto self = std::filesystem::read_symlink("/proc/self/exe").parent_path();
        ::setenv("ORVANTA_BIN_DIR", self.c_str(), 1);
    }
}

void BM_LoopbackRoundTrip(benchmark::State& state) {
    LoopbackPeer peer(kEchoAddress, "CTRL 0\r\n");
    if (!peer.ok()) {
        state.SkipWithError("cannot listen on the loopback address");
        return;
    }
    for (auto _ : state) {
        if (!roundTrip()) {
            state.SkipWithError("round trip failed");
            return;
        }
    }
}
BENCHMARK(BM_LoopbackRoundTrip)->Unit(benchmark::kMicrosecond);

void BM_MainTabSend(benchmark::State& state) {
    setInterfaceLanguage(LanguageId::English);
    ensureBinDir();
    const double baseline = baselineMicroseconds();
    SimProcess sim({"--address", kSimAddress, "--password", "bench", "--save-polls", "0"});
    if (!sim.ready() || baseline <= 0.0) {
        state.SkipWithError("simulator or loopback peer not available");
        return;
    }
    const MessagePayload payload = testPayload(kMaxBodyBytes, true);
    const ProjectorTarget target{ipv4(kSimAddress), "bench"};
    TransferFlags flags;
    BlockingTransferRunner runner(flags);
    ScriptedPrompt prompt;
    ProjectorInfo projector;
    const CommandContext context{target, prompt, runner, projector};
    double total = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const bool sent = checkProjectorReady(context).ok() &&
                          sendPayloadToProjector(context, payload, 0, {4, 7}, 1).ok() &&
                          waitForSave(context, 1).ok();
        total += std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
                     .count();
        if (!sent) {
            state.SkipWithError("the send sequence failed");
            return;
        }
    }
    const double perSend = total / static_cast<double>(state.iterations());
    state.counters["round_trip_us"] = baseline;
    state.counters["send_us"] = perSend;
    state.counters["ratio_to_round_trip"] = perSend / baseline;
}
BENCHMARK(BM_MainTabSend)->Unit(benchmark::kMicrosecond)->MinTime(1.0);

}  // namespace

BENCHMARK_MAIN();
