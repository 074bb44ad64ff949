#pragma once
// What the glyph generator draws: one projector glyph per code 0x20..0xFF from a font file,
// and the five title icons drawn by code. Kept apart from main() so the drawing reads plainly.

#include <QImage>
#include <QString>

namespace orvanta::glyphgen {

inline constexpr int kGlyphHeight = 24;
inline constexpr int kIconSize = 24;

// The glyph of `code` (Latin-1), exactly narrowCharacterWidth(code) wide and 24 high, black
// ink on white paper and nothing else; the bottom row stays paper. Codes without a printable
// Latin-1 character (0x7F..0x9F) are blank. `family` is a family loaded from the font file.
QImage drawGlyph(int code, const QString& family);

// Icon 1..5 ("Warning", "Attention", "Question", "Contact", "Clip"), 24 x 24, opaque.
QImage drawIcon(int icon);

}  // namespace orvanta::glyphgen
