// The Edit tab's dialogs: "Advanced", "Color" and "Not Supported Character".

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <functional>

#include "support/ScriptedPrompt.h"
#include "support/UiTestSupport.h"
#include "text/LanguageText.h"
#include "ui/dialogs/PaletteDialog.h"
#include "ui/edit/AdvancedOptionsDialog.h"
#include "ui/edit/UnsupportedCharactersDialog.h"

using namespace orvanta;

namespace {

const ProjectorCapabilities kUnqueried{ProjectorCapabilities::kUnknownLevelB, 0};
const ProjectorCapabilities kFullProjector{4, 7};

QComboBox* list(QDialog& d, const char* name) {
    auto* c = d.findChild<QComboBox*>(QLatin1String(name));
    EXPECT_NE(c, nullptr) << name;
    return c;
}

void typeInto(QComboBox* combo, const QString& text) {
    combo->lineEdit()->clear();
    combo->lineEdit()->insert(text);
    emit combo->lineEdit()->textEdited(text);
}

}  // namespace

TEST(AdvancedOptionsDialog, OffersWhatTheProjectorAndStyleAllow) {
    test::app();
    setInterfaceLanguage(LanguageId::English);
    ScriptedPrompt prompt;
    MessageOptions options;
    {
        AdvancedOptionsDialog d(options, kColorHalfTransparent, kUnqueried, prompt);
        EXPECT_EQ(list(d, "styleList")->count(), 3);  // no Picture Side before a query
        EXPECT_FALSE(list(d, "horizontalPositionList")->isEnabled());
        EXPECT_FALSE(list(d, "volumeList")->isEnabled());
    }
    AdvancedOptionsDialog d(options, kColorHalfTransparent, kFullProjector, prompt);
    ASSERT_EQ(list(d, "styleList")->count(), 4);
    list(d, "titlePositionList")->setCurrentIndex(2);
    list(d, "characterSizeList")->setCurrentIndex(1);
    list(d, "styleList")->setCurrentIndex(3);  // Picture Side
    EXPECT_EQ(list(d, "titlePositionList")->currentIndex(), 0);
    EXPECT_EQ(list(d, "characterSizeList")->currentIndex(), 0);
    EXPECT_FALSE(list(d, "titlePositionList")->isEnabled());
    EXPECT_FALSE(list(d, "verticalPositionList")->isEnabled());
    EXPECT_TRUE(list(d, "horizontalPositionList")->isEnabled());
    EXPECT_TRUE(list(d, "lappedOverPictureList")->isEnabled());
    EXPECT_TRUE(list(d, "volumeList")->isEnabled());
    list(d, "styleList")->setCurrentIndex(1);  // Box
    EXPECT_FALSE(list(d, "horizontalPositionList")->isEnabled());
    EXPECT_FALSE(list(d, "lappedOverPictureList")->isEnabled());
    EXPECT_FALSE(list(d, "scrollNumList")->isEnabled());
    EXPECT_TRUE(list(d, "minutesList")->isEnabled());
}

TEST(AdvancedOptionsDialog, OkChecksTypedValuesAndStoresThem) {
    test::app();
    setInterfaceLanguage(LanguageId::English);
    struct Case {
        const char* scroll;
        const char* minutes;
        int seconds;
        const char* said;  // nullptr: accepted
        int scrollCount, displayMinutes, halfMinute;
    };
    const Case cases[] = {
        {"101", "5", 0, "Scroll num : Invalid value", 0, 0, 0},
        {"1", "128", 0, "Display time : Invalid value", 0, 0, 0},
        {"1", "", 0, "Display time : Invalid value", 0, 0, 0},
        {"1", "0", 0, "0[min]0[sec] : Invalid value", 0, 0, 0},
        {"abc", "127", 1, nullptr, 0, 127, 1},
        {"40", "2", 0, nullptr, 40, 2, 0},
    };
    for (const auto& c : cases) {
        ScriptedPrompt prompt;
        MessageOptions options;
        options.style = 1;  // Box: minutes and seconds in use
        const MessageOptions before = options;
        AdvancedOptionsDialog d(options, kColorHalfTransparent, kFullProjector, prompt);
        typeInto(list(d, "scrollNumList"), QString::fromUtf8(c.scroll));
        typeInto(list(d, "minutesList"), QString::fromUtf8(c.minutes));
        list(d, "secondsList")->setCurrentIndex(c.seconds);
        d.findChild<QPushButton*>(QStringLiteral("okButton"))->click();
        if (c.said != nullptr) {
            EXPECT_EQ(prompt.texts(), std::vector<std::string>{c.said}) << c.minutes;
            EXPECT_EQ(options, before);
            EXPECT_NE(d.result(), QDialog::Accepted);
        } else {
            EXPECT_TRUE(prompt.texts().empty()) << prompt.texts().front();
            EXPECT_EQ(options.scrollCount, c.scrollCount) << c.scroll;
            EXPECT_EQ(options.displayMinutes, c.displayMinutes);
            EXPECT_EQ(options.displayHalfMinute, c.halfMinute);
            EXPECT_EQ(options.background, 0x20);
        }
    }
}

