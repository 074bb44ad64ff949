#pragma once
// Qt's own texts (standard buttons, file dialogs, context menus) in the interface language,
// from the translations the system's Qt ships.

#include <QTranslator>
#include <memory>

#include "platform/Environment.h"

namespace orvanta {

// The loaded qtbase translation for `language`; nothing for English or when the system has
// none (Qt then keeps its English texts).
std::unique_ptr<QTranslator> loadQtTranslation(LanguageId language);

}  // namespace orvanta
