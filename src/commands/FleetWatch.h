#pragma once
// Watching many projectors at once: every projector is asked, over one connection, for its
// state (level, capability flags, startup display word) and, when it has the extended options,
// for the message it shows (with its slot) and whether its alarm sounds. The answers (or what
// went wrong, in the program's words) arrive one FleetStatus per projector.
//
// runFleetRound asks every projector once and returns when all have answered or given up (the
// command line's status table). FleetPoller keeps asking: each projector is asked again
// `interval` after its previous answer, so one that hangs until its reply wait gives up never
// holds back the others' next answers. At most `parallel` projectors are asked at a time.
//
// Threads: a FleetPoller run has one scheduler thread and up to `parallel` worker threads; they
// sleep on condition variables between polls (no polling loops). stop() sets the run's stop
// flag, wakes its threads and removes its sink under a mutex: it waits at most for a sink call
// under way (the sink only posts), never for a projector. A stopped run's threads end within
// one connect step, reply step or greeting wait; they are joined when the next run starts (if
// they have ended by then) and in the destructor. The sink is called on worker threads.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "commands/CommandContext.h"
#include "platform/EventSink.h"
#include "protocol/CommandExchange.h"

namespace orvanta {

// No registry holds more projectors than this, so each of them gets a thread of its own.
inline constexpr std::size_t kFleetParallelPolls = 64;

// What one poll of one projector found.
struct FleetStatus {
    std::size_t index = 0;      // position in the list the round or watch was given
    std::uint32_t address = 0;  // host order
    // The state query was answered. Otherwise `problem` says why, and the values below are
    // those of a projector that said nothing.
    bool answered = false;
    std::string problem;          // the text the operator is told, in the interface language
    ProjectorStateValues values;  // level, capability flags, startup display word
    // The projector has the extended options: message and alarm status were asked.
    bool watched = false;
    std::optional<int> messageStatus;  // the answer to CTRL 3534 (bit 0 on, bits 8.. slot)
    std::optional<int> alarmStatus;    // the answer to CTRL 3535 (bits 0-6 on, bits 8.. sound)
    std::chrono::system_clock::time_point answeredAt{};  // when answered

    // The startup display as the projector reported it; nothing when it did not say.
    std::optional<StartupDisplay> startup() const;
};

// A status as the fleet table and the command line show it, in the interface language: "-"
// for what the projector did not say.
struct FleetStatusTexts {
    std::string reachable;  // Yes / No
    std::string message;    // "ON Saved number:3", "OFF"
    std::string alarm;      // "ON Sound number:2", "OFF"
    std::string startup;    // "3, 5 min", "3, Repeat", "None"
    std::string level;
    std::string problem;  // on one line; empty when answered
};
FleetStatusTexts fleetStatusTexts(const FleetStatus& status);

struct FleetWatchTimings {
    std::chrono::milliseconds interval{5000};  // rest between two polls of one projector
    std::size_t parallel = kFleetParallelPolls;
    ExchangeTimings exchange;  // connect 500 ms, greeting 1 s, reply ~12 s
};

using FleetSink = EventSink<FleetStatus>;

// Asks one projector; ends early (as a failure) when `stop` is set.
FleetStatus pollFleetMember(const ProjectorTarget& target, const std::atomic<bool>& stop,
                            const ExchangeTimings& timings = {});

// Asks every projector once, in parallel, and returns their statuses in the order given.
// `progress` (may be empty) gets each status as it arrives, on a worker thread.
std::vector<FleetStatus> runFleetRound(const std::vector<ProjectorTarget>& members,
                                       const std::atomic<bool>& stop,
                                       const FleetWatchTimings& timings = {},
                                       const FleetSink& progress = {});

class FleetPoller {
  public:
    explicit FleetPoller(FleetWatchTimings timings = {});
    // Stops the watch and joins every thread it started.
    ~FleetPoller();

    FleetPoller(const FleetPoller&) = delete;
    FleetPoller& operator=(const FleetPoller&) = delete;

    // Stops any earlier watch and starts asking `members`, every one of them at once first.
    void start(std::vector<ProjectorTarget> members, FleetSink sink);
    // Asks every projector again at once, as if its rest were over; one being asked right now
    // is asked again as soon as it has answered. Returns at once.
    void refreshNow();
    // Asks the watch to end; returns at once.
    void stop();
    bool active() const { return run_ != nullptr; }

    // Watch threads of the whole process that have not ended yet (stopped ones included).
    static int threadsAlive();

  private:
    struct Run;
    void reapEnded();

    FleetWatchTimings timings_;
    std::shared_ptr<Run> run_;
    std::list<std::shared_ptr<Run>> stopped_;  // runs whose threads are still to be joined
};

}  // namespace orvanta
