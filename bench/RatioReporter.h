#pragma once
// Benchmarks report speed as ratios to a baseline measured in the same run. This reporter
// prints the usual console table and keeps every completed run, so that a program can close
// with its ratios once all benchmarks have run.

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration && run.iterations > 0 && !run.error_occurred) {
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

  private:
    std::map<std::string, Run> runs_;
};
