#pragma once
// The constant language table behind LanguageText: one row per text identifier.

#include <cstddef>
#include <optional>
#include <span>

#include "text/TextId.h"

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

// The row of `id`: an original text (kFirstLanguageTextId..kLastLanguageTextId) or one of the
// keys added since (see TextId.h); nullptr for a number that is neither.
const LanguageRow* languageRow(int id);

// Every key added since the original texts, in increasing order.
struct AddedTextRow {
    Text key;
    LanguageRow texts;
};
std::span<const AddedTextRow> addedTextRows();
// Where `id` stands in addedTextRows(), if it is an added key.
std::optional<std::size_t> addedTextPosition(int id);

}  // namespace orvanta
