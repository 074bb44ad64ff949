#include "commands/MainTabOperations.h"

#include <cstdlib>
#include <string>
#include <vector>

#include "message/MessageFile.h"
#include "message/Payload.h"
#include "platform/ProfileFile.h"
#include "text/LanguageText.h"

namespace orvanta {
namespace {

enum TextId : int {
    kDisplayTimeInvalid = 1014,
    kComplete = 1020,
    kClearQuestion = 1021,
    kSendLocked = 1043,
    kRepeat = 1083,
    kSavedNumberQuick = 1090,
    kSavedNumber = 1091,
    kMessageOn = 1092,
    kMessageOff = 1093,
    kSavedNumberNone = 1094,
    kSoundNumberNone = 1095,
    kSoundNumber = 1096,
    kAlarmOn = 1097,
    kAlarmOff = 1098,
    kSoundNumberUnknown = 1099,
};

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

// A whole text of decimal digits (blanks around it allowed); nothing for anything else.
std::optional<int> wholeNumber(std::string_view text) {
    text = trimmed(text);
    if (text.empty() || text.size() > 6) {
        return std::nullopt;
    }
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    return value;
}

bool isRepeatText(std::string_view text) {
    return trimmed(text) == languageText(kRepeat);
}

}  // namespace

// The value the projector answers is not kept as the firmware level here, since the
// capabilities of the chosen projector come from the state query only.
bool setStartupDisplay(const StartupDisplay& startup, const ProjectorTarget& target, Prompt& prompt,
                       TransferRunner& runner, MainProjectorInfo& info) {
    ProjectorStateValues answer = info.values;
    const std::uint16_t value = startupDisplayValue(startup);
    if (!readProjectorValue(target, value, prompt, runner, answer)) {
        return false;
    }
    // The read reports a projector that took no connection as a value, not a failure; but
    // then nothing was set.
    if (answer.level == kUnreachableValue) {
        prompt.inform(communicationErrorText(toCode(ExchangeError::Connect)));
        return false;
    }
    // Kept as the state query keeps it: the 16 bits as a signed number.
    info.values.stateWord = static_cast<std::int16_t>(value);
    return true;
}

// ---------------------------------------------------------------------------------------------

StartupDisplay decodeStartupWord(std::uint16_t word) {
    StartupDisplay s;
    s.on = (word & 0x8000u) != 0;
    s.savedNumber = (word >> 8) & 0x7F;
    s.displayTime = word & 0x7F;
    return s;
}

std::uint16_t startupDisplayValue(const StartupDisplay& startup) {
    const int high = startup.savedNumber + (startup.on ? 128 : 0);
    return static_cast<std::uint16_t>(((high & 0xFF) << 8) + (startup.displayTime & 0xFF));
}

bool MainProjectorInfo::levelUsable() const {
    return values.level >= 2 && values.level != kUnreachableValue;
}

bool MainProjectorInfo::startupValid() const {
    return levelUsable() && values.stateWord != -1;
}

StartupDisplay MainProjectorInfo::startup() const {
    return decodeStartupWord(static_cast<std::uint16_t>(values.stateWord));
}

bool refreshProjectorInfo(const ProjectorTarget& target, Prompt& prompt, TransferRunner& runner,
                          MainProjectorInfo& info) {
    TransferJob job(runner.flags(), runner.timings());
    prepareStateQuery(job, target);
    runner.run(job, TransferKind::CtrlStateQuery);
    if (!takeProjectorInfo(job, info)) {
        prompt.inform(job.outcome.resultText);
        return false;
    }
    return true;
}

bool takeProjectorInfo(const TransferJob& job, MainProjectorInfo& info) {
    ProjectorStateValues fresh = info.values;
    if (!takeStateQuery(job, fresh)) {
        return false;
    }
    info.values = fresh;
    if (info.levelUsable()) {
        info.capabilities = fresh.capabilities();
    }
    return true;
}

StartupAreaTexts startupAreaTexts(bool valid, const StartupDisplay& startup) {
    StartupAreaTexts texts{"-", "-", false};
    if (!valid) {
        return texts;
    }
    if (!startup.on) {
        texts.savedNumber = "None";
        return texts;
    }
    texts.savedNumber = std::to_string(startup.savedNumber);
    texts.displayTime =
        startup.displayTime == 0 ? languageText(kRepeat) : std::to_string(startup.displayTime);
    texts.minutes = startup.displayTime != 0;
    return texts;
}

std::optional<int> parseSendDisplayTime(std::string_view text) {
    if (const auto n = wholeNumber(text); n && *n >= 1 && *n <= 127) {
        return n;
    }
    if (isRepeatText(text)) {
        return 0;
    }
    return std::nullopt;
}

std::optional<int> parseEditDisplayTime(std::string_view text) {
    if (const auto n = wholeNumber(text); n && *n >= 1 && *n <= 127) {
        return n;
    }
    if (trimmed(text).empty() || isRepeatText(text)) {
        return 0;
    }
    return std::nullopt;
}

// ---------------------------------------------------------------------------------------------

bool checkBeforeCommand(const ProjectorTarget& target, Prompt& prompt, TransferRunner& runner,
                        ProjectorStateValues& values) {
    return checkProjectorReady(target, prompt, runner, values);
}

MainSendResult sendMessageFile(const MainSendRequest& request, const ProjectorTarget& target,
                               bool sendLocked, Prompt& prompt, TransferRunner& runner,
                               MainProjectorInfo& info) {
    if (sendLocked) {
        prompt.inform(languageText(kSendLocked));
        return MainSendResult::Failed;
    }
    return sendMessageFile(request, *readSendFile(request.path), target, false, prompt, runner,
                           info);
}

MainSendResult sendMessageFile(const MainSendRequest& request, const SendFile& file,
                               const ProjectorTarget& target, bool sendLocked, Prompt& prompt,
                               TransferRunner& runner, MainProjectorInfo& info) {
    if (sendLocked) {
        prompt.inform(languageText(kSendLocked));
        return MainSendResult::Failed;
    }
    // A fresh message for the file, read with the capabilities of the chosen projector. A
    // file that cannot be read is not sent: an empty or half-read message would replace what
    // the projector holds.
    if (file.error != MessageFileError::None) {
        prompt.inform(messageFileErrorText(file.error), PromptIcon::Error);
        return MainSendResult::Failed;
    }
    Message message = file.forProjector(info.capabilities.extendedOptions());
    if (message.body.empty()) {
        prompt.inform(languageText(Text::PleaseInputMessage));
        return MainSendResult::Failed;
    }
    // "Quick" cannot be the startup display: choosing it unchecks the box.
    const bool startupChecked = request.startupChecked && request.slot != 0;
    int displayTime = 0;
    if (startupChecked) {
        const auto time = parseSendDisplayTime(request.displayTimeText);
        if (!time) {
            prompt.inform(languageText(kDisplayTimeInvalid));
            return MainSendResult::Failed;
        }
        displayTime = *time;
    }
    TransferFlags& flags = runner.flags();
    const bool ready = checkBeforeCommand(target, prompt, runner, info.values);
    if (flags.cancelAsked()) {
        // Cancelled before anything was sent: the projector keeps what it had.
        prompt.inform(languageText(Text::SendCancelled));
        return MainSendResult::Cancelled;
    }
    if (!ready) {
        return MainSendResult::Failed;
    }

    EncodeSettings settings;
    settings.purpose = EncodePurpose::Send;
    settings.capabilities = info.capabilities;
    settings.optionsFromFile = true;
    if (sendMessageToProjector(message, settings, target, request.slot, prompt, runner) != 0) {
        return MainSendResult::Failed;
    }
    if (flags.stopRequested.load()) {
        // The whole command was stopped while the message went over: the save wait ends at
        // once and tells the projector to drop it.
        flags.cancelPending = true;
    }
    bool cancelled = false;
    if (!waitForSave(target, request.slot, prompt, runner, &cancelled)) {
        return cancelled ? MainSendResult::Cancelled : MainSendResult::Failed;
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
    if (follow && !setStartupDisplay(*follow, target, prompt, runner, info)) {
        return MainSendResult::StartupFailed;
    }
    prompt.inform(sendCompleteText(flags));
    return MainSendResult::Complete;
}

std::shared_ptr<const SendFile> readSendFile(const std::string& path) {
    auto file = std::make_shared<SendFile>();
    std::string bytes;
    file->error = readMessageFileBytes(path, bytes);
    if (file->error == MessageFileError::None) {
        file->error = messageFromFileBytes(path, bytes, false, file->plain);
    }
    if (file->error == MessageFileError::None) {
        file->error = messageFromFileBytes(path, bytes, true, file->extended);
    }
    return file;
}

bool runDisplayCommand(DisplayCommand command, std::uint8_t slot, const ProjectorTarget& target,
                       Prompt& prompt, TransferRunner& runner, ProjectorStateValues& values) {
    if (!checkBeforeCommand(target, prompt, runner, values) ||
        !checkStoredMessage(target, slot, prompt, runner, values)) {
        return false;
    }
    switch (command) {
        case DisplayCommand::DisplayOn:
            return showStoredMessage(target, slot, false, prompt, runner);
        case DisplayCommand::PowerOnAndDisplayOn:
            return showStoredMessage(target, slot, true, prompt, runner);
        case DisplayCommand::DisplayOff:
            break;
    }
    return hideStoredMessage(target, slot, prompt, runner);
}

bool runClear(std::uint16_t code, const ProjectorTarget& target, Prompt& prompt,
              TransferRunner& runner, ProjectorStateValues& values) {
    if (prompt.ask(languageText(kClearQuestion), PromptButtons::YesNo) != PromptAnswer::Yes) {
        return false;
    }
    return checkBeforeCommand(target, prompt, runner, values) &&
           clearStoredMessages(target, code, prompt, runner);
}

bool runMute(const ProjectorTarget& target, Prompt& prompt, TransferRunner& runner,
             ProjectorStateValues& values) {
    return checkBeforeCommand(target, prompt, runner, values) &&
           muteProjector(target, prompt, runner);
}

bool applyStartupEdit(int savedNumberEntry, std::string_view displayTimeText,
                      const ProjectorTarget& target, Prompt& prompt, TransferRunner& runner,
                      MainProjectorInfo& info, StartupDisplay& shown) {
    StartupDisplay startup;
    startup.on = savedNumberEntry >= 1 && savedNumberEntry <= 12;
    startup.savedNumber = startup.on ? savedNumberEntry : 1;
    const auto time = parseEditDisplayTime(displayTimeText);
    if (!time) {
        prompt.inform(languageText(kDisplayTimeInvalid));
        return false;
    }
    startup.displayTime = *time;
    if (!checkBeforeCommand(target, prompt, runner, info.values)) {
        return false;
    }
    if (!startup.on && startup.displayTime == 0) {
        startup.displayTime = 1;
    }
    if (!setStartupDisplay(startup, target, prompt, runner, info)) {
        return false;
    }
    shown = startup;
    return true;
}

// ---------------------------------------------------------------------------------------------

PollResult runPollExchange(const ProjectorTarget& target, std::uint16_t code,
                           const std::atomic<bool>& stop, const ExchangeTimings& timings) {
    CommandExchange exchange(timings);
    ExchangeStatus status = exchange.open(target.address, ConnectMode::Bounded);
    if (!status.isOk()) {
        const bool noSocket = status.isFailed() && status.code == toCode(ExchangeError::Socket);
        return {PollEvent::Error, noSocket ? status.code : 0};
    }
    std::string digest;
    status = exchange.readGreeting(target.password, kSmallReceiveSize, digest);
    if (!status.isOk()) {
        return {PollEvent::Error, status.code};
    }
    status = exchange.sendRequest(digest, buildCtrlRequest(code, 2, 0));
    if (!status.isOk()) {
        return {PollEvent::Error, toCode(ExchangeError::Send)};
    }
    status = exchange.waitReply(CancelBehaviour::NoResponse, &stop);
    if (!status.isOk()) {
        return {PollEvent::Error, toCode(ExchangeError::NoResponse)};
    }
    Reply reply;
    status = exchange.receiveReply(kSmallReceiveSize, reply);
    exchange.close();
    if (!status.isOk()) {
        return {PollEvent::Error, toCode(ExchangeError::Receive)};
    }
    return pollResultFromReply(code, reply);
}

PollResult pollResultFromReply(std::uint16_t code, const Reply& reply) {
    const std::string_view head = std::string_view(reply.buffer).substr(0, 8);
    if (head == "CTRL 0\r\n") {
        // The value is the number in the four characters at offsets 14 to 17.
        int value = 0;
        for (std::size_t i = 14; i < 18; ++i) {
            const unsigned char c = reply.at(i);
            if (c < '0' || c > '9') {
                break;
            }
            value = value * 10 + (c - '0');
        }
        return {code == kCtrlAlarmStatus ? PollEvent::AlarmStatus : PollEvent::MessageStatus,
                value};
    }
    static constexpr struct {
        const char* line;
        PollEvent event;
    } kReplies[] = {
        {"CTRL 1\r\n", PollEvent::Reply1}, {"CTRL 2\r\n", PollEvent::Reply2},
        {"CTRL 3\r\n", PollEvent::Reply3}, {"CTRL 8\r\n", PollEvent::Reply8},
        {"CTRL 9\r\n", PollEvent::Reply9},
    };
    for (const auto& r : kReplies) {
        if (head == r.line) {
            return {r.event, 0};
        }
    }
    return {PollEvent::Error, 0};
}

StatusFields messageStatusFields(int value) {
    StatusFields f;
    const int slot = value >> 8;
    f.second = slot != 0 ? formatText(kSavedNumber, {slot}) : languageText(kSavedNumberQuick);
    f.firstEnabled = true;
    if ((value & 1) != 0) {
        f.first = languageText(kMessageOn);
        f.secondEnabled = true;
    } else {
        f.first = languageText(kMessageOff);
        f.second = languageText(kSavedNumberNone);
    }
    return f;
}

StatusFields alarmStatusFields(int value) {
    StatusFields f;
    const int sound = value >> 8;
    f.second = sound != 0 ? formatText(kSoundNumber, {sound}) : languageText(kSoundNumberNone);
    f.firstEnabled = true;
    if ((value & 0x7F) != 0) {
        f.first = languageText(kAlarmOn);
        f.secondEnabled = true;
        f.muteEnabled = true;
    } else {
        f.first = languageText(kAlarmOff);
        f.second = languageText(kSoundNumberUnknown);
    }
    return f;
}

std::optional<StatusFields> statusFieldsAfterPoll(const PollResult& result) {
    switch (result.event) {
        case PollEvent::MessageStatus:
            return messageStatusFields(result.value);
        case PollEvent::AlarmStatus:
            return alarmStatusFields(result.value);
        case PollEvent::Reply8:
            return std::nullopt;
        case PollEvent::Reply1:
        case PollEvent::Reply2:
        case PollEvent::Reply3:
        case PollEvent::Reply9:
        case PollEvent::Error:
            break;
    }
    return StatusFields{};
}

}  // namespace orvanta
