#include "commands/StartupDisplay.h"

#include "commands/ProjectorState.h"
#include "platform/Blanks.h"
#include "text/LanguageText.h"

namespace orvanta {
namespace {

// A whole text of decimal digits (blanks around it allowed); nothing for anything else.
std::optional<int> wholeNumber(std::string_view text) {
    text = trimmedBlanks(text);
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
    return trimmedBlanks(text) == languageText(Text::StartupRepeat);
}

}  // namespace

StartupAreaTexts startupAreaTexts(bool valid, const StartupDisplay& startup) {
    StartupAreaTexts texts{"-", "-", false};
    if (!valid) {
        return texts;
    }
    if (!startup.on) {
        texts.savedNumber = languageText(Text::StartupSlotNone);
        return texts;
    }
    texts.savedNumber = std::to_string(startup.savedNumber);
    texts.displayTime = startup.displayTime == 0 ? languageText(Text::StartupRepeat)
                                                 : std::to_string(startup.displayTime);
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
    if (trimmedBlanks(text).empty() || isRepeatText(text)) {
        return 0;
    }
    return std::nullopt;
}

// The value the projector answers is not kept as the firmware level: the capabilities of the
// chosen projector come from the state query only.
static Outcome setStartupDisplayNow(const CommandContext& context, const StartupDisplay& startup) {
    const std::uint16_t value = startupDisplayValue(startup);
    int answer = 0;
    if (Outcome read = readProjectorValue(context, value, answer); !read.ok()) {
        return read;
    }
    // The read reports a projector that took no connection as a value, not a failure; but
    // then nothing was set.
    if (answer == kUnreachableValue) {
        return context.fail(communicationErrorText(toCode(ExchangeError::Connect)));
    }
    // Kept as the state query keeps it: the 16 bits as a signed number.
    context.projector.values.stateWord = static_cast<std::int16_t>(value);
    return Outcome::success();
}

static Outcome applyStartupEditNow(const CommandContext& context, int savedNumberEntry,
                                   std::string_view displayTimeText, StartupDisplay& shown) {
    StartupDisplay startup;
    startup.on = savedNumberEntry >= 1 && savedNumberEntry <= 12;
    startup.savedNumber = startup.on ? savedNumberEntry : 1;
    const auto time = parseEditDisplayTime(displayTimeText);
    if (!time) {
        return context.fail(languageText(Text::DisplayTimeInvalid), Outcome::Step::Checks);
    }
    startup.displayTime = *time;
    if (Outcome ready = checkProjectorReady(context); !ready.ok()) {
        return ready;
    }
    if (!startup.on && startup.displayTime == 0) {
        startup.displayTime = 1;
    }
    if (Outcome set = setStartupDisplayNow(context, startup); !set.ok()) {
        return set;
    }
    shown = startup;
    return Outcome::success();
}

namespace {

CommandRecord startupRecord(const StartupDisplay& startup) {
    CommandRecord record{"startup", startup.savedNumber, "off", {}, {}, {}};
    if (startup.on) {
        record.detail = "on " + (startup.displayTime == 0 ? std::string("repeat")
                                                          : std::to_string(startup.displayTime));
    }
    return record;
}

}  // namespace

Outcome setStartupDisplay(const CommandContext& context, const StartupDisplay& startup) {
    CommandRecord record = startupRecord(startup);
    return recordedCommand(
        context, record, [&](const CommandContext& c) { return setStartupDisplayNow(c, startup); });
}

Outcome applyStartupEdit(const CommandContext& context, int savedNumberEntry,
                         std::string_view displayTimeText, StartupDisplay& shown) {
    CommandRecord record{"startup", savedNumberEntry, std::string(displayTimeText), {}, {}, {}};
    return recordedCommand(context, record, [&](const CommandContext& c) {
        Outcome outcome = applyStartupEditNow(c, savedNumberEntry, displayTimeText, shown);
        if (outcome.ok()) {
            record = startupRecord(shown);
        }
        return outcome;
    });
}

}  // namespace orvanta
