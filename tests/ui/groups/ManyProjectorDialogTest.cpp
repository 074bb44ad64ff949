// The many-projector dialog's Cancel and Escape: every row ends at once while the window stays
// usable, and only what did not complete is offered again. Projectors on 127.0.101.x.

#include <gtest/gtest.h>

#include <QPushButton>
#include <QTest>

#include "commands/ManyProjectorRun.h"
#include "support/HostilePeers.h"
#include "support/SimProcess.h"
#include "support/TransferTestSupport.h"
#include "support/UiTestSupport.h"
#include "text/LanguageText.h"
#include "ui/groups/ManyProjectorDialog.h"
#include "ui/groups/ManyProjectorRowModel.h"

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
    EXPECT_TRUE(dialog.retryButton()->isEnabled());
    EXPECT_TRUE(dialog.closeButton()->isEnabled());
    EXPECT_FALSE(dialog.cancelButton()->isEnabled());
}
