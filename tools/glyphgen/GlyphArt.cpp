#include "GlyphArt.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_DRIVER_H
#include FT_MODULE_H

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "message/WidthTables.h"

namespace orvanta::glyphgen {

namespace {

constexpr int kPixelSize = 17;
constexpr int kBaseline = 18;  // leaves the descenders rows 19..22 and row 23 as paper
// The narrowest size across that the search for a fitting one tries, in quarter pixels; the
// widest character fits at about two thirds of the full size.
constexpr int kNarrowestQuarters = 6 * 4;

// The cell a glyph is drawn into: ink may go anywhere but the right column and the bottom row,
// which stay paper so that neighbouring glyphs and lines never touch.
struct Cell {
    explicit Cell(int across)
        : width(across), ink(static_cast<std::size_t>(across * kGlyphHeight)) {}

    int width;
    int room() const { return std::max(1, width - 1); }
    static int rows() { return kGlyphHeight - 1; }
    bool at(int x, int y) const {
        return x >= 0 && x < room() && y >= 0 && y < rows() &&
               ink[static_cast<std::size_t>(y * width + x)] != 0;
    }
    void set(int x, int y) { ink[static_cast<std::size_t>(y * width + x)] = 1; }

    std::vector<char> ink;
};

// Pixels of ink in a row (`horizontal`) or column through (x, y); 0 on paper.
int runLength(const Cell& cell, int x, int y, bool horizontal) {
    if (!cell.at(x, y)) {
        return 0;
    }
    const int dx = horizontal ? 1 : 0;
    const int dy = horizontal ? 0 : 1;
    int length = 1;
    for (int k = 1; cell.at(x - k * dx, y - k * dy); ++k) {
        ++length;
    }
    for (int k = 1; cell.at(x + k * dx, y + k * dy); ++k) {
        ++length;
    }
    return length;
}

// Whether the ink at (x, y), one pixel high in its column, is a thin bar: the bar goes on one
// pixel high in a neighbouring column, or stands alone. A pixel between higher ink on both
// sides (the notch where an arch meets its stem) or at the end of a thicker stroke is a join,
// and stays as it is.
bool thinBar(const Cell& cell, int x, int y) {
    const int before = runLength(cell, x - 1, y, false);
    const int after = runLength(cell, x + 1, y, false);
    return before == 1 || after == 1 || (before == 0 && after == 0);
}

// Moves the runs of ink of row `y` apart so that each thin stem among them (`thin` marks
// their pixels) gets a second pixel, keeping their order and one paper pixel between them;
// nothing changes when the row has no room for that.
void spreadRow(Cell& cell, int y, const std::vector<char>& thin) {
    struct Run {
        int start;
        int length;
    };
    std::vector<Run> runs;
    for (int x = 0; x < cell.room(); ++x) {
        if (cell.at(x, y) && !cell.at(x - 1, y)) {
            Run run{x, 0};
            while (cell.at(x + run.length, y)) {
                ++run.length;
            }
            if (thin[static_cast<std::size_t>(x)] != 0) {
                run.length = std::max(run.length, 2);
            }
            runs.push_back(run);
        }
    }
    int needed = -1;
    for (const Run& run : runs) {
        needed += run.length + 1;
    }
    if (needed > cell.room()) {
        return;
    }
    // As near their places as the room allows: pushed right past the run before, then back
    // left from the end of the row.
    for (std::size_t i = 1; i < runs.size(); ++i) {
        runs[i].start = std::max(runs[i].start, runs[i - 1].start + runs[i - 1].length + 1);
    }
    for (std::size_t i = runs.size(); i-- > 0;) {
        const int end = i + 1 < runs.size() ? runs[i + 1].start - 1 : cell.room();
        runs[i].start = std::min(runs[i].start, end - runs[i].length);
    }
    std::fill_n(cell.ink.begin() + static_cast<std::ptrdiff_t>(y * cell.width), cell.room(), 0);
    for (const Run& run : runs) {
        for (int x = run.start; x < run.start + run.length; ++x) {
            cell.set(x, y);
        }
    }
}

// Makes every stroke that is one pixel thick across `horizontal` lines (rows) or down columns
// two pixels thick. A wide character narrowed to its cell has such strokes: the hinting keeps
// them, but at one pixel they look light beside the bold rest. The pixels of one thin stroke
// all grow on the same side, the side where most of them can (right or down when even), and
// never where they would close the paper between two strokes. In a row where a stem cannot
// grow that way, the strokes of the row move apart if the row has room; a bar that cannot
// grow on one side all along stays as it is, rather than grow a bump.
void thicken(Cell& cell, bool horizontal) {
    const Cell before = cell;
    // u runs along the line being widened, v across the lines.
    auto ink = [horizontal](const Cell& c, int u, int v) {
        return horizontal ? c.at(u, v) : c.at(v, u);
    };
    const int along = horizontal ? cell.room() : Cell::rows();
    const int lines = horizontal ? Cell::rows() : cell.room();
    auto index = [along](int u, int v) { return static_cast<std::size_t>(v * along + u); };
    std::vector<char> thin(static_cast<std::size_t>(along * lines), 0);
    for (int v = 0; v < lines; ++v) {
        for (int u = 0; u < along; ++u) {
            thin[index(u, v)] = ink(before, u, v) && !ink(before, u - 1, v) &&
                                !ink(before, u + 1, v) && (horizontal || thinBar(before, v, u));
        }
    }
    auto canGrow = [&](int u, int v, int side) {
        const int c = u + side;
        return c >= 0 && c < along && !ink(cell, c, v) && !ink(cell, c + side, v);
    };
    std::vector<char> stuck(thin.size(), 0);
    std::vector<char> seen(thin.size(), 0);
    for (int v0 = 0; v0 < lines; ++v0) {
        for (int u0 = 0; u0 < along; ++u0) {
            if (thin[index(u0, v0)] == 0 || seen[index(u0, v0)] != 0) {
                continue;
            }
            // The stroke: thin pixels touching one another, corners included.
            std::vector<std::pair<int, int>> stroke{{u0, v0}};
            seen[index(u0, v0)] = 1;
            for (std::size_t k = 0; k < stroke.size(); ++k) {
                const auto [u, v] = stroke[k];
                for (int dv = -1; dv <= 1; ++dv) {
                    for (int du = -1; du <= 1; ++du) {
                        const int nu = u + du;
                        const int nv = v + dv;
                        if (nu >= 0 && nu < along && nv >= 0 && nv < lines &&
                            thin[index(nu, nv)] != 0 && seen[index(nu, nv)] == 0) {
                            seen[index(nu, nv)] = 1;
                            stroke.emplace_back(nu, nv);
                        }
                    }
                }
            }
            int forward = 0;
            int backward = 0;
            for (const auto& [u, v] : stroke) {
                forward += canGrow(u, v, 1) ? 1 : 0;
                backward += canGrow(u, v, -1) ? 1 : 0;
            }
            const int side = forward >= backward ? 1 : -1;
            if (!horizontal && std::max(forward, backward) < static_cast<int>(stroke.size())) {
                continue;
            }
            for (const auto& [u, v] : stroke) {
                if (!canGrow(u, v, side)) {
                    stuck[index(u, v)] = 1;
                } else if (horizontal) {
                    cell.set(u + side, v);
                } else {
                    cell.set(v, u + side);
                }
            }
        }
    }
    if (horizontal) {
        for (int v = 0; v < lines; ++v) {
            const auto first = stuck.begin() + static_cast<std::ptrdiff_t>(index(0, v));
            const std::vector<char> row(first, first + along);
            if (std::find(row.begin(), row.end(), 1) != row.end()) {
                spreadRow(cell, v, row);
            }
        }
    }
}

QImage toImage(const Cell& cell) {
    QImage out(cell.width, kGlyphHeight, QImage::Format_Mono);
    out.setColor(0, qRgb(0, 0, 0));
    out.setColor(1, qRgb(255, 255, 255));
    out.fill(1);  // the padding at the end of each row too, so that every run writes the same file
    for (int y = 0; y < kGlyphHeight; ++y) {
        for (int x = 0; x < cell.width; ++x) {
            out.setPixel(x, y, cell.at(x, y) ? 0 : 1);
        }
    }
    return out;
}

// White as the marks inside the icons are drawn: a hair off pure white, which is the paper.
const QColor kMarkWhite(254, 254, 254);

// An icon for the preview, which puts it on the message background whatever its colour: the
// pure white paper takes that colour, everything else shows as drawn. So the pixels outside the
// shape become paper, those of the shape opaque in the shape's own colour (its rim at the edge,
// never a blend with one background), and no pixel of the shape is pure white.
QImage toIconPixels(const QImage& drawn) {
    QImage out(drawn.size(), QImage::Format_RGB32);
    for (int y = 0; y < drawn.height(); ++y) {
        for (int x = 0; x < drawn.width(); ++x) {
            const QColor c = QColor::fromRgba(drawn.pixel(x, y));
            QRgb value = kIconPaper;
            if (c.alpha() >= 128) {
                value = qRgb(c.red(), c.green(), c.blue());
                if ((value & 0xFFFFFFu) == (kIconPaper & 0xFFFFFFu)) {
                    value = kMarkWhite.rgb();
                }
            }
            out.setPixel(x, y, value);
        }
    }
    return out;
}

}  // namespace

struct GlyphFont::Engine {
    FT_Library library = nullptr;
    FT_Face face = nullptr;

