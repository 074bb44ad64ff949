#pragma once
// The status watch of the Main tab: a loop on a worker thread that asks one projector, every
// round, which stored message it shows (CTRL 3534) and whether an alarm sounds (CTRL 3535),
// then pauses ten times 500 ms. Each answer (or failure, see PollEvent) goes to the sink.
//
// Threads: every start() begins a fresh loop on a thread of its own that is detached on
// purpose; the loop holds its state (stop flag, target, sink) by shared_ptr, so nothing the
// caller owns is touched after stop(). stop() sets the loop's stop flag and removes its sink
// under a mutex: it waits at most for a sink call that is under way (the sink only posts),
// never for a poll. A stopped loop notices the flag at its next check: after the message
// exchange, in each 200 ms step of a reply wait and in each pause. At most one loop of a
// poller delivers events; an old loop that has not ended yet sends nothing more.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

#include "commands/MainTabOperations.h"

namespace orvanta {

struct StatusPollTimings {
    std::chrono::milliseconds pause{500};  // one pause step between rounds
    int pauses = 10;                       // steps between rounds (about 5 s)
    ExchangeTimings exchange;              // connect 500 ms, greeting 1 s, reply ~12 s
};

// One result of one exchange: `code` is 0x3534 or 0x3535. Called on the poller's thread.
using StatusPollSink = std::function<void(std::uint16_t code, const PollResult& result)>;

class StatusPoller {
  public:
    explicit StatusPoller(StatusPollTimings timings = {});
    ~StatusPoller();  // stops the loop without waiting for it

    StatusPoller(const StatusPoller&) = delete;
    StatusPoller& operator=(const StatusPoller&) = delete;

    // Stops any earlier loop and starts a new one for `target`.
    void start(const ProjectorTarget& target, StatusPollSink sink);
    // Asks the loop to end; returns at once.
    void stop();
    // A loop of this poller has been started and not stopped.
    bool active() const { return run_ != nullptr; }

    // Poll loops of the whole process whose thread has not ended yet (stopped ones included).
    static int threadsAlive();

  private:
    struct Run;
    StatusPollTimings timings_;
    std::shared_ptr<Run> run_;
};

}  // namespace orvanta
