#pragma once
// The service's log: one line per event on standard error. Under systemd (JOURNAL_STREAM set)
// each line starts with its syslog priority ("<3>"), which the journal keeps as the entry's
// priority; elsewhere the priority is written as a word.

#include <string_view>

namespace orvanta::service {

enum class LogPriority { Error = 3, Warning = 4, Notice = 5, Info = 6 };

void logLine(LogPriority priority, std::string_view text);

}  // namespace orvanta::service
