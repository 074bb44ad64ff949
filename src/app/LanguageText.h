#pragma once
// Every text the operator sees, by identifier (1000..1147), in the interface language.

#include <string>

#include "platform/Environment.h"

namespace orvanta {

// The interface language, chosen once per run from the locale (first call) unless a test
// or the command line sets it before.
LanguageId interfaceLanguage();
void setInterfaceLanguage(LanguageId language);

// UTF-8 text of `id` in the interface language; "ERROR!" for an identifier without entry.
const std::string& LanguageText(int id);
// The same in a given language.
const std::string& LanguageText(int id, LanguageId language);

}  // namespace orvanta
