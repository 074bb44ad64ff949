// Qt's own buttons speak the interface language.

#include <gtest/gtest.h>

#include <QDialogButtonBox>
#include <QPushButton>

#include "support/UiTestSupport.h"
#include "ui/common/QtTranslations.h"

namespace orvanta {
namespace {

TEST(QtTranslations, StandardButtonsFollowTheInterfaceLanguage) {
    test::app();
    struct Case {
        LanguageId language;
        const char* cancel;  // the Cancel button's text, nullptr: Qt's English
    };
    const Case cases[] = {
        {LanguageId::English, nullptr},
        {LanguageId::Japanese, "キャンセル"},
        {LanguageId::ChineseSimplified, "取消"},
    };
    for (const Case& c : cases) {
        const auto translator = loadQtTranslation(c.language);
        ASSERT_EQ(translator != nullptr, c.cancel != nullptr)
            << "language " << static_cast<unsigned>(c.language)
            << ": is Debian's qt6-translations-l10n installed?";
        if (translator) {
            QCoreApplication::installTranslator(translator.get());
        }
        QDialogButtonBox box(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
        const QString text = box.button(QDialogButtonBox::Cancel)->text().remove(QLatin1Char('&'));
        EXPECT_EQ(text, c.cancel ? QString::fromUtf8(c.cancel) : QStringLiteral("Cancel"));
        // The translator removes itself from the application when it goes.
    }
}

}  // namespace
}  // namespace orvanta
