#pragma once
// An enumeration written as words (in files, in answers, on the command line) keeps one table
// of its values and their words: the word of a value and the value of a word are read from
// the same rows, so the writer and the reader cannot drift apart.

#include <cstddef>
#include <optional>
#include <string_view>

namespace orvanta {

template <typename Enum>
struct EnumWord {
    Enum value;
    std::string_view word;
};

// The word of `value`; `fallback` for a value the table does not hold.
template <typename Enum, std::size_t N>
constexpr std::string_view wordOf(const EnumWord<Enum> (&table)[N], Enum value,
                                  std::string_view fallback = {}) {
    for (const EnumWord<Enum>& row : table) {
        if (row.value == value) {
            return row.word;
        }
    }
    return fallback;
}

// The value written as `word` (compared exactly); none for a word the table does not hold.
template <typename Enum, std::size_t N>
constexpr std::optional<Enum> valueOf(const EnumWord<Enum> (&table)[N], std::string_view word) {
    for (const EnumWord<Enum>& row : table) {
        if (row.word == word) {
            return row.value;
        }
    }
    return std::nullopt;
}

}  // namespace orvanta
