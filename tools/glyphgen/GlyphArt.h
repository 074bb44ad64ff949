#pragma once
// What the glyph generator draws: one projector glyph per code 0x20..0xFF from a font file,
// and the five title icons drawn by code. Kept apart from main() so the drawing reads plainly.

#include <QImage>
#include <QString>
#include <memory>
#include <string>
#include <vector>

namespace orvanta::glyphgen {

inline constexpr int kGlyphHeight = 24;
inline constexpr int kIconSize = 24;

// One font file opened with the font engine, which draws its outlines hinted at any size.
class GlyphFont {
  public:
    // Nothing when the file cannot be read as a font.
    static std::unique_ptr<GlyphFont> open(const std::string& path);
    ~GlyphFont();
    GlyphFont(const GlyphFont&) = delete;
    GlyphFont& operator=(const GlyphFont&) = delete;

    struct Bitmap {
        int width = 0;
        int rows = 0;
        int top = 0;            // rows above the baseline
        std::vector<char> ink;  // rows x width
    };
    // The character `code` drawn in one bit per pixel, hinted for a size of `xPixels` across
    // and `yPixels` up; empty when the font has no such character.
    Bitmap draw(int code, double xPixels, int yPixels) const;

  private:
    struct Engine;
    explicit GlyphFont(std::unique_ptr<Engine> engine);
    std::unique_ptr<Engine> engine_;
};

// The glyph of `code` (Latin-1), exactly narrowCharacterWidth(code) wide and 24 high, black
// ink on white paper and nothing else; the bottom row and the right column stay paper. Every
// stroke is at least two pixels thick where the cell has room, however much a wide character
// is narrowed to fit. Codes without a printable Latin-1 character (0x7F..0x9F) are blank.
QImage drawGlyph(int code, const GlyphFont& font);

// The paper of an icon: pure white, which the preview shows in the colour behind the icon.
inline constexpr QRgb kIconPaper = 0xFFFFFFFF;

// Icon 1..5 ("Warning", "Attention", "Question", "Contact", "Clip"), 24 x 24: the shape in
// opaque colours that are never pure white, on pure white paper; the right column is paper.
QImage drawIcon(int icon);

}  // namespace orvanta::glyphgen
