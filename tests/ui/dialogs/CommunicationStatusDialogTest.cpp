// The "Communication Status" dialog under the offscreen platform, against the projector
// simulator: what it shows per kind, what Cancel, Escape and the frame do, and the outcome it
// returns, also when run a second time and when driven by the operations.

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <optional>
#include <utility>

#include "commands/ProjectorState.h"
#include "commands/SendCommand.h"
#include "support/ScriptedPrompt.h"
#include "support/SimProcess.h"
#include "support/TransferTestSupport.h"
#include "support/UiTestSupport.h"
#include "text/LanguageText.h"
#include "ui/dialogs/CommunicationStatusDialog.h"

using namespace orvanta;
using namespace orvanta::testsupport;

namespace {

class CommunicationStatusDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::app();
        setInterfaceLanguage(LanguageId::English);
    }

    // A dialog whose records all point at `address`, ready for any kind.
    std::unique_ptr<CommunicationStatusDialog> dialog(const char* address) {
        auto d = std::make_unique<CommunicationStatusDialog>(nullptr, flags, quickTimings());
        d->message().address = d->control().address = d->info().address = ipv4(address);
        d->message().slot = d->info().slot = 1;
        d->message().length = 100;
        d->message().infoLength = 74;
        d->control().code = 0x6020;
        d->control().count = 2;
        return d;
    }

    static void putBody(CommunicationStatusDialog& d, std::size_t bytes) {
        const MessagePayload p = testPayload(bytes, true);
        d.message().header = p.header.bytes;
        std::copy(p.body.begin(), p.body.end(), d.message().body.begin());
        d.message().length = static_cast<std::int32_t>(bytes);
    }

    // Runs `what` once the dialog's event loop is running.
    static void soon(int ms, std::function<void()> what) { QTimer::singleShot(ms, what); }

    // Runs `what` inside the dialog's event loop once `dialog` shows.
    class WhenShown : public QObject {
      public:
        WhenShown(QWidget& dialog, std::function<void()> what) : what_(std::move(what)) {
            dialog.installEventFilter(this);
        }
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Show && what_) {
                QMetaObject::invokeMethod(this, std::exchange(what_, {}), Qt::QueuedConnection);
            }
            return false;
        }

      private:
        std::function<void()> what_;
    };

    // The simulator holds its replies until this file exists, so a test acts while a request
    // waits, then lets the reply come: no delay has to outlast a busy machine.
    // One release file per simulated projector address.
    QString releaseFile(const char* address) const {
        return released_.path() + QLatin1Char('/') + QLatin1String(address);
    }
    std::vector<std::string> holdReplies(const char* address, const char* verb) const {
        return {"--address",  address, "--hold-replies", releaseFile(address).toStdString(),
                "--hold-for", verb};
    }
    void releaseReplies(const char* address) const {
        QFile file(releaseFile(address));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }

    TransferFlags flags;

  private:
    QTemporaryDir released_;
};

}  // namespace

