// The "Send Lock" menu through the main window: lock, a refused unlock, a password change, the
// locked Send, and the command line reading what the program wrote.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QTimer>
#include <functional>

#include "settings/SendLockStore.h"
#include "support/ScriptedPrompt.h"
#include "support/UiTestSupport.h"
#include "text/LanguageText.h"
#include "ui/edit/EditPage.h"
#include "ui/frame/DesktopProgram.h"
#include "ui/frame/MainWindow.h"
#include "ui/frame/PageTabs.h"
#include "ui/main/MainPage.h"

using namespace orvanta;

namespace {

// Runs `fill` on the next modal dialog named `name` once it is open.
void onDialog(const char* name, std::function<void(QDialog&)> fill) {
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, name, fill] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (dialog != nullptr && dialog->objectName() == QLatin1StringView(name)) {
            timer->stop();
            timer->deleteLater();
            fill(*dialog);
        }
    });
    timer->start(5);
}

void type(QDialog& dialog, const char* field, const char* text) {
    dialog.findChild<QLineEdit*>(QLatin1StringView(field))->setText(QString::fromUtf8(text));
}

void ok(QDialog& dialog) {
    dialog.findChild<QPushButton*>(QStringLiteral("okButton"))->click();
}

QString lockEntry() {
    QSettings settings(QStringLiteral("TAVRIX"), QStringLiteral("PJOrvanta"));
    return settings.value(QStringLiteral("PJOrvantaPass/Lock")).toString();
}

}  // namespace

TEST(SendLockMenu, LockRefusedUnlockChangedPasswordAndTheLockedSend) {
    test::unlockSendLock();
    setInterfaceLanguage(LanguageId::English);
    MainState state;
    state.programFolder = test::scratchFolder("sendlock");
    ScriptedPrompt prompt;
    StartupOptions options;
    options.socketLayerAvailable = [] { return true; };
    options.adaptors = [] { return std::vector<AdaptorEntry>{}; };  // no search from here
    auto frame = createMainWindow(state, prompt, options);
    auto* send = frame->view()->mainTab()->findChild<QPushButton*>(QStringLiteral("sendButton"));
    auto* editSend =
        frame->view()->editTab()->findChild<QPushButton*>(QStringLiteral("sendButton"));
    const auto menu = [&](bool lock, bool unlock) {
        EXPECT_EQ(frame->action(MainWindow::SendLock)->isEnabled(), lock);
        EXPECT_EQ(frame->action(MainWindow::Unlock)->isEnabled(), unlock);
        EXPECT_TRUE(frame->action(MainWindow::ChangePassword)->isEnabled());
    };
    menu(true, false);

    // No password yet: a typed one is refused, the empty field locks.
    onDialog("sendLock", [&](QDialog& d) {
        type(d, "password", "guess");
        ok(d);
        EXPECT_TRUE(d.isVisible());
        type(d, "password", "");
        ok(d);
    });
    frame->action(MainWindow::SendLock)->trigger();
    EXPECT_EQ(prompt.texts(), std::vector<std::string>{"Incorrect password."});
    EXPECT_TRUE(state.sendLocked);
    EXPECT_EQ(send->text(), QStringLiteral("Send[Locked]"));
    EXPECT_EQ(editSend->text(), QStringLiteral("Send[Locked]"));
    EXPECT_EQ(lockEntry(), QStringLiteral("1"));
    menu(false, true);

    prompt.clear();
    send->click();
    editSend->click();
    EXPECT_EQ(prompt.texts(), (std::vector<std::string>{"The Send button is locked.",
                                                        "The Send button is locked."}));
    QProcess cli;
    cli.start(QString::fromUtf8(std::getenv("ORVANTA_BIN_DIR")) + QStringLiteral("/orvanta-cli"),
              {QStringLiteral("--program-folder"), QString::fromStdString(state.programFolder),
               QStringLiteral("send"), QStringLiteral("x.ovx"), QStringLiteral("--projector"),
               QStringLiteral("127.0.62.20")});
    ASSERT_TRUE(cli.waitForFinished(10000));
    EXPECT_EQ(cli.exitCode(), 1);
    EXPECT_TRUE(cli.readAllStandardError().contains("The Send button is locked."));

    prompt.clear();
    onDialog("changePassword", [&](QDialog& d) {
        type(d, "currentPassword", "x");
        type(d, "newPassword", "pw");
        ok(d);
        EXPECT_TRUE(d.isVisible());
        type(d, "currentPassword", "");
        ok(d);
    });
    frame->action(MainWindow::ChangePassword)->trigger();
    EXPECT_EQ(prompt.texts(), std::vector<std::string>{"Incorrect password."});
    EXPECT_TRUE(state.sendLocked);  // a new password does not unlock

    prompt.clear();

    onDialog("sendLock", [&](QDialog& d) {
        type(d, "password", "");
        ok(d);
        EXPECT_TRUE(d.isVisible());
        type(d, "password", "pw");
        ok(d);
    });
    frame->action(MainWindow::Unlock)->trigger();
    EXPECT_EQ(prompt.texts(), std::vector<std::string>{"Incorrect password."});
    EXPECT_FALSE(state.sendLocked);
    EXPECT_EQ(send->text(), QStringLiteral("Send"));
    EXPECT_EQ(editSend->text(), QStringLiteral("Send"));
    EXPECT_EQ(lockEntry(), QStringLiteral("0"));
    menu(true, false);
}

