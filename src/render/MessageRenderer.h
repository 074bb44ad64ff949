#pragma once
// Draws a PreviewInput the way the projector shows it, with the glyph bitmaps of mfont/ and the
// icon of micon/: the title bitmap and the message bitmap (one page of it in the paged
// styles), plus the geometry of the preview screen for the message's style. Glyphs are black
// ink on white paper; ink takes the character's color, paper its background color. An
// icon's pure white is paper too, and shows the message background behind it.

#include <array>
#include <optional>
#include <string>
#include <vector>

#include <QImage>

#include "render/PreviewInput.h"

namespace orvanta::render {

// The 224 glyphs 0x20..0xFF ("mfont/0x00<code in hex>.bmp") and the chosen icon
// ("micon/BG_ICN_<name>.bmp") of a program folder, or of the installed shared data when the
// program folder has no such folder (resourceFolder()). A file that is missing or unreadable is
// simply absent: its glyph draws as a blank of the width table's width, the icon as nothing.
struct GlyphSet {
    std::array<std::optional<QImage>, 256> glyphs;
    std::optional<QImage> icon;

    // `programFolder` with or without a trailing '/'.
    static GlyphSet load(const std::string& programFolder, int icon);
};

// Where everything goes on the preview screen, in pixels.
struct PreviewLayout {
    int windowWidth = 1000;  // the screen: 1000 x 300, 740 x 600 or 1000 x 576
    int windowHeight = 300;
    int lineHeight = 24;
    int sideMargin = 12;
    int tailMargin = 14;
    int linesPerPage = 12;  // "Box", "Pop on" and "Picture Side"
    int rows = 12;          // message rows that fit below the title (at most linesPerPage)
    int boxX = 0;           // the box or panel (the whole width for "Scroll")
    int boxWidth = 1000;
    int boxHeight = 300;
    int bandY = 0;  // top of the title band
    int titleX = 0;
    int titleWidth = 0;
    int messageWidth = 0;
    bool titlePresent = false;
};

PreviewLayout layoutPreview(const PreviewInput& input);

// Width of the first title line (and the icon), and of all message lines as "Scroll" draws
// them, from the width table.
int measureTitle(const PreviewInput& input);
int measureMessage(const PreviewInput& input);

struct RenderedBitmap {
    QImage image;
    int lines = 0;            // lines drawn, from the first one asked for
    bool pageBreak = false;   // a page mark ended the bitmap
    bool endReached = false;  // the last line of the text is in it
    // Pixels each unit of each drawn line advanced (0 for what is not drawn); the typing
    // animation copies one such cell per tick.
    std::vector<std::vector<int>> advances;
};

class MessageRenderer {
  public:
    MessageRenderer(const PreviewInput& input, const GlyphSet& glyphs);

    const PreviewLayout& layout() const { return layout_; }
    const PreviewInput& input() const { return input_; }
    // RGB of the message background (the canvas color).
    Rgb canvasColor() const { return canvas_; }

    RenderedBitmap renderTitle() const;
    // From message line `firstLine` to the next page mark or the end ("Pop on": at most one
    // page; "Scroll": everything on one row, whatever `firstLine`).
    RenderedBitmap renderMessage(int firstLine) const;

  private:
    RenderedBitmap render(const std::vector<PreviewLine>& lines, int firstLine, bool title) const;
    // Draws one unit at (x, y), returns its advance.
    int drawUnit(QImage& canvas, int x, int y, const PreviewChar& ch) const;

    const PreviewInput& input_;
    const GlyphSet& glyphs_;
    PreviewLayout layout_;
    Rgb canvas_ = 0;
};

// Writes the scratch file `name` ("title.bmp", "message.bmp") into `folder` as a 24-bit BMP.
bool writeScratchBitmap(const QImage& image, const std::string& folder, const std::string& name);

}  // namespace orvanta::render
