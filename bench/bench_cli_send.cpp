// Wall time of one `orvanta-cli send` of a message file to 1, 8 and 32 simulated projectors,
// the whole program run included (start, state query, error status, PUT, save wait per
// projector). The sends run in parallel, so the time should grow far slower than the number
// of projectors: each run reports its ratio to the one-projector run measured in this same
// program, and the cost of every projector beyond the first.
//
// The simulator answers the save at once (--save-polls 0), so the measure is the protocol and
// the program, not the projector's 500 ms save pause.
//
// Every count runs with the history and without it (ORVANTA_NO_HISTORY=1): the end of the
// program prints what the history adds to each send, as a share of the send without it.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "cli/CliTestSupport.h"
#include "support/SimProcess.h"

namespace {

using orvanta::testsupport::CliFolders;
using orvanta::testsupport::CliOutcome;
using orvanta::testsupport::CliProcess;
using orvanta::testsupport::SimProcess;

constexpr int kMaxProjectors = 32;

std::string projectorAddress(int i) {
    return "127.0.47." + std::to_string(2 + i);
}

struct Setup {
    std::unique_ptr<SimProcess> sim;
    std::unique_ptr<CliFolders> folders;
    bool ok = false;
};

Setup& setup() {
    static Setup s = [] {
        Setup made;
        std::vector<std::string> args = {"--save-polls", "0"};
        for (int i = 0; i < kMaxProjectors; ++i) {
            args.insert(args.end(), {"--address", projectorAddress(i)});
        }
        made.sim = std::make_unique<SimProcess>(args);
        made.folders = std::make_unique<CliFolders>("bench");
        orvanta::Message m;
        m.title = orvanta::RichText(u"Bell", 0xFFFFFF, 0xC0C0C0);
        m.body = orvanta::RichText(std::u16string(200, u'x'), 0xFFFFFF, 0xC0C0C0);
        made.ok = made.sim->ready() &&
                  orvanta::testsupport::writeMessageFile(made.folders->messageData("bell.ovx"), m);
        return made;
    }();
    return s;
}

// One run of the program; the wall time in seconds, or a negative value when it failed.
double sendOnce(int projectors, bool history = true) {
    std::vector<std::string> args = {"send", "bell.ovx", "--slot", "1"};
    for (int i = 0; i < projectors; ++i) {
        args.insert(args.end(), {"--projector", projectorAddress(i)});
    }
    std::map<std::string, std::string> environment = setup().folders->environment();
    if (!history) {
        environment["ORVANTA_NO_HISTORY"] = "1";
    }
    const auto begin = std::chrono::steady_clock::now();
    CliProcess cli(args, environment);
    const CliOutcome o = cli.wait();
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - begin;
    return o.status == 0 ? took.count() : -1.0;
}

// The one-projector time of this program run, the baseline of the ratios.
double baseline() {
    static const double seconds = [] {
        constexpr int kRuns = 10;
        sendOnce(1);  // warm-up
        double total = 0;
        for (int i = 0; i < kRuns; ++i) {
            total += sendOnce(1);
        }
        return total / kRuns;
    }();
    return seconds;
}

// Mean seconds per run by projector count, with and without the history.
std::map<int, double> gWithHistory;
std::map<int, double> gWithoutHistory;

void BM_CliSend(benchmark::State& state) {
    const int projectors = static_cast<int>(state.range(0));
    const bool history = state.range(1) != 0;
    if (!setup().ok) {
        state.SkipWithError("simulator or message file not ready");
        return;
    }
    const double base = baseline();
    if (base <= 0) {
        state.SkipWithError("the one-projector send failed");
        return;
    }
    double total = 0;
    for (auto _ : state) {
        const double seconds = sendOnce(projectors, history);
        if (seconds < 0) {
            state.SkipWithError("a send failed");
            return;
        }
        state.SetIterationTime(seconds);
        total += seconds;
    }
    const double mean = total / static_cast<double>(state.iterations());
    state.counters["ms_per_run"] = mean * 1000;
    state.counters["x_vs_1_projector"] = mean / base;
    state.counters["ms_per_added_projector"] =
        projectors > 1 ? (mean - base) * 1000 / (projectors - 1) : 0;
    (history ? gWithHistory : gWithoutHistory)[projectors] = mean;
}
BENCHMARK(BM_CliSend)
    ->ArgNames({"projectors", "history"})
    ->ArgsProduct({{1, 8, 32}, {1, 0}})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);

// What the history adds to a send, as a share of the send without it; false when a count was
// not measured both ways.
bool printHistoryShares() {
    std::printf("\nwhat recording the history adds to a send (share of the send without it):\n");
    bool complete = !gWithHistory.empty();
    for (const auto& [projectors, with] : gWithHistory) {
        const auto without = gWithoutHistory.find(projectors);
        if (without == gWithoutHistory.end() || without->second <= 0) {
            complete = false;
            continue;
        }
        std::printf("  %2d projectors: %8.1f ms with, %8.1f ms without, history %+.3f x send\n",
                    projectors, with * 1000, without->second * 1000,
                    (with - without->second) / without->second);
    }
    return complete;
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    const std::size_t ran = benchmark::RunSpecifiedBenchmarks();
    const bool shares = printHistoryShares();
    benchmark::Shutdown();
    // A run that measured nothing (a send failed, or the simulator did not start) fails.
    return ran > 0 && shares ? 0 : 1;
}
