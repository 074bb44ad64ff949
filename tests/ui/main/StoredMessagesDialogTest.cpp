// The "Confirm" dialog under the offscreen platform, against the projector simulator.

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTimer>

#include "support/ScriptedPrompt.h"
#include "support/SimProcess.h"
#include "support/TransferTestSupport.h"
#include "support/UiTestSupport.h"
#include "text/LanguageText.h"
#include "ui/main/StoredMessagesDialog.h"

using namespace orvanta;
using namespace orvanta::testsupport;

namespace {

class StoredMessagesDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::app();
        setInterfaceLanguage(LanguageId::English);
    }
};

}  // namespace

TEST_F(StoredMessagesDialogTest, ListsEverySlotAsInUseOrNotUsed) {
    SimProcess sim({"--address", "127.0.4.120", "--password", "pw"});
    ASSERT_TRUE(sim.ready()) << sim.output();
    ASSERT_TRUE(storeTestMessages({ipv4("127.0.4.120"), "pw"}, {0, 5}));
    StoredMessagesDialog dialog(ipv4("127.0.4.120"), "pw", nullptr, quickListTimings());
    QStringList rows;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        if (!dialog.statusOf(12).isEmpty() && rows.isEmpty()) {
            const QAbstractItemModel* model = dialog.list()->model();
            for (int r = 0; r < model->rowCount(); ++r) {
                rows << model->index(r, 0).data().toString() + QLatin1Char('=') +
                            model->index(r, 1).data().toString();
            }
            dialog.returnButton()->click();
        }
    });
    watcher.start(10);
    EXPECT_TRUE(dialog.run());
    watcher.stop();
    EXPECT_EQ(rows.join(QLatin1Char(',')).toStdString(),
              "Quick=in use,1=not used,2=not used,3=not used,4=not used,5=in use,6=not used,"
              "7=not used,8=not used,9=not used,10=not used,11=not used,12=not used");
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Confirm"));
    EXPECT_EQ(dialog.model()->headerData(0, Qt::Horizontal).toString(),
              QStringLiteral("Stored No."));
    EXPECT_EQ(dialog.model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Status"));
    EXPECT_TRUE(dialog.returnButton()->isDefault());
}

TEST_F(StoredMessagesDialogTest, AProjectorWithoutGreetingCannotBeListed) {
    SimProcess sim({"--address", "127.0.4.121", "--no-greeting"});
    ASSERT_TRUE(sim.ready()) << sim.output();
    ScriptedPrompt prompt;
    const Outcome listed =
        showStoredMessageList(ipv4("127.0.4.121"), "", prompt, nullptr, quickListTimings());
    EXPECT_EQ(listed.kind, Outcome::Kind::Failed);
    EXPECT_EQ(listed.text, "Communication error\n : [Connection error]");
    EXPECT_EQ(prompt.texts(), std::vector<std::string>{listed.text});
    EXPECT_EQ(countLines(sim, "INFO"), 0);
}

TEST_F(StoredMessagesDialogTest, ClosingItMidWayAsksNoFurtherSlot) {
    SimProcess sim({"--address", "127.0.4.122", "--reply-delay", "2000"});
    ASSERT_TRUE(sim.ready()) << sim.output();
    // A reply wait step long enough for the slow reply to arrive within it.
    SlotListTimings timings = quickListTimings();
    timings.replyStep = std::chrono::milliseconds(10000);
    StoredMessagesDialog dialog(ipv4("127.0.4.122"), "", nullptr, timings);
    // Return is pressed once slot 0 has been asked, while its reply is still held back.
    QTimer presser;
    QObject::connect(&presser, &QTimer::timeout, [&] {
        if (sim.waitForLine("INFO 0", std::chrono::milliseconds(0))) {
            presser.stop();
            dialog.returnButton()->click();
        }
    });
    presser.start(10);
    EXPECT_TRUE(dialog.run());
    EXPECT_FALSE(presser.isActive());
    // Slot 0 was being asked when the dialog closed: its exchange finished, nothing followed.
    EXPECT_TRUE(sim.waitForLine("INFO 0 | digest ok | INFO 1")) << sim.output();
    EXPECT_EQ(countLines(sim, "INFO"), 1) << sim.output();
}

TEST_F(StoredMessagesDialogTest, EachReportedWordChangesOneCellAndTheListIsNeverRefilled) {
    SimProcess sim({"--address", "127.0.4.123"});
    ASSERT_TRUE(sim.ready()) << sim.output();
    ASSERT_TRUE(storeTestMessages({ipv4("127.0.4.123"), ""}, {2}));
    StoredMessagesDialog dialog(ipv4("127.0.4.123"), "", nullptr, quickListTimings());
    QAbstractItemModelTester tester(dialog.model(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    QSignalSpy changed(dialog.model(), &QAbstractItemModel::dataChanged);
    QSignalSpy reset(dialog.model(), &QAbstractItemModel::modelReset);
    QSignalSpy inserted(dialog.model(), &QAbstractItemModel::rowsInserted);
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        if (!dialog.statusOf(12).isEmpty()) {
            // Moving and resizing the open dialog changes nothing in the list.
            dialog.move(dialog.pos() + QPoint(30, 20));
            dialog.resize(dialog.size() + QSize(40, 10));
            QCoreApplication::processEvents();
            dialog.returnButton()->click();
        }
    });
    watcher.start(10);
    EXPECT_EQ(dialog.run(), 1);
    watcher.stop();
    ASSERT_EQ(changed.size(), 13);
    for (int slot = 0; slot < 13; ++slot) {
        const auto from = changed[slot][0].value<QModelIndex>();
        const auto to = changed[slot][1].value<QModelIndex>();
        EXPECT_EQ(from, to) << slot;
        EXPECT_EQ(from.row(), slot);
        EXPECT_EQ(from.column(), 1);
    }
    EXPECT_EQ(reset.size(), 0);
    EXPECT_EQ(inserted.size(), 0);
}

TEST_F(StoredMessagesDialogTest, SlotZeroIsCalledQuickInTheInterfaceLanguage) {
    struct Case {
        LanguageId language;
        const char* quick;
    };
    for (const Case& c :
         {Case{LanguageId::English, "Quick"}, Case{LanguageId::Japanese, "クイック"},
          Case{LanguageId::ChineseSimplified, "快速"}}) {
        setInterfaceLanguage(c.language);
        StoredMessagesDialog dialog(ipv4("127.0.4.124"), "");
        EXPECT_EQ(dialog.model()->index(0, 0).data().toString(), QString::fromUtf8(c.quick));
        EXPECT_EQ(dialog.model()->index(12, 0).data().toString(), QStringLiteral("12"));
    }
    setInterfaceLanguage(LanguageId::English);
}
