#pragma once
// Whether the interface language can be shown with the fonts installed: without a font for
// its script, Japanese or Chinese texts would be drawn as boxes.

#include <optional>

#include "platform/Environment.h"
#include "text/TextId.h"

namespace orvanta {

// True when some installed font covers the script of `language` (English always is).
bool languageHasFont(LanguageId language);

// At start, before any text is shown: when the interface language has no font, switches the
// interface to English and returns the notice that says so (in English, the language it now
// shows); nothing when the language can be shown.
std::optional<Text> fallBackWithoutFont();

}  // namespace orvanta
