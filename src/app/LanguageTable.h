#pragma once
// The constant language table behind LanguageText: one row per text identifier.

namespace orvanta {

inline constexpr int kFirstLanguageTextId = 1000;
inline constexpr int kLastLanguageTextId = 1147;

// The texts of one identifier as UTF-8. A null column repeats the column before it: a null
// Japanese text means "the English text", a null Chinese text means "the Japanese text" (which
// may itself be the English one). A null English text marks an identifier without entry.
struct LanguageRow {
    const char* english;
    const char* japanese;
    const char* chinese;
};

// The row of `id`, or nullptr when `id` is outside kFirstLanguageTextId..kLastLanguageTextId.
const LanguageRow* languageRow(int id);

}  // namespace orvanta
