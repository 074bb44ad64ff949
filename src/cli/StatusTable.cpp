// orvanta-cli status for many projectors (--all-registered, --group, --json): every projector
// is asked at once, as the desktop program's fleet table asks them, and the table is printed
// one line per projector in the order chosen, or as JSON for scripts.

#include <time.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cli/CliCommands.h"
#include "cli/CliSupport.h"
#include "commands/FleetWatch.h"
#include "platform/TextCodec.h"
#include "projectors/ProjectorRegistry.h"
#include "text/LanguageText.h"

namespace orvanta::cli {
namespace {

struct Line {
    const CliTarget* target = nullptr;
    std::string name;
    FleetStatus status;
};

// Columns as a terminal shows them: CJK characters take two.
std::size_t displayWidth(const std::string& utf8) {
    std::size_t width = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        const std::size_t length = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        width += length >= 3 ? 2 : 1;
        i += length;
    }
    return width;
}

std::string localTime(std::chrono::system_clock::time_point when) {
    const time_t t = std::chrono::system_clock::to_time_t(when);
    tm parts{};
    localtime_r(&t, &parts);
    char text[16];
    std::strftime(text, sizeof text, "%H:%M:%S", &parts);
    return text;
}

std::string utcTime(std::chrono::system_clock::time_point when) {
    const time_t t = std::chrono::system_clock::to_time_t(when);
    tm parts{};
    gmtime_r(&t, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return text;
}

std::string jsonString(const std::string& raw) {
    // JSON is UTF-8: a name a projector sent in another encoding must not break the document.
    const std::string text = validUtf8(raw);
    std::string out = "\"";
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (ch == '"' || ch == '\\') {
            out += '\\';
            out += ch;
        } else if (ch == '\n') {
            out += "\\n";
        } else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += ch;
        }
    }
    return out + "\"";
}

std::string jsonLine(const Line& line) {
    const FleetStatus& s = line.status;
    std::string out = "{\"address\":" + jsonString(line.target->label);
    out += ",\"name\":" + (line.name.empty() ? std::string("null") : jsonString(line.name));
    out += std::string(",\"registered\":") + (line.target->missing ? "false" : "true");
    out += std::string(",\"reachable\":") + (s.answered ? "true" : "false");
    out += ",\"problem\":" + (s.answered ? std::string("null") : jsonString(s.problem));
    out += ",\"level\":" + (s.answered ? std::to_string(s.values.level) : std::string("null"));
    out += ",\"capabilities\":" +
           (s.answered && s.values.capabilityFlags != -1
                ? std::to_string(static_cast<std::uint16_t>(s.values.capabilityFlags))
                : std::string("null"));
    out += ",\"message\":";
    if (s.messageStatus) {
        const int v = *s.messageStatus;
        out += std::string("{\"on\":") + ((v & 1) != 0 ? "true" : "false") +
               ",\"slot\":" + ((v & 1) != 0 ? std::to_string(v >> 8) : std::string("null")) + "}";
    } else {
        out += "null";
    }
    out += ",\"alarm\":";
    if (s.alarmStatus) {
        const int v = *s.alarmStatus;
        const bool on = (v & 0x7F) != 0;
        out += std::string("{\"on\":") + (on ? "true" : "false") +
               ",\"sound\":" + (on && (v >> 8) != 0 ? std::to_string(v >> 8) : "null") + "}";
    } else {
        out += "null";
    }
    out += ",\"startup\":";
    if (const auto startup = s.startup()) {
        out += std::string("{\"on\":") + (startup->on ? "true" : "false");
        if (startup->on) {
            out += ",\"slot\":" + std::to_string(startup->savedNumber) +
                   ",\"minutes\":" + std::to_string(startup->displayTime);
        }
        out += "}";
    } else {
        out += "null";
    }
    out += ",\"answered\":" + (s.answered ? jsonString(utcTime(s.answeredAt)) : "null") + "}";
    return out;
}

