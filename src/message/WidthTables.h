#pragma once
// Pixel widths of the projector's bitmap font, for the automatic line breaking and the line
// count. Two fonts exist: the narrow set (Latin-1 only) and the wide set (Latin, Greek,
// Cyrillic and Vietnamese Latin); the projector's character set decides which one applies.

#include <cstdint>

namespace orvanta {

inline constexpr int kNoWidth = -1;

// Narrow set: indexed by the low byte of the unit, so every unit has a width (0 for controls).
int narrowCharacterWidth(char16_t unit);
// Wide set: the width of a unit in U+0000..U+04FF or U+1E00..U+1EFF, kNoWidth for any other.
// Control characters have width 0.
int wideCharacterWidth(char16_t unit);

}  // namespace orvanta
