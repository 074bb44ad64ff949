#pragma once
// One exchange at a time per projector, across everything one process runs at once: the
// service's API requests and the schedule's firings. A projector holds one command connection
// at a time, so a second command to the same projector waits for its turn instead of failing
// as busy. Commands to different projectors never wait for each other.
//
// The object must outlive every operation `inTurn` made. Thread-safe.

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

#include "commands/ManyProjectorRun.h"

namespace orvanta {

class ProjectorTurns {
  public:
    // `operation`, run for a projector only while no other operation of these turns runs for
    // it. A stop requested while waiting ends the row as cancelled, having sent nothing.
    ManyProjectorOperation inTurn(ManyProjectorOperation operation);

  private:
    std::shared_ptr<std::mutex> turnOf(std::uint32_t address);

    std::mutex mutex_;
    std::map<std::uint32_t, std::shared_ptr<std::mutex>> turns_;  // guarded by mutex_
};

}  // namespace orvanta
