#pragma once
// The core's own rich text: what the title and message editors hold, without any widget.
// One entry per UTF-16 code unit, each with its text and background color as RGB, exactly
// as an editor or a message file gives them. Paragraphs end in CR (U+000D).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orvanta {

using Rgb = std::uint32_t;  // 0xRRGGBB

struct RichUnit {
    char16_t ch = 0;
    Rgb color = 0xFFFFFF;
    Rgb background = 0xC0C0C0;

    bool operator==(const RichUnit&) const = default;
};

struct RichText {
    std::vector<RichUnit> units;

    RichText() = default;
    RichText(std::u16string_view text, Rgb color, Rgb background) {
        append(text, color, background);
    }

    void append(std::u16string_view text, Rgb color, Rgb background) {
        for (char16_t c : text) {
            units.push_back({c, color, background});
        }
    }
    std::u16string text() const {
        std::u16string out;
        out.reserve(units.size());
        for (const auto& u : units) {
            out.push_back(u.ch);
        }
        return out;
    }
    size_t size() const { return units.size(); }
    bool empty() const { return units.empty(); }

    bool operator==(const RichText&) const = default;
};

}  // namespace orvanta
