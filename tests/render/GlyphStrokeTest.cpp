// The project's glyph and icon files as a reader sees them: every stem of a letter is there,
// no stroke is one pixel thick beside the two or three of the rest, each glyph keeps the
// strokes of the font outline it was drawn from; an icon's white is only the paper around its
// shape, and the preview shows the message background there.

#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "message/MessageOptions.h"
#include "render/Image.h"
#include "render/PreviewInput.h"
#include "render/RenderTestSupport.h"

namespace orvanta {
namespace {

// The source of the committed glyphs (Debian package fonts-dejavu-core).
constexpr const char* kFontFile = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";

struct InkRun {
    int from;
    int to;  // one past
};

std::vector<InkRun> runsOf(const std::vector<bool>& line) {
    std::vector<InkRun> out;
    int start = -1;
    for (int i = 0; i <= static_cast<int>(line.size()); ++i) {
        const bool on = i < static_cast<int>(line.size()) && line[static_cast<std::size_t>(i)];
        if (on && start < 0) {
            start = i;
        } else if (!on && start >= 0) {
            out.push_back({start, i});
            start = -1;
        }
    }
    return out;
}

// A committed glyph as rows of ink.
struct Glyph {
    int width = 0;
    std::vector<std::vector<bool>> rows;

    bool ink(int x, int y) const {
        return x >= 0 && x < width && y >= 0 && y < static_cast<int>(rows.size()) &&
               rows[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)];
    }
    int strokes(int y) const {
        return y >= 0 && y < static_cast<int>(rows.size())
                   ? static_cast<int>(runsOf(rows[static_cast<std::size_t>(y)]).size())
                   : 0;
    }
};

Glyph loadGlyph(int code) {
    char name[40];
    std::snprintf(name, sizeof name, "/mfont/0x00%x.bmp", code);
    const auto image = render::loadImage(test::dataFolder() + name);
    Glyph glyph;
    if (!image) {
        ADD_FAILURE() << name << " is missing";
        return glyph;
    }
    glyph.width = image->width();
    for (int y = 0; y < image->height(); ++y) {
        std::vector<bool> row;
        for (int x = 0; x < image->width(); ++x) {
            row.push_back(render::pixelAt(*image, x, y) == 0);
        }
        glyph.rows.push_back(row);
    }
    return glyph;
}

// Codes with a visible glyph.
std::vector<int> inkedCodes() {
    std::vector<int> codes;
    for (int code = 0x21; code <= 0xFF; ++code) {
        if (code < 0x7F || code > 0xA0) {
            codes.push_back(code);
        }
    }
    return codes;
}

// Across the middle of each letter the strokes a reader counts: the three stems of "m" (the one
// lost made "meeting" read "neeting"), the four of "w" and "W", and so on.
TEST(GlyphFiles, KeepEveryStemOfTheLetters) {
    struct Case {
        char ch;
        int strokes;
    } cases[] = {{'m', 3}, {'n', 2}, {'u', 2}, {'w', 4}, {'W', 4},
                 {'M', 4}, {'N', 3}, {'U', 2}, {'"', 2}, {'#', 2}};
    for (const Case& c : cases) {
        const Glyph glyph = loadGlyph(static_cast<unsigned char>(c.ch));
        int top = -1;
        int bottom = -1;
        for (int y = 0; y < static_cast<int>(glyph.rows.size()); ++y) {
            if (glyph.strokes(y) > 0) {
                top = top < 0 ? y : top;
                bottom = y;
            }
        }
        EXPECT_EQ(glyph.strokes((top + bottom) / 2), c.strokes) << c.ch;
    }
}

// A stroke one pixel thick across (a stem or a slant one pixel wide, a bar one pixel high)
// looks light beside the two or three pixels of the others. A few such pixels are where
// strokes meet; more than an eighth of a glyph's ink is a thin stroke.
TEST(GlyphFiles, HaveNoStrokeOnePixelThick) {
    for (const int code : inkedCodes()) {
        const Glyph g = loadGlyph(code);
        auto run = [&g](int x, int y, int dx, int dy) {
            int length = 1;
            for (int k = 1; g.ink(x - k * dx, y - k * dy); ++k) {
                ++length;
            }
            for (int k = 1; g.ink(x + k * dx, y + k * dy); ++k) {
                ++length;
            }
            return length;
        };
        int ink = 0;
        int thin = 0;
        for (int y = 0; y < static_cast<int>(g.rows.size()); ++y) {
            for (int x = 0; x < g.width; ++x) {
                if (!g.ink(x, y)) {
                    continue;
                }
                ++ink;
                const int across = run(x, y, 1, 0);
                const int down = run(x, y, 0, 1);
                // A slant drawn in steps of two pixels is one pixel high at each step: only a
                // bar at least three pixels long counts as one pixel high.
                if (across == 1 || (down == 1 && across >= 3)) {
                    ++thin;
                }
            }
        }
        EXPECT_GT(ink, 0) << std::hex << code;
        EXPECT_LE(thin * 8, ink) << "code 0x" << std::hex << code << ": " << std::dec << thin
                                 << " of " << ink << " ink pixels in one-pixel strokes";
    }
}

// Against the font the glyphs were drawn from, outlined large without hinting: wherever the
// outline has separate strokes (far enough apart to stay so when a wide character is narrowed
// to its cell), the glyph has at least as many there. A glyph may have more where hinting
// moved a join by a row; it never has fewer over three rows running.
TEST(GlyphFiles, KeepTheStrokesOfTheFontOutline) {
    if (!std::filesystem::exists(kFontFile)) {
        GTEST_SKIP() << kFontFile << " is not installed";
    }
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    ASSERT_EQ(FT_Init_FreeType(&library), 0);
    ASSERT_EQ(FT_New_Face(library, kFontFile, 0, &face), 0);
    constexpr int kLarge = 10;                               // outline pixels to a glyph pixel
    ASSERT_EQ(FT_Set_Pixel_Sizes(face, 0, 17 * kLarge), 0);  // the glyphs' size, baseline row 18
    for (const int code : inkedCodes()) {
        const Glyph glyph = loadGlyph(code);
        ASSERT_EQ(FT_Load_Char(face, static_cast<FT_ULong>(code),
                               FT_LOAD_NO_HINTING | FT_LOAD_RENDER | FT_LOAD_TARGET_MONO),
                  0);
        const FT_Bitmap& outline = face->glyph->bitmap;
        const int top = 18 * kLarge - face->glyph->bitmap_top;
        // How much a character wider than its cell (less the paper column) is narrowed.
        const double squeeze =
            std::min(1.0, (glyph.width - 1) * kLarge / static_cast<double>(outline.width));
        // Strokes of the outline at large row `row`; -1 where two are so close that narrowing
        // may or may not join them.
        auto outlineStrokes = [&](int row) {
            const int r = row - top;
            std::vector<bool> line(outline.width, false);
            for (unsigned x = 0; r >= 0 && r < static_cast<int>(outline.rows) && x < outline.width;
                 ++x) {
                line[x] = ((outline.buffer[r * outline.pitch + x / 8] >> (7 - x % 8)) & 1) != 0;
            }
            const std::vector<InkRun> runs = runsOf(line);
            int strokes = runs.empty() ? 0 : 1;
            for (std::size_t i = 1; i < runs.size(); ++i) {
                const double gap = (runs[i].from - runs[i - 1].to) * squeeze / kLarge;
                if (gap >= 1.5) {
                    ++strokes;
                } else if (gap >= 0.7) {
                    return -1;
                }
            }
            return strokes;
        };
        for (int y = 0; y < 23; ++y) {
            // Only rows where the outline is the same a little above and below.
            const int middle = static_cast<int>(std::lround((y + 0.5) * kLarge));
            const int expected = outlineStrokes(middle);
            if (expected < 0 || outlineStrokes(middle - 7) != expected ||
                outlineStrokes(middle + 7) != expected) {
                continue;
            }
            const bool lost = glyph.strokes(y - 1) < expected && glyph.strokes(y) < expected &&
                              glyph.strokes(y + 1) < expected;
            EXPECT_FALSE(lost) << "code 0x" << std::hex << code << std::dec << " row " << y << ": "
                               << glyph.strokes(y) << " strokes, the outline has " << expected;
        }
    }
    FT_Done_Face(face);
    FT_Done_FreeType(library);
}

// The icons' pure white is paper: all of it reaches the edge of the bitmap (none inside the
// shape, where the band would show through the mark); the corners are paper, and so is the
// right column, so that the title after the icon never touches it.
TEST(IconFiles, AreShapesOnWhitePaper) {
    for (int icon = 1; icon <= 5; ++icon) {
        const auto image = render::GlyphSet::load(test::dataFolder(), icon).icon;
        ASSERT_TRUE(image) << icon;
        const int w = image->width();
        const int h = image->height();
        auto paper = [&](int x, int y) { return render::pixelAt(*image, x, y) == 0xFFFFFF; };
        for (const auto& [x, y] : {std::pair{0, 0}, {0, h - 1}}) {
            EXPECT_TRUE(paper(x, y)) << "icon " << icon << " corner " << x << "," << y;
        }
        for (int y = 0; y < h; ++y) {
            EXPECT_TRUE(paper(w - 1, y)) << "icon " << icon << " right column, row " << y;
        }
        std::vector<char> reached(static_cast<std::size_t>(w * h), 0);
        std::vector<std::pair<int, int>> todo;
        for (int x = 0; x < w; ++x) {
            todo.emplace_back(x, 0);
            todo.emplace_back(x, h - 1);
        }
        for (int y = 0; y < h; ++y) {
            todo.emplace_back(0, y);
            todo.emplace_back(w - 1, y);
        }
        while (!todo.empty()) {
            const auto [x, y] = todo.back();
            todo.pop_back();
            if (x < 0 || y < 0 || x >= w || y >= h || !paper(x, y) ||
                reached[static_cast<std::size_t>(y * w + x)] != 0) {
                continue;
            }
            reached[static_cast<std::size_t>(y * w + x)] = 1;
            todo.insert(todo.end(), {{x + 1, y}, {x - 1, y}, {x, y + 1}, {x, y - 1}});
        }
        int shape = 0;
        int enclosed = 0;
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                shape += paper(x, y) ? 0 : 1;
                enclosed += paper(x, y) && reached[static_cast<std::size_t>(y * w + x)] == 0;
            }
        }
        EXPECT_EQ(enclosed, 0) << "icon " << icon << ": white pixels inside the shape";
        EXPECT_GT(shape, w * h / 3) << icon;
    }
}

