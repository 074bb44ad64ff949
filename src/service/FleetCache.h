#pragma once
// What the service knows of every registered projector: the Fleet tab's watch, kept running
// so that GET /v1/fleet and a dry run answer from the last refresh without asking anyone.
// The registry is looked at again every refresh interval; a change restarts the watch with
// the new projectors.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "commands/FleetWatch.h"
#include "platform/Result.h"
#include "projectors/ProjectorRegistry.h"

namespace orvanta::service {

class FleetCache {
  public:
    FleetCache(std::string programFolder, std::chrono::milliseconds interval);
    ~FleetCache();
    FleetCache(const FleetCache&) = delete;
    FleetCache& operator=(const FleetCache&) = delete;

    // Fails when the system has no thread to give for the watch.
    Result<> start();
    void stop();

    struct Row {
        ProjectorRecord record;
        std::optional<FleetStatus> status;  // nothing until the projector first answered
    };
    // The registered projectors in registry order, each with its last status.
    std::vector<Row> rows() const;
    std::optional<FleetStatus> status(std::uint32_t address) const;

  private:
    void loop();
    void reloadRegistry();

    std::string programFolder_;
    std::chrono::milliseconds interval_;
    FleetPoller poller_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;                          // guarded by mutex_
    std::vector<ProjectorRecord> registered_;        // guarded by mutex_
    std::map<std::uint32_t, FleetStatus> statuses_;  // guarded by mutex_
    std::string registrySignature_;                  // the loop thread's own
    std::thread thread_;
};

}  // namespace orvanta::service
