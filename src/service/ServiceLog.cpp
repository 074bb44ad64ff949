#include "service/ServiceLog.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

#include "platform/EnumWords.h"

namespace orvanta::service {
namespace {

bool toJournal() {
    static const bool journal = std::getenv("JOURNAL_STREAM") != nullptr;
    return journal;
}

std::string_view word(LogPriority priority) {
    static constexpr EnumWord<LogPriority> kWords[] = {
        {LogPriority::Error, "error: "},
        {LogPriority::Warning, "warning: "},
    };
    return wordOf(kWords, priority);
}

}  // namespace

void logLine(LogPriority priority, std::string_view text) {
    static std::mutex mutex;
    std::string line = toJournal() ? "<" + std::to_string(static_cast<int>(priority)) + ">"
                                   : "orvanta-service: " + std::string(word(priority));
    // Texts carry clients' values: a line break must not start a forged entry, and no escape
    // sequence may reach the terminal of whoever reads the log.
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        line += u < 0x20 || u == 0x7F ? ' ' : c;
    }
    line += '\n';
    std::lock_guard lock(mutex);
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

}  // namespace orvanta::service
