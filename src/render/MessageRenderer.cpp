#include "render/MessageRenderer.h"

#include <algorithm>
#include <cstdio>

#include "message/WidthTables.h"
#include "platform/Environment.h"
#include "render/Image.h"

namespace orvanta::render {

namespace {

constexpr Rgb kInk = 0x000000;
constexpr Rgb kPaper = 0xFFFFFF;
constexpr int kNoGlyph = -1;
constexpr int kPageBreak = -2;

std::string withSlash(std::string folder) {
    if (!folder.empty() && folder.back() != '/') {
        folder.push_back('/');
    }
    return folder;
}

bool isLineEnd(char16_t ch) {
    return ch == 10 || ch == 12 || ch == 13;
}

// The glyph a unit draws with: controls the projector shows as a blank, the page mark as a
// page break in the paged styles (a blank in "Scroll"), other controls nothing. Only U+25BC is
// the mark: a typed one-quarter sign (U+00BC) shares its low byte and is drawn as itself.
int glyphCode(char16_t ch, bool scroll) {
    if (ch == kPageFeedMark) {
        return scroll ? 0x20 : kPageBreak;
    }
    if (ch == 9 || isLineEnd(ch)) {
        return 0x20;
    }
    const int code = ch & 0xFF;
    return code < 0x20 ? kNoGlyph : code;
}

int linesPerPage(const PreviewInput& in) {
    const int extra = in.titlePresent() ? 0 : 1;
    if (in.style == MessageStyle::PictureSide) {
        return 22 + extra;
    }
    return (in.characterSize == 1 ? 5 : 12) + extra;
}

int alignTitle(int base, int margin, int width, int position) {
    int x = margin;
    if (position == 1 && base / 2 >= width / 2) {
        x = base / 2 - width / 2;
    } else if (position == 2 && base >= width) {
        x = base - margin - width;
    }
    // A title nearly as wide as the box would start left of it; keep it inside.
    return x < 0 ? margin : x;
}

}  // namespace

GlyphSet GlyphSet::load(const std::string& programFolder, int icon) {
    GlyphSet set;
    // The program folder's own glyphs and icons, else those an installed program ships.
    const std::string glyphs = resourceFolder(programFolder, "mfont");
    for (int code = 0x20; code <= 0xFF; ++code) {
        char name[32];
        std::snprintf(name, sizeof name, "0x00%x.bmp", code);
        set.glyphs[static_cast<std::size_t>(code)] = loadImage(glyphs + name);
    }
    const std::string_view iconName = iconBitmapName(icon);
    if (!iconName.empty()) {
        set.icon = loadImage(resourceFolder(programFolder, "micon") + "BG_ICN_" +
                             std::string(iconName) + ".bmp");
    }
    return set;
}

int measureTitle(const PreviewInput& in) {
    int width = 0;
    if (!in.title.empty()) {
        for (const PreviewChar& c : in.title.front()) {
            width += narrowCharacterWidth(c.ch);
        }
    }
    if (in.icon != 0) {
        width += 24;
    }
    return width * in.scale();
}

int measureMessage(const PreviewInput& in) {
    int width = 0;
    for (const PreviewLine& line : in.message) {
        for (const PreviewChar& c : line) {
            const int code = glyphCode(c.ch, true);
            width += code >= 0 ? narrowCharacterWidth(static_cast<char16_t>(code)) : 0;
        }
    }
    return width * in.scale();
}

PreviewLayout layoutPreview(const PreviewInput& in) {
    PreviewLayout l;
    const int s = in.scale();
    l.lineHeight = 24 * s;
    l.sideMargin = in.style == MessageStyle::PictureSide ? 0 : 12 * s;
    l.tailMargin = 14 * s;
    l.linesPerPage = linesPerPage(in);
    l.titlePresent = in.titlePresent();
    l.titleWidth = measureTitle(in);
    l.messageWidth = measureMessage(in);
    const int present = l.titlePresent ? 1 : 0;
    const int lh = l.lineHeight;
    switch (in.style) {
        case MessageStyle::Scroll:
            l.windowWidth = 1000;
            l.windowHeight = 300;
            l.boxX = 0;
            l.boxWidth = 1000;
            l.boxHeight = 300;
            if (in.verticalPosition == 1) {
                l.bandY = present ? 300 / 2 - lh - 25 : 300 / 2 - 25;
            } else if (in.verticalPosition == 2) {
                l.bandY = present ? 300 - 2 * lh - 10 : 300 - lh - 10;
            }
            l.titleX = alignTitle(1000, l.sideMargin, l.titleWidth, in.titlePosition);
            break;
        case MessageStyle::Box:
        case MessageStyle::PopOn:
            l.windowWidth = 740;
            l.windowHeight = 600;
            l.boxX = 50;
            l.boxWidth = 640;
            l.boxHeight = 336;
            l.bandY = in.verticalPosition == 1 ? 122 : in.verticalPosition == 2 ? 254 : 0;
            l.titleX = alignTitle(640, l.sideMargin, l.titleWidth, in.titlePosition);
            break;
        case MessageStyle::PictureSide:
            l.windowWidth = 1000;
            l.windowHeight = 576;
            l.boxX = in.horizontalPosition == 0 ? 0 : in.horizontalPosition == 2 ? 1000 - 214 : 50;
            l.boxWidth = 214;
            l.boxHeight = 576;
            break;
    }
    l.rows = std::max(1, std::min(l.linesPerPage, l.boxHeight / lh - present));
    return l;
}

MessageRenderer::MessageRenderer(const PreviewInput& input, const GlyphSet& glyphs)
    : input_(input),
      glyphs_(glyphs),
      layout_(layoutPreview(input)),
      canvas_(rgbFromColorCode(canvasColorCode(input.background))) {}

RenderedBitmap MessageRenderer::renderTitle() const {
    return render(input_.title, 0, true);
}

RenderedBitmap MessageRenderer::renderMessage(int firstLine) const {
    return render(input_.message, std::max(firstLine, 0), false);
}

RenderedBitmap MessageRenderer::render(const std::vector<PreviewLine>& lines, int firstLine,
                                       bool title) const {
    const PreviewLayout& l = layout_;
    const int lh = l.lineHeight;
    const int count = static_cast<int>(lines.size());
    const bool scroll = input_.style == MessageStyle::Scroll;
    RenderedBitmap out;
    int width = l.boxWidth;
    int height = lh;
    if (scroll) {
        width = title ? l.windowWidth : l.windowWidth + l.tailMargin + l.messageWidth;
    } else if (!title) {
        switch (input_.style) {
            case MessageStyle::PopOn:
                height = lh * l.linesPerPage;
                break;
            case MessageStyle::PictureSide:
                height = lh * count + l.boxHeight;
                break;
            default:
                height = lh * std::max(count, 1);
                break;
        }
    }
    out.image = createImage(width, height);
    fillRect(out.image, 0, 0, width, height, canvas_);

    int x = scroll && !title ? l.windowWidth : 0;
    int y = 0;
    for (int li = firstLine; li < count; ++li) {
        if (!scroll && !title && input_.style == MessageStyle::PopOn &&
            out.lines == l.linesPerPage) {
            break;
        }
        if (!scroll) {
            x = 0;
        }
        if (title && input_.icon != 0 && (!scroll || li == 0) && glyphs_.icon) {
            // An icon's white paper shows the message background, like a glyph's: a shape
            // on a coloured band, not a white square.
            stretchCopyOver(out.image, x, y, *glyphs_.icon, input_.scale(), kPaper);
        }
        if (title && input_.icon != 0 && (!scroll || li == 0)) {
            x += 24 * input_.scale();
        }
        std::vector<int> advances;
        for (const PreviewChar& ch : lines[static_cast<std::size_t>(li)]) {
            if (!scroll && glyphCode(ch.ch, false) == kPageBreak) {
                out.pageBreak = true;
            }
            const int advance = out.pageBreak ? 0 : drawUnit(out.image, x, y, ch);
            advances.push_back(advance);
            x += advance;
        }
        out.advances.push_back(std::move(advances));
        ++out.lines;
        if (out.pageBreak) {
            break;
        }
        if (!scroll) {
            y += lh;
        }
    }
    out.endReached = !out.pageBreak && firstLine + out.lines >= count;
    return out;
}

int MessageRenderer::drawUnit(QImage& canvas, int x, int y, const PreviewChar& ch) const {
    const bool scroll = input_.style == MessageStyle::Scroll;
    const int code = glyphCode(ch.ch, scroll);
    if (code < 0) {
        return 0;
    }
    const int s = input_.scale();
    const QImage* glyph = glyphs_.glyphs[static_cast<std::size_t>(code)]
                              ? &*glyphs_.glyphs[static_cast<std::size_t>(code)]
                              : nullptr;
    const int gw = glyph ? glyph->width() : narrowCharacterWidth(static_cast<char16_t>(code));
    const int gh = glyph ? glyph->height() : 24;
    const Rgb ink = rgbFromColorCode(ch.color);
    const Rgb cell = rgbFromColorCode(ch.background);
    // The projector leaves the bottom pixel row, and the whole blank of a line end, in the
    // message background in the paged styles.
    const bool lineEndBlank = !scroll && isLineEnd(ch.ch);
    const int cw = canvas.width();
    const int canvasHeight = canvas.height();
    for (int gy = 0; gy < gh; ++gy) {
        const Rgb paper = (!scroll && (gy == gh - 1 || lineEndBlank)) ? canvas_ : cell;
        const auto* row = glyph ? reinterpret_cast<const QRgb*>(glyph->constScanLine(gy)) : nullptr;
        for (int sy = 0; sy < s; ++sy) {
            const int ty = y + gy * s + sy;
            if (ty < 0 || ty >= canvasHeight) {
                continue;
            }
            auto* out = reinterpret_cast<QRgb*>(canvas.scanLine(ty));
            for (int gx = 0; gx < gw; ++gx) {
                Rgb color = paper;
                if (row) {
                    const Rgb p = row[gx] & 0xFFFFFFu;
                    color = p == kInk ? ink : p == kPaper ? paper : p;
                }
                for (int sx = 0; sx < s; ++sx) {
                    const int tx = x + gx * s + sx;
                    if (tx >= 0 && tx < cw) {
                        out[tx] = 0xFF000000u | color;
                    }
                }
            }
        }
    }
    return gw * s;
}

bool writeScratchBitmap(const QImage& image, const std::string& folder, const std::string& name) {
    return saveImage(image, withSlash(folder) + name);
}

}  // namespace orvanta::render
