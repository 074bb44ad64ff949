// The one-projector commands of orvanta-cli: get, show, hide, clear, mute, status, slots and
// startup. Each runs the same operations as the desktop program's buttons, with its texts.

#include <array>
#include <cstdio>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "cli/CliCommands.h"
#include "cli/CliSupport.h"
#include "commands/DisplayCommands.h"
#include "commands/MessageFileCommands.h"
#include "commands/ProjectorState.h"
#include "commands/ReadBack.h"
#include "commands/StartupDisplay.h"
#include "commands/StatusWatch.h"
#include "commands/StoredMessageList.h"
#include "message/MessageFile.h"
#include "message/Payload.h"
#include "text/LanguageText.h"

namespace orvanta::cli {
namespace {

constexpr const char* kProjectorOptionsHelp =
    "\n"
    "  --projector ADDR    the projector (dotted IPv4 address)\n"
    "  --all-registered    the projector registered in LastPj.txt, when there is exactly one;\n"
    "                      show, hide, clear, mute and setting the startup display go to\n"
    "                      every registered projector\n"
    "  --group NAME        the projectors of a group (as --all-registered)\n"
    "  --password TEXT     its password (default: the one registered for it, else empty)\n"
    "  --yes               answer Yes/OK to the questions the command asks\n";

constexpr const char* kGetUsage =
    "usage: orvanta-cli get --slot S --out FILE --projector ADDR [--password TEXT]\n"
    "\n"
    "Reads the message stored in slot S (quick or 1 to 12) back from the projector, as the\n"
    "Edit tab's Get does (error status, INFO, TEXT, STAT), and saves it as the message file\n"
    "FILE (ending in .ovx).\n";

constexpr const char* kShowUsage =
    "usage: orvanta-cli show --slot S [--power-on] --projector ADDR [--password TEXT]\n"
    "\n"
    "Display on (with --power-on: Power on && Display on) for the message in slot S (quick or\n"
    "1 to 12), after the error-status and slot checks.\n";

constexpr const char* kHideUsage =
    "usage: orvanta-cli hide --slot S --projector ADDR [--password TEXT]\n"
    "\n"
    "Display off for slot S (quick or 1 to 12), after the error-status and slot checks.\n";

constexpr const char* kClearUsage =
    "usage: orvanta-cli [--yes] clear all|quick|SLOT|saved-all --projector ADDR [--password TEXT]\n"
    "\n"
    "Clears stored messages: all of them, the Quick message, saved number SLOT (1 to 12), or\n"
    "every saved number (saved-all). The command asks \"Are you sure?\" first: without --yes\n"
    "the answer is No and nothing is cleared.\n";

constexpr const char* kMuteUsage =
    "usage: orvanta-cli mute --projector ADDR [--password TEXT]\n"
    "\n"
    "Silences the alarm sound that the projector plays.\n";

constexpr const char* kStatusUsage =
    "usage: orvanta-cli status --projector ADDR [--password TEXT]\n"
    "       orvanta-cli status (--all-registered | --group NAME | --projector ADDR...) [--json]\n"
    "\n"
    "For one projector, prints its state as the Main tab shows it:\n"
    "  level: N            firmware level (- when unknown)\n"
    "  capabilities: N     capability flags (- when the projector does not say)\n"
    "  startup: ...        saved number and display time, None, or -\n"
    "  error-status: C     error status character\n"
    "  message: A B        message status, for example ON Saved number:3\n"
    "  alarm: A B          alarm status, for example OFF Sound number:-\n"
    "\n"
    "For every registered projector (--all-registered, in the order of LastPj.txt), the\n"
    "projectors of a group (--group, in the group's order), several --projector or --json,\n"
    "asks them all at once and prints the Fleet tab's table, one line per projector:\n"
    "address, name, reachable, message shown, alarm, startup display, level, the time it\n"
    "answered and, for one that did not, why. A group member that is no longer registered is\n"
    "not asked and says so. With --json the same as a JSON array, one object per line:\n"
    "  {\"address\", \"name\", \"registered\", \"reachable\", \"problem\", \"level\",\n"
    "   \"capabilities\", \"message\": {\"on\", \"slot\"}, \"alarm\": {\"on\", \"sound\"},\n"
    "   \"startup\": {\"on\", \"slot\", \"minutes\"}, \"answered\": UTC time}\n"
    "(null for what a projector did not say; slot 0 is Quick, minutes 0 is Repeat).\n"
    "Exit status 1 when a projector did not answer.\n";

constexpr const char* kSlotsUsage =
    "usage: orvanta-cli slots --projector ADDR [--password TEXT]\n"
    "\n"
    "Lists the 13 memory slots of the projector with their status (Quick: in use, 1: not\n"
    "used, ...), as the Confirm list shows them.\n";

constexpr const char* kStartupUsage =
    "usage: orvanta-cli startup --projector ADDR [--password TEXT]\n"
    "       orvanta-cli startup --slot S --minutes M|repeat --projector ADDR\n"
    "       orvanta-cli startup --off --projector ADDR\n"
    "\n"
    "Without options prints the startup display setting (startup: 3, 5 min / startup: None).\n"
    "With --slot (1 to 12) and --minutes (1 to 127, or repeat) it sets the startup display on;\n"
    "with --off it sets it off, as the Startup Display Edit dialog does.\n";

bool assumeYes(const CliContext& context, const ParsedArgs& args) {
    return context.assumeYes || args.has("--yes");
}

std::string withOptions(const char* usage) {
    return std::string(usage) + kProjectorOptionsHelp;
}

// Parses the options of a one-projector command and runs `body` for its projector; the texts
// the operation showed go to standard output when it succeeded, else to standard error.
using ArgsCheck = std::function<int(const ParsedArgs&, const std::string& usage)>;
using ProjectorBody =
    std::function<Outcome(const ParsedArgs&, const CommandContext&, TransferFlags&)>;

// `many`: the command may go to several projectors at once (a line each), or only does so
// when `many` says yes for these arguments.
using ManyCheck = std::function<bool(const ParsedArgs&)>;
const ManyCheck kToMany = [](const ParsedArgs&) { return true; };

int runOnOneProjector(const CliContext& context, const std::vector<std::string>& args,
                      std::string_view command, const char* usage,
                      const std::vector<OptionSpec>& extra, const ArgsCheck& checkArgs,
                      const ProjectorBody& body, const ManyCheck& many = {}) {
    std::vector<OptionSpec> known = projectorOptions();
    known.insert(known.end(), extra.begin(), extra.end());
    const std::string fullUsage = withOptions(usage);
    ParsedArgs parsed;
    if (const auto status = parseCommandArgs(args, known, command, fullUsage, parsed)) {
        return *status;
    }
    if (const int status = checkArgs(parsed, fullUsage); status != kExitOk) {
        return status;
    }
    const bool fanOut = many && many(parsed);
    const TargetChoice choice = chooseTargets(context, parsed, !fanOut);
    if (choice.status == TargetStatus::Usage) {
        return usageError(command, choice.problem, fullUsage);
    }
    if (choice.status == TargetStatus::Failed) {
        std::fprintf(stderr, "%s\n", choice.problem.c_str());
        return kExitFailed;
    }
    if (fanOut && (choice.targets.size() > 1 || choice.targets.front().missing)) {
        return runOnEveryTarget(
            context, choice.targets,
            [&](const CommandContext& c) { return body(parsed, c, c.runner.flags()); },
            assumeYes(context, parsed));
    }
    CliPrompt prompt(assumeYes(context, parsed));
    TransferFlags flags;
    BlockingTransferRunner runner(flags);
    ProjectorInfo projector;
    const std::unique_ptr<CommandHistory> history = openCliHistory(context, choice.targets);
    const CommandContext commandContext{choice.targets.front().target, prompt, runner, projector,
                                        history.get()};
    bool ok = false;
    {
        InterruptAsCancel cancel({&flags});
        ok = body(parsed, commandContext, flags).ok();
    }
    if (!ok && flags.stopRequested.load()) {
        // Whatever the interrupted exchange made of it ("[No Response]"), it was a cancel.
        prompt.inform(languageText(Text::CommandCancelled));
    }
    std::fflush(stdout);
    prompt.print(ok ? stdout : stderr);
    return ok ? kExitOk : kExitFailed;
}

// --slot S, required.
std::optional<std::uint8_t> requiredSlot(const ParsedArgs& args) {
    const auto text = args.value("--slot");
    return text ? parseSlot(*text) : std::nullopt;
}

int noPositional(std::string_view command, const ParsedArgs& args, const std::string& usage) {
    if (!args.positional.empty()) {
        return usageError(command, "unexpected argument " + args.positional.front(), usage);
    }
    return kExitOk;
}

int slotArgs(std::string_view command, const ParsedArgs& args, const std::string& usage) {
    if (const int status = noPositional(command, args, usage); status != kExitOk) {
        return status;
    }
    if (!args.has("--slot")) {
        return usageError(command, "which slot? (--slot quick or 1 to 12)", usage);
    }
    if (!requiredSlot(args)) {
        return usageError(command, "not a slot: " + *args.value("--slot"), usage);
    }
    return kExitOk;
}

std::string startupLine(const ProjectorInfo& info) {
    const StartupDisplay s = info.startup();
    const StartupAreaTexts texts = startupAreaTexts(info.startupValid(), s);
    std::string line = "startup: " + texts.savedNumber;
    if (info.startupValid() && s.on) {
        line += ", " + texts.displayTime + (texts.minutes ? " min" : "");
    }
    return line;
}

std::string startupLine(const StartupDisplay& shown) {
    ProjectorInfo info;
    info.values.level = 2;
    info.values.stateWord = startupDisplayValue(shown);
    return startupLine(info);
}

}  // namespace

// ---------------------------------------------------------------------------------------------

int runGetCommand(const CliContext& context, const std::vector<std::string>& args) {
    auto check = [](const ParsedArgs& a, const std::string& usage) {
        if (const int status = slotArgs("get", a, usage); status != kExitOk) {
            return status;
        }
        if (!a.value("--out") || a.value("--out")->empty()) {
            return usageError("get", "where to? (--out FILE)", usage);
        }
        return kExitOk;
    };
    auto body = [&](const ParsedArgs& a, const CommandContext& c, TransferFlags&) {
        const std::string out = *a.value("--out");
        // Checked before the projector is asked, so that a read-back is not wasted.
        if (!hasMessageFileEnding(out)) {
            return c.fail(languageText(Text::OnlyOvxValid), Outcome::Step::Checks);
        }
        const std::uint8_t slot = *requiredSlot(a);
        StoredMessage stored;
        if (Outcome read = readStoredMessage(c, slot, stored); !read.ok()) {
            return read;
        }
        refreshProjectorInfo(c);
        const ProjectorInfo& info = c.projector;
        Message message;
        bool characterDisplayMode = false;
        if (!applyReadBack(message, stored.query.headerHex, stored.body,
                           info.capabilities.extendedOptions(), characterDisplayMode)) {
            return c.fail(communicationErrorText(toCode(ExchangeError::Unexpected)));
        }
        if (message.body.empty()) {
            // The slot holds a message without text: nothing the operator could have typed.
            return c.fail(languageText(Text::NoMessageData));
        }
        EncodeSettings settings;
        settings.capabilities = info.capabilities;
        settings.characterDisplayMode = characterDisplayMode;
        if (Outcome checked = checkBeforeSave(message, settings, c.prompt); !checked.ok()) {
            return checked;
        }
        return saveMessageAs(out, message, settings, c.prompt);
    };
    return runOnOneProjector(context, args, "get", kGetUsage, {{"--slot", true}, {"--out", true}},
                             check, body);
}

namespace {

int runDisplay(const CliContext& context, const std::vector<std::string>& args, bool show) {
    const char* name = show ? "show" : "hide";
    std::vector<OptionSpec> extra = {{"--slot", true}};
    if (show) {
        extra.push_back({"--power-on", false});
    }
    auto check = [name](const ParsedArgs& a, const std::string& usage) {
        return slotArgs(name, a, usage);
    };
    auto body = [show](const ParsedArgs& a, const CommandContext& c, TransferFlags&) {
        const DisplayCommand command = !show                 ? DisplayCommand::DisplayOff
                                       : a.has("--power-on") ? DisplayCommand::PowerOnAndDisplayOn
                                                             : DisplayCommand::DisplayOn;
        // The desktop program shows the projector's state instead; a script reads this line,
        // as it reads the ending of mute and clear.
        Outcome shown = runDisplayCommand(c, command, *requiredSlot(a));
        if (shown.ok()) {
            c.prompt.inform(languageText(Text::Complete));
        }
        return shown;
    };
    return runOnOneProjector(context, args, name, show ? kShowUsage : kHideUsage, extra, check,
                             body, kToMany);
}

// all, quick, 1..12 or saved-all as a clear code.
std::optional<std::uint16_t> clearCodeFor(const std::string& which) {
    if (which == "all") {
        return clearCode(ClearScope::All);
    }
    if (which == "quick") {
        return clearCode(ClearScope::Quick);
    }
    if (which == "saved-all") {
        return clearCode(ClearScope::SavedNumber, 0);
    }
    const auto slot = parseSlot(which);
    if (slot && *slot != 0) {
        return clearCode(ClearScope::SavedNumber, *slot);
    }
    return std::nullopt;
}

}  // namespace

int runShowCommand(const CliContext& context, const std::vector<std::string>& args) {
    return runDisplay(context, args, true);
}

int runHideCommand(const CliContext& context, const std::vector<std::string>& args) {
    return runDisplay(context, args, false);
}

int runClearCommand(const CliContext& context, const std::vector<std::string>& args) {
    auto check = [](const ParsedArgs& a, const std::string& usage) {
        if (a.positional.size() != 1) {
            return usageError("clear", "what? (all, quick, 1 to 12 or saved-all)", usage);
        }
        if (!clearCodeFor(a.positional.front())) {
            return usageError("clear", "cannot clear " + a.positional.front(), usage);
        }
        return kExitOk;
    };
    auto body = [](const ParsedArgs& a, const CommandContext& c, TransferFlags&) {
        return runClear(c, *clearCodeFor(a.positional.front()));
    };
    return runOnOneProjector(context, args, "clear", kClearUsage, {}, check, body, kToMany);
}

int runMuteCommand(const CliContext& context, const std::vector<std::string>& args) {
    auto check = [](const ParsedArgs& a, const std::string& usage) {
        return noPositional("mute", a, usage);
    };
    auto body = [](const ParsedArgs&, const CommandContext& c, TransferFlags&) {
        return runMute(c);
    };
    return runOnOneProjector(context, args, "mute", kMuteUsage, {}, check, body, kToMany);
}

const std::string& statusUsage() {
    // Its own option texts: --all-registered and --group give the table, not one projector.
    static const std::string usage =
        std::string(kStatusUsage) +
        "\n"
        "  --projector ADDR    a projector (dotted IPv4 address); repeated, the table of them\n"
        "  --all-registered    the table of every projector of LastPj.txt\n"
        "  --group NAME        the table of the projectors of a group\n"
        "  --password TEXT     the password (default: the one registered for it, else empty)\n"
        "  --json              the table as JSON\n";
    return usage;
}

int runStatusCommand(const CliContext& context, const std::vector<std::string>& args) {
    ParsedArgs table;
    const std::string problem = parseArgs(args, projectorOptions({{"--json", false}}), table);
    if (table.help) {
        return printHelp(statusUsage());
    }
    if (problem.empty() && (table.has("--all-registered") || table.has("--group") ||
                            table.has("--json") || table.values("--projector").size() > 1)) {
        if (!table.positional.empty()) {
            return usageError("status", "unexpected argument " + table.positional.front(),
                              statusUsage());
        }
        return runStatusTable(context, table);
    }
    auto check = [](const ParsedArgs& a, const std::string& usage) {
        return noPositional("status", a, usage);
    };
    auto body = [](const ParsedArgs&, const CommandContext& c, TransferFlags& flags) {
        const Outcome queried = refreshProjectorInfo(c);
        const ProjectorInfo info = c.projector;
        const bool reachable = queried.ok() && info.values.level != kUnreachableValue;
        const Outcome statusRead = readErrorStatus(c);
        const ProjectorTarget& target = c.target;

        // The status lines are asked only of projectors that have them, as the Main tab's
        // poller is started only for those.
        StatusFields message;
        StatusFields alarm;
        if (reachable && info.capabilities.extendedOptions()) {
            const PollResult m = runPollExchange(target, kCtrlMessageStatus, flags.cancelRequested);
            message = statusFieldsAfterPoll(m).value_or(message);
            const PollResult a = runPollExchange(target, kCtrlAlarmStatus, flags.cancelRequested);
            alarm = statusFieldsAfterPoll(a).value_or(alarm);
        }

        // -1 is what the state query leaves when the projector did not say (0xFFFF).
        const std::string level = reachable ? std::to_string(info.values.level) : "-";
        const std::string flagsText =
            reachable && info.values.capabilityFlags != -1
                ? std::to_string(static_cast<std::uint16_t>(info.values.capabilityFlags))
                : "-";
        const std::string startup = reachable ? startupLine(info) : "startup: -";
        const std::string status =
            statusRead.ok() ? std::string(1, c.projector.values.status) : "-";
        std::printf("level: %s\n", level.c_str());
        std::printf("capabilities: %s\n", flagsText.c_str());
        std::printf("%s\n", startup.c_str());
        std::printf("error-status: %s\n", status.c_str());
        std::printf("message: %s %s\n", message.first.c_str(), message.second.c_str());
        std::printf("alarm: %s %s\n", alarm.first.c_str(), alarm.second.c_str());
        return queried.ok() ? statusRead : queried;
    };
    return runOnOneProjector(context, args, "status", kStatusUsage, {}, check, body);
}

namespace {

struct SlotCollector {
    void add(const SlotReport& report) {
        const auto [event, slot, status] = report;
        if (slot >= 0 && slot < kStoredSlotCount && !status.empty()) {
            words[static_cast<std::size_t>(slot)] = status;
        }
        if (event == SlotListEvent::ConnectFailed) {
            connectFailed = true;
        } else if (event == SlotListEvent::Failed && status.empty()) {
            endedEarly = true;
        } else {
            asked = slot + 1;
            understood += event != SlotListEvent::Failed;
        }
    }

