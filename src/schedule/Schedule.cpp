#include "schedule/Schedule.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "projectors/ProjectorRegistry.h"

namespace orvanta {
namespace {

constexpr std::array<std::string_view, 7> kWeekdayNames{"mon", "tue", "wed", "thu",
                                                        "fri", "sat", "sun"};

bool isLeap(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month) {
    static constexpr std::array<int, 12> kDays{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeap(year) ? 29 : kDays[static_cast<std::size_t>(month - 1)];
}

// Digits only, exactly `count` of them.
std::optional<int> readNumber(std::string_view text, std::size_t count) {
    if (text.size() != count) {
        return std::nullopt;
    }
    int value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    return value;
}

std::string twoDigits(int value) {
    char text[8];
    std::snprintf(text, sizeof text, "%02d", value);
    return text;
}

}  // namespace

// Howard Hinnant's days-from-civil algorithm.
std::int64_t daysFromCivil(const CivilDate& date) {
    const std::int64_t y = date.year - (date.month <= 2 ? 1 : 0);
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t mp = (date.month + 9) % 12;
    const std::int64_t doy = (153 * mp + 2) / 5 + date.day - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

CivilDate civilFromDays(std::int64_t days) {
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t doe = days - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const auto day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const auto month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    const auto year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
    return {year, month, day};
}

int weekdayOf(const CivilDate& date) {
    // 1970-01-01 was a Thursday.
    const std::int64_t days = daysFromCivil(date);
    return static_cast<int>(((days % 7) + 7 + 3) % 7);
}

std::optional<CivilDate> parseDate(std::string_view text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') {
        return std::nullopt;
    }
    const auto year = readNumber(text.substr(0, 4), 4);
    const auto month = readNumber(text.substr(5, 2), 2);
    const auto day = readNumber(text.substr(8, 2), 2);
    if (!year || !month || !day || *year < 1970 || *month < 1 || *month > 12 || *day < 1 ||
        *day > daysInMonth(*year, *month)) {
        return std::nullopt;
    }
    return CivilDate{*year, *month, *day};
}

std::string formatDate(const CivilDate& date) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", date.year, date.month, date.day);
    return text;
}

std::optional<TimeOfDay> parseTimeOfDay(std::string_view text) {
    if ((text.size() != 5 && text.size() != 8) || text[2] != ':' ||
        (text.size() == 8 && text[5] != ':')) {
        return std::nullopt;
    }
    const auto hour = readNumber(text.substr(0, 2), 2);
    const auto minute = readNumber(text.substr(3, 2), 2);
    const auto second = text.size() == 8 ? readNumber(text.substr(6, 2), 2) : std::optional<int>(0);
    if (!hour || !minute || !second || *hour > 23 || *minute > 59 || *second > 59) {
        return std::nullopt;
    }
    return TimeOfDay{*hour, *minute, *second};
}

std::string formatTimeOfDay(const TimeOfDay& time) {
    std::string text = twoDigits(time.hour) + ":" + twoDigits(time.minute);
    if (time.second != 0) {
        text += ":" + twoDigits(time.second);
    }
    return text;
}

std::string_view weekdayName(int weekday) {
    return kWeekdayNames[static_cast<std::size_t>(weekday % 7)];
}

std::optional<unsigned> parseWeekdays(std::string_view text) {
    unsigned days = 0;
    while (!text.empty()) {
        const std::size_t comma = text.find(',');
        std::string name(text.substr(0, comma));
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        const auto found = std::find(kWeekdayNames.begin(), kWeekdayNames.end(), name);
        if (found == kWeekdayNames.end()) {
            return std::nullopt;
        }
        days |= 1u << static_cast<unsigned>(found - kWeekdayNames.begin());
        text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
    }
    if (days == 0) {
        return std::nullopt;
    }
    return days;
}

std::string formatWeekdays(unsigned weekdays) {
    std::string text;
    for (int d = 0; d < 7; ++d) {
        if ((weekdays & (1u << d)) != 0) {
            text += (text.empty() ? "" : ",") + std::string(weekdayName(d));
        }
    }
    return text;
}

bool ScheduleWhen::firesOn(const CivilDate& day) const {
    if ((from && day < *from) || (until && day > *until)) {
        return false;
    }
    switch (repeat) {
        case Repeat::Once:
            if (day != date) {
                return false;
            }
            break;
        case Repeat::Daily:
            break;
        case Repeat::Weekdays:
            if ((weekdays & (1u << weekdayOf(day))) == 0) {
                return false;
            }
            break;
    }
    return !std::binary_search(skip.begin(), skip.end(), day);
}

const ScheduleEntry* Schedule::find(std::string_view name) const {
    const auto found = std::find_if(entries.begin(), entries.end(),
                                    [name](const ScheduleEntry& e) { return e.name == name; });
    return found == entries.end() ? nullptr : &*found;
}

ScheduleEntry* Schedule::find(std::string_view name) {
    return const_cast<ScheduleEntry*>(std::as_const(*this).find(name));
}

std::string entryProblem(const ScheduleEntry& entry) {
    if (entry.name.empty() || entry.name.size() > kMaxEntryNameBytes) {
        return "An entry needs a name of 1 to " + std::to_string(kMaxEntryNameBytes) + " bytes.";
    }
    // Names end up in terminals and logs: no control character may reach them.
    const auto hasControl = [](const std::string& text) {
        return std::any_of(text.begin(), text.end(), [](char c) {
            return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
        });
    };
    std::vector<const std::string*> texts = {&entry.name, &entry.action.file,
                                             &entry.action.templateName, &entry.action.clear,
                                             &entry.target.group};
    for (const auto& [field, value] : entry.action.values) {
        texts.push_back(&field);
        texts.push_back(&value);
    }
    for (const std::string* text : texts) {
        if (hasControl(*text)) {
            return "An entry's names and values cannot hold control characters.";
        }
    }
    const ScheduleWhen& when = entry.when;
    if (when.repeat == Repeat::Weekdays && (when.weekdays & 0x7Fu) == 0) {
        return "Which weekdays? (mon,tue,wed,thu,fri,sat,sun)";
    }
    if (when.from && when.until && *when.until < *when.from) {
        return "The last day comes before the first day.";
    }
    if (when.skip.size() > kMaxSkipDates) {
        return "Too many days to skip (at most " + std::to_string(kMaxSkipDates) + ").";
    }
    const ScheduleAction& action = entry.action;
    switch (action.kind) {
        case ScheduleActionKind::SendFile:
            if (action.file.empty()) {
                return "Which message file?";
            }
            break;
        case ScheduleActionKind::SendTemplate:
            if (action.templateName.empty()) {
                return "Which template?";
            }
            break;
        case ScheduleActionKind::Clear:
            if (action.clear != "all" && action.clear != "quick" && action.clear != "saved-all") {
                const std::string& c = action.clear;
                const bool slot =
                    !c.empty() && c.size() <= 2 &&
                    std::all_of(c.begin(), c.end(), [](char d) { return d >= '0' && d <= '9'; }) &&
                    std::stoi(c) >= 1 && std::stoi(c) <= 12;
                if (!slot) {
                    return "Clear what? (all, quick, 1 to 12 or saved-all)";
                }
            }
            break;
        case ScheduleActionKind::Startup:
            if (action.startup.on &&
                (action.startup.savedNumber < 1 || action.startup.savedNumber > 12 ||
                 action.startup.displayTime < 0 || action.startup.displayTime > 127)) {
                return "The startup display takes a saved number 1 to 12 and 1 to 127 minutes "
                       "or repeat.";
            }
            break;
        case ScheduleActionKind::Show:
        case ScheduleActionKind::Hide:
        case ScheduleActionKind::Mute:
            break;
    }
    if (action.slot < 0 || action.slot > 12) {
        return "Slots are quick or 1 to 12.";
    }
    if ((action.kind == ScheduleActionKind::SendFile ||
         action.kind == ScheduleActionKind::SendTemplate) &&
        action.startup.on && action.slot == 0) {
        return "The Quick message cannot be the startup display.";
    }
    const ScheduleTarget& target = entry.target;
    if (target.kind == ScheduleTarget::Kind::Projectors && target.projectors.empty()) {
        return "To which projectors?";
    }
    for (const std::string& address : target.projectors) {
        if (!parseAddress(address)) {
            return "Not an IPv4 address: " + address;
        }
    }
    if (target.kind == ScheduleTarget::Kind::Group && target.group.empty()) {
        return "To which group?";
    }
    return {};
}

namespace {

std::string slotText(int slot) {
    return slot == 0 ? "quick" : std::to_string(slot);
}

}  // namespace

std::string describeAction(const ScheduleAction& action) {
    std::string text;
    switch (action.kind) {
        case ScheduleActionKind::SendFile:
        case ScheduleActionKind::SendTemplate:
            text = action.kind == ScheduleActionKind::SendFile
                       ? "send " + action.file
                       : "send template " + action.templateName;
            text += " to slot " + slotText(action.slot);
            if (action.display) {
                text += " and show it";
            }
            if (action.startup.on) {
                text += ", startup " + (action.startup.displayTime == 0
                                            ? std::string("repeat")
                                            : std::to_string(action.startup.displayTime) + " min");
            }
            return text;
        case ScheduleActionKind::Show:
            return std::string(action.powerOn ? "power on and show " : "show ") +
                   slotText(action.slot);
        case ScheduleActionKind::Hide:
            return "hide " + slotText(action.slot);
        case ScheduleActionKind::Clear:
            return "clear " + action.clear;
        case ScheduleActionKind::Mute:
            return "mute";
        case ScheduleActionKind::Startup:
            if (!action.startup.on) {
                return "startup off";
            }
            return "startup " + std::to_string(action.startup.savedNumber) + ", " +
                   (action.startup.displayTime == 0
                        ? std::string("repeat")
                        : std::to_string(action.startup.displayTime) + " min");
    }
    return text;
}

std::string describeTarget(const ScheduleTarget& target) {
    switch (target.kind) {
        case ScheduleTarget::Kind::Projectors: {
            std::string text;
            for (const std::string& p : target.projectors) {
                text += (text.empty() ? "" : ",") + p;
            }
            return text;
        }
        case ScheduleTarget::Kind::Group:
            return "group " + target.group;
        case ScheduleTarget::Kind::AllRegistered:
            return "all registered";
    }
    return {};
}

std::string describeWhen(const ScheduleWhen& when) {
    std::string text;
    switch (when.repeat) {
        case Repeat::Once:
            return "once " + formatDate(when.date) + " " + formatTimeOfDay(when.time);
        case Repeat::Daily:
            text = "daily " + formatTimeOfDay(when.time);
            break;
        case Repeat::Weekdays:
            text = formatWeekdays(when.weekdays) + " " + formatTimeOfDay(when.time);
            break;
    }
    if (when.from) {
        text += " from " + formatDate(*when.from);
    }
    if (when.until) {
        text += " until " + formatDate(*when.until);
    }
    if (!when.skip.empty()) {
        text += ", " + std::to_string(when.skip.size()) + " skipped";
    }
    return text;
}

}  // namespace orvanta
