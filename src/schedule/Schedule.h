#pragma once
// Scheduled messages: what the operator asked to happen at set times (send a message file or a
// template, show, hide, clear, mute, set the startup display), to which projectors, and when
// (once, every day, on chosen weekdays, with first and last dates and days to skip).
//
// Times are local wall-clock times. An entry holds no passwords: the registry's are used when
// it fires, as the command line does.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "commands/CommandContext.h"

namespace orvanta {

// A day of the proleptic Gregorian calendar.
struct CivilDate {
    int year = 1970;
    int month = 1;  // 1..12
    int day = 1;    // 1..31
    auto operator<=>(const CivilDate&) const = default;
};
// Days since 1970-01-01 and back.
std::int64_t daysFromCivil(const CivilDate& date);
CivilDate civilFromDays(std::int64_t days);
// 0 Monday .. 6 Sunday.
int weekdayOf(const CivilDate& date);
// "YYYY-MM-DD" of a real day; nothing otherwise.
std::optional<CivilDate> parseDate(std::string_view text);
std::string formatDate(const CivilDate& date);

struct TimeOfDay {
    int hour = 0;
    int minute = 0;
    int second = 0;
    int seconds() const { return hour * 3600 + minute * 60 + second; }
    auto operator<=>(const TimeOfDay&) const = default;
};
// "HH:MM" or "HH:MM:SS" (24-hour clock).
std::optional<TimeOfDay> parseTimeOfDay(std::string_view text);
// "HH:MM", with ":SS" only when the seconds are not zero.
std::string formatTimeOfDay(const TimeOfDay& time);

// The short English weekday names the command line and the file use: mon, tue, ... sun.
std::string_view weekdayName(int weekday);
// "mon,tue,fri" into a set (bit 0 Monday .. bit 6 Sunday); nothing when a name is unknown.
std::optional<unsigned> parseWeekdays(std::string_view text);
std::string formatWeekdays(unsigned weekdays);

enum class Repeat { Once, Daily, Weekdays };

struct ScheduleWhen {
    Repeat repeat = Repeat::Daily;
    CivilDate date;                  // Once: the day
    TimeOfDay time;                  // the local time of day
    unsigned weekdays = 0;           // Weekdays: bit 0 Monday .. bit 6 Sunday
    std::optional<CivilDate> from;   // first day it may fire
    std::optional<CivilDate> until;  // last day it may fire
    std::vector<CivilDate> skip;     // days it does not fire (holidays), sorted, each once

    // Whether the entry fires on `day` (its repeat, first and last day, skipped days).
    bool firesOn(const CivilDate& day) const;
    bool operator==(const ScheduleWhen&) const = default;
};

enum class ScheduleActionKind { SendFile, SendTemplate, Show, Hide, Clear, Mute, Startup };

struct ScheduleAction {
    ScheduleActionKind kind = ScheduleActionKind::Show;
    std::string file;          // SendFile: as `orvanta-cli send` takes it
    std::string templateName;  // SendTemplate
    std::vector<std::pair<std::string, std::string>> values;  // SendTemplate: field, value
    int slot = 0;                                             // sends, Show, Hide: 0 Quick, 1..12
    bool display = false;    // sends: Display on for the slot once it is stored
    bool powerOn = false;    // Show: Power on && Display on
    std::string clear;       // Clear: all, quick, 1..12 or saved-all
    StartupDisplay startup;  // Startup: on with a saved number and minutes (0 repeat), or off
    bool operator==(const ScheduleAction&) const = default;
};

struct ScheduleTarget {
    enum class Kind { Projectors, Group, AllRegistered };
    Kind kind = Kind::AllRegistered;
    std::vector<std::string> projectors;  // Projectors: dotted IPv4 addresses
    std::string group;                    // Group
    bool operator==(const ScheduleTarget&) const = default;
};

struct ScheduleEntry {
    std::string name;  // unique, not empty
    bool enabled = true;
    ScheduleWhen when;
    ScheduleAction action;
    ScheduleTarget target;
    bool operator==(const ScheduleEntry&) const = default;
};

// A firing missed by at most this many seconds still goes out late.
inline constexpr int kDefaultGraceSeconds = 300;
inline constexpr std::size_t kMaxScheduleEntries = 10000;
inline constexpr std::size_t kMaxEntryNameBytes = 100;
inline constexpr std::size_t kMaxSkipDates = 1000;

struct Schedule {
    bool paused = false;  // one switch for every entry
    int graceSeconds = kDefaultGraceSeconds;
    std::vector<ScheduleEntry> entries;  // in the order added

    const ScheduleEntry* find(std::string_view name) const;
    ScheduleEntry* find(std::string_view name);
    bool operator==(const Schedule&) const = default;
};

// What is wrong with an entry, in the program's words; empty when nothing is.
std::string entryProblem(const ScheduleEntry& entry);

// What the entry does, to whom and when, on one line ("show 3 to group Hall A, mon,fri 08:00").
std::string describeAction(const ScheduleAction& action);
std::string describeTarget(const ScheduleTarget& target);
std::string describeWhen(const ScheduleWhen& when);

}  // namespace orvanta
