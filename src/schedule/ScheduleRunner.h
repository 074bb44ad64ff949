#pragma once
// The firing loop: looks at the clock (once a second when started) and at the schedule file
// (read again when it changes), and fires what has come due.
//
// What it has fired is kept in a ledger (schedule-state.json of the program folder), written
// before the firing's commands go out: a runner killed in the firing minute and started again
// finds the firing there and does not fire it again (it records that it had started). The
// ledger also keeps the last moment looked at, so that a firing that came due while no runner
// ran is found: missed by at most the grace time it fires late, missed by more it is recorded
// as missed and not sent. A clock that goes back fires nothing until it has caught up again.
// Only one runner fires a program folder's schedule at a time (the ledger's lock says so).

#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/FileLock.h"
#include "platform/Result.h"
#include "schedule/Firings.h"
#include "schedule/Schedule.h"
#include "schedule/ScheduleStore.h"

namespace orvanta {

inline constexpr const char* kLedgerFileName = "schedule-state.json";
// How far back a runner looks for firings it missed (a service that was off for a month
// records a week of them).
inline constexpr Instant kLookBackSeconds = 7 * 86400;

enum class FiringState { Started, Done, Failed, Missed, Interrupted };
std::string_view firingStateName(FiringState state);

struct LedgerFiring {
    std::string entry;
    Instant time = 0;  // when it was due
    FiringState state = FiringState::Started;
    bool operator==(const LedgerFiring&) const = default;
};

struct FiringLedger {
    Instant checked = 0;  // the last moment looked at; 0 before the first look
    std::vector<LedgerFiring> firings;
    LedgerFiring* find(const std::string& entry, Instant time);
    bool operator==(const FiringLedger&) const = default;
};
std::string ledgerPath(const std::string& programFolder);
std::string formatLedger(const FiringLedger& ledger);
// A damaged ledger reads as an empty one.
FiringLedger parseLedger(std::string_view bytes);

// What makes firings happen and where they are told: the service's sends projectors the
// commands and writes the history; tests keep what they are given.
class ScheduleFirer {
  public:
    virtual ~ScheduleFirer() = default;
    using Done = std::function<void(bool complete, const std::string& summary)>;
    // Starts the entry's commands and returns at once; `done` is called once, on any thread,
    // when they have all ended. A firer never blocks the loop on a projector.
    virtual void fire(const ScheduleEntry& entry, Instant due, Done done) = 0;
    // A firing that did not go out (Missed, Interrupted) or how one ended (Done, Failed).
    virtual void note(const std::string& entry, Instant due, FiringState state,
                      const std::string& text) = 0;
};

class ScheduleRunner {
  public:
    using Clock = std::function<Instant()>;
    ScheduleRunner(std::string programFolder, ScheduleFirer& firer, Clock now);
    // Stops the loop. Firings still running keep their ledger entries as started.
    ~ScheduleRunner();
    ScheduleRunner(const ScheduleRunner&) = delete;
    ScheduleRunner& operator=(const ScheduleRunner&) = delete;

    // Takes the ledger's lock (fails when another runner has it) and reads the ledger; a
    // firing found started but never ended is recorded as interrupted.
    Result<> open();
    // One look at the file and the clock; fires what is due. open() first.
    void tick();
    // A thread that ticks just after each second until stop(); fails when the system has no
    // thread to give.
    Result<> start();
    void stop();

    // The next firing after the last look, if any (nothing while paused).
    std::optional<Instant> nextDue() const;
    // The last problem with the schedule file (a damaged file keeps the last good schedule).
    std::string problem() const;
    FiringLedger ledger() const;
    // The real clock.
    static Instant systemNow();

  private:
    void reload();
    bool saveLedger();  // with mutex_ held
    void finished(const std::string& entry, Instant due, bool complete, const std::string& summary);
    void loop();

    std::string folder_;
    ScheduleFirer& firer_;
    Clock now_;
    std::optional<FileLock> lock_;

    mutable std::mutex mutex_;  // guards everything below
    Schedule schedule_;
    FileStamp stamp_;
    std::string problem_;
    FiringLedger ledger_;
    std::optional<Instant> nextDue_;
    bool dirty_ = true;      // next firings to be worked out again
    Instant lastSaved_ = 0;  // when the ledger was last written
    bool stop_ = false;
    std::condition_variable wake_;
    std::thread thread_;
};

}  // namespace orvanta
