#pragma once
// Showing and hiding a stored message, clearing stored messages and muting the alarm: the
// buttons of the Main and Edit pages and the show, hide, clear and mute commands of
// orvanta-cli.

#include <cstdint>

#include "commands/CommandContext.h"

namespace orvanta {

// Ctrl 0x3510: show the message of `slot` (0 Quick, 1..12), switching the projector on first
// when `powerOn`. A refusal "Illegal Request." is shown as "No message on display.".
Outcome showStoredMessage(const CommandContext& context, std::uint8_t slot, bool powerOn);
// Ctrl 0x3510 with bit 0 clear.
Outcome hideStoredMessage(const CommandContext& context, std::uint8_t slot);

enum class DisplayCommand { DisplayOn, DisplayOff, PowerOnAndDisplayOn };
// Error-status pre-check, fatal check, slot check, then the display command for `slot`.
Outcome runDisplayCommand(const CommandContext& context, DisplayCommand command, std::uint8_t slot);

// The Clear choice of the Main tab: All, Quick, or "Saved number" with the list index
// (0 "ALL", 1..12).
enum class ClearScope { All, Quick, SavedNumber };
std::uint16_t clearCode(ClearScope scope, int listIndex = 0);
// Ctrl `code` (count 6): "    Complete." on success.
Outcome clearStoredMessages(const CommandContext& context, std::uint16_t code);
// "Clear": asks "You clicked [Clear]. Are you sure?" (No cancels), then pre-check, fatal
// check and the clear command with `code` (see clearCode).
Outcome runClear(const CommandContext& context, std::uint16_t code);

// Ctrl 0x2002 value 1: "    Complete." on success.
Outcome muteProjector(const CommandContext& context);
// "Mute": pre-check, fatal check, mute.
Outcome runMute(const CommandContext& context);

}  // namespace orvanta
