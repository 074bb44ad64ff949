// The History window: what the desktop program sent is in it, newest first; the filters narrow
// it (a group shows its members); Open and Send again follow the selection and send the message
// again through the Edit tab, which records that send too. Simulated projector on 127.0.64.2.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QTextEdit>

#include "history/HistoryRecorder.h"
#include "platform/AtomicFile.h"
#include "projectors/ProjectorGroups.h"
#include "projectors/ProjectorRegistry.h"
#include "support/ScriptedPrompt.h"
#include "support/SimProcess.h"
#include "support/UiTestSupport.h"
#include "text/LanguageText.h"
#include "ui/edit/EditPage.h"
#include "ui/frame/DesktopProgram.h"
#include "ui/frame/MainWindow.h"
#include "ui/frame/PageTabs.h"
#include "ui/history/HistoryDialog.h"
#include "ui/history/HistoryModel.h"

using namespace orvanta;

namespace {

// 127.0.64.2 as LastPj.txt keeps it.
const char kStage[] =
    "[RESIST NUM]\r\nNUM=1\r\n[RESIST PROJECTOR1]\r\nNUM=1\r\nIP=2130722818\r\n"
    "ProjectorName=Stage\r\nMAC=0\r\nAuth=0\r\nPass=\r\n";

std::vector<HistoryRecord> sends(const std::string& folder) {
    std::vector<HistoryRecord> out;
    Result<HistoryFile::Contents> read = HistoryFile(historyPath(folder)).read();
    for (HistoryRecord& r : read.value().records) {
        if (r.command == "send") {
            out.push_back(std::move(r));
        }
    }
    return out;
}

TEST(HistoryWindow, FiltersNewestFirstAndSendsAgainThroughTheEditTab) {
    testsupport::SimProcess sim({"--address", "127.0.64.2", "--save-polls", "0"});
    ASSERT_TRUE(sim.ready()) << sim.output();
    test::app();
    setInterfaceLanguage(LanguageId::English);
    const std::string folder = test::scratchFolder("history");
    ASSERT_TRUE(writeFileAtomically(folder + "LastPj.txt", kStage).ok());
    // An older command to another projector, by someone else.
    HistoryRecord mute;
    mute.time = historyNow() - 3LL * 24 * 3600 * 1000;
    mute.user = "night-shift";
    mute.address = "127.0.64.9";
    mute.command = "mute";
    mute.result = "done";
    ASSERT_TRUE(HistoryFile(historyPath(folder)).append(mute).ok());

    MainState state;
    state.programFolder = folder;
    ScriptedPrompt prompt;
    StartupOptions options;
    options.socketLayerAvailable = [] { return true; };
    options.adaptors = [] { return std::vector<AdaptorEntry>{}; };
    auto frame = createMainWindow(state, prompt, options);
    EditPage& edit = *frame->view()->editTab();
    frame->view()->tabs()->setCurrentIndex(PageTabs::EditTab);
    QTest::keyClicks(edit.findChild<QTextEdit*>(QStringLiteral("titleEdit")),
                     QStringLiteral("Drill"));
    QTest::keyClicks(edit.findChild<QTextEdit*>(QStringLiteral("messageEdit")),
                     QStringLiteral("Go east"));
    edit.chooseProjectorAndSlot(0, 5);
    ASSERT_TRUE(test::stateQueriesEnded(frame.get()));
    edit.send();
    ASSERT_EQ(prompt.texts().back(), "    Complete.");
    frame->historyWriter()->flush();
    ASSERT_EQ(sends(folder).size(), 1u);
    EXPECT_EQ(sends(folder).front().projector, "Stage");

    ASSERT_TRUE(createGroup(folder, "Hall").ok());
    ASSERT_TRUE(addToGroup(folder, "Hall", *parseAddress("127.0.64.2")).ok());
    HistoryDialog dialog(folder, frame.get());
    QSignalSpy loaded(&dialog, &HistoryDialog::loaded);
    ASSERT_TRUE(loaded.wait());
    HistoryFilter& filter = dialog.filter();
    ASSERT_EQ(filter.rowCount(), 2);
    EXPECT_EQ(filter.index(0, HistoryModel::CommandColumn).data().toString(),
              QStringLiteral("send"));
    EXPECT_EQ(filter.index(0, HistoryModel::ProjectorColumn).data().toString(),
              QStringLiteral("127.0.64.2 (Stage)"));
    EXPECT_EQ(filter.index(0, HistoryModel::SlotColumn).data().toString(), QStringLiteral("5"));
    EXPECT_EQ(filter.index(1, HistoryModel::CommandColumn).data().toString(),
              QStringLiteral("mute"));

    auto* projectors = dialog.findChild<QComboBox*>(QStringLiteral("historyProjectorFilter"));
    auto* search = dialog.findChild<QLineEdit*>(QStringLiteral("historySearch"));
    auto* first = dialog.findChild<QDateEdit*>(QStringLiteral("historyFirstDay"));
    auto* table = dialog.findChild<QTableView*>(QStringLiteral("historyList"));
    auto* open = dialog.findChild<QPushButton*>(QStringLiteral("historyOpenButton"));
    auto* again = dialog.findChild<QPushButton*>(QStringLiteral("historySendAgainButton"));
    ASSERT_EQ(projectors->count(), 4);  // all, the group, and the two addresses
    EXPECT_EQ(projectors->itemText(1), QStringLiteral("Group: Hall"));
    struct Case {
        int projector;
        QString text;
        int daysBack;  // the first day shown, counted back from today
        int rows;
    };
    for (const Case& c :
         {Case{3, {}, 3, 1}, Case{0, QStringLiteral("NIGHT"), 3, 1},
          Case{0, QStringLiteral("drill"), 3, 1}, Case{0, {}, 1, 1},
          Case{2, QStringLiteral("drill"), 3, 1}, Case{3, QStringLiteral("x"), 3, 0},
          Case{1, {}, 3, 1}, Case{1, QStringLiteral("NIGHT"), 3, 0}, Case{0, {}, 3, 2}}) {
        projectors->setCurrentIndex(c.projector);
        search->setText(c.text);
        first->setDate(QDate::currentDate().addDays(-c.daysBack));
        EXPECT_EQ(filter.rowCount(), c.rows) << c.projector << " " << c.text.toStdString();
    }

    // The buttons follow the selection: a command without a message has nothing to open.
    EXPECT_FALSE(open->isEnabled());
    table->selectRow(1);
    EXPECT_FALSE(open->isEnabled());
    EXPECT_FALSE(again->isEnabled());
    table->selectRow(0);
    EXPECT_TRUE(open->isEnabled());
    ASSERT_TRUE(again->isEnabled());
    again->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    ASSERT_EQ(dialog.action(), HistoryDialog::Action::SendAgain);

    // The typed message is still unsaved: No gives it up for the one from the history.
    edit.findChild<QTextEdit*>(QStringLiteral("messageEdit"))->clear();
    prompt.clear();
    prompt.queue(PromptAnswer::No);
    frame->openFromHistory(dialog.chosen(), true);
    ASSERT_TRUE(test::stateQueriesEnded(frame.get()));
    EXPECT_EQ(edit.message().body.text(), u"Go east");
    EXPECT_TRUE(edit.isModified());
    EXPECT_EQ(prompt.texts().back(), "    Complete.");
    frame->historyWriter()->flush();
    const std::vector<HistoryRecord> sent = sends(folder);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent.back().slot, 5);
    EXPECT_EQ(sent.back().title, "Drill");
    EXPECT_EQ(sent.back().message, sent.front().message);
}

}  // namespace
