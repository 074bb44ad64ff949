#pragma once
// Entries as JSON objects: the schedule file, `orvanta-cli schedule list --json` and the API
// all use this one form.
//
//   {"name": "Morning", "enabled": true,
//    "when": {"repeat": "weekdays", "weekdays": ["mon", "tue"], "time": "08:00",
//             "from": "2026-09-01", "until": "2027-07-15", "skip": ["2026-12-24"]},
//    "action": {"kind": "send-file", "file": "Welcome.ovx", "slot": 3, "display": true},
//    "target": {"group": "Hall A"}}
//
// "repeat" is once (with "date"), daily or weekdays. "kind" is send-file, send-template
// (with "template" and "values"), show ("slot", "powerOn"), hide ("slot"), clear ("clear":
// all, quick, 1..12, saved-all), mute or startup ("startup": {"slot", "minutes"} or "off").
// "target" holds "projectors" (a list of addresses), "group", or "allRegistered": true.

#include <nlohmann/json.hpp>

#include "platform/Result.h"
#include "schedule/Schedule.h"

namespace orvanta {

nlohmann::json entryToJson(const ScheduleEntry& entry);
// What is wrong is said in the error, naming the field.
Result<ScheduleEntry> entryFromJson(const nlohmann::json& value);

nlohmann::json scheduleToJson(const Schedule& schedule);
Result<Schedule> scheduleFromJson(const nlohmann::json& value);

}  // namespace orvanta
