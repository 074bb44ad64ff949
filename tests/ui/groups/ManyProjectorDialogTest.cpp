// The many-projector dialog's Cancel and Escape: every row ends at once while the window stays
// usable, and only what did not complete is offered again. Projectors on 127.0.101.x.

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include "commands/ManyProjectorRun.h"
#include "commands/ProjectorState.h"
#include "support/HostilePeers.h"
#include "support/SimProcess.h"
#include "support/TransferTestSupport.h"
#include "support/UiTestSupport.h"
#include "text/LanguageText.h"
#include "ui/groups/ManyProjectorDialog.h"
#include "ui/groups/ManyProjectorRowModel.h"
#include "ui/groups/SendToChoice.h"

using namespace orvanta;
using namespace orvanta::testsupport;

TEST(ManyProjectorDialog, CancelEndsEveryRowAndRetryOffersThemAgain) {
    test::app();
    setInterfaceLanguage(LanguageId::English);
    // One projector saves for ever, one takes no connection.
    SimProcess saving({"--address", "127.0.101.2", "--save-polls", "1000"});
    UnansweredAddress silent("127.0.101.3");
    ASSERT_TRUE(saving.ready() && silent.ok());
    SendFile file;
    file.plain.title = RichText(u"Notice", 0xFFFFFF, 0xC0C0C0);
    file.plain.body = RichText(u"Leave the building", 0xFFFFFF, 0xC0C0C0);
    file.extended = file.plain;
    SendRequest request;
    request.slot = 1;
    ManyProjectorRunOptions options;
    options.timings = quickTimings();
    options.timings.exchange.connectLimit = std::chrono::seconds(30);  // never ends by itself
    ManyProjectorDialog dialog(
        {{{ipv4("127.0.101.2"), ""}, "Hall", false}, {{ipv4("127.0.101.3"), ""}, "Foyer", false}},
        [&](const CommandContext& c) { return sendFileToProjector(c, request, file); }, options);
    dialog.show();
    dialog.start();
    EXPECT_FALSE(dialog.closeButton()->isEnabled());
    ManyProjectorRowModel* rows = dialog.model();
    ASSERT_TRUE(
        test::processEventsUntil([&] { return rows->stage(0) == RowStage::Saving; }, 30000));

    QTest::keyClick(&dialog, Qt::Key_Escape);  // Escape is Cancel while it runs
    ASSERT_TRUE(test::processEventsUntil([&] { return !dialog.running(); }, 30000));
    EXPECT_TRUE(dialog.isVisible());
    for (int r = 0; r < 2; ++r) {
        EXPECT_EQ(rows->stage(r), RowStage::Cancelled) << r;
    }
    EXPECT_TRUE(saving.waitForLine("CANCEL"));
    EXPECT_EQ(dialog.summaryText(), QStringLiteral("0 of 2 complete, 2 failed"));
    // A screen reader hears the value with its caption, as it does the other live fields.
    auto* summary = dialog.findChild<QLabel*>(QStringLiteral("groupSummary"));
    ASSERT_NE(summary, nullptr);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(summary)->text(QAccessible::Name),
              QStringLiteral("Result: 0 of 2 complete, 2 failed"));
    EXPECT_TRUE(dialog.retryButton()->isEnabled());
    EXPECT_TRUE(dialog.closeButton()->isEnabled());
    EXPECT_FALSE(dialog.cancelButton()->isEnabled());
}

// While forty projectors are being sent to, the operator keeps the window: the dialog holds no
// window (none is modal) and keys typed into the window arrive there.
TEST(ManyProjectorDialog, NeverHoldsTheWindowWhileItRuns) {
    test::app();
    setInterfaceLanguage(LanguageId::English);
    UnansweredAddress silent("127.0.101.5");
    ASSERT_TRUE(silent.ok());
    QWidget window;
    auto* field = new QLineEdit(&window);
    window.show();
    TransferTimings timings = quickTimings();
    timings.exchange.connectLimit = std::chrono::seconds(30);  // runs until cancelled
    QPointer<ManyProjectorDialog> dialog = openManyProjectorDialog(
        &window, {{{ipv4("127.0.101.5"), ""}, "Hall", false}},
        [](const CommandContext& c) { return checkProjectorReady(c); },
        std::make_shared<AnswerBook>(), timings, nullptr);
    ASSERT_TRUE(dialog);
    EXPECT_TRUE(dialog->running());
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(QGuiApplication::modalWindow(), nullptr);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    field->setFocus();
    // Through the window, as the keyboard delivers them: a window a modal dialog holds
    // drops them.
    for (char c : std::string("Fire drill")) {
        QTest::keyClick(window.windowHandle(), c);
    }
    EXPECT_EQ(field->text(), QStringLiteral("Fire drill"));
    dialog->cancelButton()->click();
    ASSERT_TRUE(test::processEventsUntil([&] { return !dialog->running(); }, 30000));
    dialog->close();
}
