#include "schedule/ScheduleJson.h"

#include <algorithm>
#include <optional>

#include "platform/EnumWords.h"

namespace orvanta {
namespace {

using nlohmann::json;

constexpr EnumWord<Repeat> kRepeats[] = {
    {Repeat::Once, "once"},
    {Repeat::Daily, "daily"},
    {Repeat::Weekdays, "weekdays"},
};
constexpr EnumWord<ScheduleActionKind> kKinds[] = {
    {ScheduleActionKind::SendFile, "send-file"},
    {ScheduleActionKind::SendTemplate, "send-template"},
    {ScheduleActionKind::Show, "show"},
    {ScheduleActionKind::Hide, "hide"},
    {ScheduleActionKind::Clear, "clear"},
    {ScheduleActionKind::Mute, "mute"},
    {ScheduleActionKind::Startup, "startup"},
};

// A reader that remembers the first thing wrong, by field name.
class Reader {
  public:
    explicit Reader(const json& object, std::string where)
        : object_(object), where_(std::move(where)) {
        if (!object_.is_object()) {
            wrong(where_.empty() ? std::string("the schedule") : where_, "is not an object");
        }
    }

    bool has(const char* key) const { return object_.is_object() && object_.contains(key); }

    std::string text(const char* key, bool required = true) {
        if (!has(key)) {
            if (required) {
                wrong(key, "is missing");
            }
            return {};
        }
        const json& value = object_.at(key);
        if (!value.is_string()) {
            wrong(key, "is not a text");
            return {};
        }
        return value.get<std::string>();
    }

    bool flag(const char* key, bool fallback) {
        if (!has(key)) {
            return fallback;
        }
        const json& value = object_.at(key);
        if (!value.is_boolean()) {
            wrong(key, "is not true or false");
            return fallback;
        }
        return value.get<bool>();
    }

    int number(const char* key, int fallback, int low, int high) {
        if (!has(key)) {
            return fallback;
        }
        const json& value = object_.at(key);
        if (!value.is_number_integer() || value.get<std::int64_t>() < low ||
            value.get<std::int64_t>() > high) {
            wrong(key, "is not a whole number from " + std::to_string(low) + " to " +
                           std::to_string(high));
            return fallback;
        }
        return value.get<int>();
    }

    std::optional<CivilDate> date(const char* key) {
        const std::string value = text(key, false);
        if (value.empty()) {
            return std::nullopt;
        }
        const auto parsed = parseDate(value);
        if (!parsed) {
            wrong(key, "is not a date (YYYY-MM-DD)");
        }
        return parsed;
    }

    const json* list(const char* key) {
        if (!has(key)) {
            return nullptr;
        }
        const json& value = object_.at(key);
        if (!value.is_array()) {
            wrong(key, "is not a list");
            return nullptr;
        }
        return &value;
    }

    void wrong(const std::string& key, const std::string& what) {
        if (problem_.empty()) {
            problem_ = (where_.empty() || key == where_ ? key : where_ + "." + key) + " " + what;
        }
    }
    void adopt(const std::string& problem) {
        if (problem_.empty()) {
            problem_ = problem;
        }
    }
    const std::string& problem() const { return problem_; }

