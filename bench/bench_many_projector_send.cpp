// Wall time of one send of a message to 1, 8 and 64 simulated projectors through the
// many-projector engine (commands/ManyProjectorRun.h) that the desktop dialog and orvanta-cli use:
// state query, error status, PUT and save wait per projector, in parallel. Each size
// reports its ratio to the one-projector send measured in this same program run; the goal
// is at most 1.5 for 64 projectors.
//
// The simulated projectors answer each request after 20 ms, as a projector on a busy network
// does, and the save at once (--save-polls 0): the measure is the protocol and the engine, not
// the projector's save pause. BM_ManyProjectorSendInstant repeats it with projectors that answer at
// once, where only processor time is left: its cpu_ms_per_send says what each projector costs
// this program.
//
// Where the time went before (32 projectors took 2.5 times one from the command line): every
// exchange of every projector started a thread of its own for its transfer worker, and with
// many projectors the thread starts (clone, stack mapping) took most of the processor. A row
// now runs its exchanges on its own worker thread (InlineTransferRunner).

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "commands/ManyProjectorRun.h"
#include "support/SimProcess.h"

namespace {

using orvanta::testsupport::SimProcess;

constexpr int kMaxProjectors = 64;

constexpr int kReplyDelayMs = 20;

std::string projectorAddress(bool delayed, int i) {
    return (delayed ? "127.0.93." : "127.0.94.") + std::to_string(2 + i);
}

// One simulator process takes at most 64 connections at a time over all its addresses: the
// projectors are spread over several, as real projectors are each a device of their own.
constexpr int kProjectorsPerSimulator = 16;

struct Setup {
    std::vector<std::unique_ptr<SimProcess>> sims;
    orvanta::SendFile file;
    bool ok = false;
};

Setup makeSetup(bool delayed) {
    Setup made;
    made.ok = true;
    for (int first = 0; first < kMaxProjectors; first += kProjectorsPerSimulator) {
        std::vector<std::string> args = {"--save-polls", "0"};
        if (delayed) {
            args.insert(args.end(), {"--reply-delay", std::to_string(kReplyDelayMs)});
        }
        for (int i = first; i < first + kProjectorsPerSimulator; ++i) {
            args.insert(args.end(), {"--address", projectorAddress(delayed, i)});
        }
        made.sims.push_back(std::make_unique<SimProcess>(args));
        made.ok = made.ok && made.sims.back()->ready();
    }
    made.file.plain.title = orvanta::RichText(u"Bell", 0xFFFFFF, 0xC0C0C0);
    made.file.plain.body = orvanta::RichText(std::u16string(200, u'x'), 0xFFFFFF, 0xC0C0C0);
    made.file.extended = made.file.plain;
    return made;
}

Setup& setup(bool delayed) {
    static Setup withDelay = makeSetup(true);
    static Setup instant = makeSetup(false);
    return delayed ? withDelay : instant;
}

// One send; the wall time in seconds, or a negative value when a projector failed.
double sendOnce(bool delayed, int projectors) {
    std::vector<orvanta::ManyProjectorTarget> targets;
    for (int i = 0; i < projectors; ++i) {
        targets.push_back(
            {{orvanta::testsupport::ipv4(projectorAddress(delayed, i).c_str()), ""}, {}, false});
    }
    orvanta::SendRequest request;
    request.slot = 1;
    const auto begin = std::chrono::steady_clock::now();
    orvanta::ManyProjectorRun run(std::move(targets),
                                  [&](const orvanta::CommandContext& c) {
                                      return orvanta::sendFileToProjector(c, request,
                                                                          setup(delayed).file);
                                  },
                                  {});
    run.start();
    run.wait();
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - begin;
    for (std::size_t i = 0; i < run.size(); ++i) {
        if (run.stage(i) != orvanta::RowStage::Complete) {
            std::fprintf(stderr, "%s: %s\n", projectorAddress(delayed, static_cast<int>(i)).c_str(),
                         run.text(i).c_str());
        }
    }
    return run.summary().complete == static_cast<std::size_t>(projectors) ? took.count() : -1.0;
}

double measureBaseline(bool delayed) {
    constexpr int kRuns = 10;
    sendOnce(delayed, 1);  // warm-up
    double total = 0;
    for (int i = 0; i < kRuns; ++i) {
        total += sendOnce(delayed, 1);
    }
    return total / kRuns;
}

// The one-projector time of this program run, the baseline of the ratios.
double baseline(bool delayed) {
    static const double withDelay = measureBaseline(true);
    static const double instant = measureBaseline(false);
    return delayed ? withDelay : instant;
}

void measure(benchmark::State& state, bool delayed) {
    const int projectors = static_cast<int>(state.range(0));
    if (!setup(delayed).ok) {
        state.SkipWithError("simulator not ready");
        return;
    }
    const double base = baseline(delayed);
    if (base <= 0) {
        state.SkipWithError("the one-projector send failed");
        return;
    }
    double total = 0;
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    for (auto _ : state) {
        const double seconds = sendOnce(delayed, projectors);
        if (seconds < 0) {
            state.SkipWithError("a send failed");
            return;
        }
        state.SetIterationTime(seconds);
        total += seconds;
    }
    const double mean = total / static_cast<double>(state.iterations());
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    // CPU of every thread of this program (the engine, not the simulators) per send.
    state.counters["cpu_ms_per_send"] = (seconds(after.ru_utime) + seconds(after.ru_stime) -
                                         seconds(before.ru_utime) - seconds(before.ru_stime)) *
                                        1000 / static_cast<double>(state.iterations());
    state.counters["ms_per_send"] = mean * 1000;
    state.counters["x_vs_1_projector"] = mean / base;
}
void BM_ManyProjectorSend(benchmark::State& state) {
    measure(state, true);
}
void BM_ManyProjectorSendInstant(benchmark::State& state) {
    measure(state, false);
}

BENCHMARK(BM_ManyProjectorSend)
    ->Arg(1)
    ->Arg(8)
    ->Arg(64)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);
BENCHMARK(BM_ManyProjectorSendInstant)
    ->Arg(1)
    ->Arg(8)
    ->Arg(64)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);

}  // namespace
BENCHMARK_MAIN();
