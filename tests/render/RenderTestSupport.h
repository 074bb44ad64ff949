#pragma once
// Messages and glyphs for the renderer's tests: the project's own glyphs from data/.

#include <string>
#include <string_view>

#include "message/MessageOptions.h"
#include "render/MessageRenderer.h"

namespace orvanta::test {

inline std::string dataFolder() {
    return std::string(ORVANTA_TEST_SOURCE_DIR) + "/data";
}

inline render::GlyphSet projectGlyphs(int icon = 0) {
    return render::GlyphSet::load(dataFolder(), icon);
}

// White text on the half-transparent background, the editor's defaults, unless told otherwise.
inline Message previewMessage(std::u16string_view title, std::u16string_view body,
                              MessageStyle style, int size = 0, Rgb color = 0xFFFFFF,
                              Rgb background = 0xC0C0C0) {
    Message m;
    m.title = RichText(title, color, background);
    m.body = RichText(body, color, background);
    m.options.style = static_cast<std::uint8_t>(style);
    m.options.characterSize = static_cast<std::uint8_t>(size);
    return m;
}

}  // namespace orvanta::test