// The settings file is the one lock for every window of the user and the command line: each
// Send reads it, the captions and the menu follow it, and nothing but the menu writes it.
TEST(SendLockMenu, EachSendReadsTheLockThatAnotherWindowWrote) {
    test::unlockSendLock();
    setInterfaceLanguage(LanguageId::English);
    MainState state;
    state.programFolder = test::scratchFolder("sendlock-shared");
    ScriptedPrompt prompt;
    StartupOptions options;
    options.socketLayerAvailable = [] { return true; };
    options.adaptors = [] { return std::vector<AdaptorEntry>{}; };
    auto frame = createMainWindow(state, prompt, options);
    QPushButton* const buttons[] = {
        frame->view()->mainTab()->findChild<QPushButton*>(QStringLiteral("sendButton")),
        frame->view()->editTab()->findChild<QPushButton*>(QStringLiteral("sendButton"))};
    struct Case {
        bool lockedElsewhere;
        const char* said;  // the first thing Send says
        const char* caption;
    };
    const Case cases[] = {
        {true, "The Send button is locked.", "Send[Locked]"},
        {false, "", "Send"},  // lifted elsewhere: Send goes on (and finds nothing to send)
        {true, "The Send button is locked.", "Send[Locked]"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(writeSendLocked(sendLockSettingsPath(), c.lockedElsewhere).ok());
        for (QPushButton* send : buttons) {
            prompt.clear();
            send->click();
            ASSERT_FALSE(prompt.texts().empty());
            if (*c.said != '\0') {
                EXPECT_EQ(prompt.texts().front(), c.said)
                    << send->parent()->metaObject()->className();
            } else {
                EXPECT_NE(prompt.texts().front(), "The Send button is locked.");
            }
            EXPECT_EQ(send->text(), QLatin1StringView(c.caption));
            EXPECT_EQ(send->accessibleName(), QLatin1StringView(c.caption));
        }
        // The lock menu offers what the file allows.
        for (QObject* menu : frame->action(MainWindow::SendLock)->associatedObjects()) {
            if (auto* m = qobject_cast<QMenu*>(menu)) {
                emit m->aboutToShow();
            }
        }
        EXPECT_EQ(frame->action(MainWindow::SendLock)->isEnabled(), !c.lockedElsewhere);
        EXPECT_EQ(frame->action(MainWindow::Unlock)->isEnabled(), c.lockedElsewhere);
    }
    // The window's last reading (locked) is not written over what is set meanwhile.
    ASSERT_TRUE(writeSendLocked(sendLockSettingsPath(), false).ok());
    prompt.queue(PromptAnswer::Ok);
    EXPECT_TRUE(frame->close());
    EXPECT_EQ(lockEntry(), QStringLiteral("0"));
}
