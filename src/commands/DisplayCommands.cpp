#include "commands/DisplayCommands.h"

#include <algorithm>

#include "commands/ProjectorState.h"
#include "text/LanguageText.h"

namespace orvanta {

using detail::runCtrl;

Outcome showStoredMessage(const CommandContext& context, std::uint8_t slot, bool powerOn) {
    TransferJob job = context.job();
    const auto value = static_cast<std::uint16_t>((slot << 8) + 1 + (powerOn ? 0x8000 : 0));
    return runCtrl(job, context, kCtrlDisplay, 1, value, int(Text::IllegalRequest),
                   int(Text::NoMessageOnDisplay));
}

Outcome hideStoredMessage(const CommandContext& context, std::uint8_t slot) {
    TransferJob job = context.job();
    return runCtrl(job, context, kCtrlDisplay, 1, static_cast<std::uint16_t>(slot << 8));
}

Outcome runDisplayCommand(const CommandContext& context, DisplayCommand command,
                          std::uint8_t slot) {
    if (Outcome ready = checkProjectorReady(context); !ready.ok()) {
        return ready;
    }
    if (Outcome stored = checkStoredMessage(context, slot); !stored.ok()) {
        return stored;
    }
    switch (command) {
        case DisplayCommand::DisplayOn:
            return showStoredMessage(context, slot, false);
        case DisplayCommand::PowerOnAndDisplayOn:
            return showStoredMessage(context, slot, true);
        case DisplayCommand::DisplayOff:
            break;
    }
    return hideStoredMessage(context, slot);
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

Outcome clearStoredMessages(const CommandContext& context, std::uint16_t code) {
    TransferJob job = context.job();
    Outcome outcome = runCtrl(job, context, code, 6, 0);
    if (outcome.ok()) {
        context.prompt.inform(languageText(Text::Complete));
    }
    return outcome;
}

Outcome runClear(const CommandContext& context, std::uint16_t code) {
    if (context.prompt.ask(languageText(Text::ConfirmClear), PromptButtons::YesNo) !=
        PromptAnswer::Yes) {
        return Outcome::cancellation();
    }
    if (Outcome ready = checkProjectorReady(context); !ready.ok()) {
        return ready;
    }
    return clearStoredMessages(context, code);
}

Outcome muteProjector(const CommandContext& context) {
    TransferJob job = context.job();
    Outcome outcome =
        runCtrl(job, context, kCtrlMute, 1, 1, int(Text::NoMessageData), int(Text::RequestIllegal));
    if (outcome.ok()) {
        context.prompt.inform(languageText(Text::Complete));
    }
    return outcome;
}

Outcome runMute(const CommandContext& context) {
    if (Outcome ready = checkProjectorReady(context); !ready.ok()) {
        return ready;
    }
    return muteProjector(context);
}

}  // namespace orvanta
