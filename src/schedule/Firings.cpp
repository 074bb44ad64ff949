#include "schedule/Firings.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <limits>
#include <queue>

namespace orvanta {
namespace {

constexpr std::int64_t kDay = 86400;

// The wall-clock time of `at` as seconds of a clock that never changes (days * 86400 +
// seconds), which orders local times.
std::int64_t wallSeconds(Instant at) {
    const LocalClock::Wall w = LocalClock::wall(at);
    return daysFromCivil(w.day) * kDay + w.seconds;
}

}  // namespace

LocalClock::Wall LocalClock::wall(Instant at) {
    const auto t = static_cast<std::time_t>(at);
    std::tm tm{};
    localtime_r(&t, &tm);
    return {{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday},
            tm.tm_hour * 3600 + tm.tm_min * 60 + tm.tm_sec,
            static_cast<int>(tm.tm_gmtoff)};
}

std::optional<int> LocalClock::steadyOffset(std::int64_t days) {
    const auto known = days_.find(days);
    if (known != days_.end()) {
        return known->second;
    }
    // A day before the local day begins and one after it ends, whatever the offset (no zone
    // is more than 14 hours from UTC); the same offset at both means no change in between.
    const int before = wall(days * kDay - kDay).offset;
    const int after = wall(days * kDay + 2 * kDay).offset;
    std::optional<int> offset;
    if (before == after) {
        offset = before;
    }
    days_.emplace(days, offset);
    return offset;
}

Instant LocalClock::instant(const CivilDate& day, const TimeOfDay& time) {
    const std::int64_t days = daysFromCivil(day);
    const std::int64_t target = days * kDay + time.seconds();
    if (const auto offset = steadyOffset(days)) {
        return target - *offset;
    }
    // A day near a clock change: the time under each offset of the change, the earlier one
    // that really shows it (the first of the two when it comes twice).
    const int early = wall(days * kDay - kDay).offset;
    const int late = wall(days * kDay + 2 * kDay).offset;
    std::optional<Instant> found;
    for (const int offset : {early, late}) {
        const Instant candidate = target - offset;
        if (wallSeconds(candidate) == target && (!found || candidate < *found)) {
            found = candidate;
        }
    }
    if (found) {
        return *found;
    }
    // The time does not exist that day: the first moment after the jump.
    Instant low = target - std::max(early, late);   // shows a time before `target`
    Instant high = target - std::min(early, late);  // shows a time after it
    while (high - low > 1) {
        const Instant middle = low + (high - low) / 2;
        if (wallSeconds(middle) >= target) {
            high = middle;
        } else {
            low = middle;
        }
    }
    return high;
}

std::optional<Instant> nextFiring(const ScheduleWhen& when, Instant after, LocalClock& clock) {
    if (when.repeat == Repeat::Once) {
        if (!when.firesOn(when.date)) {
            return std::nullopt;
        }
        const Instant at = clock.instant(when.date, when.time);
        return at > after ? std::optional<Instant>(at) : std::nullopt;
    }
    if (when.repeat == Repeat::Weekdays && (when.weekdays & 0x7Fu) == 0) {
        return std::nullopt;
    }
    // A day's firing shows that day's date, so it cannot fall before the day `after` shows
    // (the day before, when the clock went back over midnight).
    std::int64_t day = daysFromCivil(LocalClock::wall(after).day) - 1;
    if (when.from) {
        day = std::max(day, daysFromCivil(*when.from));
    }
    const std::int64_t last =
        when.until ? daysFromCivil(*when.until) : std::numeric_limits<std::int64_t>::max();
    // Within a week every weekday comes; each skipped day can cost one more week.
    const std::int64_t limit = day + 9 + 7 * static_cast<std::int64_t>(when.skip.size());
    for (; day <= last && day <= limit; ++day) {
        const CivilDate date = civilFromDays(day);
        if (!when.firesOn(date)) {
            continue;
        }
        const Instant at = clock.instant(date, when.time);
        if (at > after) {
            return at;
        }
    }
    return std::nullopt;
}

std::vector<Firing> nextFirings(const Schedule& schedule, Instant after, std::size_t count) {
    LocalClock clock;
    struct Later {
        bool operator()(const Firing& a, const Firing& b) const {
            return a.time != b.time ? a.time > b.time : a.entry > b.entry;
        }
    };
    std::priority_queue<Firing, std::vector<Firing>, Later> queue;
    for (std::size_t i = 0; i < schedule.entries.size(); ++i) {
        const ScheduleEntry& entry = schedule.entries[i];
        if (!entry.enabled) {
            continue;
        }
        if (const auto at = nextFiring(entry.when, after, clock)) {
            queue.push({*at, i});
        }
    }
    std::vector<Firing> firings;
    while (firings.size() < count && !queue.empty()) {
        const Firing first = queue.top();
        queue.pop();
        firings.push_back(first);
        if (const auto at = nextFiring(schedule.entries[first.entry].when, first.time, clock)) {
            queue.push({*at, first.entry});
        }
    }
    return firings;
}

std::vector<Firing> firingsBetween(const Schedule& schedule, Instant after, Instant upTo,
                                   LocalClock& clock) {
    std::vector<Firing> firings;
    for (std::size_t i = 0; i < schedule.entries.size(); ++i) {
        const ScheduleEntry& entry = schedule.entries[i];
        if (!entry.enabled) {
            continue;
        }
        for (auto at = nextFiring(entry.when, after, clock); at && *at <= upTo;
             at = nextFiring(entry.when, *at, clock)) {
            firings.push_back({*at, i});
        }
    }
    std::stable_sort(firings.begin(), firings.end(),
                     [](const Firing& a, const Firing& b) { return a.time < b.time; });
    return firings;
}

namespace {

std::string formatWith(Instant at, const char* between, const char* offsetSeparator) {
    const LocalClock::Wall w = LocalClock::wall(at);
    const int offset = w.offset < 0 ? -w.offset : w.offset;
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d%s%02d:%02d:%02d%s%c%02d:%02d", w.day.year,
                  w.day.month, w.day.day, between, w.seconds / 3600, w.seconds / 60 % 60,
                  w.seconds % 60, offsetSeparator, w.offset < 0 ? '-' : '+', offset / 3600,
                  offset / 60 % 60);
    return text;
}

}  // namespace

std::string formatLocalTime(Instant at) {
    return formatWith(at, " ", " ");
}

std::string formatIsoTime(Instant at) {
    return formatWith(at, "T", "");
}

std::optional<Instant> parseLocalTime(std::string_view text) {
    const std::size_t space = text.find(' ');
    if (space == std::string_view::npos) {
        return std::nullopt;
    }
    const auto day = parseDate(text.substr(0, space));
    const auto time = parseTimeOfDay(text.substr(space + 1));
    if (!day || !time) {
        return std::nullopt;
    }
    LocalClock clock;
    return clock.instant(*day, *time);
}

}  // namespace orvanta
