#pragma once
// The startup display: which stored message a projector shows when it is switched on, and
// for how long. The Main page's startup area and its edit dialog, the Edit page's startup
// check box and `orvanta-cli startup`.

#include <optional>
#include <string>
#include <string_view>

#include "commands/CommandContext.h"

namespace orvanta {

// What the startup area shows: "Saved number:" and "Display time:" values ("-" when the
// projector cannot say, "None" and "-" when the startup display is off, "Repeat" for 0).
struct StartupAreaTexts {
    std::string savedNumber;
    std::string displayTime;
    bool minutes = false;  // the "min" after the display time applies
};
StartupAreaTexts startupAreaTexts(bool valid, const StartupDisplay& startup);

// The display-time text of a "Startup Display" list at Send: 1..127, or "Repeat" (0).
// Nothing for anything else.
std::optional<int> parseSendDisplayTime(std::string_view text);
// The "Startup Display Edit" dialog's rule: 1..127, or "Repeat" or empty (0).
std::optional<int> parseEditDisplayTime(std::string_view text);

// Sets the startup display and keeps the word in the projector information. A projector that
// took no connection fails with the connection error: nothing was set.
Outcome setStartupDisplay(const CommandContext& context, const StartupDisplay& startup);

// OK of "Startup Display Edit": `savedNumberEntry` 0 ("None") or 1..12, and the text of the
// display-time list. "Display time : Invalid value" for a bad time; then pre-check, fatal
// check and the set command. When done, `shown` is what the startup area shows next.
Outcome applyStartupEdit(const CommandContext& context, int savedNumberEntry,
                         std::string_view displayTimeText, StartupDisplay& shown);

}  // namespace orvanta
