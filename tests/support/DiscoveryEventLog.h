#pragma once
// Collects the events a discovery worker posts from its own thread, for tests to wait on.

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "projectors/Discovery.h"

namespace orvanta::testsupport {

class DiscoveryEventLog {
  public:
    DiscoveryEventSink sink() {
        return [this](const DiscoveryEvent& e) {
            std::lock_guard lock(mutex_);
            events_.push_back(e);
            changed_.notify_all();
        };
    }
    // True once an event of `kind` has arrived within `limit`.
    bool waitFor(std::chrono::milliseconds limit, DiscoveryEventKind kind) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, limit, [&] {
            return std::any_of(events_.begin(), events_.end(),
                               [&](const DiscoveryEvent& e) { return e.kind == kind; });
        });
    }
    std::vector<DiscoveryEvent> events() {
        std::lock_guard lock(mutex_);
        return events_;
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<DiscoveryEvent> events_;
};

}  // namespace orvanta::testsupport
