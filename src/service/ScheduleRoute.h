#pragma once
// /v1/schedule: the scheduled messages that this service fires, read and changed through the
// same file and lock as the desktop program and `orvanta-cli schedule`.
//
//   GET  /v1/schedule   {"paused", "graceSeconds", "entries": [...], "next": [{"time", "entry"}]}
//   POST /v1/schedule   one change: {"add": ENTRY}, {"replace": NAME, "entry": ENTRY},
//                       {"remove": NAME}, {"enable": NAME}, {"disable": NAME},
//                       {"pause": true|false}; answers what GET answers after it
//
// ENTRY is the object schedule.json holds (schedule/ScheduleJson.h). Runs on a worker of the
// service, never on the HTTP thread: a change may wait for the file's lock.

#include <string>

#include "service/HttpServer.h"

namespace orvanta::service {

HttpResponse scheduleRoute(const std::string& programFolder, const HttpRequest& request);

}  // namespace orvanta::service
