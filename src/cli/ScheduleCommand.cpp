// orvanta-cli schedule: the scheduled messages that orvanta-service fires - list them, add,
// remove, switch them on and off, pause and resume the whole schedule, and show the next
// firings.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli/CliCommands.h"
#include "cli/CliSupport.h"
#include "schedule/Firings.h"
#include "schedule/ScheduleJson.h"
#include "schedule/ScheduleRunner.h"
#include "schedule/ScheduleStore.h"
#include "templates/Template.h"

namespace orvanta::cli {
namespace {

constexpr const char* kScheduleUsage =
    "usage: orvanta-cli schedule list [--json]\n"
    "       orvanta-cli schedule next [N] [--from \"YYYY-MM-DD HH:MM\"] [--json]\n"
    "       orvanta-cli schedule add NAME WHEN WHAT TARGET [--disabled]\n"
    "       orvanta-cli schedule remove|enable|disable NAME\n"
    "       orvanta-cli schedule pause|resume\n"
    "\n"
    "The scheduled messages orvanta-service fires, in local time, kept in schedule.json of\n"
    "the program folder. A firing missed by the grace time (5 minutes unless the schedule\n"
    "says otherwise) or less goes out late; one missed by more is recorded in the history as\n"
    "missed. pause stops every entry at once; what comes due while paused is not sent later.\n"
    "\n"
    "WHEN:\n"
    "  --at \"YYYY-MM-DD HH:MM[:SS]\"        once\n"
    "  --daily HH:MM                        every day\n"
    "  --weekdays mon,tue,... --time HH:MM  on those days of the week\n"
    "  --from DATE, --until DATE            the first and the last day (YYYY-MM-DD)\n"
    "  --skip DATE                          a day it does not fire (repeatable)\n"
    "\n"
    "WHAT:\n"
    "  --file NAME [--slot S] [--display] [--startup MINUTES|repeat]\n"
    "                                       send a message file (as orvanta-cli send)\n"
    "  --template NAME --set FIELD=VALUE... [--slot S] [--display] [--startup MINUTES|repeat]\n"
    "                                       send a template filled with these values\n"
    "  --show S [--power-on], --hide S      Display on / off for slot S\n"
    "  --clear all|quick|SLOT|saved-all     clear stored messages\n"
    "  --mute                               silence the alarm sound\n"
    "  --startup S --minutes M|repeat, --startup off\n"
    "                                       set the startup display\n"
    "  (--display shows the message once it is stored.)\n"
    "\n"
    "TARGET: --projector ADDR (repeatable), --group NAME or --all-registered; the registered\n"
    "passwords are used when the entry fires.\n"
    "\n"
    "next prints the next N (default 10) firings after now (or --from), one a line, in local\n"
    "time with the UTC offset; with --json a list of {\"time\": ISO 8601, \"entry\": NAME}.\n";

int failWith(const std::string& text) {
    std::fprintf(stderr, "%s\n", text.c_str());
    return kExitFailed;
}

int usage(const std::string& problem) {
    return usageError("schedule", problem, kScheduleUsage);
}

// The entry `add` describes; a usage problem in `problem` otherwise.
std::optional<ScheduleEntry> entryFromArgs(const CliContext& context, const ParsedArgs& a,
                                           std::string& problem) {
    ScheduleEntry e;
    e.name = a.positional.size() > 1 ? a.positional[1] : std::string();
    e.enabled = !a.has("--disabled");
    // When.
    const int whens =
        (a.has("--at") ? 1 : 0) + (a.has("--daily") ? 1 : 0) + (a.has("--weekdays") ? 1 : 0);
    if (whens != 1) {
        problem = "when? (one of --at, --daily or --weekdays)";
        return std::nullopt;
    }
    if (const auto at = a.value("--at")) {
        const std::size_t space = at->find(' ');
        const auto date = parseDate(at->substr(0, space));
        const auto time =
            space == std::string::npos ? std::nullopt : parseTimeOfDay(at->substr(space + 1));
        if (!date || !time) {
            problem = "not a date and time (\"YYYY-MM-DD HH:MM\"): " + *at;
            return std::nullopt;
        }
        e.when.repeat = Repeat::Once;
        e.when.date = *date;
        e.when.time = *time;
    } else {
        const auto timeText = a.has("--daily") ? a.value("--daily") : a.value("--time");
        const auto time = timeText ? parseTimeOfDay(*timeText) : std::nullopt;
        if (!time) {
            problem =
                timeText ? "not a time (HH:MM): " + *timeText : "at what time? (--time HH:MM)";
            return std::nullopt;
        }
        e.when.time = *time;
        e.when.repeat = a.has("--daily") ? Repeat::Daily : Repeat::Weekdays;
        if (a.has("--weekdays")) {
            const auto days = parseWeekdays(*a.value("--weekdays"));
            if (!days) {
                problem = "not weekdays (mon,tue,wed,thu,fri,sat,sun): " + *a.value("--weekdays");
                return std::nullopt;
            }
            e.when.weekdays = *days;
        }
    }
    for (const char* option : {"--from", "--until"}) {
        if (const auto text = a.value(option)) {
            const auto date = parseDate(*text);
            if (!date) {
                problem = "not a date (YYYY-MM-DD): " + *text;
                return std::nullopt;
            }
            (std::string(option) == "--from" ? e.when.from : e.when.until) = *date;
        }
    }
    for (const std::string& text : a.values("--skip")) {
        const auto date = parseDate(text);
        if (!date) {
            problem = "not a date (YYYY-MM-DD): " + text;
            return std::nullopt;
        }
        e.when.skip.push_back(*date);
    }
    std::sort(e.when.skip.begin(), e.when.skip.end());
    e.when.skip.erase(std::unique(e.when.skip.begin(), e.when.skip.end()), e.when.skip.end());

    // What.
    const int whats = (a.has("--file") ? 1 : 0) + (a.has("--template") ? 1 : 0) +
                      (a.has("--show") ? 1 : 0) + (a.has("--hide") ? 1 : 0) +
                      (a.has("--clear") ? 1 : 0) + (a.has("--mute") ? 1 : 0) +
                      (a.has("--startup") && !a.has("--file") && !a.has("--template") ? 1 : 0);
    if (whats != 1) {
        problem = "what? (one of --file, --template, --show, --hide, --clear, --mute, --startup)";
        return std::nullopt;
    }
    ScheduleAction& act = e.action;
    auto slotOf = [&](const char* option, int fallback) -> std::optional<int> {
        const auto text = a.value(option);
        if (!text) {
            return fallback;
        }
        const auto slot = parseSlot(*text);
        if (!slot) {
            problem = "not a slot: " + *text;
            return std::nullopt;
        }
        return *slot;
    };
    if (a.has("--file") || a.has("--template")) {
        const auto slot = slotOf("--slot", 0);
        if (!slot) {
            return std::nullopt;
        }
        act.slot = *slot;
        act.display = a.has("--display");
        if (const auto minutes = a.value("--startup")) {
            const int m = *minutes == "repeat" ? 0 : std::atoi(minutes->c_str());
            if (*minutes != "repeat" && (m < 1 || m > 127)) {
                problem = "the startup display time is 1 to 127 minutes or repeat";
                return std::nullopt;
            }
            act.startup = {true, act.slot, m};
        }
        if (a.has("--file")) {
            act.kind = ScheduleActionKind::SendFile;
            const std::string name = *a.value("--file");
            const MessageFileLookup found = findMessageFile(context.programFolder, name);
            if (found.path.empty()) {
                problem = "no message file " + name;
                return std::nullopt;
            }
            // A file of MessageData/ is kept by name, so that a newer copy is what is sent.
            const std::filesystem::path path = std::filesystem::absolute(found.path);
            act.file = path.parent_path() ==
                               std::filesystem::absolute(context.programFolder + "MessageData")
                           ? path.filename().string()
                           : path.string();
        } else {
            act.kind = ScheduleActionKind::SendTemplate;
            act.templateName = *a.value("--template");
            for (const std::string& assignment : a.values("--set")) {
                const auto pair = parseAssignment(assignment);
                if (!pair) {
                    problem = pair.error();
                    return std::nullopt;
                }
                act.values.push_back(pair.value());
            }
        }
    } else if (a.has("--show") || a.has("--hide")) {
        act.kind = a.has("--show") ? ScheduleActionKind::Show : ScheduleActionKind::Hide;
        const auto slot = slotOf(a.has("--show") ? "--show" : "--hide", 0);
        if (!slot) {
            return std::nullopt;
        }
        act.slot = *slot;
        act.powerOn = a.has("--power-on");
    } else if (a.has("--clear")) {
        act.kind = ScheduleActionKind::Clear;
        act.clear = *a.value("--clear");
    } else if (a.has("--mute")) {
        act.kind = ScheduleActionKind::Mute;
    } else {
        act.kind = ScheduleActionKind::Startup;
        if (*a.value("--startup") != "off") {
            const auto slot = slotOf("--startup", 0);
            const auto minutes = a.value("--minutes");
            if (!slot) {
                return std::nullopt;
            }
            if (!minutes) {
                problem = "how long? (--minutes 1 to 127 or repeat)";
                return std::nullopt;
            }
            act.startup = {true, *slot, *minutes == "repeat" ? 0 : std::atoi(minutes->c_str())};
            if (*minutes != "repeat" && act.startup.displayTime == 0) {
                act.startup.displayTime = -1;  // refused below
            }
        }
    }

    // To whom.
    const int targets = (a.has("--projector") ? 1 : 0) + (a.has("--group") ? 1 : 0) +
                        (a.has("--all-registered") ? 1 : 0);
    if (targets != 1) {
        problem = "to whom? (--projector ADDR, --group NAME or --all-registered)";
        return std::nullopt;
    }
    if (a.has("--projector")) {
        e.target.kind = ScheduleTarget::Kind::Projectors;
        e.target.projectors = a.values("--projector");
    } else if (a.has("--group")) {
        e.target.kind = ScheduleTarget::Kind::Group;
        e.target.group = *a.value("--group");
    }
    if (std::string wrong = entryProblem(e); !wrong.empty()) {
        problem = wrong;
        return std::nullopt;
    }
    return e;
}

int listEntries(const CliContext& context, const ParsedArgs& a) {
    const Result<Schedule> read = readSchedule(context.programFolder);
    if (!read) {
        return failWith(read.error());
    }
    const Schedule& s = read.value();
    if (a.has("--json")) {
        std::printf("%s\n", scheduleToJson(s).dump(2).c_str());
        return kExitOk;
    }
    if (s.paused) {
        std::printf("The schedule is paused: nothing fires until orvanta-cli schedule resume.\n");
    }
    if (s.entries.empty()) {
        std::printf("No scheduled messages.\n");
    }
    for (const ScheduleEntry& e : s.entries) {
        std::printf("%s%s: %s; %s; to %s\n", e.name.c_str(), e.enabled ? "" : " (off)",
                    describeWhen(e.when).c_str(), describeAction(e.action).c_str(),
                    describeTarget(e.target).c_str());
    }
    return kExitOk;
}

int listNext(const CliContext& context, const ParsedArgs& a) {
    std::size_t count = 10;
    if (a.positional.size() > 2) {
        return usage("next takes one number");
    }
    if (a.positional.size() == 2) {
        const int n = std::atoi(a.positional[1].c_str());
        if (n < 1 || n > 10000 || std::to_string(n) != a.positional[1]) {
            return usage("not a number of firings (1 to 10000): " + a.positional[1]);
        }
        count = static_cast<std::size_t>(n);
    }
    Instant from = ScheduleRunner::systemNow();
    if (const auto text = a.value("--from")) {
        const auto parsed = parseLocalTime(*text);
        if (!parsed) {
            return usage("not a date and time (\"YYYY-MM-DD HH:MM\"): " + *text);
        }
        from = *parsed - 1;  // a firing at that very moment is one of the next
    }
    const Result<Schedule> read = readSchedule(context.programFolder);
    if (!read) {
        return failWith(read.error());
    }
    const std::vector<Firing> next = nextFirings(read.value(), from, count);
    if (a.has("--json")) {
        nlohmann::json out = nlohmann::json::array();
        for (const Firing& f : next) {
            out.push_back(
                {{"time", formatIsoTime(f.time)}, {"entry", read.value().entries[f.entry].name}});
        }
        std::printf("%s\n", out.dump(2).c_str());
        return kExitOk;
    }
    if (read.value().paused) {
        std::printf("(paused: these fire only once the schedule is resumed)\n");
    }
    for (const Firing& f : next) {
        std::printf("%s  %s\n", formatLocalTime(f.time).c_str(),
                    read.value().entries[f.entry].name.c_str());
    }
    return kExitOk;
}

}  // namespace

int runScheduleCommand(const CliContext& context, const std::vector<std::string>& args) {
    ParsedArgs a;
    const std::string problem = parseArgs(
        args,
        {{"--json", false},     {"--from", true},      {"--until", true},    {"--skip", true},
         {"--at", true},        {"--daily", true},     {"--weekdays", true}, {"--time", true},
         {"--file", true},      {"--template", true},  {"--set", true},      {"--slot", true},
         {"--display", false},  {"--startup", true},   {"--minutes", true},  {"--show", true},
         {"--hide", true},      {"--power-on", false}, {"--clear", true},    {"--mute", false},
         {"--disabled", false}, kProjectorOption,      kGroupOption,         kAllRegisteredOption},
        a);
    if (a.help) {
        return printHelp(kScheduleUsage);
    }
    if (!problem.empty()) {
        return usage(problem);
    }
    if (a.positional.empty()) {
        return usage("which? (list, next, add, remove, enable, disable, pause, resume)");
    }
    const std::string& what = a.positional.front();
    const std::string& folder = context.programFolder;
    if (what == "list") {
        return listEntries(context, a);
    }
    if (what == "next") {
        return listNext(context, a);
    }
    Result<> changed;
    if (what == "pause" || what == "resume") {
        changed = pauseSchedule(folder, what == "pause");
    } else if (what == "add" || what == "remove" || what == "enable" || what == "disable") {
        if (a.positional.size() != 2) {
            return usage(what + " takes one NAME");
        }
        const std::string& name = a.positional[1];
        if (what == "add") {
            std::string wrong;
            const auto entry = entryFromArgs(context, a, wrong);
            if (!entry) {
                return usage(wrong);
            }
            LocalClock clock;
            if (entry->when.repeat == Repeat::Once &&
                !nextFiring(entry->when, ScheduleRunner::systemNow() - 1, clock)) {
                return failWith("That time has passed; the entry would never fire.");
            }
            changed = addScheduleEntry(folder, *entry);
        } else if (what == "remove") {
            changed = removeScheduleEntry(folder, name);
        } else {
            changed = enableScheduleEntry(folder, name, what == "enable");
        }
    } else {
        return usage("unknown: " + what);
    }
    if (!changed) {
        return failWith(changed.error());
    }
    return kExitOk;
}

}  // namespace orvanta::cli