    ~Engine() {
        if (face != nullptr) {
            FT_Done_Face(face);
        }
        if (library != nullptr) {
            FT_Done_FreeType(library);
        }
    }
};

GlyphFont::GlyphFont(std::unique_ptr<Engine> engine) : engine_(std::move(engine)) {}
GlyphFont::~GlyphFont() = default;

std::unique_ptr<GlyphFont> GlyphFont::open(const std::string& path) {
    auto engine = std::make_unique<Engine>();
    if (FT_Init_FreeType(&engine->library) != 0) {
        return nullptr;
    }
    // The font's own hinting instructions, run in full in both directions, whatever the
    // engine's default: the same glyphs on every machine.
    FT_UInt interpreter = TT_INTERPRETER_VERSION_35;
    FT_Property_Set(engine->library, "truetype", "interpreter-version", &interpreter);
    if (FT_New_Face(engine->library, path.c_str(), 0, &engine->face) != 0) {
        return nullptr;
    }
    return std::unique_ptr<GlyphFont>(new GlyphFont(std::move(engine)));
}

GlyphFont::Bitmap GlyphFont::draw(int code, double xPixels, int yPixels) const {
    Bitmap out;
    FT_Face face = engine_->face;
    const FT_UInt index = FT_Get_Char_Index(face, static_cast<FT_ULong>(code));
    if (index == 0 ||
        FT_Set_Char_Size(face, static_cast<FT_F26Dot6>(std::lround(xPixels * 64)),
                         static_cast<FT_F26Dot6>(yPixels) * 64, 72, 72) != 0 ||
        FT_Load_Glyph(face, index, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO) != 0) {
        return out;
    }
    const FT_Bitmap& bitmap = face->glyph->bitmap;
    out.width = static_cast<int>(bitmap.width);
    out.rows = static_cast<int>(bitmap.rows);
    out.top = face->glyph->bitmap_top;
    out.ink.resize(static_cast<std::size_t>(out.width * out.rows));
    for (int y = 0; y < out.rows; ++y) {
        const unsigned char* row = bitmap.buffer + static_cast<std::ptrdiff_t>(y) * bitmap.pitch;
        for (int x = 0; x < out.width; ++x) {
            out.ink[static_cast<std::size_t>(y * out.width + x)] =
                static_cast<char>((row[x / 8] >> (7 - x % 8)) & 1);
        }
    }
    return out;
}

QImage drawGlyph(int code, const GlyphFont& font) {
    Cell cell(std::max(narrowCharacterWidth(static_cast<char16_t>(code)), 1));
    const bool printable = code >= 0x20 && code != 0x7F && !(code >= 0x80 && code < 0xA0);
    if (!printable || code == 0x20 || code == 0xA0) {
        return toImage(cell);
    }
    // A character wider than its cell is drawn narrower rather than cut: the font engine
    // draws it at the widest size across that fits, full height, hinting its stems onto whole
    // pixels at that size. (Squeezing a drawn glyph afterwards drops columns, and with them
    // whole stems.)
    GlyphFont::Bitmap drawn;
    for (int quarters = kPixelSize * 4; quarters >= kNarrowestQuarters; --quarters) {
        drawn = font.draw(code, quarters / 4.0, kPixelSize);
        if (drawn.width <= cell.room()) {
            break;
        }
    }
    const int left = (cell.room() - drawn.width) / 2;
    const int top = kBaseline - drawn.top;
    for (int y = 0; y < drawn.rows; ++y) {
        for (int x = 0; x < drawn.width; ++x) {
            const int cx = left + x;
            const int cy = top + y;
            if (drawn.ink[static_cast<std::size_t>(y * drawn.width + x)] != 0 && cx >= 0 &&
                cx < cell.room() && cy >= 0 && cy < Cell::rows()) {
                cell.set(cx, cy);
            }
        }
    }
    thicken(cell, true);
    thicken(cell, false);
    return toImage(cell);
}

QImage drawIcon(int icon) {
    // Drawn on nothing, then flattened: see toIconPixels.
    QImage img(kIconSize, kIconSize, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, true);
    // Drawn a little smaller than the bitmap, so that its right column stays paper as a
    // glyph's does: the title that follows never touches the icon.
    p.translate(kIconSize / 2.0, kIconSize / 2.0);
    p.scale(22.0 / kIconSize, 22.0 / kIconSize);
    p.translate(-kIconSize / 2.0, -kIconSize / 2.0);
    const QRectF disc(1.5, 1.5, 21, 21);
    QFont mark(QStringLiteral("DejaVu Sans"));
    mark.setBold(true);
    mark.setPixelSize(17);
    auto centredMark = [&](const QString& text, const QColor& color) {
        p.setFont(mark);
        p.setPen(color);
        p.drawText(QRectF(0, 1, kIconSize, kIconSize), Qt::AlignCenter, text);
    };
    // Every shape has a dark rim, so that it stands out from a band of its own colour.
    switch (icon) {
        case 1: {  // Warning: a red stop sign with a white bar
            QPolygonF octagon;
            for (const auto& [x, y] : {std::pair{8.0, 1.0},
                                       {16.0, 1.0},
                                       {23.0, 8.0},
                                       {23.0, 16.0},
                                       {16.0, 23.0},
                                       {8.0, 23.0},
                                       {1.0, 16.0},
                                       {1.0, 8.0}}) {
                octagon << QPointF(x, y);
            }
            p.setPen(QPen(QColor(110, 0, 0), 1.5));
            p.setBrush(QColor(220, 0, 0));
            p.drawPolygon(octagon);
            p.setPen(Qt::NoPen);
            p.setBrush(kMarkWhite);
            p.drawRect(QRectF(5, 10, 14, 4));
            break;
        }
        case 2: {  // Attention: a yellow triangle with an exclamation mark
            QPolygonF triangle;
            triangle << QPointF(12, 1) << QPointF(23, 22) << QPointF(1, 22);
            p.setPen(QPen(Qt::black, 1.5));
            p.setBrush(QColor(255, 210, 0));
            p.drawPolygon(triangle);
            p.setPen(Qt::NoPen);
            p.setBrush(Qt::black);
            p.drawRect(QRectF(10.5, 7, 3, 8));
            p.drawRect(QRectF(10.5, 17, 3, 3));
            break;
        }
        case 3:  // Question: a blue disc with a question mark
            p.setPen(QPen(QColor(0, 30, 110), 1.5));
            p.setBrush(QColor(30, 90, 220));
            p.drawEllipse(disc);
            centredMark(QStringLiteral("?"), kMarkWhite);
            break;
        case 4:  // Contact: a teal disc with an "i", the sign for information
            p.setPen(QPen(QColor(0, 70, 70), 1.5));
            p.setBrush(QColor(0, 150, 150));
            p.drawEllipse(disc);
            centredMark(QStringLiteral("i"), kMarkWhite);
            break;
        case 5: {  // Clip: a paper clip, two nested loops of wire
            QPainterPath wire;
            wire.moveTo(14, 8);
            wire.lineTo(14, 16);
            wire.arcTo(QRectF(9, 13.5, 5, 5), 0, -180);
            wire.lineTo(9, 5.5);
            wire.arcTo(QRectF(9, 1.5, 10, 8), 180, -180);
            wire.lineTo(19, 18);
            wire.arcTo(QRectF(4, 13.5, 15, 9), 0, -180);
            wire.lineTo(4, 8);
            // Dark edges around a light core: the wire shows on black and on white alike.
            p.setBrush(Qt::NoBrush);
            p.setPen(QPen(QColor(40, 40, 50), 3.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.drawPath(wire);
            p.setPen(QPen(QColor(200, 205, 215), 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.drawPath(wire);
            break;
        }
        default:
            break;
    }
    p.end();
    return toIconPixels(img);
}

}  // namespace orvanta::glyphgen
