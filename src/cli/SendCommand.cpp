// orvanta-cli send: the Main tab's Send of a message file, to one projector or to many at once.
// Each projector gets its own thread, transfer flags, runner and prompt; the results are
// printed in the order the projectors were given once every send has ended.

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
#include "settings/SendLockStore.h"
#include "text/LanguageText.h"

namespace orvanta::cli {
namespace {

constexpr const char* kSendUsage =
    "usage: orvanta-cli send FILE [--slot S] [--startup MINUTES|repeat]\n"
    "                        (--projector ADDR... | --all-registered) [--password TEXT] [--yes]\n"
    "\n"
    "Sends the message file FILE (.ovx, or .txt to import; a bare name that does not exist here\n"
    "is taken from MessageData/ of the program folder, \".ovx\" may be left out) into slot S\n"
    "(quick, the default, or 1 to 12) of each projector, as the Main tab's Send does: send lock,\n"
    "state query, error status, fatal check, encoding with the file's options, PUT, save wait,\n"
    "startup display.\n"
    "With --startup (1 to 127 minutes, or repeat) the message becomes the startup display.\n"
    "\n"
    "  --projector ADDR    a projector (repeatable); the sends run in parallel\n"
    "  --all-registered    every projector of LastPj.txt\n"
    "  --password TEXT     password for every projector (default: the registered one, else empty)\n"
    "  --yes               answer Yes/OK to the questions the send asks\n"
    "\n"
    "Prints one line \"ADDR: text\" per projector, in the order given, with the text the send\n"
    "ended with (\"    Complete.\" or the reason it failed). Exit status 1 if any send failed.\n"
    "Ctrl+C presses Cancel once on every running transfer.\n";

// More projectors than this are sent to in turns of this many.
constexpr std::size_t kMaxParallelSends = 64;

struct ProjectorSend {
    CliTarget target;
    TransferFlags flags;
    // Written by the one thread that sends to this projector; read after it was joined.
    bool complete = false;
    std::string text;
};

void sendToOne(ProjectorSend& send, const SendRequest& request, const SendFile& file,
               bool assumeYes, CommandHistory* history) {
    CliPrompt prompt(assumeYes);
    BlockingTransferRunner runner(send.flags);
    ProjectorInfo info;
    const CommandContext context{send.target.target, prompt, runner, info, history};
    // The query the Main tab runs when a projector is chosen: the file is read and encoded
    // with this projector's capabilities. Sending without them would drop the file's alarm
    // options without a word, so a query that fails stops the send with its reason.
    const bool queried = refreshProjectorInfo(context).ok();
    if (send.flags.cancelAsked()) {
        send.text = languageText(Text::SendCancelled);
        return;
    }
    if (!queried) {
        send.text = prompt.lastText();
        return;
    }
    if (info.values.level == kUnreachableValue) {
        send.text = communicationErrorText(toCode(ExchangeError::Connect));
        return;
    }
    send.complete = sendMessageFile(context, request, file, false).ok();
    send.text = prompt.lastText();
    if (send.text.empty()) {
        send.text = languageText(Text::CommunicationError);
    }
}

}  // namespace

int runSendCommand(const CliContext& context, const std::vector<std::string>& args) {
    ParsedArgs parsed;
    if (const auto status = parseOneFileCommand(args,
                                                {kProjectorOption,
                                                 kAllRegisteredOption,
                                                 kPasswordOption,
                                                 kYesOption,
                                                 {"--slot", true},
                                                 {"--startup", true}},
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
    if (choice.status == TargetStatus::Usage) {
        return usageError("send", choice.problem, kSendUsage);
    }

    // Refusals that concern every projector alike are told once, before any is asked.
    if (readSendLockSettings(sendLockSettingsPath()).locked) {
        std::fprintf(stderr, "%s\n", languageText(Text::SendLocked).c_str());
        return kExitFailed;
    }
    if (choice.status == TargetStatus::Failed) {
        std::fprintf(stderr, "%s\n", choice.problem.c_str());
        return kExitFailed;
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

    std::vector<std::unique_ptr<ProjectorSend>> sends;
    std::vector<TransferFlags*> flags;
    for (const CliTarget& t : choice.targets) {
        sends.push_back(std::make_unique<ProjectorSend>());
        sends.back()->target = t;
        flags.push_back(&sends.back()->flags);
    }
    const bool assumeYes = context.assumeYes || parsed.has("--yes");
    const std::unique_ptr<CommandHistory> history = openCliHistory(context, choice.targets);
    {
        InterruptAsCancel cancel(flags);
        std::atomic<std::size_t> next{0};
        std::vector<std::thread> workers;
        const std::size_t count = std::min(sends.size(), kMaxParallelSends);
        workers.reserve(count);
        for (std::size_t w = 0; w < count; ++w) {
            workers.emplace_back([&] {
                for (std::size_t i = next++; i < sends.size(); i = next++) {
                    sendToOne(*sends[i], request, *file, assumeYes, history.get());
                }
            });
        }
        for (std::thread& w : workers) {
            w.join();
        }
    }

    bool allComplete = true;
    for (const auto& s : sends) {
        std::printf("%s: %s\n", s->target.label.c_str(), oneLine(s->text).c_str());
        allComplete = allComplete && s->complete;
    }
    std::fflush(stdout);
    return allComplete ? kExitOk : kExitFailed;
}

}  // namespace orvanta::cli