  private:
    const json& object_;
    std::string where_;
    std::string problem_;
};

json whenToJson(const ScheduleWhen& when) {
    json out{{"repeat", wordOf(kRepeats, when.repeat, "daily")},
             {"time", formatTimeOfDay(when.time)}};
    if (when.repeat == Repeat::Once) {
        out["date"] = formatDate(when.date);
    }
    if (when.repeat == Repeat::Weekdays) {
        json days = json::array();
        for (int d = 0; d < 7; ++d) {
            if ((when.weekdays & (1u << d)) != 0) {
                days.push_back(std::string(weekdayName(d)));
            }
        }
        out["weekdays"] = days;
    }
    if (when.from) {
        out["from"] = formatDate(*when.from);
    }
    if (when.until) {
        out["until"] = formatDate(*when.until);
    }
    if (!when.skip.empty()) {
        json skip = json::array();
        for (const CivilDate& d : when.skip) {
            skip.push_back(formatDate(d));
        }
        out["skip"] = skip;
    }
    return out;
}

ScheduleWhen whenFromJson(Reader& r) {
    ScheduleWhen when;
    const std::string repeat = r.text("repeat");
    const std::optional<Repeat> known = valueOf(kRepeats, repeat);
    if (known) {
        when.repeat = *known;
    } else if (!repeat.empty()) {
        r.wrong("repeat", "is not once, daily or weekdays");
    }
    if (known == Repeat::Once) {
        const std::string date = r.text("date");
        if (const auto d = parseDate(date)) {
            when.date = *d;
        } else if (!date.empty()) {
            r.wrong("date", "is not a date (YYYY-MM-DD)");
        }
    } else if (known == Repeat::Weekdays) {
        if (const json* days = r.list("weekdays")) {
            for (const json& d : *days) {
                const auto day = d.is_string() ? parseWeekdays(d.get<std::string>()) : std::nullopt;
                if (!day) {
                    r.wrong("weekdays",
                            "holds a day that is not mon, tue, wed, thu, fri, sat or sun");
                    break;
                }
                when.weekdays |= *day;
            }
        } else {
            r.wrong("weekdays", "is missing");
        }
    }
    const std::string time = r.text("time");
    if (const auto t = parseTimeOfDay(time)) {
        when.time = *t;
    } else if (!time.empty()) {
        r.wrong("time", "is not a time (HH:MM or HH:MM:SS)");
    }
    when.from = r.date("from");
    when.until = r.date("until");
    if (const json* skip = r.list("skip")) {
        for (const json& d : *skip) {
            const auto day = d.is_string() ? parseDate(d.get<std::string>()) : std::nullopt;
            if (!day) {
                r.wrong("skip", "holds something that is not a date (YYYY-MM-DD)");
                break;
            }
            when.skip.push_back(*day);
        }
        std::sort(when.skip.begin(), when.skip.end());
        when.skip.erase(std::unique(when.skip.begin(), when.skip.end()), when.skip.end());
    }
    return when;
}

json actionToJson(const ScheduleAction& action) {
    json out;
    out["kind"] = wordOf(kKinds, action.kind);
    switch (action.kind) {
        case ScheduleActionKind::SendTemplate: {
            out["template"] = action.templateName;
            json values = json::object();
            for (const auto& [field, value] : action.values) {
                values[field] = value;
            }
            out["values"] = values;
        }
            [[fallthrough]];
        case ScheduleActionKind::SendFile:
            if (action.kind == ScheduleActionKind::SendFile) {
                out["file"] = action.file;
            }
            out["slot"] = action.slot;
            out["display"] = action.display;
            if (action.startup.on) {
                out["startupMinutes"] = action.startup.displayTime;
            }
            break;
        case ScheduleActionKind::Show:
            out["slot"] = action.slot;
            out["powerOn"] = action.powerOn;
            break;
        case ScheduleActionKind::Hide:
            out["slot"] = action.slot;
            break;
        case ScheduleActionKind::Clear:
            out["clear"] = action.clear;
            break;
        case ScheduleActionKind::Mute:
            break;
        case ScheduleActionKind::Startup:
            if (action.startup.on) {
                out["startup"] = {{"slot", action.startup.savedNumber},
                                  {"minutes", action.startup.displayTime}};
            } else {
                out["startup"] = "off";
            }
            break;
    }
    return out;
}

ScheduleAction actionFromJson(Reader& r, const json& object) {
    ScheduleAction action;
    const std::string kind = r.text("kind");
    const std::optional<ScheduleActionKind> known = valueOf(kKinds, kind);
    if (!known) {
        if (!kind.empty()) {
            r.wrong("kind", "is not send-file, send-template, show, hide, clear, mute or startup");
        }
        return action;
    }
    action.kind = *known;
    action.slot = r.number("slot", 0, 0, 12);
    switch (action.kind) {
        case ScheduleActionKind::SendFile:
        case ScheduleActionKind::SendTemplate:
            if (action.kind == ScheduleActionKind::SendFile) {
                action.file = r.text("file");
            } else {
                action.templateName = r.text("template");
                if (r.has("values")) {
                    const json& values = object.at("values");
                    if (!values.is_object()) {
                        r.wrong("values", "is not an object of texts");
                        break;
                    }
                    for (const auto& [field, value] : values.items()) {
                        if (!value.is_string()) {
                            r.wrong("values." + field, "is not a text");
                            break;
                        }
                        action.values.emplace_back(field, value.get<std::string>());
                    }
                }
            }
            action.display = r.flag("display", false);
            if (r.has("startupMinutes")) {
                action.startup = {true, action.slot, r.number("startupMinutes", 0, 0, 127)};
            }
            break;
        case ScheduleActionKind::Show:
            action.powerOn = r.flag("powerOn", false);
            break;
        case ScheduleActionKind::Hide:
        case ScheduleActionKind::Mute:
            break;
        case ScheduleActionKind::Clear:
            action.clear = r.text("clear");
            break;
        case ScheduleActionKind::Startup: {
            if (!r.has("startup")) {
                r.wrong("startup", "is missing");
                break;
            }
            const json& startup = object.at("startup");
            if (startup.is_string() && startup.get<std::string>() == "off") {
                break;
            }
            Reader s(startup, "action.startup");
            action.startup = {true, s.number("slot", 1, 1, 12), s.number("minutes", 0, 0, 127)};
            r.adopt(s.problem());
            break;
        }
    }
    return action;
}

json targetToJson(const ScheduleTarget& target) {
    switch (target.kind) {
        case ScheduleTarget::Kind::Projectors:
            return {{"projectors", target.projectors}};
        case ScheduleTarget::Kind::Group:
            return {{"group", target.group}};
        case ScheduleTarget::Kind::AllRegistered:
            break;
    }
    return {{"allRegistered", true}};
}

ScheduleTarget targetFromJson(Reader& r, const json& object) {
    ScheduleTarget target;
    if (r.has("projectors")) {
        target.kind = ScheduleTarget::Kind::Projectors;
        for (const json& p : object.at("projectors")) {
            if (!p.is_string()) {
                r.wrong("projectors", "holds something that is not an address");
                break;
            }
            target.projectors.push_back(p.get<std::string>());
        }
        if (!object.at("projectors").is_array()) {
            r.wrong("projectors", "is not a list");
        }
    } else if (r.has("group")) {
        target.kind = ScheduleTarget::Kind::Group;
        target.group = r.text("group");
    } else if (!r.flag("allRegistered", false)) {
        r.wrong("target", "names no projectors, group or allRegistered");
    }
    return target;
}

}  // namespace

json entryToJson(const ScheduleEntry& entry) {
    return {{"name", entry.name},
            {"enabled", entry.enabled},
            {"when", whenToJson(entry.when)},
            {"action", actionToJson(entry.action)},
            {"target", targetToJson(entry.target)}};
}

Result<ScheduleEntry> entryFromJson(const json& value) {
    Reader r(value, "");
    ScheduleEntry entry;
    entry.name = r.text("name");
    entry.enabled = r.flag("enabled", true);
    for (const char* part : {"when", "action", "target"}) {
        if (!r.has(part)) {
            r.wrong(part, "is missing");
        }
    }
    if (!r.problem().empty()) {
        return fail(r.problem());
    }
    Reader when(value.at("when"), "when");
    entry.when = whenFromJson(when);
    Reader action(value.at("action"), "action");
    entry.action = actionFromJson(action, value.at("action"));
    Reader target(value.at("target"), "target");
    entry.target = targetFromJson(target, value.at("target"));
    for (const Reader* part : {&when, &action, &target}) {
        if (!part->problem().empty()) {
            return fail(part->problem());
        }
    }
    if (std::string problem = entryProblem(entry); !problem.empty()) {
        return fail(std::move(problem));
    }
    return entry;
}

json scheduleToJson(const Schedule& schedule) {
    json entries = json::array();
    for (const ScheduleEntry& e : schedule.entries) {
        entries.push_back(entryToJson(e));
    }
    return {
        {"paused", schedule.paused}, {"graceSeconds", schedule.graceSeconds}, {"entries", entries}};
}

Result<Schedule> scheduleFromJson(const json& value) {
    Reader r(value, "");
    Schedule schedule;
    schedule.paused = r.flag("paused", false);
    schedule.graceSeconds = r.number("graceSeconds", kDefaultGraceSeconds, 0, 86400);
    const json* entries = r.list("entries");
    if (!r.problem().empty()) {
        return fail(r.problem());
    }
    if (entries != nullptr) {
        if (entries->size() > kMaxScheduleEntries) {
            return fail("more than " + std::to_string(kMaxScheduleEntries) + " entries");
        }
        for (const json& e : *entries) {
            Result<ScheduleEntry> entry = entryFromJson(e);
            if (!entry) {
                return fail("entry " + std::to_string(schedule.entries.size() + 1) + ": " +
                            entry.error());
            }
            if (schedule.find(entry.value().name) != nullptr) {
                return fail("two entries are called " + entry.value().name);
            }
            schedule.entries.push_back(std::move(entry).value());
        }
    }
    return schedule;
}

}  // namespace orvanta