TEST_F(CommunicationStatusDialogTest, ShowsItsKindWithAWorkingCancelAndIgnoresTheFrame) {
    SimProcess sim({"--address", "127.0.4.100", "--reply-delay", "200"});
    ASSERT_TRUE(sim.ready()) << sim.output();
    struct Case {
        TransferKind kind;
        bool hidden;  // asked for (Ctrl only)
        bool visible;
        bool cancelEnabled;
        const char* line;
    };
    const Case cases[] = {
        {TransferKind::Put, false, true, true, "Now Sending..."},
        {TransferKind::Text, false, true, true, "Now Getting..."},
        {TransferKind::Ctrl, false, true, true, "Now Controlling..."},
        {TransferKind::Ctrl, true, false, true, "Now Controlling..."},
        {TransferKind::Info, false, true, true, "Now Get Information..."},
        {TransferKind::Stat, false, true, true, "Now Get Status..."},
        {TransferKind::Cancel, false, true, true, "Cancel..."},
        {TransferKind::CtrlRead, false, false, true, "Now Controlling..."},
        {TransferKind::CtrlStateQuery, false, false, true, "Now Controlling..."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        auto d = dialog("127.0.4.100");
        putBody(*d, 40);
        d->setHidden(c.hidden);
        bool visible = false, cancelEnabled = false, okVisible = true, closed = true;
        QString line;
        const auto look = [&] {
            visible = d->isVisible();
            cancelEnabled = d->cancelButton()->isEnabled();
            okVisible = d->okButton()->isVisible();
            line = d->statusText();
            closed = d->close() || !d->isVisible();
        };
        // A shown dialog is looked at once it says what runs (the worker's first word comes
        // long before the projector's reply); a hidden run early, while it is unseen.
        std::function<void()> lookOnceStarted = [&] {
            if (d->statusText().isEmpty()) {
                QMetaObject::invokeMethod(d.get(), lookOnceStarted, Qt::QueuedConnection);
            } else {
                look();
            }
        };
        std::optional<WhenShown> shown;
        if (c.visible) {
            shown.emplace(*d, lookOnceStarted);
        } else {
            soon(100, look);
        }
        d->run(c.kind);
        EXPECT_EQ(visible, c.visible);
        EXPECT_EQ(cancelEnabled, c.cancelEnabled);
        EXPECT_FALSE(okVisible);
        EXPECT_EQ(line.toStdString(), c.line);
        if (c.visible) {
            EXPECT_FALSE(closed);
        }
        EXPECT_FALSE(d->isVisible());
        EXPECT_EQ(d->windowTitle(), QStringLiteral("Communication Status"));
        EXPECT_TRUE(d->windowFlags() & Qt::FramelessWindowHint);
    }
}

TEST_F(CommunicationStatusDialogTest, EscapeOnlyAsksForACancelAndEnterDoesNothing) {
    SimProcess sim(holdReplies("127.0.4.101", "PUT"));
    ASSERT_TRUE(sim.ready()) << sim.output();
    auto d = dialog("127.0.4.101");
    putBody(*d, 600);
    bool afterEnter = true, afterEscape = false, stillOpen = false;
    const WhenShown shown(*d, [&] {
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(d.get(), &enter);
        afterEnter = flags.cancelRequested;
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(d.get(), &escape);
        afterEscape = flags.cancelRequested;
        stillOpen = d->isVisible();
        releaseReplies("127.0.4.101");
    });
    // PUT does not look at the cancel; a body of 600 bytes carries it over.
    EXPECT_TRUE(d->run(TransferKind::Put));
    EXPECT_FALSE(afterEnter);
    EXPECT_TRUE(afterEscape);
    EXPECT_TRUE(stillOpen);
    EXPECT_TRUE(flags.cancelPending);
}

TEST_F(CommunicationStatusDialogTest, ReturnsTheOutcomeOfTheTables) {
    SimProcess sim({"--address", "127.0.4.102", "--reply-digit", "CTRL=1", "--reply-digit",
                    "INFO=9", "--reply-digit", "PUT=1", "--reply-digit", "CANCEL=1"});
    ASSERT_TRUE(sim.ready()) << sim.output();
    struct Case {
        const char* address;
        TransferKind kind;
        bool hidden;
        bool succeeded;
        int code;
        const char* text;
        const char* line;
    };
    const Case cases[] = {
        {"127.0.4.102", TransferKind::Ctrl, false, false, 1, "Illegal Request.", "CTRL1"},
        {"127.0.4.102", TransferKind::Ctrl, true, false, 1, "Illegal Request.", "CTRL1"},
        {"127.0.4.102", TransferKind::Info, false, false, 9, "No Message Data.", "INFO9"},
        {"127.0.4.102", TransferKind::Put, false, false, 1, "Transfer failure", "PUT1"},
        {"127.0.4.102", TransferKind::Cancel, false, true, 0, "", "Cancel..."},
        {"127.0.4.103", TransferKind::Put, false, false, 12,
         "Communication error\n : [Connection error]", "ERROR"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        auto d = dialog(c.address);
        putBody(*d, 40);
        d->setHidden(c.hidden);
        EXPECT_EQ(d->run(c.kind), c.succeeded);
        EXPECT_EQ(d->outcome().resultCode, c.code);
        EXPECT_EQ(d->outcome().resultText, c.text);
        EXPECT_EQ(d->statusText().toStdString(), c.line);
    }
}

TEST_F(CommunicationStatusDialogTest, CancelDuringTextThenCancelOnTheSameDialog) {
    SimProcess sim(holdReplies("127.0.4.104", "TEXT"));
    ASSERT_TRUE(sim.ready()) << sim.output();
    auto d = dialog("127.0.4.104");
    const WhenShown shown(*d, [&] { d->cancelButton()->click(); });
    EXPECT_FALSE(d->run(TransferKind::Text));
    releaseReplies("127.0.4.104");
    EXPECT_EQ(d->outcome().resultCode, 0);
    EXPECT_EQ(d->outcome().resultText, "Cancel complete.");
    EXPECT_EQ(d->statusText().toStdString(), "CANCEL");

    EXPECT_TRUE(d->run(TransferKind::Cancel));
    EXPECT_EQ(d->outcome().resultText, "Cancel complete.");
    EXPECT_TRUE(sim.waitForLine("CANCEL | digest ok | CANCEL 0")) << sim.output();
}

TEST_F(CommunicationStatusDialogTest, CancelPressedDuringALongPutEndsTheSaveWaitWithCancel) {
    struct Case {
        const char* address;
        std::size_t bodyBytes;
        bool cancelled;
    };
    for (const Case& c : {Case{"127.0.4.105", 600, true}, Case{"127.0.4.106", 400, false}}) {
        SCOPED_TRACE(c.bodyBytes);
        SimProcess sim(holdReplies(c.address, "PUT"));
        ASSERT_TRUE(sim.ready()) << sim.output();
        // The operator presses Cancel in the dialog of the PUT, which waits for its reply.
        bool pressed = false;
        QTimer presser;
        QObject::connect(&presser, &QTimer::timeout, [&] {
            for (QWidget* top : QApplication::topLevelWidgets()) {
                auto* d = qobject_cast<CommunicationStatusDialog*>(top);
                if (!pressed && d != nullptr && d->isVisible() &&
                    d->statusText() == QStringLiteral("Now Sending...")) {
                    d->cancelButton()->click();
                    pressed = true;
                    releaseReplies(c.address);
                }
            }
        });
        presser.start(10);
        QtTransferRunner runner(nullptr, flags, quickTimings());
        ScriptedPrompt prompt;
        ProjectorInfo projector;
        const CommandContext context{{ipv4(c.address), ""}, prompt, runner, projector};
        ASSERT_TRUE(
            sendPayloadToProjector(context, testPayload(c.bodyBytes, true), 0, {4, 7}, 3).ok());
        EXPECT_TRUE(pressed);
        // A short message stays stored, and the send says so instead of a bare "Complete".
        EXPECT_EQ(sendCompleteText(flags), c.cancelled ? languageText(Text::Complete)
                                                       : languageText(Text::StoredBeforeCancel));
        EXPECT_EQ(waitForSave(context, 3).cancelled(), c.cancelled);
        presser.stop();
        EXPECT_EQ(prompt.texts(), c.cancelled ? std::vector<std::string>{"Cancel complete."}
                                              : std::vector<std::string>{});
        if (c.cancelled) {
            EXPECT_TRUE(sim.waitForLine("CANCEL | digest ok | CANCEL 0")) << sim.output();
        }
        EXPECT_EQ(countLines(sim, "CANCEL"), c.cancelled ? 1 : 0);
    }
}

TEST_F(CommunicationStatusDialogTest, HiddenValueReadOfAProjectorThatDoesNotAnswer) {
    StalledListener stalled("127.0.4.107");
    ASSERT_TRUE(stalled.ok());
    // The protocol's own waits, except that a plain connect would wait as long as the test
    // may run: only the bounded connect of a value read can end the run.
    TransferTimings timings;
    timings.exchange.plainConnectLimit = std::chrono::hours(1);
    CommunicationStatusDialog d(nullptr, flags, timings);
    d.control().address = ipv4("127.0.4.107");
    d.control().code = 0x3532;
    d.control().count = 2;
    bool visible = true;
    soon(100, [&] { visible = d.isVisible(); });
    EXPECT_TRUE(d.run(TransferKind::CtrlRead));
    EXPECT_FALSE(visible);
    EXPECT_EQ(d.control().value, kUnreachableValue);
    EXPECT_EQ(d.outcome().resultText, "Request ok.");
}

TEST_F(CommunicationStatusDialogTest, CancelEndsAHungExchangeAndSaysItWasCancelled) {
    // The projector takes every request and never answers; without the cancel the reply wait
    // would outlast any test.
    SimProcess sim({"--address", "127.0.13.2", "--reply-delay", "600000"});
    ASSERT_TRUE(sim.ready()) << sim.output();
    TransferTimings endless = quickTimings();
    endless.exchange.replyPolls = 1000000;
    struct Case {
        TransferKind kind;
        bool hidden;
        int code;
        const char* text;  // nullptr: "The request was cancelled..."
    };
    const Case cases[] = {
        {TransferKind::Ctrl, false, 17, nullptr},
        {TransferKind::Ctrl, true, 17, nullptr},  // the dialog shows after a moment
        {TransferKind::CtrlRead, false, 17, nullptr},
        {TransferKind::CtrlStateQuery, false, 17, nullptr},
        {TransferKind::Info, false, 17, nullptr},
        {TransferKind::Cancel, false, 17, nullptr},
        {TransferKind::Text, false, 0, "Cancel complete."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(transferVerbWord(c.kind)) + (c.hidden ? " hidden" : ""));
        CommunicationStatusDialog d(nullptr, flags, endless);
        d.message().address = d.control().address = d.info().address = ipv4("127.0.13.2");
        d.message().length = 100;
        d.message().infoLength = 74;
        d.control().code = 0x6020;
        d.control().count = 2;
        d.setHidden(c.hidden);
        QTimer presser;
        QObject::connect(&presser, &QTimer::timeout, [&] {
            if (d.isVisible() && d.cancelButton()->isEnabled()) {
                d.cancelButton()->click();
                presser.stop();
            }
        });
        presser.start(10);
        EXPECT_FALSE(d.run(c.kind));
        EXPECT_EQ(d.outcome().resultCode, c.code);
        EXPECT_EQ(d.outcome().resultText,
                  c.text != nullptr ? std::string(c.text) : languageText(Text::RequestCancelled));
        EXPECT_EQ(d.statusText().toStdString(), "CANCEL");
    }
}

TEST_F(CommunicationStatusDialogTest, AStartedRunLeavesTheWindowUsableAndCanBeCancelledOrAwaited) {
    struct Case {
        const char* address;
        const char* delay;
        bool cancel;  // else a command waits for the answer (finish)
        bool succeeded;
    };
    const Case cases[] = {{"127.0.13.3", "600000", true, false},
                          {"127.0.13.4", "1500", false, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        SimProcess sim({"--address", c.address, "--reply-delay", c.delay});
        ASSERT_TRUE(sim.ready()) << sim.output();
        TransferTimings endless = quickTimings();
        endless.exchange.replyPolls = 1000000;
        QLineEdit page;
        page.show();
        CommunicationStatusDialog d(&page, flags, endless);
        prepareStateQuery(d.job(), {ipv4(c.address), ""});
        QSignalSpy ended(&d, &CommunicationStatusDialog::ended);
        d.start(TransferKind::CtrlStateQuery);
        // start returned while the projector is still being asked: the page takes keys.
        QTest::keyClicks(&page, QStringLiteral("abc"));
        EXPECT_EQ(page.text(), QStringLiteral("abc"));
        ASSERT_TRUE(QTest::qWaitFor([&] { return d.isVisible(); }, 60000));
        EXPECT_EQ(d.windowModality(), Qt::NonModal);
        EXPECT_TRUE(d.cancelButton()->isEnabled());
        EXPECT_TRUE(ended.isEmpty());
        if (c.cancel) {
            d.cancelButton()->click();
            ASSERT_TRUE(ended.wait());
            EXPECT_EQ(d.outcome().resultText, languageText(Text::RequestCancelled));
        } else {
            d.finish();  // returns once the answer is in
            ASSERT_EQ(ended.size(), 1);
            EXPECT_EQ(d.control().value, 4);
        }
        EXPECT_EQ(ended.at(0).at(0).toBool(), c.succeeded);
        EXPECT_FALSE(d.isVisible());
    }
}
