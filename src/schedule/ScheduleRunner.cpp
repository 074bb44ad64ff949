#include "schedule/ScheduleRunner.h"

#include <algorithm>
#include <chrono>
#include <nlohmann/json.hpp>

#include "platform/AtomicFile.h"
#include "platform/EnumWords.h"
#include "platform/WorkerPool.h"

namespace orvanta {
namespace {

constexpr EnumWord<FiringState> kStates[] = {
    {FiringState::Started, "started"},         {FiringState::Done, "done"},
    {FiringState::Failed, "failed"},           {FiringState::Missed, "missed"},
    {FiringState::Interrupted, "interrupted"},
};
// The ledger is written at least this often while nothing fires, so that a restart looks
// back no further than needed.
constexpr Instant kCheckedSavePeriod = 60;

}  // namespace

std::string_view firingStateName(FiringState state) {
    return wordOf(kStates, state, "started");
}

LedgerFiring* FiringLedger::find(const std::string& entry, Instant time) {
    const auto found = std::find_if(firings.begin(), firings.end(), [&](const LedgerFiring& f) {
        return f.time == time && f.entry == entry;
    });
    return found == firings.end() ? nullptr : &*found;
}

std::string ledgerPath(const std::string& programFolder) {
    return programFolder + kLedgerFileName;
}

std::string formatLedger(const FiringLedger& ledger) {
    nlohmann::json firings = nlohmann::json::array();
    for (const LedgerFiring& f : ledger.firings) {
        firings.push_back(
            {{"entry", f.entry}, {"time", f.time}, {"state", firingStateName(f.state)}});
    }
    return nlohmann::json{{"checked", ledger.checked}, {"firings", firings}}.dump() + "\n";
}

FiringLedger parseLedger(std::string_view bytes) {
    FiringLedger ledger;
    const nlohmann::json value = nlohmann::json::parse(bytes, nullptr, false);
    if (!value.is_object()) {
        return ledger;
    }
    if (const auto checked = value.find("checked");
        checked != value.end() && checked->is_number_integer()) {
        ledger.checked = checked->get<Instant>();
    }
    const auto firings = value.find("firings");
    if (firings == value.end() || !firings->is_array()) {
        return ledger;
    }
    for (const nlohmann::json& f : *firings) {
        if (!f.is_object() || !f.value("entry", nlohmann::json()).is_string() ||
            !f.value("time", nlohmann::json()).is_number_integer()) {
            continue;
        }
        LedgerFiring firing{f["entry"].get<std::string>(), f["time"].get<Instant>(),
                            FiringState::Started};
        firing.state = valueOf(kStates, f.value("state", std::string("started")))
                           .value_or(FiringState::Started);
        ledger.firings.push_back(std::move(firing));
    }
    return ledger;
}

ScheduleRunner::ScheduleRunner(std::string programFolder, ScheduleFirer& firer, Clock now)
    : folder_(std::move(programFolder)), firer_(firer), now_(std::move(now)) {}

ScheduleRunner::~ScheduleRunner() {
    stop();
}

Instant ScheduleRunner::systemNow() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

Result<> ScheduleRunner::open() {
    auto lock = FileLock::acquire(ledgerPath(folder_), std::chrono::milliseconds(0));
    if (!lock) {
        return fail(lock.reason() == LockProblem::Busy
                        ? "Another service already fires the schedule of " + folder_ + "."
                        : "The schedule's state cannot be locked: " + lock.error());
    }
    lock_.emplace(std::move(lock).value());
    const auto bytes = readRegularFile(ledgerPath(folder_), kMaxWholeFileBytes);
    std::vector<LedgerFiring> interrupted;
    {
        const std::lock_guard guard(mutex_);
        ledger_ = bytes ? parseLedger(bytes.value()) : FiringLedger{};
        lastSaved_ = 0;  // the first look is written down
        for (LedgerFiring& f : ledger_.firings) {
            if (f.state == FiringState::Started) {
                f.state = FiringState::Interrupted;
                interrupted.push_back(f);
            }
        }
        if (!interrupted.empty() && !saveLedger()) {
            return fail("The schedule's state cannot be written to " + ledgerPath(folder_) + ".");
        }
    }
    for (const LedgerFiring& f : interrupted) {
        firer_.note(f.entry, f.time, FiringState::Interrupted,
                    "The firing had started when the service stopped; it is not fired again.");
    }
    reload();
    return {};
}

void ScheduleRunner::reload() {
    const std::string path = schedulePath(folder_);
    const FileStamp stamp = fileStamp(path);
    {
        const std::lock_guard guard(mutex_);
        if (stamp == stamp_) {
            return;
        }
    }
    Result<Schedule> read = readSchedule(folder_);
    const std::lock_guard guard(mutex_);
    stamp_ = stamp;
    if (read) {
        schedule_ = std::move(read).value();
        problem_.clear();
    } else {
        problem_ = read.error();  // the last good schedule goes on
    }
    dirty_ = true;
}

bool ScheduleRunner::saveLedger() {
    // Firings older than the look-back can no longer come due again.
    const Instant oldest = ledger_.checked - kLookBackSeconds - 86400;
    std::erase_if(ledger_.firings, [oldest](const LedgerFiring& f) {
        return f.time < oldest && f.state != FiringState::Started;
    });
    if (!writeFileAtomically(ledgerPath(folder_), formatLedger(ledger_), 0600)) {
        return false;
    }
    lastSaved_ = ledger_.checked;
    return true;
}

void ScheduleRunner::tick() {
    reload();
    struct Due {
        ScheduleEntry entry;
        Instant time;
    };
    std::vector<Due> fire;
    std::vector<Due> missed;
    {
        const std::lock_guard guard(mutex_);
        const Instant now = now_();
        if (now < ledger_.checked) {
            return;  // the clock went back: what lies ahead of `now` was looked at already
        }
        if (!dirty_ && (!nextDue_ || now < *nextDue_) && now - lastSaved_ < kCheckedSavePeriod) {
            return;  // nothing due: the idle path
        }
        // The first look ever takes in the current second.
        const Instant from =
            ledger_.checked == 0 ? now - 1 : std::max(ledger_.checked, now - kLookBackSeconds);
        const Instant before = ledger_.checked;
        LocalClock clock;
        std::size_t added = 0;
        if (!schedule_.paused) {
            for (const Firing& f : firingsBetween(schedule_, from, now, clock)) {
                const ScheduleEntry& entry = schedule_.entries[f.entry];
                if (ledger_.find(entry.name, f.time) != nullptr) {
                    continue;  // fired (or missed) already
                }
                const bool inTime = now - f.time <= schedule_.graceSeconds;
                ledger_.firings.push_back(
                    {entry.name, f.time, inTime ? FiringState::Started : FiringState::Missed});
                ++added;
                (inTime ? fire : missed).push_back({entry, f.time});
            }
        }
        ledger_.checked = now;
        if ((added > 0 || now - lastSaved_ >= kCheckedSavePeriod) && !saveLedger()) {
            // Not written down, so not fired: the next tick tries again.
            ledger_.firings.resize(ledger_.firings.size() - added);
            ledger_.checked = before;
            problem_ = "The schedule's state cannot be written to " + ledgerPath(folder_) + ".";
            return;
        }
        nextDue_.reset();
        if (!schedule_.paused) {
            const std::vector<Firing> next = nextFirings(schedule_, now, 1);
            if (!next.empty()) {
                nextDue_ = next.front().time;
            }
        }
        dirty_ = false;
    }
    for (const Due& d : missed) {
        firer_.note(d.entry.name, d.time, FiringState::Missed,
                    "Missed: the service was not running or the clock jumped past it; not "
                    "sent.");
    }
    for (const Due& d : fire) {
        const std::string name = d.entry.name;
        const Instant due = d.time;
        firer_.fire(d.entry, due, [this, name, due](bool complete, const std::string& summary) {
            finished(name, due, complete, summary);
        });
    }
}

void ScheduleRunner::finished(const std::string& entry, Instant due, bool complete,
                              const std::string& summary) {
    {
        const std::lock_guard guard(mutex_);
        if (LedgerFiring* f = ledger_.find(entry, due)) {
            f->state = complete ? FiringState::Done : FiringState::Failed;
            saveLedger();
        }
    }
    firer_.note(entry, due, complete ? FiringState::Done : FiringState::Failed, summary);
}

Result<> ScheduleRunner::start() {
    const std::lock_guard guard(mutex_);
    if (thread_.joinable()) {
        return {};
    }
    stop_ = false;
    Result<std::thread> started = startThread([this] { loop(); });
    if (!started) {
        return fail(started.error());
    }
    thread_ = std::move(started).value();
    return {};
}

void ScheduleRunner::stop() {
    {
        const std::lock_guard guard(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) {
        thread_.join();
    }
}

void ScheduleRunner::loop() {
    using namespace std::chrono;
    std::unique_lock lock(mutex_);
    while (!stop_) {
        lock.unlock();
        tick();
        lock.lock();
        // Just after the next whole second, when a firing of that second is due.
        const auto next =
            time_point_cast<seconds>(system_clock::now()) + seconds(1) + milliseconds(5);
        wake_.wait_until(lock, next, [this] { return stop_; });
    }
}

std::optional<Instant> ScheduleRunner::nextDue() const {
    const std::lock_guard guard(mutex_);
    return nextDue_;
}

std::string ScheduleRunner::problem() const {
    const std::lock_guard guard(mutex_);
    return problem_;
}

FiringLedger ScheduleRunner::ledger() const {
    const std::lock_guard guard(mutex_);
    return ledger_;
}

}  // namespace orvanta
