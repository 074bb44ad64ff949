#include "commands/Operations.h"

#include <algorithm>

#include "message/ProjectorText.h"
#include "text/LanguageText.h"

namespace orvanta {
namespace {

enum TextId : int {
    kTooManyLines = 1006,
    kComplete = 1020,
    kFatalError = 1041,
    kPictureSideUnsupported = 1042,
    kCancelComplete = 1100,
    kNoMessageData = 1101,
    kRequestIllegal = 1102,
    kIllegalRequest = 1121,
    kNoMessageOnDisplay = 1140,
};

// A transfer record's text and the one shown for it where a command says so.
void replaceText(std::string& text, int from, int to) {
    if (text == languageText(from)) {
        text = languageText(to);
    }
}

// One Ctrl run; the failure text (after `replace`) is shown.
bool runCtrl(TransferJob& job, const ProjectorTarget& target, std::uint16_t code,
             std::uint8_t count, std::uint16_t value, Prompt& prompt, TransferRunner& runner,
             int replaceFrom = 0, int replaceTo = 0) {
    job.control.code = code;
    job.control.count = count;
    job.control.value = value;
    job.control.address = target.address;
    job.control.password = target.password;
    if (runner.run(job, TransferKind::Ctrl) == 1) {
        return true;
    }
    if (replaceFrom != 0) {
        replaceText(job.outcome.resultText, replaceFrom, replaceTo);
    }
    prompt.inform(job.outcome.resultText);
    return false;
}

// The CANCEL that tells the projector to abandon a transfer the operator cancelled, run on
// the job whose run was cancelled.
void sendCancel(TransferJob& job, const ProjectorTarget& target, TransferRunner& runner) {
    job.message.address = target.address;
    job.message.password = target.password;
    runner.run(job, TransferKind::Cancel);
}

}  // namespace

ProjectorCapabilities ProjectorStateValues::capabilities() const {
    ProjectorCapabilities caps;
    caps.level = level;
    caps.flags = static_cast<std::uint16_t>(capabilityFlags);
    return caps;
}

void prepareStateQuery(TransferJob& job, const ProjectorTarget& target) {
    job.control.code = kCtrlStateQuery;
    job.control.count = 2;
    job.control.value = 0;
    job.control.address = target.address;
    job.control.password = target.password;
    job.control.extra1 = -1;
    job.control.extra2 = -1;
}

bool takeStateQuery(const TransferJob& job, ProjectorStateValues& values) {
    if (!job.outcome.succeeded()) {
        return false;
    }
    values.level = job.control.value;
    values.capabilityFlags = job.control.extra1;
    values.stateWord = job.control.extra2;
    return true;
}

bool queryProjectorState(const ProjectorTarget& target, Prompt& prompt, TransferRunner& runner,
                         ProjectorStateValues& values) {
    TransferJob job(runner.flags(), runner.timings());
    prepareStateQuery(job, target);
    runner.run(job, TransferKind::CtrlStateQuery);
    if (!takeStateQuery(job, values)) {
        prompt.inform(job.outcome.resultText);
        return false;
    }
    return true;
}

bool readProjectorValue(const ProjectorTarget& target, std::uint16_t value, Prompt& prompt,
                        TransferRunner& runner, ProjectorStateValues& values) {
    TransferJob job(runner.flags(), runner.timings());
    job.control.code = kCtrlProjectorValue;
    job.control.count = 1;
    job.control.value = value;
    job.control.address = target.address;
    job.control.password = target.password;
    if (runner.run(job, TransferKind::CtrlRead) != 1) {
        prompt.inform(job.outcome.resultText);
        return false;
    }
    values.level = job.control.value;
    return true;
}

bool showStoredMessage(const ProjectorTarget& target, std::uint8_t slot, bool powerOn,
                       Prompt& prompt, TransferRunner& runner) {
    TransferJob job(runner.flags(), runner.timings());
    const auto value = static_cast<std::uint16_t>((slot << 8) + 1 + (powerOn ? 0x8000 : 0));
    return runCtrl(job, target, kCtrlDisplay, 1, value, prompt, runner, kIllegalRequest,
                   kNoMessageOnDisplay);
}

bool hideStoredMessage(const ProjectorTarget& target, std::uint8_t slot, Prompt& prompt,
                       TransferRunner& runner) {
    TransferJob job(runner.flags(), runner.timings());
    return runCtrl(job, target, kCtrlDisplay, 1, static_cast<std::uint16_t>(slot << 8), prompt,
                   runner);
}

bool checkStoredMessage(const ProjectorTarget& target, std::uint8_t slot, Prompt& prompt,
                        TransferRunner& runner, ProjectorStateValues& values) {
    TransferJob first(runner.flags(), runner.timings());
    if (!runCtrl(first, target, kCtrlSlotCheck, 1, static_cast<std::uint16_t>(slot << 8), prompt,
                 runner, kNoMessageData, kRequestIllegal)) {
        return false;
    }
    values.status = static_cast<char>(first.control.value);
    TransferJob second(runner.flags(), runner.timings());
    if (!runCtrl(second, target, kCtrlSlotCheckResult, 2, 0, prompt, runner, kNoMessageData,
                 kRequestIllegal)) {
        return false;
    }
    values.status = static_cast<char>(second.control.value);
    if (values.status == '0') {
        prompt.inform(languageText(kNoMessageData));
        return false;
    }
    return true;
}

bool readErrorStatus(const ProjectorTarget& target, bool silent, Prompt& prompt,
                     TransferRunner& runner, ProjectorStateValues& values) {
    TransferJob job(runner.flags(), runner.timings());
    job.hidden = silent;
    if (!runCtrl(job, target, kCtrlErrorStatus, 2, 0, prompt, runner, kNoMessageData,
                 kRequestIllegal)) {
        return false;
    }
    values.status = static_cast<char>(job.control.value);
    return true;
}

bool isFatalStatus(char status) {
    return status >= '1' && status <= '4';
}

bool checkProjectorReady(const ProjectorTarget& target, Prompt& prompt, TransferRunner& runner,
                         ProjectorStateValues& values) {
    if (!readErrorStatus(target, false, prompt, runner, values)) {
        return false;
    }
    if (isFatalStatus(values.status)) {
        prompt.inform(languageText(kFatalError));
        return false;
    }
    return true;
}

std::uint16_t clearCode(ClearScope scope, int listIndex) {
    switch (scope) {
        case ClearScope::All:
            return kCtrlClearAll;
        case ClearScope::Quick:
            return kCtrlClearQuick;
        case ClearScope::SavedNumber:
            break;
    }
    return static_cast<std::uint16_t>(kCtrlClearByList + std::clamp(listIndex, 0, 12));
}

bool clearStoredMessages(const ProjectorTarget& target, std::uint16_t code, Prompt& prompt,
                         TransferRunner& runner) {
    TransferJob job(runner.flags(), runner.timings());
    if (!runCtrl(job, target, code, 6, 0, prompt, runner)) {
        return false;
    }
    prompt.inform(languageText(kComplete));
    return true;
}

bool muteProjector(const ProjectorTarget& target, Prompt& prompt, TransferRunner& runner) {
    TransferJob job(runner.flags(), runner.timings());
    if (!runCtrl(job, target, kCtrlMute, 1, 1, prompt, runner, kNoMessageData, kRequestIllegal)) {
        return false;
    }
    prompt.inform(languageText(kComplete));
    return true;
}

bool querySlot(const ProjectorTarget& target, std::uint8_t slot, Prompt& prompt,
               TransferRunner& runner, SlotQuery& query) {
    TransferJob job(runner.flags(), runner.timings());
    job.info.address = target.address;
    job.info.password = target.password;
    job.info.slot = slot;
    if (runner.run(job, TransferKind::Info) != 1) {
        prompt.inform(job.outcome.resultText);
        return false;
    }
    query.headerHex = std::string(job.info.headerHexText());
    query.messageLength = job.info.messageLength;
    query.replyLength = job.info.replyLength;
    query.slotCharacter = static_cast<char>(job.info.slot);
    return true;
}

bool readBackMessage(const ProjectorTarget& target, std::uint8_t slot, const SlotQuery& query,
                     Prompt& prompt, TransferRunner& runner, std::vector<std::uint8_t>& body,
                     int& length) {
    TransferJob job(runner.flags(), runner.timings());
    job.message.address = target.address;
    job.message.password = target.password;
    job.message.slot = slot;
    job.message.length = query.messageLength;
    job.message.infoLength = query.replyLength;
    if (runner.run(job, TransferKind::Text) == 1) {
        body.assign(job.message.body.begin(), job.message.body.end());
        length = job.message.length;
        return true;
    }
    body.clear();
    length = 0;
    if (job.outcome.resultText == languageText(kCancelComplete)) {
        sendCancel(job, target, runner);
        replaceText(job.outcome.resultText, kNoMessageData, kCancelComplete);
    }
    prompt.inform(job.outcome.resultText);
    return false;
}

bool waitForSave(const ProjectorTarget& target, std::uint8_t slot, Prompt& prompt,
                 TransferRunner& runner, bool* cancelled) {
    TransferJob job(runner.flags(), runner.timings());
    job.info.address = target.address;
    job.info.password = target.password;
    job.info.slot = slot;
    if (runner.run(job, TransferKind::Stat) == 1) {
        return true;
    }
    const bool wasCancelled = job.outcome.resultText == languageText(kCancelComplete);
    if (wasCancelled) {
        sendCancel(job, target, runner);
    }
    if (cancelled != nullptr) {
        *cancelled = wasCancelled;
    }
    prompt.inform(job.outcome.resultText);
    return false;
}

bool readStoredMessage(const ProjectorTarget& target, std::uint8_t slot, Prompt& prompt,
                       TransferRunner& runner, ProjectorStateValues& values,
                       StoredMessage& stored) {
    return checkProjectorReady(target, prompt, runner, values) &&
           querySlot(target, slot, prompt, runner, stored.query) &&
           readBackMessage(target, slot, stored.query, prompt, runner, stored.body,
                           stored.length) &&
           waitForSave(target, slot, prompt, runner);
}

std::string sendCompleteText(const TransferFlags& flags) {
    return languageText(flags.cancelOverruled.load() ? Text::StoredBeforeCancel : Text::Complete);
}

int sendPayloadToProjector(const MessagePayload& payload, int displayLines,
                           const ProjectorCapabilities& capabilities, const ProjectorTarget& target,
                           std::uint8_t slot, Prompt& prompt, TransferRunner& runner) {
    const auto style = static_cast<MessageStyle>(payload.header[0]);
    if (style == MessageStyle::PopOn) {
        const bool doubleSize = payload.header[3] != 0;
        if (displayLines >= (doubleSize ? 7 : 14) &&
            prompt.ask(languageText(kTooManyLines), PromptButtons::YesNo) != PromptAnswer::Yes) {
            return 1;
        }
    }
    if (style == MessageStyle::PictureSide && (capabilities.flags & 1u) == 0) {
        prompt.inform(languageText(kPictureSideUnsupported));
        return 1;
    }
    TransferJob job(runner.flags(), runner.timings());
    MessageTransferRecord& record = job.message;
    record.address = target.address;
    record.password = target.password;
    record.slot = slot;
    record.length = static_cast<std::int32_t>(payload.body.size());
    record.header = payload.header.bytes;
    // A body beyond the record is refused by the worker; only what fits is copied.
    std::copy_n(payload.body.begin(), std::min(payload.body.size(), record.body.size()),
                record.body.begin());
    if (runner.run(job, TransferKind::Put) == 1) {
        return 0;
    }
    prompt.inform(job.outcome.resultText);
    return 1;
}

int sendMessageToProjector(Message& message, const EncodeSettings& settings,
                           const ProjectorTarget& target, std::uint8_t slot, Prompt& prompt,
                           TransferRunner& runner, EncodeResult* encoded) {
    EncodeResult result = encodeMessage(message, settings, prompt);
    if (!result.ok() || !result.payload) {
        reportEncodeFailure(result, prompt);
        if (encoded != nullptr) {
            *encoded = std::move(result);
        }
        return 1;
    }
    const MessagePayload& payload = *result.payload;
    const int lines = static_cast<MessageStyle>(payload.header[0]) == MessageStyle::PopOn
                          ? countDisplayLines(message, settings.capabilities.extendedCharacterSet())
                          : 0;
    const int sent =
        sendPayloadToProjector(payload, lines, settings.capabilities, target, slot, prompt, runner);
    if (encoded != nullptr) {
        *encoded = std::move(result);
    }
    return sent;
}

}  // namespace orvanta
