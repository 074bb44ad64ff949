#pragma once
// Flags written whole by the user-interface thread and polled by workers.

#include <atomic>

namespace orvanta {

struct StopFlags {
    std::atomic<bool> discoveryStop{false};
    std::atomic<bool> statusPollStop{false};
};

// The one set of the process.
StopFlags& processStopFlags();

}  // namespace orvanta
