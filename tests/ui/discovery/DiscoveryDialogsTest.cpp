// The two small dialogs of the Discovery tab: what they return and how they guide typing.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "support/ScriptedPrompt.h"
#include "support/UiTestSupport.h"
#include "text/LanguageText.h"
#include "ui/discovery/ManualEntryDialog.h"
#include "ui/discovery/ProjectorPasswordDialog.h"

using namespace orvanta;

namespace {

QLineEdit* box(QWidget& dialog, const char* name) {
    return dialog.findChild<QLineEdit*>(QString::fromLatin1(name));
}

void typeInto(QWidget& dialog, const char* name, const char* typed) {
    QLineEdit* edit = box(dialog, name);
    ASSERT_NE(edit, nullptr) << name;
    edit->setFocus();
    QTest::keyClicks(edit, QString::fromUtf8(typed));
}

struct ShownAddPj {
    bool appReady = (test::app(), true);  // before any widget
    ScriptedPrompt prompt;
    ManualEntryDialog dialog{prompt};
    ShownAddPj() {
        setInterfaceLanguage(LanguageId::English);
        dialog.show();
        dialog.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&dialog));
    }
};

}  // namespace

TEST(ConfigureManually, ReturnsWhatWasTypedAndRefusesAnEmptyAddress) {
    struct Case {
        const char* ip[4];
        const char* mac[6];
        const char* password;
        bool accepted;
        std::uint32_t address;
        const char* macText;
    };
    const Case cases[] = {
        {{"192", "168", "0", "10"},
         {"00", "1a", "", "3", "44", "55"},
         "pw",
         true,
         0xC0A8000A,
         "00-1a--3-44-55"},
        {{"", "", "", ""}, {"", "", "", "", "", ""}, "", false, 0, ""},
        {{"0", "0", "0", "0"}, {"", "", "", "", "", ""}, "", false, 0, ""},
        {{"", "", "", "7"}, {"", "", "", "", "", ""}, "", true, 7, "-----"},
    };
    for (const Case& c : cases) {
        ShownAddPj d;
        for (int i = 0; i < 4; ++i) {
            typeInto(d.dialog, ("ipPart" + std::to_string(i + 1)).c_str(), c.ip[i]);
        }
        for (int i = 0; i < 6; ++i) {
            typeInto(d.dialog, ("macPart" + std::to_string(i + 1)).c_str(), c.mac[i]);
        }
        typeInto(d.dialog, "password", c.password);
        d.dialog.findChild<QPushButton*>(QStringLiteral("okButton"))->click();
        EXPECT_EQ(d.dialog.result() == QDialog::Accepted, c.accepted) << c.macText;
        if (c.accepted) {
            const ProjectorRecord expected{"", c.address, 1, c.password, c.macText};
            EXPECT_EQ(d.dialog.entered(), expected);
            EXPECT_TRUE(d.prompt.texts().empty());
        } else {
            EXPECT_TRUE(d.dialog.isVisible());
            EXPECT_EQ(d.prompt.texts(), std::vector<std::string>{"Please input IP Address."});
        }
    }
}

TEST(ConfigureManually, SecondCharacterOfAMacBoxMovesOnExceptInTheLast) {
    ShownAddPj d;
    for (int k = 1; k <= 6; ++k) {
        const std::string name = "macPart" + std::to_string(k);
        typeInto(d.dialog, name.c_str(), "a");
        EXPECT_TRUE(box(d.dialog, name.c_str())->hasFocus()) << name << " after one character";
        QTest::keyClicks(box(d.dialog, name.c_str()), QStringLiteral("b"));
        const std::string expected = k < 6 ? "macPart" + std::to_string(k + 1) : name;
        EXPECT_TRUE(box(d.dialog, expected.c_str())->hasFocus()) << name;
    }
}

TEST(PasswordDialogs, ThirtyThirdCharacterIsRefused) {
    test::app();
    ShownAddPj manual;
    ProjectorPasswordDialog password(QStringLiteral("[ 1.2.3.4 ]"), 0, "");
    const std::string typed(33, 'x');
    for (QWidget* dialog :
         {static_cast<QWidget*>(&manual.dialog), static_cast<QWidget*>(&password)}) {
        typeInto(*dialog, "password", typed.c_str());
        EXPECT_EQ(box(*dialog, "password")->text().size(), 32);
        EXPECT_EQ(box(*dialog, "password")->echoMode(), QLineEdit::Password);
    }
    EXPECT_EQ(password.password(), std::string(32, 'x'));
}

TEST(PasswordDialog, ShowsTheHeadingAndReturnsTheFlagUnchanged) {
    test::app();
    setInterfaceLanguage(LanguageId::English);
    ProjectorPasswordDialog dialog(
        QString::fromStdString(formatText(Text::AddressHeading, {192, 168, 0, 10})), 1, "old");
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Password"));
    EXPECT_EQ(dialog.findChild<QLabel*>(QStringLiteral("heading"))->text(),
              QStringLiteral("[ 192.168.0.10 ]"));
    EXPECT_EQ(box(dialog, "password")->text(), QStringLiteral("old"));
    box(dialog, "password")->setText(QStringLiteral("new"));
    EXPECT_EQ(dialog.authentication(), 1);
    EXPECT_EQ(dialog.password(), "new");
}
