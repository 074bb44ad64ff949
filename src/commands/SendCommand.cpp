#include "commands/SendCommand.h"

#include <algorithm>
#include <optional>

#include "commands/ProjectorState.h"
#include "commands/StartupDisplay.h"
#include "message/MessageFile.h"
#include "message/ProjectorText.h"
#include "platform/TextCodec.h"
#include "settings/SendLockStore.h"
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

namespace {

// What the projector holds in `slot` after the CANCEL of a send: the message that was sent
// (the save finished before the cancel came), something else or nothing (the cancel took),
// or unknown (the projector did not say).
enum class AfterCancel { Kept, Dropped, Unknown };

AfterCancel slotAfterCancel(const CommandContext& context, std::uint8_t slot,
                            const MessagePayload& sent) {
    TransferJob job = context.job();
    job.info.address = context.target.address;
    job.info.password = context.target.password;
    job.info.slot = slot;
    if (!context.runner.run(job, TransferKind::Info)) {
        return job.outcome.resultText == languageText(Text::NoMessageData) ? AfterCancel::Dropped
                                                                           : AfterCancel::Unknown;
    }
    const std::string sentHex = headerToHex(sent.header);
    const std::string_view heldHex = job.info.headerHexText();
    const bool sameHeader =
        heldHex.size() >= sentHex.size() &&
        std::equal(sentHex.begin(), sentHex.end(), heldHex.begin(),
                   [](char a, char b) { return std::toupper(a) == std::toupper(b); });
    const bool sameLength = job.info.messageLength == static_cast<std::int32_t>(sent.body.size());
    return sameHeader && sameLength ? AfterCancel::Kept : AfterCancel::Dropped;
}

}  // namespace

Outcome waitForSave(const CommandContext& context, std::uint8_t slot, const MessagePayload* sent) {
    TransferJob job = context.job();
    job.info.address = context.target.address;
    job.info.password = context.target.password;
    job.info.slot = slot;
    if (context.runner.run(job, TransferKind::Stat)) {
        return Outcome::success();
    }
    if (job.outcome.resultText != languageText(Text::CancelComplete)) {
        return context.fail(job.outcome.resultText);
    }
    detail::sendCancel(job, context);
    // The save may have ended between the last poll and the CANCEL: what the operator is told
    // is what the projector holds afterwards, not what was asked for.
    const AfterCancel held =
        sent != nullptr ? slotAfterCancel(context, slot, *sent) : AfterCancel::Dropped;
    if (held == AfterCancel::Kept) {
        context.runner.flags().cancelOverruled = true;
        return Outcome::success();
    }
    const std::string said =
        languageText(held == AfterCancel::Dropped ? Text::CancelComplete : Text::CancelUnverified);
    context.prompt.inform(said);
    return Outcome::cancellation(said);
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

// Encodes and PUTs `message`; `sent` (if given) receives the payload that went out.
Outcome sendMessage(const CommandContext& context, Message& message, const EncodeSettings& settings,
                    std::uint8_t slot, std::optional<EncodeResult>* encoded, CommandRecord& record,
                    MessagePayload* sent = nullptr) {
    EncodeResult result = encodeMessage(message, settings, context.prompt);
    Outcome outcome;
    if (!result || !result.value().payload) {
        reportEncodeFailure(result, context.prompt);
        // Without a text the operator answered a question: the send was called off.
        outcome =
            result.error().empty() ? Outcome::cancellation() : Outcome::failure(result.error());
    } else {
        const MessagePayload& payload = *result.value().payload;
        const bool popOn = static_cast<MessageStyle>(payload.header[0]) == MessageStyle::PopOn;
        const int lines =
            popOn ? countDisplayLines(message, settings.capabilities.extendedCharacterSet()) : 0;
        describeSentMessage(record, message, payload, settings);
        outcome = sendPayloadToProjector(context, payload, lines, settings.capabilities, slot);
        if (sent != nullptr) {
            *sent = payload;
        }
    }
    if (encoded != nullptr) {
        *encoded = std::move(result);
    }
    return outcome;
}

}  // namespace

