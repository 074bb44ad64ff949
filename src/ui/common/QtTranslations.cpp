#include "ui/common/QtTranslations.h"

#include <QLibraryInfo>

namespace orvanta {

std::unique_ptr<QTranslator> loadQtTranslation(LanguageId language) {
    QString name;
    switch (language) {
        case LanguageId::Japanese:
            name = QStringLiteral("qtbase_ja");
            break;
        case LanguageId::ChineseSimplified:
            name = QStringLiteral("qtbase_zh_CN");
            break;
        default:
            return nullptr;
    }
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(name, QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        return nullptr;
    }
    return translator;
}

}  // namespace orvanta
