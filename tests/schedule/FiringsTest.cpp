// When entries fire: weekdays, first and last days, skipped days, both clock changes in two
// zones; and the firing loop against a clock the test sets: a jump forward and back, the grace
// time, pause, and nothing fired twice across a restart.

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "schedule/Firings.h"
#include "schedule/ZoneScope.h"

namespace orvanta {
namespace {

CivilDate day(const char* text) {
    return *parseDate(text);
}

ScheduleWhen weekly(const char* days, const char* time) {
    ScheduleWhen when;
    when.repeat = Repeat::Weekdays;
    when.weekdays = *parseWeekdays(days);
    when.time = *parseTimeOfDay(time);
    return when;
}

ScheduleWhen daily(const char* time) {
    ScheduleWhen when;
    when.repeat = Repeat::Daily;
    when.time = *parseTimeOfDay(time);
    return when;
}

// The next `count` firings of `when` after the local time `after`, as local texts.
std::vector<std::string> firings(const ScheduleWhen& when, const char* after, int count) {
    Schedule schedule;
    schedule.entries.push_back({"e", true, when, {}, {}});
    std::vector<std::string> out;
    for (const Firing& f :
         nextFirings(schedule, *parseLocalTime(after), static_cast<std::size_t>(count))) {
        out.push_back(formatLocalTime(f.time));
    }
    return out;
}

TEST(Firings, FollowTheRepeatTheDaysAndTheSkippedDays) {
    const ZoneScope zone("Europe/Berlin");
    ScheduleWhen school = weekly("mon,tue,wed,thu,fri", "08:00");
    ScheduleWhen term = daily("12:30");
    term.from = day("2026-12-10");
    term.until = day("2026-12-12");
    ScheduleWhen holiday = weekly("thu,fri", "07:45");
    holiday.skip = {day("2026-12-10"), day("2026-12-17")};
    ScheduleWhen once;
    once.repeat = Repeat::Once;
    once.date = day("2026-12-09");
    once.time = *parseTimeOfDay("09:15:30");

    struct Case {
        const char* name;
        ScheduleWhen when;
        const char* after;
        int count;
        std::vector<std::string> expected;
    };
    const std::vector<Case> cases = {
        {"weekdays skip the weekend",
         school,
         "2026-12-10 09:00",
         3,
         {"2026-12-11 08:00:00 +01:00", "2026-12-14 08:00:00 +01:00",
          "2026-12-15 08:00:00 +01:00"}},
        {"a firing at the very moment asked about is not next",
         school,
         "2026-12-11 08:00",
         1,
         {"2026-12-14 08:00:00 +01:00"}},
        {"first and last day bound a daily entry",
         term,
         "2026-12-01 00:00",
         4,
         {"2026-12-10 12:30:00 +01:00", "2026-12-11 12:30:00 +01:00",
          "2026-12-12 12:30:00 +01:00"}},
        {"skipped days are left out",
         holiday,
         "2026-12-09 00:00",
         3,
         {"2026-12-11 07:45:00 +01:00", "2026-12-18 07:45:00 +01:00",
          "2026-12-24 07:45:00 +01:00"}},
        {"once fires once, to the second",
         once,
         "2026-12-01 00:00",
         2,
         {"2026-12-09 09:15:30 +01:00"}},
        {"once in the past fires no more", once, "2026-12-10 00:00", 1, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(firings(c.when, c.after, c.count), c.expected);
    }
}

TEST(Firings, OnceOnEachDayTheClockChanges) {
    struct Case {
        const char* zone;
        const char* time;
        const char* after;
        std::vector<std::string> expected;
    };
    const std::vector<Case> cases = {
        // Spring: 02:00 becomes 03:00; a time in the gap fires when the clock jumps.
        {"Europe/Berlin",
         "02:30",
         "2026-03-28 12:00",
         {"2026-03-29 03:00:00 +02:00", "2026-03-30 02:30:00 +02:00"}},
        {"America/New_York",
         "02:30",
         "2026-03-07 12:00",
         {"2026-03-08 03:00:00 -04:00", "2026-03-09 02:30:00 -04:00"}},
        // Autumn: 03:00 becomes 02:00 again; a time that comes twice fires the first time.
        {"Europe/Berlin",
         "02:30",
         "2026-10-24 12:00",
         {"2026-10-25 02:30:00 +02:00", "2026-10-26 02:30:00 +01:00"}},
        {"America/New_York",
         "01:30",
         "2026-10-31 12:00",
         {"2026-11-01 01:30:00 -04:00", "2026-11-02 01:30:00 -05:00"}},
        // Times clear of the change keep their wall-clock time on both sides of it.
        {"America/New_York",
         "08:00",
         "2026-03-07 12:00",
         {"2026-03-08 08:00:00 -04:00", "2026-03-09 08:00:00 -04:00"}},
        {"Europe/Berlin",
         "00:15",
         "2026-10-24 12:00",
         {"2026-10-25 00:15:00 +02:00", "2026-10-26 00:15:00 +01:00"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.zone) + " " + c.time + " after " + c.after);
        const ZoneScope zone(c.zone);
        EXPECT_EQ(firings(daily(c.time), c.after, 2), c.expected);
    }
}

TEST(Firings, ManyEntriesComeInTimeOrder) {
    const ZoneScope zone("America/New_York");
    Schedule schedule;
    schedule.entries.push_back({"late", true, daily("18:00"), {}, {}});
    schedule.entries.push_back({"off", false, daily("07:00"), {}, {}});
    schedule.entries.push_back({"early", true, daily("08:00"), {}, {}});
    schedule.entries.push_back({"same", true, daily("08:00"), {}, {}});
    std::vector<std::string> seen;
    for (const Firing& f : nextFirings(schedule, *parseLocalTime("2026-12-08 12:00"), 5)) {
        seen.push_back(schedule.entries[f.entry].name + " " + formatIsoTime(f.time));
    }
    EXPECT_EQ(seen, (std::vector<std::string>{
                        "late 2026-12-08T18:00:00-05:00", "early 2026-12-09T08:00:00-05:00",
                        "same 2026-12-09T08:00:00-05:00", "late 2026-12-09T18:00:00-05:00",
                        "early 2026-12-10T08:00:00-05:00"}));
}

}  // namespace
}  // namespace orvanta