Outcome sendMessageToProjector(const CommandContext& context, Message& message,
                               const EncodeSettings& settings, std::uint8_t slot,
                               std::optional<EncodeResult>* encoded) {
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
    MessagePayload payload;
    if (Outcome sent =
            sendMessage(context, message, settings, request.slot, nullptr, record, &payload);
        !sent.ok()) {
        return sent;
    }
    if (flags.stopRequested.load()) {
        // The whole command was stopped while the message went over: the save wait ends at
        // once and tells the projector to drop it.
        flags.cancelPending = true;
    }
    if (Outcome saved = waitForSave(context, request.slot, &payload); !saved.ok()) {
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

CommandRecord sendRecord(const SendRequest& request, const SendFile& file) {
    CommandRecord record{"send", request.slot, {}, {}, {}, request.path};
    if (request.startupChecked && request.slot != 0) {
        record.detail = "startup " + request.displayTimeText;
    }
    // Known before the projector is asked: a send that fails at its first question is
    // recorded with what it was meant to send.
    if (file.read) {
        record.title = utf16ToUtf8(file.plain.title.text());
    }
    return record;
}

// The lock as the settings file holds it now: every front end writes it the moment it
// changes, so a retry or a resend made after the lock was set obeys it.
bool sendLockedNow() {
    return readSendLockSettings(sendLockSettingsPath()).locked;
}

// A send that is told to stop before its message went out leaves the projector as it was.
std::optional<Outcome> cancelledBeforeSending(const CommandContext& context) {
    if (!context.runner.flags().cancelAsked()) {
        return std::nullopt;
    }
    context.prompt.inform(languageText(Text::SendCancelled));
    return Outcome::cancellation(languageText(Text::SendCancelled));
}

// The state query a send to a projector not yet asked starts with; a query that fails stops
// the send with its reason (sending without the capabilities would drop options silently).
Outcome queryBeforeSending(const CommandContext& context) {
    const Outcome queried = refreshProjectorInfo(context);
    if (auto cancelled = cancelledBeforeSending(context)) {
        return *cancelled;
    }
    if (!queried.ok()) {
        return queried;
    }
    if (context.projector.values.level == kUnreachableValue) {
        return context.fail(communicationErrorText(toCode(ExchangeError::Connect)));
    }
    return Outcome::success();
}

}  // namespace

Outcome sendMessageFile(const CommandContext& context, const SendRequest& request,
                        const SendFile& file, bool sendLocked) {
    CommandRecord record = sendRecord(request, file);
    return recordedCommand(context, record, [&](const CommandContext& c) {
        return sendFile(c, request, file, sendLocked, record);
    });
}

Outcome sendFileToProjector(const CommandContext& context, const SendRequest& request,
                            const SendFile& file) {
    CommandRecord record = sendRecord(request, file);
    if (sendLockedNow()) {
        return context.fail(languageText(Text::SendLocked), Outcome::Step::Checks);
    }
    return recordedCommand(context, record, [&](const CommandContext& c) {
        if (Outcome queried = queryBeforeSending(c); !queried.ok()) {
            return queried;
        }
        return sendFile(c, request, file, false, record);
    });
}

Outcome sendComposedMessage(const CommandContext& context, const Message& message,
                            EncodeSettings settings, std::uint8_t slot,
                            std::optional<int> startupMinutes, ComposedSendOptions options) {
    CommandRecord named{"send", slot, {}, utf16ToUtf8(message.title.text()), {}, {}};
    return sendComposedMessage(
        context,
        [&message, &named](const ProjectorCapabilities&) {
            return RowMessage{message, named, {}};
        },
        std::move(settings), slot, startupMinutes, options);
}

Outcome sendComposedMessage(const CommandContext& context, const RowMessageFor& messageFor,
                            EncodeSettings settings, std::uint8_t slot,
                            std::optional<int> startupMinutes, ComposedSendOptions options) {
    CommandRecord record{"send", slot, {}, {}, {}, {}};
    if (startupMinutes && slot != 0) {
        record.detail = "startup " + (*startupMinutes == 0 ? std::string("repeat")
                                                           : std::to_string(*startupMinutes));
    }
    if (sendLockedNow()) {
        return context.fail(languageText(Text::SendLocked), Outcome::Step::Checks);
    }
    return recordedCommand(context, record, [&](const CommandContext& c) {
        if (options.queryState) {
            if (Outcome queried = queryBeforeSending(c); !queried.ok()) {
                return queried;
            }
            settings.capabilities = c.projector.capabilities;
        }
        if (Outcome ready = checkProjectorReady(c); !ready.ok()) {
            return ready;
        }
        if (auto cancelled = cancelledBeforeSending(c)) {
            return *cancelled;
        }
        RowMessage row = messageFor(settings.capabilities);
        // What the row names (a template and its values) with what this send is.
        const std::string detail = record.detail;
        record = std::move(row.record);
        record.command = "send";
        record.slot = slot;
        if (record.detail.empty()) {
            record.detail = detail;
        }
        if (!row.refusal.empty()) {
            return c.fail(row.refusal, Outcome::Step::Checks);
        }
        MessagePayload payload;
        if (Outcome sent =
                sendMessage(c, row.message, settings, slot, options.encoded, record, &payload);
            !sent.ok()) {
            return sent;
        }
        if (options.waitForSave) {
            if (Outcome saved = waitForSave(c, slot, &payload); !saved.ok()) {
                return saved;
            }
        }
        if (startupMinutes && slot != 0) {
            if (Outcome set = setStartupDisplay(c, {true, slot, *startupMinutes}); !set.ok()) {
                return std::move(set).at(Outcome::Step::FollowUp);
            }
        }
        c.prompt.inform(sendCompleteText(c.runner.flags()));
        return Outcome::success();
    });
}

}  // namespace orvanta