// On every message background the preview draws, the icon sits on the band: its paper takes
// the band's colour (no white square), its shape stays as drawn, at both sizes.
TEST(Renderer, DrawsTheIconOnTheMessageBackground) {
    struct Case {
        std::uint8_t background;  // the message background byte
        Rgb band;
    } cases[] = {{0x20, 0xC0C0C0}, {0x40, 0x0000FF}, {0, 0x000000},
                 {1, 0xFF0000},    {2, 0xFFFF00},    {7, 0xFFFFFF}};
    for (int icon = 1; icon <= 5; ++icon) {
        const render::GlyphSet glyphs = test::projectGlyphs(icon);
        ASSERT_TRUE(glyphs.icon);
        const QImage& file = *glyphs.icon;
        for (const Case& c : cases) {
            for (int size : {0, 1}) {
                Message m = test::previewMessage(u"Hi", u"x", MessageStyle::Box, size);
                m.icon = static_cast<std::uint8_t>(icon);
                m.options.background = c.background;
                const render::PreviewInput in = render::makePreviewInput(m);
                const QImage title = render::MessageRenderer(in, glyphs).renderTitle().image;
                const int s = size + 1;
                for (int y = 0; y < file.height() * s; ++y) {
                    for (int x = 0; x < file.width() * s; ++x) {
                        const Rgb drawn = render::pixelAt(file, x / s, y / s);
                        const Rgb expected = drawn == 0xFFFFFF ? c.band : drawn;
                        ASSERT_EQ(render::pixelAt(title, x, y), expected)
                            << "icon " << icon << " background " << int{c.background} << " size "
                            << size << " at " << x << "," << y;
                    }
                }
            }
        }
    }
}

}  // namespace
}  // namespace orvanta
