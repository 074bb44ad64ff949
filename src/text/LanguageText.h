#pragma once
// Every text the operator sees, by typed key (TextId.h) or number, in the interface language.

#include <initializer_list>
#include <string>
#include <string_view>

#include "platform/Environment.h"
#include "text/TextId.h"

namespace orvanta {

// The interface language, chosen once per run from the locale (first call) unless a test
// or the command line sets it before.
LanguageId interfaceLanguage();
void setInterfaceLanguage(LanguageId language);
// The Windows code page that 8-bit texts of the interface language's sites are written in:
// 932 for Japanese, 936 for Simplified Chinese, 1252 otherwise.
int interfaceCodePage();

// UTF-8 text of `id` in the interface language; "ERROR!" for an identifier without entry.
const std::string& languageText(int id);
// The same in a given language (any value other than Japanese or Simplified Chinese is English).
const std::string& languageText(int id, LanguageId language);

// Fills the "%d" placeholders of a text in order with `numbers` (decimal). Only "%d" is special:
// a placeholder without a number stays "%d" and surplus numbers are ignored, so a text that
// does not match its caller never reads past the arguments the way printf would.
std::string formatText(std::string_view pattern, std::initializer_list<long long> numbers);
// formatText(languageText(id), numbers), e.g. formatText(Text::ConfirmDeleteAddress, {192, 168,
// 0, 10}).
std::string formatText(int id, std::initializer_list<long long> numbers);

// The same by typed key, which is how new code names its texts.
inline const std::string& languageText(Text key) {
    return languageText(static_cast<int>(key));
}
inline const std::string& languageText(Text key, LanguageId language) {
    return languageText(static_cast<int>(key), language);
}
inline std::string formatText(Text key, std::initializer_list<long long> numbers) {
    return formatText(static_cast<int>(key), numbers);
}

}  // namespace orvanta
