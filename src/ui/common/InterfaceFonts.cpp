#include "ui/common/InterfaceFonts.h"

#include <QFontDatabase>
#include <QStringList>

#include "text/LanguageText.h"

namespace orvanta {

bool languageHasFont(LanguageId language) {
    switch (language) {
        case LanguageId::Japanese:
            return !QFontDatabase::families(QFontDatabase::Japanese).isEmpty();
        case LanguageId::ChineseSimplified:
            return !QFontDatabase::families(QFontDatabase::SimplifiedChinese).isEmpty();
        default:
            return true;
    }
}

std::optional<Text> fallBackWithoutFont() {
    const LanguageId language = interfaceLanguage();
    if (languageHasFont(language)) {
        return std::nullopt;
    }
    setInterfaceLanguage(LanguageId::English);
    return language == LanguageId::Japanese ? Text::NoJapaneseFont : Text::NoChineseFont;
}

}  // namespace orvanta
