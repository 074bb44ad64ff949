#include "commands/DisplayCommands.h"

#include <algorithm>

#include "commands/ProjectorState.h"
#include "platform/EnumWords.h"
#include "text/LanguageText.h"

namespace orvanta {

using detail::runCtrl;

static Outcome showStoredMessageNow(const CommandContext& context, std::uint8_t slot,
                                    bool powerOn) {
    TransferJob job = context.job();
    const auto value = static_cast<std::uint16_t>((slot << 8) + 1 + (powerOn ? 0x8000 : 0));
    return runCtrl(job, context, kCtrlDisplay, 1, value, int(Text::IllegalRequest),
                   int(Text::NoMessageOnDisplay));
}

static Outcome hideStoredMessageNow(const CommandContext& context, std::uint8_t slot) {
    TransferJob job = context.job();
    return runCtrl(job, context, kCtrlDisplay, 1, static_cast<std::uint16_t>(slot << 8));
}

static Outcome runDisplayCommandNow(const CommandContext& context, DisplayCommand command,
                                    std::uint8_t slot) {
    if (Outcome ready = checkProjectorReady(context); !ready.ok()) {
        return ready;
    }
    if (Outcome stored = checkStoredMessage(context, slot); !stored.ok()) {
        return stored;
    }
    switch (command) {
        case DisplayCommand::DisplayOn:
            return showStoredMessageNow(context, slot, false);
        case DisplayCommand::PowerOnAndDisplayOn:
            return showStoredMessageNow(context, slot, true);
        case DisplayCommand::DisplayOff:
            break;
    }
    return hideStoredMessageNow(context, slot);
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

static Outcome clearStoredMessagesNow(const CommandContext& context, std::uint16_t code) {
    TransferJob job = context.job();
    Outcome outcome = runCtrl(job, context, code, 6, 0);
    if (outcome.ok()) {
        context.prompt.inform(languageText(Text::Complete));
    }
    return outcome;
}

static Outcome runClearNow(const CommandContext& context, std::uint16_t code) {
    if (context.prompt.ask(languageText(Text::ConfirmClear), PromptButtons::YesNo) !=
        PromptAnswer::Yes) {
        return Outcome::cancellation();
    }
    if (Outcome ready = checkProjectorReady(context); !ready.ok()) {
        return ready;
    }
    return clearStoredMessagesNow(context, code);
}

static Outcome muteProjectorNow(const CommandContext& context) {
    TransferJob job = context.job();
    Outcome outcome =
        runCtrl(job, context, kCtrlMute, 1, 1, int(Text::NoMessageData), int(Text::RequestIllegal));
    if (outcome.ok()) {
        context.prompt.inform(languageText(Text::Complete));
    }
    return outcome;
}

static Outcome runMuteNow(const CommandContext& context) {
    if (Outcome ready = checkProjectorReady(context); !ready.ok()) {
        return ready;
    }
    return muteProjectorNow(context);
}

namespace {

std::string_view displayCommandName(DisplayCommand command) {
    static constexpr EnumWord<DisplayCommand> kWords[] = {
        {DisplayCommand::DisplayOn, "display-on"},
        {DisplayCommand::PowerOnAndDisplayOn, "power-on-display-on"},
    };
    return wordOf(kWords, command, "display-off");
}

CommandRecord clearRecord(std::uint16_t code) {
    if (code == kCtrlClearAll) {
        return {"clear-all", -1, {}, {}, {}, {}};
    }
    if (code == kCtrlClearQuick) {
        return {"clear-quick", 0, {}, {}, {}, {}};
    }
    // List index 0 is every saved number.
    const int index = code - kCtrlClearByList;
    return {"clear-saved", index == 0 ? -1 : index, index == 0 ? "all saved" : "", {}, {}, {}};
}

}  // namespace

// Each command is recorded in the history once, by the outermost one the caller ran.

Outcome showStoredMessage(const CommandContext& context, std::uint8_t slot, bool powerOn) {
    CommandRecord record{powerOn ? "power-on-display-on" : "display-on", slot, {}, {}, {}, {}};
    return recordedCommand(context, record, [&](const CommandContext& c) {
        return showStoredMessageNow(c, slot, powerOn);
    });
}

Outcome hideStoredMessage(const CommandContext& context, std::uint8_t slot) {
    CommandRecord record{"display-off", slot, {}, {}, {}, {}};
    return recordedCommand(context, record,
                           [&](const CommandContext& c) { return hideStoredMessageNow(c, slot); });
}

Outcome runDisplayCommand(const CommandContext& context, DisplayCommand command,
                          std::uint8_t slot) {
    CommandRecord record{std::string(displayCommandName(command)), slot, {}, {}, {}, {}};
    return recordedCommand(context, record, [&](const CommandContext& c) {
        return runDisplayCommandNow(c, command, slot);
    });
}

Outcome clearStoredMessages(const CommandContext& context, std::uint16_t code) {
    CommandRecord record = clearRecord(code);
    return recordedCommand(
        context, record, [&](const CommandContext& c) { return clearStoredMessagesNow(c, code); });
}

Outcome runClear(const CommandContext& context, std::uint16_t code) {
    CommandRecord record = clearRecord(code);
    return recordedCommand(context, record,
                           [&](const CommandContext& c) { return runClearNow(c, code); });
}

Outcome muteProjector(const CommandContext& context) {
    CommandRecord record{"mute", -1, {}, {}, {}, {}};
    return recordedCommand(context, record,
                           [&](const CommandContext& c) { return muteProjectorNow(c); });
}

Outcome runMute(const CommandContext& context) {
    CommandRecord record{"mute", -1, {}, {}, {}, {}};
    return recordedCommand(context, record, [&](const CommandContext& c) { return runMuteNow(c); });
}

}  // namespace orvanta
