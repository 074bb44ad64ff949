// The two small dialogs of the Discovery tab: what they return and how they guide typing.

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
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

TEST(ConfigureManually, APartAbove255IsRefusedInEachLanguageAndNothingIsReturned) {
    struct Case {
        LanguageId language;
        const char* ip[4];
        long long refused;
    };
    const Case cases[] = {
        {LanguageId::English, {"127", "0", "0", "300"}, 300},
        {LanguageId::Japanese, {"256", "0", "0", "1"}, 256},
        {LanguageId::ChineseSimplified, {"10", "999", "0", "1"}, 999},
    };
    for (const Case& c : cases) {
        ShownAddPj d;
        setInterfaceLanguage(c.language);
        for (int i = 0; i < 4; ++i) {
            box(d.dialog, ("ipPart" + std::to_string(i + 1)).c_str())
                ->setText(QString::fromLatin1(c.ip[i]));
        }
        d.dialog.findChild<QPushButton*>(QStringLiteral("okButton"))->click();
        EXPECT_NE(d.dialog.result(), QDialog::Accepted) << c.refused;
        EXPECT_TRUE(d.dialog.isVisible());
        const std::string expected = formatText(Text::IpPartOutOfRange, {c.refused});
        EXPECT_EQ(d.prompt.texts(), std::vector<std::string>{expected});
        EXPECT_NE(expected.find(std::to_string(c.refused)), std::string::npos) << expected;
        if (c.language != LanguageId::English) {
            EXPECT_NE(
                expected,
                formatText(languageText(Text::IpPartOutOfRange, LanguageId::English), {c.refused}));
        }
        EXPECT_EQ(d.dialog.entered().address, 0u);
    }
    setInterfaceLanguage(LanguageId::English);
}

TEST(ConfigureManually, DotsAndWholeAddressesFillThePartsAsTypedOrPasted) {
    struct Case {
        const char* into;
        const char* typed;
        bool paste;
        const char* parts[4];
        const char* focus;
    };
    const Case cases[] = {
        {"ipPart1", "127.0.0.5", false, {"127", "0", "0", "5"}, "ipPart4"},
        {"ipPart1", "10.20.30.40", false, {"10", "20", "30", "40"}, "ipPart4"},
        {"ipPart1", "1921680", false, {"192", "168", "0", ""}, "ipPart3"},
        {"ipPart1", "10.", false, {"10", "", "", ""}, "ipPart2"},
        {"ipPart1", "127.0.0.5", true, {"127", "0", "0", "5"}, "ipPart4"},
        {"ipPart3", "10.20", true, {"", "", "10", "20"}, "ipPart4"},
        {"ipPart1", " 192.168.0.300\n", true, {"192", "168", "0", "300"}, "ipPart4"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        ShownAddPj d;
        if (c.paste) {
            QApplication::clipboard()->setText(QString::fromLatin1(c.typed));
            box(d.dialog, c.into)->setFocus();
            QTest::keyClick(box(d.dialog, c.into), Qt::Key_V, Qt::ControlModifier);
        } else {
            // Each key goes where the keyboard focus is by then, as the operator's would.
            box(d.dialog, c.into)->setFocus();
            for (const char* k = c.typed; *k != '\0'; ++k) {
                QTest::keyClick(QApplication::focusWidget(), *k);
            }
        }
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(box(d.dialog, ("ipPart" + std::to_string(i + 1)).c_str())->text(),
                      QString::fromLatin1(c.parts[i]))
                << "part " << i + 1;
        }
        EXPECT_TRUE(box(d.dialog, c.focus)->hasFocus()) << c.focus;
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
