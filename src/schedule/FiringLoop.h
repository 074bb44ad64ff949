#pragma once
// The firing loop as orvanta-service runs it: the runner on the real clock with the firer
// that sends through the many-projector engine and writes the history.

#include <memory>
#include <string>

#include "platform/Result.h"
#include "schedule/CommandFirer.h"
#include "schedule/ScheduleRunner.h"

namespace orvanta {

class FiringLoop {
  public:
    // `history`: whether firings are recorded in the history of the program folder.
    // `turns`: shared with the service's API (see ProjectorTurns); may be null.
    FiringLoop(std::string programFolder, bool history, ProjectorTurns* turns = nullptr);
    ~FiringLoop();
    FiringLoop(const FiringLoop&) = delete;
    FiringLoop& operator=(const FiringLoop&) = delete;

    // Fails when another service fires this folder's schedule already.
    Result<> start();
    // Ends the loop, cancels the firings still running and waits for them.
    void stop();
    bool running() const { return runner_ != nullptr; }

  private:
    std::string folder_;
    bool history_;
    ProjectorTurns* turns_;
    std::unique_ptr<CommandFirer> firer_;
    std::unique_ptr<ScheduleRunner> runner_;
};

}  // namespace orvanta
