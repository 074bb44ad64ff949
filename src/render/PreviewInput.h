#pragma once
// What the preview plays: the title and message broken into lines where the projector breaks
// them, each character with its palette colors, and the options that shape the show. Built
// from the core's Message, so every front end (the Edit tab, orvanta-cli) previews alike.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "message/MessageOptions.h"
#include "message/ProjectorText.h"

namespace orvanta::render {

// The preview's fixed limits: text beyond them is not drawn (what is sent is not affected).
inline constexpr std::size_t kPreviewMaxUnits = 4499;  // units fetched from one editor
inline constexpr std::size_t kPreviewMaxLines = 150;
inline constexpr std::size_t kPreviewMaxLineUnits = 100;

// The Edit tab opens with the synchronization of the backgrounds switched on, and
// `orvanta-cli render` previews as the Edit tab does unless told otherwise.
inline constexpr bool kSynchronizeBackgroundsByDefault = true;

struct PreviewChar {
    char16_t ch = 0;
    std::uint8_t color = kColorWhite;  // palette code; above 9 draws black
    std::uint8_t background = kColorBlack;

    bool operator==(const PreviewChar&) const = default;
};
using PreviewLine = std::vector<PreviewChar>;

struct PreviewInput {
    std::vector<PreviewLine> title;  // a line keeps the LF, CR or page mark that ends it
    std::vector<PreviewLine> message;
    MessageStyle style = MessageStyle::Scroll;
    int characterSize = 0;       // 0 Standard, 1 Double size
    int titlePosition = 0;       // 0 Left, 1 Center, 2 Right
    int verticalPosition = 0;    // 0 Upper, 1 Center, 2 Lower
    int horizontalPosition = 0;  // Picture Side panel: 0 left, 2 right, else the default place
    int icon = 0;                // 0 none, 1..5
    int scrollCount = 0;         // 0 endless
    int scrollSpeed = 1;         // 0 Slow, 1 Standard, 2 Fast
    bool blink = false;
    std::uint8_t background = 0x20;  // the message background byte
    int displaySeconds = 0;          // 0 unlimited

    bool titlePresent() const { return !title.empty() && !title.front().empty(); }
    int scale() const { return characterSize == 1 ? 2 : 1; }
    int lineHeight() const { return 24 * scale(); }
};

// Palette code of the whole canvas from the message background byte: mode 0x20 (half
// transparent) draws as 8, mode 0x40 (transparent) as blue 5, else the color in bits 0-4.
int canvasColorCode(std::uint8_t background);

// Builds the preview of `message` as the projector would play it. With `synchronize` (the Edit
// tab's check box that ties character backgrounds to the message background) every character
// background, and the canvas, is blue - black in "Picture Side".
PreviewInput makePreviewInput(const Message& message, bool synchronize = false);

// The encoder's line-breaking rule with the preview's widths for one part: 614 / 588 pixels,
// in "Picture Side" 214 for the message and 194 (170 with an icon) for the title.
LineBreakRule previewBreakRule(const Message& message, bool title);

}  // namespace orvanta::render
