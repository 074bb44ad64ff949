#include "service/ScheduleRoute.h"

#include <nlohmann/json.hpp>

#include "schedule/Firings.h"
#include "schedule/ScheduleJson.h"
#include "schedule/ScheduleRunner.h"
#include "schedule/ScheduleStore.h"
#include "service/Api.h"

namespace orvanta::service {
namespace {

using nlohmann::json;

HttpResponse current(const std::string& folder) {
    const Result<Schedule> read = readSchedule(folder);
    if (!read) {
        return problem(503, "", read.error());
    }
    json body = scheduleToJson(read.value());
    json next = json::array();
    for (const Firing& f : nextFirings(read.value(), ScheduleRunner::systemNow(), 10)) {
        next.push_back(
            {{"time", formatIsoTime(f.time)}, {"entry", read.value().entries[f.entry].name}});
    }
    body["next"] = next;
    return jsonResponse(200, body);
}

// The name a change names, or a refusal.
std::optional<std::string> nameOf(const json& body, const char* key, HttpResponse& refused) {
    const json& value = body.at(key);
    if (!value.is_string() || value.get<std::string>().empty()) {
        refused = problem(400, key, std::string("\"") + key + "\" must be an entry's name");
        return std::nullopt;
    }
    return value.get<std::string>();
}

}  // namespace

HttpResponse scheduleRoute(const std::string& programFolder, const HttpRequest& request) {
    if (request.method == "GET") {
        return current(programFolder);
    }
    const json body = json::parse(request.body, nullptr, false);
    if (!body.is_object() || body.size() > 2) {
        return problem(400, "",
                       "the body must be one change: add, replace, remove, enable, "
                       "disable or pause");
    }
    Result<> changed = fail("");
    HttpResponse refused;
    if (body.contains("add") || body.contains("replace")) {
        const bool add = body.contains("add");
        const json& value = add ? body.at("add") : body.value("entry", json());
        Result<ScheduleEntry> entry = entryFromJson(value);
        if (!entry) {
            return problem(400, add ? "add" : "entry", entry.error());
        }
        if (add) {
            changed = addScheduleEntry(programFolder, entry.value());
        } else {
            const auto name = nameOf(body, "replace", refused);
            if (!name) {
                return refused;
            }
            changed = replaceScheduleEntry(programFolder, *name, entry.value());
        }
    } else if (body.contains("remove")) {
        const auto name = nameOf(body, "remove", refused);
        if (!name) {
            return refused;
        }
        changed = removeScheduleEntry(programFolder, *name);
    } else if (body.contains("enable") || body.contains("disable")) {
        const bool enable = body.contains("enable");
        const auto name = nameOf(body, enable ? "enable" : "disable", refused);
        if (!name) {
            return refused;
        }
        changed = enableScheduleEntry(programFolder, *name, enable);
    } else if (body.contains("pause")) {
        if (!body.at("pause").is_boolean()) {
            return problem(400, "pause", "\"pause\" must be true or false");
        }
        changed = pauseSchedule(programFolder, body.at("pause").get<bool>());
    } else {
        return problem(400, "",
                       "the body must be one change: add, replace, remove, enable, "
                       "disable or pause");
    }
    if (!changed) {
        return problem(409, "", changed.error());
    }
    return current(programFolder);
}

}  // namespace orvanta::service
