// Wall time of one `orvanta-cli send` of a message file to 1, 8 and 32 simulated projectors,
// the whole program run included (start, state query, error status, PUT, save wait per
// projector). The sends run in parallel, so the time should grow far slower than the number
// of projectors: each run reports its ratio to the one-projector run measured in this same
// program, and the cost of every projector beyond the first.
//
// The simulator answers the save at once (--save-polls 0), so the measure is the protocol and
// the program, not the projector's 500 ms save pause.

#include <benchmark/benchmark.h>

#include <chrono>
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
double sendOnce(int projectors) {
    std::vector<std::string> args = {"send", "bell.ovx", "--slot", "1"};
    for (int i = 0; i < projectors; ++i) {
        args.insert(args.end(), {"--projector", projectorAddress(i)});
    }
    const auto begin = std::chrono::steady_clock::now();
    CliProcess cli(args, setup().folders->environment());
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

void BM_CliSend(benchmark::State& state) {
    const int projectors = static_cast<int>(state.range(0));
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
        const double seconds = sendOnce(projectors);
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
}
BENCHMARK(BM_CliSend)
    ->Arg(1)
    ->Arg(8)
    ->Arg(32)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);

}  // namespace

BENCHMARK_MAIN();
