// orvanta-cli history: what was sent to projectors, by this program and the desktop program,
// from history.jsonl of the program folder.

#include <cstdio>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "cli/CliCommands.h"
#include "cli/CliSupport.h"
#include "history/History.h"
#include "projectors/ProjectorRegistry.h"

namespace orvanta::cli {
namespace {

constexpr const char* kHistoryUsage =
    "usage: orvanta-cli history [--projector ADDR] [--since DATE] [--json]\n"
    "\n"
    "Prints the commands sent to projectors (send, display on/off, clear, startup display,\n"
    "mute) by orvanta and orvanta-cli, oldest first: time, user, projector, command, slot and\n"
    "result. Commands that could not reach a projector are not in it.\n"
    "\n"
    "  --projector ADDR    only the commands to this projector\n"
    "  --since DATE        only those from DATE on: YYYY-MM-DD or YYYY-MM-DDTHH:MM[:SS],\n"
    "                      local time\n"
    "  --json              one JSON object per line, as history.jsonl keeps them\n";

std::string slotText(int slot) {
    if (slot < 0) {
        return "-";
    }
    return slot == 0 ? "quick" : std::to_string(slot);
}

}  // namespace

int runHistoryCommand(const CliContext& context, const std::vector<std::string>& args) {
    ParsedArgs parsed;
    if (const auto status =
            parseCommandArgs(args, {{"--projector", true}, {"--since", true}, {"--json", false}},
                             "history", kHistoryUsage, parsed, Positionals::None)) {
        return *status;
    }
    std::optional<std::string> address;
    if (const auto given = parsed.value("--projector")) {
        const auto parsedAddress = parseAddress(*given);
        if (!parsedAddress) {
            return usageError("history", "not an IPv4 address: " + *given, kHistoryUsage);
        }
        address = formatAddress(*parsedAddress);
    }
    std::optional<std::int64_t> since;
    if (const auto given = parsed.value("--since")) {
        since = parseHistoryTime(*given);
        if (!since) {
            return usageError("history", "not a date: " + *given, kHistoryUsage);
        }
    }
    const Result<HistoryFile::Contents> read =
        HistoryFile(historyPath(context.programFolder)).read();
    if (!read) {
        std::fprintf(stderr, "%s\n", read.error().c_str());
        return kExitFailed;
    }
    const bool json = parsed.has("--json");
    for (const HistoryRecord& r : read.value().records) {
        if ((address && r.address != *address) || (since && r.time < *since)) {
            continue;
        }
        if (json) {
            std::printf("%s\n", historyLine(r).c_str());
            continue;
        }
        // Every field may come from a projector or a hand-edited file: one record, one line.
        const std::string projector = r.projector.empty()
                                          ? oneLine(r.address)
                                          : oneLine(r.address) + " (" + oneLine(r.projector) + ")";
        std::string line = historyLocalTime(r.time) + "  " + oneLine(r.user) + "  " + projector +
                           "  " + oneLine(r.command) + "  slot " + slotText(r.slot);
        if (!r.detail.empty()) {
            line += "  " + oneLine(r.detail);
        }
        line += "  " + oneLine(r.result);
        if (!r.text.empty()) {
            line += ": " + oneLine(r.text);
        }
        if (!r.title.empty()) {
            line += "  \"" + oneLine(r.title) + "\"";
        }
        if (!r.templateName.empty()) {
            line += "  template " + oneLine(r.templateName) + " " + oneLine(r.templateValues);
        }
        std::printf("%s\n", line.c_str());
    }
    if (read.value().skippedLines > 0) {
        std::fprintf(stderr, "orvanta-cli history: %zu damaged or incomplete line(s) skipped\n",
                     read.value().skippedLines);
    }
    std::fflush(stdout);
    return kExitOk;
}

}  // namespace orvanta::cli
