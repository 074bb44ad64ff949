// What the schedule costs: the next firings of 1000 entries (the schedule view and
// `orvanta-cli schedule next` ask for them; the loop after each firing), and one idle tick of
// the service's firing loop with 1000 entries (it ticks once a second, so its share of a core
// is the tick's time over a second). The baseline, measured in the same run, is 1000 local
// time conversions of the C library, the unit every firing time is built from.

#include <unistd.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>

#include "RatioReporter.h"
#include "schedule/Firings.h"
#include "schedule/ScheduleRunner.h"
#include "schedule/ScheduleStore.h"

namespace {

using namespace orvanta;

constexpr int kEntries = 1000;
const Instant kStart = 1796644800;  // 2026-12-08, a Tuesday

Schedule thousandEntries() {
    Schedule s;
    for (int i = 0; i < kEntries; ++i) {
        ScheduleEntry e;
        e.name = "entry " + std::to_string(i);
        e.when.time = {6 + i % 14, (i * 7) % 60, 0};
        switch (i % 4) {
            case 0:
                e.when.repeat = Repeat::Daily;
                break;
            case 1:
                e.when.repeat = Repeat::Weekdays;
                e.when.weekdays = 0x1F;
                e.when.skip = {{2026, 12, 24}, {2026, 12, 25}, {2026, 12, 31}};
                break;
            case 2:
                e.when.repeat = Repeat::Weekdays;
                e.when.weekdays = 1u << (i % 7);
                e.when.from = CivilDate{2026, 12, 1};
                e.when.until = CivilDate{2027, 7, 15};
                break;
            default:
                e.when.repeat = Repeat::Once;
                e.when.date = {2027, 1 + i % 12, 1 + i % 28};
                break;
        }
        e.action.kind = ScheduleActionKind::Mute;
        s.entries.push_back(std::move(e));
    }
    return s;
}

void BM_Baseline1000LocalTimes(benchmark::State& state) {
    for (auto _ : state) {
        for (int i = 0; i < kEntries; ++i) {
            const std::time_t t = kStart + i * 3600;
            std::tm tm{};
            benchmark::DoNotOptimize(localtime_r(&t, &tm));
        }
    }
}

void BM_NextFiringOfEach1000Entries(benchmark::State& state) {
    const Schedule s = thousandEntries();
    for (auto _ : state) {
        benchmark::DoNotOptimize(nextFirings(s, kStart, kEntries));
    }
}

void BM_NextTenFiringsOf1000Entries(benchmark::State& state) {
    const Schedule s = thousandEntries();
    for (auto _ : state) {
        benchmark::DoNotOptimize(nextFirings(s, kStart, 10));
    }
}

class NoFirer : public ScheduleFirer {
  public:
    void fire(const ScheduleEntry&, Instant, Done done) override { done(true, {}); }
    void note(const std::string&, Instant, FiringState, const std::string&) override {}
};

void BM_IdleTickWith1000Entries(benchmark::State& state) {
    const std::string folder = (std::filesystem::temp_directory_path() /
                                ("orvanta-bench-schedule-" + std::to_string(::getpid())))
                                   .string() +
                               "/";
    std::filesystem::create_directories(folder);
    (void)changeSchedule(folder, [](Schedule& s) -> Result<> {
        s = thousandEntries();
        return {};
    });
    NoFirer firer;
    Instant now = kStart;
    {
        ScheduleRunner runner(folder, firer, [&now] { return now; });
        if (!runner.open()) {
            state.SkipWithError("the runner did not open");
            return;
        }
        runner.tick();  // reads the file and works out the next firing
        for (auto _ : state) {
            runner.tick();  // the clock has not moved on to a firing
        }
    }
    std::filesystem::remove_all(folder);
}

BENCHMARK(BM_Baseline1000LocalTimes);
BENCHMARK(BM_NextFiringOfEach1000Entries);
BENCHMARK(BM_NextTenFiringsOf1000Entries);
BENCHMARK(BM_IdleTickWith1000Entries);

}  // namespace

int main(int argc, char** argv) {
    setenv("TZ", "Europe/Berlin", 1);
    tzset();
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatios("BM_Baseline1000LocalTimes", "Against 1000 local time conversions:");
    if (const auto* tick = reporter.find("BM_IdleTickWith1000Entries")) {
        // Once a second: the tick's time in nanoseconds over 1e9, as a percentage.
        std::printf("\nThe idle firing loop with %d entries: %.4f %% of a core\n", kEntries,
                    tick->GetAdjustedRealTime() / 1e9 * 100.0);
    }
    return 0;
}
