#pragma once
// What one simulated projector remembers, and how it answers a request.

#include <array>
#include <mutex>
#include <string>

#include "RequestParser.h"
#include "SimConfig.h"

namespace orvanta::sim {

class ProjectorState {
  public:
    explicit ProjectorState(const SimConfig& config);

    // Carries out `request` and returns the reply bytes, laid out as a projector does.
    // Thread-safe.
    std::string answer(const ParsedRequest& request);

    static constexpr int kSlotCount = 13;
    static constexpr std::size_t kMaxBodyLength = 3968;

  private:
    struct Slot {
        bool used = false;
        std::string headerHex;  // as received by PUT: 64 or 32 characters
        std::string body;
        int savePolls = 0;  // STAT answers "still saving" this many more times
    };

    std::string put(const ParsedRequest& request);
    std::string text(int slot);
    std::string info(int slot);
    std::string stat(int slot);
    std::string cancel();
    std::string ctrl(const ParsedRequest& request);

    const SimConfig& config_;
    std::mutex mutex_;
    std::array<Slot, kSlotCount> slots_;
    unsigned startupWord_;
    char errorStatus_;
    int alarmSound_;
    int shownSlot_ = -1;
    int rememberedSlot_ = -1;
};

}  // namespace orvanta::sim
