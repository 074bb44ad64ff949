// Placeholder until the table lands: every identifier is unknown.
#include "app/LanguageText.h"

#include <atomic>

namespace orvanta {
namespace {
std::atomic<int> gLanguage{-1};
}

LanguageId interfaceLanguage() {
    int v = gLanguage.load();
    if (v < 0) {
        v = static_cast<int>(systemLanguage());
        gLanguage.store(v);
    }
    return static_cast<LanguageId>(v);
}

void setInterfaceLanguage(LanguageId language) { gLanguage.store(static_cast<int>(language)); }

const std::string& LanguageText(int id, LanguageId) {
    (void)id;
    static const std::string kError = "ERROR!";
    return kError;
}

const std::string& LanguageText(int id) { return LanguageText(id, interfaceLanguage()); }

}  // namespace orvanta
