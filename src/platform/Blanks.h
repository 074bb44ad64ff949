#pragma once
// Spaces and tabs around a hand-written value ("Member = 10.0.0.5 ", " 5 ") are not part of it.

#include <string_view>

namespace orvanta {

inline std::string_view trimmedBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

}  // namespace orvanta
