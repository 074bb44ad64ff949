#pragma once
// The status watch of the Main tab: a loop on a worker thread that asks one projector, every
// round, which stored message it shows (CTRL 3534) and whether an alarm sounds (CTRL 3535),
// then pauses ten times 500 ms. Each answer (or failure, see PollEvent) goes to the sink.
//
// Threads: every start() begins a fresh loop on the shared worker pool (platform/WorkerPool.h),
// which joins it at exit; the loop holds its state (stop flag, target, sink) by shared_ptr, so
// nothing the caller owns is touched after stop(). When no thread can run it, the sink hears
// one failed poll of each line at once. stop() sets the loop's stop flag and removes its sink
// under a mutex: it waits at most for a sink call that is under way (the sink only posts),
// never for a poll. A stopped loop notices the flag at its next check: after the message
// exchange, in each 200 ms step of a reply wait and in each pause. At most one loop of a
// poller delivers events; an old loop that has not ended yet sends nothing more.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "commands/CommandContext.h"
#include "platform/EventSink.h"
#include "protocol/CommandExchange.h"

namespace orvanta {

enum class PollEvent {
    MessageStatus,  // value: the answer
    AlarmStatus,    // value: the answer
    Reply1,
    Reply2,
    Reply3,
    Reply8,
    Reply9,
    Error,  // value: 0 (no connection or unknown answer), 11, 14, 15, 16, 17, 18
};

struct PollResult {
    PollEvent event = PollEvent::Error;
    int value = 0;
    std::uint16_t code = 0;  // the request answered: kCtrlMessageStatus or kCtrlAlarmStatus
};

// One exchange of the status watch for `code` (0x3534 or 0x3535): bounded connect, greeting
// with digest when one comes, the request, a reply wait that ends early when `stop` is set.
PollResult runPollExchange(const ProjectorTarget& target, std::uint16_t code,
                           const std::atomic<bool>& stop, const ExchangeTimings& timings = {});
// What the reply of such an exchange says.
PollResult pollResultFromReply(std::uint16_t code, const Reply& reply);

// The two fields of the "Message:" or "Alarm     :" line.
struct StatusFields {
    std::string first = "-";
    std::string second = "-";
    bool firstEnabled = false;
    bool secondEnabled = false;
    bool muteEnabled = false;  // alarm line only

    bool operator==(const StatusFields&) const = default;
};
StatusFields messageStatusFields(int value);
StatusFields alarmStatusFields(int value);
// What a poll result does to a line: the answer's texts, all "-" for the failures, nothing
// (the fields stay as they were) for a busy answer "CTRL 8".
std::optional<StatusFields> statusFieldsAfterPoll(const PollResult& result);

struct StatusPollTimings {
    std::chrono::milliseconds pause{500};  // one pause step between rounds
    int pauses = 10;                       // steps between rounds (about 5 s)
    ExchangeTimings exchange;              // connect 500 ms, greeting 1 s, reply ~12 s
};

// Each exchange's result, called on the poller's thread.
using StatusPollSink = EventSink<PollResult>;

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
