#include "render/PreviewInput.h"

#include <algorithm>

#include "message/TextUnits.h"

namespace orvanta::render {

namespace {

// A palette code for the preview: "Transparent" (9) lets the message background show, so it
// takes the canvas color.
std::uint8_t previewCode(Rgb rgb, int canvasCode) {
    const std::uint8_t code = colorCodeFromRgb(rgb);
    return code == kColorTransparent ? static_cast<std::uint8_t>(canvasCode) : code;
}

// Lines end after LF, CR or a page mark, which stay in the line. What follows a mark starts the
// next page (the line end the button put after it is gone already, as in the encoder).
std::vector<PreviewLine> splitLines(const RichText& text, int canvasCode, bool synchronize,
                                    std::uint8_t syncCode) {
    std::vector<PreviewLine> lines;
    PreviewLine line;
    for (const RichUnit& u : text.units) {
        if (lines.size() >= kPreviewMaxLines) {
            break;
        }
        if (line.size() < kPreviewMaxLineUnits) {
            line.push_back({u.ch, previewCode(u.color, canvasCode),
                            synchronize ? syncCode : previewCode(u.background, canvasCode)});
        }
        if (u.ch == kLf || u.ch == kCr || u.ch == kPageFeedMark) {
            lines.push_back(std::move(line));
            line.clear();
        }
    }
    if (!line.empty() && lines.size() < kPreviewMaxLines) {
        lines.push_back(std::move(line));
    }
    return lines;
}

std::vector<PreviewLine> preparePart(RichText text, const LineBreakRule& rule, int canvasCode,
                                     bool synchronize, std::uint8_t syncCode) {
    if (text.units.size() > kPreviewMaxUnits) {
        text.units.resize(kPreviewMaxUnits);
    }
    // A NUL ends what an editor hands over.
    const auto nul = std::find_if(text.units.begin(), text.units.end(),
                                  [](const RichUnit& u) { return u.ch == 0; });
    text.units.erase(nul, text.units.end());
    replaceTabs(text);
    // The spaces the encoder turns into line ends, exactly; then the projector cuts whatever
    // is still too wide (a word without spaces) in front of the character that overflows.
    breakProjectorLines(text, text.size(), rule);
    LineBreakRule cut = rule;
    cut.useSpaces = false;
    cut.insertWhenNoSpace = true;
    breakProjectorLines(text, text.size(), cut);
    dropLineEndsAfterPageMarks(text);
    return splitLines(text, canvasCode, synchronize, syncCode);
}

}  // namespace

int canvasColorCode(std::uint8_t background) {
    switch (background & 0xE0) {
        case 0x20:
            return kColorHalfTransparent;
        case 0x40:
            return kColorBlue;
        default:
            return background & 0x1F;
    }
}

LineBreakRule previewBreakRule(const Message& message, bool title) {
    const int size = message.options.characterSize;
    LineBreakRule rule = {lineWidthLimit(size), size == 1 ? 2 : 1, false, false, true};
    if (message.options.style == static_cast<std::uint8_t>(MessageStyle::PictureSide)) {
        rule.limit = title ? (message.icon != 0 ? 170 : 194) : 214;
    }
    return rule;
}

PreviewInput makePreviewInput(const Message& message, bool synchronize) {
    const MessageOptions& o = message.options;
    PreviewInput in;
    in.style = static_cast<MessageStyle>(std::min<int>(o.style, 3));
    in.characterSize = o.characterSize == 1 ? 1 : 0;
    in.titlePosition = o.titlePosition;
    in.verticalPosition = o.verticalPosition;
    in.horizontalPosition = o.horizontalPosition;
    in.icon = message.icon <= 5 ? message.icon : 0;
    in.scrollCount = o.scrollCount == kOptionNotSet ? 0 : o.scrollCount;
    in.scrollSpeed = o.scrollSpeed <= 2 ? o.scrollSpeed : 1;
    in.blink = o.blink == 1;
    in.background = o.background;
    const int minutes = o.displayMinutes == kOptionNotSet ? 0 : o.displayMinutes;
    const int half = o.displayHalfMinute == 1 ? 1 : 0;
    in.displaySeconds = minutes * 60 + half * 30;

    const std::uint8_t syncCode = in.style == MessageStyle::PictureSide ? kColorBlack : kColorBlue;
    if (synchronize) {
        in.background = syncCode;
    }
    const int canvas = canvasColorCode(in.background);
    in.title =
        preparePart(message.title, previewBreakRule(message, true), canvas, synchronize, syncCode);
    in.message =
        preparePart(message.body, previewBreakRule(message, false), canvas, synchronize, syncCode);
    return in;
}

}  // namespace orvanta::render
