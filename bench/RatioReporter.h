#pragma once
// Benchmarks report speed as ratios to a baseline measured in the same run. This reporter
// prints the usual console table and keeps every completed run, so that a program can close
// with its ratios once all benchmarks have run.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred) {
                failed_.push_back(run.benchmark_name() + ": " + run.error_message);
            } else if (run.run_type == Run::RT_Iteration && run.iterations > 0) {
                runs_.insert_or_assign(run.benchmark_name(), run);
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    const std::map<std::string, Run>& runs() const { return runs_; }
    const Run* find(const std::string& name) const {
        const auto it = runs_.find(name);
        return it == runs_.end() ? nullptr : &it->second;
    }

    // Prints every other run's mean time in microseconds and as a multiple of `baseline`
    // (times in nanoseconds, the default unit), under `heading`.
    void printRatios(const std::string& baseline, const char* heading) const {
        const Run* base = find(baseline);
        if (base == nullptr || base->GetAdjustedRealTime() <= 0) {
            return;
        }
        std::printf("\n%s\n", heading);
        for (const auto& [name, run] : runs_) {
            if (name != baseline) {
                const double time = run.GetAdjustedRealTime();
                std::printf("  %-32s %10.1f us  %7.2f x baseline\n", name.c_str(), time / 1000.0,
                            time / base->GetAdjustedRealTime());
            }
        }
    }

    // What the program returns: a benchmark that could not run its case measured nothing, and
    // a run that passes silently over it would hide that.
    int exitStatus() const {
        for (const std::string& f : failed_) {
            std::fprintf(stderr, "benchmark failed: %s\n", f.c_str());
        }
        return failed_.empty() ? 0 : 1;
    }

  private:
    std::map<std::string, Run> runs_;
    std::vector<std::string> failed_;
};