void printTable(const std::vector<Line>& lines) {
    std::vector<std::vector<std::string>> rows;
    rows.push_back({languageText(Text::FleetColumnAddress), languageText(Text::FleetColumnName),
                    languageText(Text::FleetColumnReachable),
                    languageText(Text::FleetColumnMessage), languageText(Text::FleetColumnAlarm),
                    languageText(Text::FleetColumnStartup), languageText(Text::FleetColumnLevel),
                    languageText(Text::FleetColumnAnswered),
                    languageText(Text::FleetColumnProblem)});
    for (const Line& line : lines) {
        const FleetStatusTexts t = fleetStatusTexts(line.status);
        rows.push_back({line.target->label, line.name.empty() ? "-" : visibleText(line.name),
                        t.reachable, t.message, t.alarm, t.startup, t.level,
                        line.status.answered ? localTime(line.status.answeredAt) : "-",
                        oneLine(t.problem)});
    }
    std::vector<std::size_t> widths(rows.front().size(), 0);
    for (const auto& row : rows) {
        for (std::size_t c = 0; c < row.size(); ++c) {
            widths[c] = std::max(widths[c], displayWidth(row[c]));
        }
    }
    for (const auto& row : rows) {
        std::string text;
        for (std::size_t c = 0; c < row.size(); ++c) {
            text += row[c];
            if (c + 1 < row.size()) {
                text += std::string(widths[c] - displayWidth(row[c]) + 2, ' ');
            }
        }
        while (!text.empty() && text.back() == ' ') {
            text.pop_back();
        }
        std::printf("%s\n", text.c_str());
    }
}

}  // namespace

int runStatusTable(const CliContext& context, const ParsedArgs& parsed) {
    const TargetChoice choice = chooseTargets(context, parsed, false);
    if (choice.status == TargetStatus::Usage) {
        return usageError("status", choice.problem, statusUsage());
    }
    if (choice.status == TargetStatus::Failed) {
        std::fprintf(stderr, "%s\n", choice.problem.c_str());
        return kExitFailed;
    }
    const ProjectorRegistry registered = loadRegistry(context.programFolder);
    std::vector<Line> lines(choice.targets.size());
    std::vector<ProjectorTarget> asked;
    std::vector<std::size_t> askedLine;
    for (std::size_t i = 0; i < choice.targets.size(); ++i) {
        const CliTarget& t = choice.targets[i];
        lines[i].target = &t;
        lines[i].status.address = t.target.address;
        if (const auto row = registered.findAddress(t.target.address)) {
            lines[i].name = registered.records[*row].name;
        }
        if (t.missing) {
            // A group member that is no longer registered is not asked.
            lines[i].status.problem = languageText(Text::ProjectorNoLongerRegistered);
            continue;
        }
        asked.push_back(t.target);
        askedLine.push_back(i);
    }
    std::atomic<bool> stop{false};
    std::vector<FleetStatus> statuses;
    {
        InterruptAsCancel cancel([&stop] { stop.store(true); });
        statuses = runFleetRound(asked, stop);
    }
    bool allAnswered = true;
    for (std::size_t k = 0; k < statuses.size(); ++k) {
        lines[askedLine[k]].status = statuses[k];
    }
    for (const Line& line : lines) {
        allAnswered = allAnswered && line.status.answered;
    }
    if (parsed.has("--json")) {
        std::printf("[\n");
        for (std::size_t i = 0; i < lines.size(); ++i) {
            std::printf("%s%s\n", jsonLine(lines[i]).c_str(), i + 1 < lines.size() ? "," : "");
        }
        std::printf("]\n");
    } else {
        printTable(lines);
    }
    std::fflush(stdout);
    if (stop.load()) {
        std::fprintf(stderr, "%s\n", languageText(Text::CommandCancelled).c_str());
    }
    return allAnswered ? kExitOk : kExitFailed;
}

}  // namespace orvanta::cli
