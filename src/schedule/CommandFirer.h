#pragma once
// How the service fires an entry: its projectors (a projector, a group or every registered
// one, with the registry's passwords) each get a row of the many-projector engine, so that
// one that fails or hangs holds up neither the others nor the next firing. Every command is
// recorded in the history with "schedule: NAME" as its source, and so are missed and
// interrupted firings and how each firing ended.
//
// Questions a command asks (Clear's "Are you sure?", characters a projector cannot show) are
// answered Yes: the operator answered them when making the entry.

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "commands/ManyProjectorRun.h"
#include "commands/ProjectorTurns.h"
#include "history/History.h"
#include "schedule/ScheduleRunner.h"

namespace orvanta {

// The history source of what an entry did.
std::string scheduleSource(const std::string& entryName);

// The projectors `target` names now, in the registry's order for every registered one.
Result<std::vector<ManyProjectorTarget>> resolveScheduleTarget(const std::string& programFolder,
                                                               const ScheduleTarget& target);
// The command run for each of `targets`. A message file or template is read (and a
// template's values checked) once, here; one that cannot be is an error that names it.
Result<ManyProjectorOperation> scheduleOperation(const std::string& programFolder,
                                                 const ScheduleAction& action,
                                                 const ScheduleTarget& target,
                                                 const std::vector<ManyProjectorTarget>& targets);

class CommandFirer : public ScheduleFirer {
  public:
    // `history` null: none is written (tests). `turns`: shared with the service's API, so
    // that a firing and a request to the same projector take turns; null: no turns are taken.
    CommandFirer(std::string programFolder, std::unique_ptr<HistoryFile> history,
                 TransferTimings timings = {}, ProjectorTurns* turns = nullptr);
    // Cancels the firings still running and waits for them.
    ~CommandFirer() override;
    CommandFirer(const CommandFirer&) = delete;
    CommandFirer& operator=(const CommandFirer&) = delete;

    void fire(const ScheduleEntry& entry, Instant due, Done done) override;
    void note(const std::string& entry, Instant due, FiringState state,
              const std::string& text) override;
    // Firings whose commands still run.
    std::size_t running() const;

  private:
    struct Firing;
    void reap();

    std::string folder_;
    std::unique_ptr<HistoryFile> history_;
    TransferTimings timings_;
    ProjectorTurns* turns_;
    mutable std::mutex mutex_;
    std::vector<std::unique_ptr<Firing>> firings_;  // guarded by mutex_
};

}  // namespace orvanta
