#pragma once
// When entries fire, in the local time of the process (TZ, else /etc/localtime).
//
// An entry fires on a day at the first moment whose local wall-clock time has reached its
// time of day. So on the day the clock goes forward, a time that does not exist fires once,
// at the moment the clock jumps past it; on the day it goes back, a time that comes twice
// fires once, the first time.

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "schedule/Schedule.h"

namespace orvanta {

// Seconds since 1970-01-01 UTC.
using Instant = std::int64_t;

// Local wall-clock time to instants and back. It remembers what it learnt of each day, so
// that asking for many entries costs little; make a new one when the zone may have changed.
class LocalClock {
  public:
    // The first instant whose local time is `time` on `day` or later.
    Instant instant(const CivilDate& day, const TimeOfDay& time);
    // The local day and seconds since local midnight of `at`, and its offset from UTC.
    struct Wall {
        CivilDate day;
        int seconds = 0;
        int offset = 0;  // seconds east of UTC
    };
    static Wall wall(Instant at);

  private:
    // The UTC offset of a day with no clock change near it; nothing for one with a change.
    std::optional<int> steadyOffset(std::int64_t days);
    std::unordered_map<std::int64_t, std::optional<int>> days_;
};

// The first firing of `when` after `after` (strictly later); nothing when it fires no more.
std::optional<Instant> nextFiring(const ScheduleWhen& when, Instant after, LocalClock& clock);

struct Firing {
    Instant time = 0;
    std::size_t entry = 0;  // index into Schedule::entries
    bool operator==(const Firing&) const = default;
};

// The next `count` firings of the enabled entries after `after`, in time order (entries of
// the same moment in the order of the schedule). A paused schedule has them too: they are
// what would fire once it is resumed.
std::vector<Firing> nextFirings(const Schedule& schedule, Instant after, std::size_t count);

// Every firing of the enabled entries in (after, upTo], in time order.
std::vector<Firing> firingsBetween(const Schedule& schedule, Instant after, Instant upTo,
                                   LocalClock& clock);

// "2026-03-29 03:00:00 +02:00" (local) and "2026-03-29T03:00:00+02:00" (ISO 8601).
std::string formatLocalTime(Instant at);
std::string formatIsoTime(Instant at);
// "YYYY-MM-DD HH:MM[:SS]" local into an instant (as an entry at that time fires).
std::optional<Instant> parseLocalTime(std::string_view text);

}  // namespace orvanta
