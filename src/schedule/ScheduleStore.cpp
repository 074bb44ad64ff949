#include "schedule/ScheduleStore.h"

#include <sys/stat.h>

#include <chrono>

#include "platform/AtomicFile.h"
#include "platform/FileLock.h"
#include "schedule/ScheduleJson.h"

namespace orvanta {
namespace {

// As long as the registry's writers wait for each other.
constexpr std::chrono::milliseconds kLockPatience{5000};

std::string noSuchEntry(const std::string& name) {
    return "There is no schedule entry called \"" + name + "\".";
}

}  // namespace

std::string schedulePath(const std::string& programFolder) {
    return programFolder + kScheduleFileName;
}

std::string formatSchedule(const Schedule& schedule) {
    return scheduleToJson(schedule).dump(2) + "\n";
}

Result<Schedule> parseSchedule(std::string_view bytes) {
    nlohmann::json value = nlohmann::json::parse(bytes, nullptr, false);
    if (value.is_discarded()) {
        return fail("it is not JSON");
    }
    return scheduleFromJson(value);
}

Result<Schedule> readSchedule(const std::string& programFolder) {
    const std::string path = schedulePath(programFolder);
    Result<std::string, ReadProblem> bytes = readRegularFile(path, kMaxWholeFileBytes);
    if (!bytes) {
        if (bytes.reason() == ReadProblem::Missing) {
            return Schedule{};
        }
        return fail("The schedule " + path + " cannot be read: " + bytes.error());
    }
    Result<Schedule> schedule = parseSchedule(bytes.value());
    if (!schedule) {
        return fail("The schedule " + path + " is damaged (" + schedule.error() +
                    "); it is left as it is.");
    }
    return schedule;
}

Result<> changeSchedule(const std::string& programFolder, const ScheduleChange& change) {
    const std::string path = schedulePath(programFolder);
    auto lock = FileLock::acquire(path, kLockPatience);
    if (!lock) {
        return fail(lock.reason() == LockProblem::Busy
                        ? "Another program kept the schedule locked; nothing was changed."
                        : "The schedule cannot be locked: " + lock.error());
    }
    Result<Schedule> schedule = readSchedule(programFolder);
    if (!schedule) {
        return schedule.failure();
    }
    if (Result<> changed = change(schedule.value()); !changed) {
        return changed;
    }
    for (const ScheduleEntry& e : schedule.value().entries) {
        if (std::string problem = entryProblem(e); !problem.empty()) {
            return fail(e.name + ": " + problem);
        }
    }
    if (schedule.value().entries.size() > kMaxScheduleEntries) {
        return fail("The schedule holds at most " + std::to_string(kMaxScheduleEntries) +
                    " entries.");
    }
    if (Result<> written = writeFileAtomically(path, formatSchedule(schedule.value()), 0600);
        !written) {
        return fail("The schedule could not be written: " + written.error());
    }
    return {};
}

Result<> addScheduleEntry(const std::string& programFolder, const ScheduleEntry& entry) {
    return changeSchedule(programFolder, [&entry](Schedule& s) -> Result<> {
        if (s.find(entry.name) != nullptr) {
            return fail("There is already a schedule entry called \"" + entry.name + "\".");
        }
        s.entries.push_back(entry);
        return {};
    });
}

Result<> replaceScheduleEntry(const std::string& programFolder, const std::string& name,
                              const ScheduleEntry& entry) {
    return changeSchedule(programFolder, [&](Schedule& s) -> Result<> {
        ScheduleEntry* old = s.find(name);
        if (old == nullptr) {
            return fail(noSuchEntry(name));
        }
        if (entry.name != name && s.find(entry.name) != nullptr) {
            return fail("There is already a schedule entry called \"" + entry.name + "\".");
        }
        *old = entry;
        return {};
    });
}

Result<> removeScheduleEntry(const std::string& programFolder, const std::string& name) {
    return changeSchedule(programFolder, [&name](Schedule& s) -> Result<> {
        const ScheduleEntry* entry = s.find(name);
        if (entry == nullptr) {
            return fail(noSuchEntry(name));
        }
        s.entries.erase(s.entries.begin() + (entry - s.entries.data()));
        return {};
    });
}

Result<> enableScheduleEntry(const std::string& programFolder, const std::string& name,
                             bool enabled) {
    return changeSchedule(programFolder, [&](Schedule& s) -> Result<> {
        ScheduleEntry* entry = s.find(name);
        if (entry == nullptr) {
            return fail(noSuchEntry(name));
        }
        entry->enabled = enabled;
        return {};
    });
}

Result<> pauseSchedule(const std::string& programFolder, bool paused) {
    return changeSchedule(programFolder, [paused](Schedule& s) -> Result<> {
        s.paused = paused;
        return {};
    });
}

Result<> setGraceSeconds(const std::string& programFolder, int seconds) {
    if (seconds < 0 || seconds > 86400) {
        return fail("The grace time is 0 to 86400 seconds.");
    }
    return changeSchedule(programFolder, [seconds](Schedule& s) -> Result<> {
        s.graceSeconds = seconds;
        return {};
    });
}

FileStamp fileStamp(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return {};
    }
    return {static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec,
            static_cast<long long>(st.st_size), static_cast<unsigned long long>(st.st_ino)};
}

}  // namespace orvanta