    std::array<std::string, kStoredSlotCount> words;
    bool connectFailed = false;
    bool endedEarly = false;
    int asked = 0;
    int understood = 0;  // slots whose reply was an INFO line
};

}  // namespace

int runSlotsCommand(const CliContext& context, const std::vector<std::string>& args) {
    auto check = [](const ParsedArgs& a, const std::string& usage) {
        return noPositional("slots", a, usage);
    };
    auto body = [](const ParsedArgs&, const CommandContext& c, TransferFlags& flags) {
        SlotCollector list;
        runStoredMessageList(c.target.address, c.target.password, flags.cancelRequested,
                             [&list](const SlotReport& report) { list.add(report); });
        if (list.connectFailed) {
            return c.fail(communicationErrorText(toCode(ExchangeError::Connect)));
        }
        if (list.understood == 0 && list.asked == kStoredSlotCount) {
            // Not one reply was understood: a list of "error" words would say nothing.
            return c.fail(communicationErrorText(toCode(ExchangeError::Unexpected)));
        }
        for (int slot = 0; slot < kStoredSlotCount; ++slot) {
            const std::string& word = list.words[static_cast<std::size_t>(slot)];
            std::printf("%s:%s%s\n", slotLabel(slot).c_str(), word.empty() ? "" : " ",
                        word.c_str());
        }
        if (list.endedEarly || list.asked < kStoredSlotCount) {
            return c.fail(languageText(Text::CommunicationError));
        }
        return Outcome::success();
    };
    return runOnOneProjector(context, args, "slots", kSlotsUsage, {}, check, body);
}

int runStartupCommand(const CliContext& context, const std::vector<std::string>& args) {
    auto check = [](const ParsedArgs& a, const std::string& usage) {
        if (const int status = noPositional("startup", a, usage); status != kExitOk) {
            return status;
        }
        const bool off = a.has("--off");
        const bool slot = a.has("--slot");
        const bool minutes = a.has("--minutes");
        if (off && (slot || minutes)) {
            return usageError("startup", "--off takes neither --slot nor --minutes", usage);
        }
        if (slot != minutes) {
            return usageError("startup", "--slot and --minutes go together", usage);
        }
        if (slot) {
            const auto s = parseSlot(*a.value("--slot"));
            if (!s || *s == 0) {
                return usageError("startup", "the startup display takes a saved number 1 to 12",
                                  usage);
            }
        }
        return kExitOk;
    };
    auto body = [](const ParsedArgs& a, const CommandContext& c, TransferFlags&) {
        const Outcome queried = refreshProjectorInfo(c);
        const ProjectorInfo& info = c.projector;
        const bool change = a.has("--off") || a.has("--slot");
        if (!change) {
            if (!queried.ok()) {
                return queried;
            }
            if (info.values.level == kUnreachableValue) {
                // The state query reads an unreachable projector as a level; say what it is.
                return c.fail(communicationErrorText(toCode(ExchangeError::Connect)));
            }
            std::printf("%s\n", startupLine(info).c_str());
            return Outcome::success();
        }
        if (queried.ok() && !info.levelUsable() && info.values.level != kUnreachableValue) {
            // The Main tab offers "Edit..." only for projectors that show the setting.
            return c.fail("This projector has no startup display (firmware level " +
                          std::to_string(info.values.level) + ").");
        }
        int entry = 0;
        std::string minutes;
        if (!a.has("--off")) {
            entry = *parseSlot(*a.value("--slot"));
            minutes = *a.value("--minutes");
            if (minutes == "repeat" || minutes == "Repeat" || minutes == "REPEAT") {
                minutes = languageText(Text::StartupRepeat);
            }
        }
        StartupDisplay shown;
        if (Outcome applied = applyStartupEdit(c, entry, minutes, shown); !applied.ok()) {
            return applied;
        }
        if (dynamic_cast<CliPrompt*>(&c.prompt) != nullptr) {
            std::printf("%s\n", startupLine(shown).c_str());
        } else {
            c.prompt.inform(startupLine(shown));  // the projector's line of a many-projector run
        }
        return Outcome::success();
    };
    return runOnOneProjector(context, args, "startup", kStartupUsage,
                             {{"--slot", true}, {"--minutes", true}, {"--off", false}}, check, body,
                             [](const ParsedArgs& a) { return a.has("--off") || a.has("--slot"); });
}

}  // namespace orvanta::cli
