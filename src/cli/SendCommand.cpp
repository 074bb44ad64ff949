// orvanta-cli send: the Main tab's Send of a message file, to one projector or to many at once.
// The projectors are sent to at once, each with its own transfer flags, runner and prompt
// (commands/ManyProjectorRun.h); the results are printed in the order the projectors were given
// once every send has ended.

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "cli/CliCommands.h"
#include "cli/CliSupport.h"
#include "commands/ProjectorState.h"
#include "commands/SendCommand.h"
#include "commands/StartupDisplay.h"
#include "text/LanguageText.h"

namespace orvanta::cli {
namespace {

constexpr const char* kSendUsage =
    "usage: orvanta-cli send FILE [--slot S] [--startup MINUTES|repeat]\n"
    "                        (--projector ADDR... | --group NAME | --all-registered)\n"
    "                        [--password TEXT] [--yes]\n"
    "\n"
    "Sends the message file FILE (.ovx, or .txt to import; a bare name that does not exist here\n"
    "is taken from MessageData/ of the program folder, \".ovx\" may be left out) into slot S\n"
    "(quick, the default, or 1 to 12) of each projector, as the Main tab's Send does: send lock,\n"
    "state query, error status, fatal check, encoding with the file's options, PUT, save wait,\n"
    "startup display.\n"
    "With --startup (1 to 127 minutes, or repeat) the message becomes the startup display.\n"
    "\n"
    "  --projector ADDR    a projector (repeatable); the sends run in parallel\n"
    "  --group NAME        every projector of the group (repeatable; see orvanta-cli groups)\n"
    "  --all-registered    every projector of LastPj.txt\n"
    "  --password TEXT     password for every projector (default: the registered one, else empty)\n"
    "  --yes               answer Yes/OK to the questions the send asks\n"
    "\n"
    "Prints one line \"ADDR: text\" per projector, in the order given, with the text the send\n"
    "ended with (\"    Complete.\" or the reason it failed). Exit status 1 if any send failed.\n"
    "Ctrl+C presses Cancel once on every running transfer.\n"
    "\n"
    "orvanta-cli send --template NAME --set FIELD=VALUE ... sends a message template instead\n"
    "(orvanta-cli send --template NAME --help tells more).\n";

}  // namespace

int runSendCommand(const CliContext& context, const std::vector<std::string>& args) {
    if (mentionsTemplate(args)) {
        return runTemplateSend(context, args);
    }
    ParsedArgs parsed;
    if (const auto status =
            parseOneFileCommand(args, projectorOptions({{"--slot", true}, {"--startup", true}}),
                                "send", kSendUsage, parsed)) {
        return *status;
    }
    SendRequest request;
    if (const auto slotText = parsed.value("--slot")) {
        const auto slot = parseSlot(*slotText);
        if (!slot) {
            return usageError("send", "not a slot: " + *slotText, kSendUsage);
        }
        request.slot = *slot;
    }
    if (const auto startup = parsed.value("--startup")) {
        if (request.slot == 0) {
            return usageError("send", "the Quick message cannot be the startup display",
                              kSendUsage);
        }
        request.startupChecked = true;
        std::string lower = *startup;
        std::transform(lower.begin(), lower.end(), lower.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        request.displayTimeText = lower == "repeat" ? languageText(Text::StartupRepeat) : *startup;
    }
    const TargetChoice choice = chooseTargets(context, parsed, false);
    if (const auto refused = refuseSend(choice, kSendUsage)) {
        return *refused;
    }
    const MessageFileLookup found =
        findMessageFile(context.programFolder, parsed.positional.front());
    if (found.path.empty()) {
        return reportMessageFileNotFound(parsed.positional.front(), found);
    }
    request.path = found.path;
    // Read and parsed once for every projector.
    const std::shared_ptr<const SendFile> file = readSendFile(request.path);
    if (!file->read) {
        std::fprintf(stderr, "%s: %s\n", parsed.positional.front().c_str(),
                     file->read.error().c_str());
        return kExitFailed;
    }
    if (request.startupChecked && !parseSendDisplayTime(request.displayTimeText)) {
        std::fprintf(stderr, "%s\n", languageText(Text::DisplayTimeInvalid).c_str());
        return kExitFailed;
    }

    const bool assumeYes = context.assumeYes || parsed.has("--yes");
    return runOnEveryTarget(
        context, choice.targets,
        [&request, file](const CommandContext& c) {
            return sendFileToProjector(c, request, *file);
        },
        assumeYes);
}

}  // namespace orvanta::cli
