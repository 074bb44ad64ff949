#pragma once
// The schedule file (schedule.json of the program folder). The window, the command line and
// the service change it alike: each change takes the file's lock, reads it again inside the
// lock, changes it and writes it whole to a temporary name that then replaces it, so that
// no change is lost and a crash leaves the previous file.

#include <functional>
#include <string>

#include "platform/Result.h"
#include "schedule/Schedule.h"

namespace orvanta {

inline constexpr const char* kScheduleFileName = "schedule.json";

// programFolder + "schedule.json" (the folder ends with '/').
std::string schedulePath(const std::string& programFolder);

// The schedule of the file; a missing file is an empty schedule. A damaged file is an error
// that says what is wrong with it; it is never replaced by a change.
Result<Schedule> readSchedule(const std::string& programFolder);
// The bytes readSchedule reads back as `schedule`.
std::string formatSchedule(const Schedule& schedule);
Result<Schedule> parseSchedule(std::string_view bytes);

// Under the lock: reads, calls `change` (which fails with the operator's text to leave the
// file as it was), checks the result and writes it.
using ScheduleChange = std::function<Result<>(Schedule& schedule)>;
Result<> changeSchedule(const std::string& programFolder, const ScheduleChange& change);

// The common changes.
Result<> addScheduleEntry(const std::string& programFolder, const ScheduleEntry& entry);
// Replaces the entry called `name` (which `entry` may rename).
Result<> replaceScheduleEntry(const std::string& programFolder, const std::string& name,
                              const ScheduleEntry& entry);
Result<> removeScheduleEntry(const std::string& programFolder, const std::string& name);
Result<> enableScheduleEntry(const std::string& programFolder, const std::string& name,
                             bool enabled);
Result<> pauseSchedule(const std::string& programFolder, bool paused);
Result<> setGraceSeconds(const std::string& programFolder, int seconds);

// What identifies the file's version on disk, to see cheaply that it changed.
struct FileStamp {
    long long modified = -1;  // nanoseconds; -1 when there is no file
    long long size = -1;
    unsigned long long inode = 0;
    bool operator==(const FileStamp&) const = default;
};
FileStamp fileStamp(const std::string& path);

}  // namespace orvanta
