#include "commands/SendCommand.h"

#include <algorithm>
#include <optional>

#include "commands/ProjectorState.h"
#include "commands/StartupDisplay.h"
#include "message/ProjectorText.h"
#include "platform/TextCodec.h"
#include "text/LanguageText.h"

namespace orvanta {

namespace detail {

void sendCancel(TransferJob& job, const CommandContext& context) {
    job.message.address = context.target.address;
    job.message.password = context.target.password;
    context.runner.run(job, TransferKind::Cancel);
}

}  // namespace detail

std::string sendCompleteText(const TransferFlags& flags) {
    return languageText(flags.cancelOverruled.load() ? Text::StoredBeforeCancel : Text::Complete);
}

Outcome waitForSave(const CommandContext& context, std::uint8_t slot) {
    TransferJob job = context.job();
    job.info.address = context.target.address;
    job.info.password = context.target.password;
    job.info.slot = slot;
    if (context.runner.run(job, TransferKind::Stat)) {
        return Outcome::success();
    }
    if (job.outcome.resultText == languageText(Text::CancelComplete)) {
        detail::sendCancel(job, context);
        context.prompt.inform(job.outcome.resultText);
        return Outcome::cancellation(job.outcome.resultText);
    }
    return context.fail(job.outcome.resultText);
}

Outcome sendPayloadToProjector(const CommandContext& context, const MessagePayload& payload,
                               int displayLines, const ProjectorCapabilities& capabilities,
                               std::uint8_t slot) {
    const auto style = static_cast<MessageStyle>(payload.header[0]);
    if (style == MessageStyle::PopOn) {
        const bool doubleSize = payload.header[3] != 0;
        if (displayLines >= (doubleSize ? 7 : 14) &&
            context.prompt.ask(languageText(Text::MessageMayNotBeDisplayed),
                               PromptButtons::YesNo) != PromptAnswer::Yes) {
            return Outcome::cancellation();
        }
    }
    if (style == MessageStyle::PictureSide && (capabilities.flags & 1u) == 0) {
        return context.fail(languageText(Text::PictureSideNotSupported));
    }
    TransferJob job = context.job();
    MessageTransferRecord& record = job.message;
    record.address = context.target.address;
    record.password = context.target.password;
    record.slot = slot;
    record.length = static_cast<std::int32_t>(payload.body.size());
    record.header = payload.header.bytes;
    // A body beyond the record is refused by the worker; only what fits is copied.
    std::copy_n(payload.body.begin(), std::min(payload.body.size(), record.body.size()),
                record.body.begin());
    if (context.runner.run(job, TransferKind::Put)) {
        return Outcome::success();
    }
    return context.fail(job.outcome.resultText);
}

namespace {

// What the history keeps of a message that was encoded for sending: the message file of it,
// with the option lines of the header it went with.
void describeSentMessage(CommandRecord& record, const Message& message,
                         const MessagePayload& payload, const EncodeSettings& settings) {
    record.title = utf16ToUtf8(message.title.text());
    record.message =
        composeMessageFile(message, payload.header, settings.capabilities.extendedOptions());
}

Outcome sendMessage(const CommandContext& context, Message& message, const EncodeSettings& settings,
                    std::uint8_t slot, EncodeResult* encoded, CommandRecord& record) {
    EncodeResult result = encodeMessage(message, settings, context.prompt);
    Outcome outcome;
    if (!result.ok() || !result.payload) {
        reportEncodeFailure(result, context.prompt);
        // Without a text the operator answered a question: the send was called off.
        outcome = result.text.empty() ? Outcome::cancellation() : Outcome::failure(result.text);
    } else {
        const MessagePayload& payload = *result.payload;
        const bool popOn = static_cast<MessageStyle>(payload.header[0]) == MessageStyle::PopOn;
        const int lines =
            popOn ? countDisplayLines(message, settings.capabilities.extendedCharacterSet()) : 0;
        describeSentMessage(record, message, payload, settings);
        outcome = sendPayloadToProjector(context, payload, lines, settings.capabilities, slot);
    }
    if (encoded != nullptr) {
        *encoded = std::move(result);
    }
    return outcome;
}

}  // namespace

Outcome sendMessageToProjector(const CommandContext& context, Message& message,
                               const EncodeSettings& settings, std::uint8_t slot,
                               EncodeResult* encoded) {
    CommandRecord record{"send", slot, {}, {}, {}, {}};
    return recordedCommand(context, record, [&](const CommandContext& c) {
        return sendMessage(c, message, settings, slot, encoded, record);
    });
}

Outcome sendMessageToProjector(const CommandContext& context, Message& message,
                               const EncodeSettings& settings, std::uint8_t slot,
                               CommandRecord record) {
    record.command = "send";
    record.slot = slot;
    return recordedCommand(context, record, [&](const CommandContext& c) {
        return sendMessage(c, message, settings, slot, nullptr, record);
    });
}

std::shared_ptr<const SendFile> readSendFile(const std::string& path) {
    auto file = std::make_shared<SendFile>();
    const Result<std::string, MessageFileProblem> bytes = readMessageFileBytes(path);
    if (!bytes) {
        file->read = fail(bytes.error());
        return file;
    }
    MessageFileResult plain = messageFromFileBytes(path, bytes.value(), false);
    MessageFileResult extended = messageFromFileBytes(path, bytes.value(), true);
    if (!plain || !extended) {
        file->read = fail(plain ? extended.error() : plain.error());
        return file;
    }
    file->plain = std::move(plain).value();
    file->extended = std::move(extended).value();
    return file;
}

Outcome sendMessageFile(const CommandContext& context, const SendRequest& request,
                        bool sendLocked) {
    if (sendLocked) {
        return context.fail(languageText(Text::SendLocked), Outcome::Step::Checks);
    }
    return sendMessageFile(context, request, *readSendFile(request.path), false);
}

namespace {

Outcome sendFile(const CommandContext& context, const SendRequest& request, const SendFile& file,
                 bool sendLocked, CommandRecord& record) {
    using Step = Outcome::Step;
    if (sendLocked) {
        return context.fail(languageText(Text::SendLocked), Step::Checks);
    }
    ProjectorInfo& info = context.projector;
    // A fresh message for the file, read with the capabilities of the chosen projector. A
    // file that cannot be read is not sent: an empty or half-read message would replace what
    // the projector holds.
    if (!file.read) {
        return context.fail(file.read.error(), Step::Checks, PromptIcon::Error);
    }
    Message message = file.forProjector(info.capabilities.extendedOptions());
    if (message.body.empty()) {
        return context.fail(languageText(Text::PleaseInputMessage), Step::Checks);
    }
    // "Quick" cannot be the startup display: choosing it unchecks the box.
    const bool startupChecked = request.startupChecked && request.slot != 0;
    int displayTime = 0;
    if (startupChecked) {
        const auto time = parseSendDisplayTime(request.displayTimeText);
        if (!time) {
            return context.fail(languageText(Text::DisplayTimeInvalid), Step::Checks);
        }
        displayTime = *time;
    }
    TransferFlags& flags = context.runner.flags();
    Outcome ready = checkProjectorReady(context);
    if (flags.cancelAsked()) {
        // Cancelled before anything was sent: the projector keeps what it had.
        context.prompt.inform(languageText(Text::SendCancelled));
        return Outcome::cancellation(languageText(Text::SendCancelled));
    }
    if (!ready.ok()) {
        return ready;
    }

    EncodeSettings settings;
    settings.purpose = EncodePurpose::Send;
    settings.capabilities = info.capabilities;
    settings.optionsFromFile = true;
    if (Outcome sent = sendMessage(context, message, settings, request.slot, nullptr, record);
        !sent.ok()) {
        return sent;
    }
    if (flags.stopRequested.load()) {
        // The whole command was stopped while the message went over: the save wait ends at
        // once and tells the projector to drop it.
        flags.cancelPending = true;
    }
    if (Outcome saved = waitForSave(context, request.slot); !saved.ok()) {
        return saved;
    }

    // The startup display follows the file into its slot, or is switched off when the file
    // replaced the message that the projector shows at start-up.
    std::optional<StartupDisplay> follow;
    if (startupChecked) {
        follow = StartupDisplay{true, request.slot, displayTime};
    } else if (info.startupValid() && info.startup().on && request.slot != 0 &&
               info.startup().savedNumber == request.slot) {
        follow = StartupDisplay{false, request.slot, 0};
    }
    if (follow) {
        if (Outcome set = setStartupDisplay(context, *follow); !set.ok()) {
            return std::move(set).at(Step::FollowUp);
        }
    }
    context.prompt.inform(sendCompleteText(flags));
    return Outcome::success();
}

}  // namespace

Outcome sendMessageFile(const CommandContext& context, const SendRequest& request,
                        const SendFile& file, bool sendLocked) {
    CommandRecord record{"send", request.slot, {}, {}, {}, request.path};
    if (request.startupChecked && request.slot != 0) {
        record.detail = "startup " + request.displayTimeText;
    }
    return recordedCommand(context, record, [&](const CommandContext& c) {
        return sendFile(c, request, file, sendLocked, record);
    });
}

}  // namespace orvanta