TEST(PaletteDialog, StartsAtTheCurrentCodeAndNeverOffersTransparent) {
    test::app();
    PaletteDialog d(PaletteDialog::Kind::BackgroundColor, kColorHalfTransparent);
    EXPECT_EQ(d.chosenCode(), kColorHalfTransparent);
    EXPECT_NE(d.findChild<QToolButton*>(QStringLiteral("selectionCell"))
                  ->styleSheet()
                  .indexOf(QStringLiteral("#c0c0c0")),
              -1);
    EXPECT_TRUE(d.findChild<QToolButton*>(QStringLiteral("colorCell9"))->isHidden());
    d.findChild<QToolButton*>(QStringLiteral("colorCell7"))->click();
    EXPECT_EQ(d.chosenCode(), kColorWhite);
    EXPECT_NE(d.findChild<QToolButton*>(QStringLiteral("selectionCell"))
                  ->styleSheet()
                  .indexOf(QStringLiteral("#ffffff")),
              -1);
}

TEST(UnsupportedCharactersDialog, OnlyItsButtonsEndIt) {
    test::app();
    UnsupportedCharactersDialog d(QStringLiteral("Line 3 : [\u00e9]\r\nLine 3 : [\u00e8]\r\n"));
    d.show();
    for (int key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(&d, &press);
        EXPECT_TRUE(d.isVisible()) << key;
    }
    d.findChild<QPushButton*>(QStringLiteral("autoDelButton"))->click();
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(d.choice(), UnsupportedCharactersDialog::Result::Delete);
}

TEST(AdvancedOptionsDialog, WithoutASoundDeviceSaysSoOnceAndStaysUsable) {
    test::app();
    setInterfaceLanguage(LanguageId::English);
    ScriptedPrompt prompt;
    MessageOptions options;
    options.alarmSound = 1;
    AdvancedOptionsDialog d(options, kColorHalfTransparent, kFullProjector, prompt);
    auto* play = d.findChild<QPushButton*>(QStringLiteral("playButton"));
    auto* stop = d.findChild<QPushButton*>(QStringLiteral("stopButton"));
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(test::processEventsUntil([&] { return play->isEnabled(); }, 10000));
        play->click();
        if (round == 0 && prompt.texts().empty()) {
            stop->click();
            GTEST_SKIP() << "this machine has a sound device";
        }
        stop->click();  // the end of the tune comes back as a queued call
    }
    EXPECT_EQ(prompt.texts(), std::vector<std::string>{languageText(Text::NoSoundDevice)});
    EXPECT_TRUE(test::processEventsUntil([&] { return play->isEnabled(); }, 10000));
}

// "Unlimited" chosen with the keyboard or by a screen reader (no click) greys the seconds as
// a click does, and choosing a number of minutes gives them back.
TEST(AdvancedOptionsDialog, TheSecondsFollowTheMinutesWhateverChoseThem) {
    test::app();
    setInterfaceLanguage(LanguageId::English);
    ScriptedPrompt prompt;
    MessageOptions options;
    options.style = 1;  // Box: the display time applies
    options.displayMinutes = 4;
    options.displayHalfMinute = 0;
    AdvancedOptionsDialog d(options, kColorHalfTransparent, kFullProjector, prompt);
    QComboBox* minutes = list(d, "minutesList");
    QComboBox* seconds = list(d, "secondsList");
    ASSERT_TRUE(seconds->isEnabled());
    struct Case {
        int minutesIndex;
        bool secondsEnabled;
    };
    for (const Case& c : {Case{0, false}, Case{3, true}, Case{0, false}}) {
        minutes->setCurrentIndex(c.minutesIndex);  // what the keys and assistive technology do
        EXPECT_EQ(seconds->isEnabled(), c.secondsEnabled) << c.minutesIndex;
    }
}

// PLAY plays the sound the list shows, so "None" offers nothing to play; STOP has something
// to stop only while a sound plays, whatever ended it.
TEST(AdvancedOptionsDialog, PlayOnlyWhileASoundIsShownAndStopOnlyWhileOnePlays) {
    test::app();
    setInterfaceLanguage(LanguageId::English);
    ScriptedPrompt prompt;
    MessageOptions options;
    options.alarmSound = 0;
    AdvancedOptionsDialog d(options, kColorHalfTransparent, kFullProjector, prompt);
    QComboBox* sound = list(d, "soundNumberList");
    auto* play = d.findChild<QPushButton*>(QStringLiteral("playButton"));
    auto* stop = d.findChild<QPushButton*>(QStringLiteral("stopButton"));
    struct Step {
        const char* what;
        std::function<void()> act;
        bool playEnabled;
        bool stopEnabled;
    };
    const Step steps[] = {
        {"None shown", [] {}, false, false},
        {"sound 2 chosen by keys", [&] { sound->setCurrentIndex(2); }, true, false},
        {"PLAY", [&] { play->click(); }, false, true},
        {"STOP", [&] { stop->click(); }, true, false},
        {"None chosen again", [&] { sound->setCurrentIndex(0); }, false, false},
    };
    for (const Step& s : steps) {
        s.act();
        // The end of a tune comes back as a queued call.
        EXPECT_TRUE(test::processEventsUntil([&] {
            return play->isEnabled() == s.playEnabled && stop->isEnabled() == s.stopEnabled;
        })) << s.what;
    }
}
