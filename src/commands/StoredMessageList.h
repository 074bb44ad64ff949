#pragma once
// The stored-message list: asks a projector about each of its 13 slots in turn with INFO and
// reports one status word per slot.  Runs on a worker thread owned by its dialog (or by the
// command line); the stop flag ends it before the next slot.

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace orvanta {

inline constexpr int kStoredSlotCount = 13;

// What the worker reports, with the slot it is about.
enum class SlotListEvent : int {
    InUse = 0x8001,          // "INFO 0"
    NotUsed = 0x8002,        // "INFO 1"
    Saving = 0x8003,         // "INFO 2"
    Busy = 0x8004,           // "INFO 3"
    TimeOut = 0x8005,        // "INFO 8"
    Error = 0x8006,          // "INFO 9"
    Failed = 0x8008,         // an unknown reply (the list goes on), or send, wait or receive
                             // failed (the list ends)
    ConnectFailed = 0x8009,  // socket, connect or greeting failed: the list ends
};

// The status word for a reply digit ("in use", "not used", ...); "error" for anything else.
// Fixed English words, the same in every interface language.
std::string_view slotStatusWord(int digit);
// The first column: "Quick" for slot 0, the number for the others.
std::string slotLabel(int slot);

class SlotListSink {
  public:
    virtual ~SlotListSink() = default;
    // On the worker thread.  `status` is the slot's status word after the event (unchanged,
    // that is empty, for the failures that leave it as it was).
    virtual void slotEvent(SlotListEvent event, int slot, const std::string& status) = 0;
};

struct SlotListTimings {
    std::chrono::milliseconds greetingWait{1000};
    // The reply wait: `replyPolls` readiness waits of `replyStep` each (about 12 seconds, as
    // any command's); the stop flag is looked at after each and during the connect. A
    // projector that lets one slot time out is not asked about the others, so the whole list
    // never takes much longer than one command.
    std::chrono::milliseconds replyStep{200};
    int replyPolls = 60;
};

// Asks slots 0..12 in turn while `stop` is clear.  Returns after the last slot, after a
// failure that ends the list (a reply that does not come in time is one), or when `stop`
// was seen.
void runStoredMessageList(std::uint32_t address, const std::string& password,
                          const std::atomic<bool>& stop, SlotListSink& sink,
                          const SlotListTimings& timings = {});

}  // namespace orvanta
