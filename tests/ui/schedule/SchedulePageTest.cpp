// The Schedule tab offscreen: it shows the file's entries and the next firings, follows
// changes other programs make to the file, and writes what the operator switches (an entry
// on or off, the pause switch, a new entry from the dialog, a removal) for the service.

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableView>
#include <QTimeEdit>

#include "schedule/ScheduleStore.h"
#include "support/ScriptedPrompt.h"
#include "support/UiTestSupport.h"
#include "text/LanguageText.h"
#include "ui/common/MainState.h"
#include "ui/models/ProjectorRegistryModel.h"
#include "ui/schedule/ScheduleEntryDialog.h"
#include "ui/schedule/ScheduleModel.h"
#include "ui/schedule/SchedulePage.h"

using namespace orvanta;

namespace {

ScheduleEntry daily(const char* name, int hour, bool enabled = true) {
    ScheduleEntry e;
    e.name = name;
    e.enabled = enabled;
    e.when.repeat = Repeat::Daily;
    e.when.time = {hour, 0, 0};
    e.action.kind = ScheduleActionKind::Mute;
    return e;
}

Schedule onDisk(const std::string& folder) {
    return readSchedule(folder).valueOr({});
}

}  // namespace

TEST(SchedulePage, ShowsTheFileFollowsItAndWritesWhatTheOperatorSwitches) {
    test::app();
    setInterfaceLanguage(LanguageId::English);
    MainState state;
    state.programFolder = test::scratchFolder("schedule-page");
    ASSERT_TRUE(addScheduleEntry(state.programFolder, daily("Morning", 8)));
    ASSERT_TRUE(addScheduleEntry(state.programFolder, daily("Evening", 18, false)));
    ScriptedPrompt prompt{PromptAnswer::Yes};
    TransferFlags flags;
    BlockingTransferRunner runner{flags};
    ProjectorRegistryModel projectors(state);
    SchedulePage page(PageContext{state, prompt, runner, projectors});
    page.showPage();

    auto* table = page.findChild<QTableView*>(QStringLiteral("scheduleTable"));
    auto* next = page.findChild<QListWidget*>(QStringLiteral("nextFirings"));
    auto* pause = page.findChild<QCheckBox*>(QStringLiteral("pauseSchedule"));
    auto* service = page.findChild<QLabel*>(QStringLiteral("serviceState"));
    QAbstractItemModelTester tester(table->model());
    ASSERT_EQ(table->model()->rowCount(), 2);
    EXPECT_EQ(table->model()->index(1, ScheduleModel::NameColumn).data().toString(),
              QStringLiteral("Evening"));
    // Only the entry that is on fires: ten firings of Morning.
    ASSERT_EQ(next->count(), 10);
    for (int i = 0; i < next->count(); ++i) {
        EXPECT_TRUE(next->item(i)->text().endsWith(QStringLiteral("Morning")));
    }
    EXPECT_TRUE(service->text().contains(QStringLiteral("not running")));

    // Switched in the window: written to the file.
    table->model()->setData(table->model()->index(1, ScheduleModel::OnColumn), Qt::Checked,
                            Qt::CheckStateRole);
    pause->click();
    EXPECT_TRUE(test::processEventsUntil([&] {
        const Schedule s = onDisk(state.programFolder);
        return s.paused && s.entries.size() == 2 && s.entries[1].enabled;
    }));
    EXPECT_TRUE(test::processEventsUntil([&] {
        return next->count() > 0 && next->item(0)->text().startsWith(QStringLiteral("Paused"));
    }));

    // Changed by another program: the page follows.
    ASSERT_TRUE(pauseSchedule(state.programFolder, false));
    ASSERT_TRUE(removeScheduleEntry(state.programFolder, "Evening"));
    EXPECT_TRUE(test::processEventsUntil(
        [&] { return table->model()->rowCount() == 1 && !pause->isChecked(); }, 10000));

    // A new entry from the dialog; what is wrong with it keeps the dialog open.
    page.findChild<QPushButton*>(QStringLiteral("addEntry"))->click();
    auto* dialog = page.findChild<ScheduleEntryDialog*>();
    ASSERT_NE(dialog, nullptr);
    dialog->findChild<QPushButton*>(QStringLiteral("okButton"))->click();
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_FALSE(dialog->findChild<QLabel*>(QStringLiteral("problem"))->text().isEmpty());
    dialog->findChild<QLineEdit*>(QStringLiteral("name"))->setText(QStringLiteral("Bell"));
    dialog->findChild<QComboBox*>(QStringLiteral("repeat"))->setCurrentIndex(1);  // every day
    dialog->findChild<QTimeEdit*>(QStringLiteral("time"))->setTime(QTime(9, 45));
    dialog->findChild<QComboBox*>(QStringLiteral("action"))->setCurrentIndex(4);  // clear
    dialog->findChild<QPushButton*>(QStringLiteral("okButton"))->click();
    EXPECT_TRUE(test::processEventsUntil(
        [&] { return onDisk(state.programFolder).find("Bell") != nullptr; }));
    const Schedule withBell = onDisk(state.programFolder);
    const ScheduleEntry* bell = withBell.find("Bell");
    ASSERT_NE(bell, nullptr);
    EXPECT_EQ(describeWhen(bell->when), "daily 09:45");
    EXPECT_EQ(describeAction(bell->action), "clear all");
    EXPECT_EQ(describeTarget(bell->target), "all registered");

    // Removed after the question.
    EXPECT_TRUE(test::processEventsUntil([&] { return table->model()->rowCount() == 2; }));
    table->selectRow(0);
    page.findChild<QPushButton*>(QStringLiteral("removeEntry"))->click();
    EXPECT_TRUE(test::processEventsUntil([&] {
        const Schedule s = onDisk(state.programFolder);
        return s.entries.size() == 1 && s.entries[0].name == "Bell";
    }));
    EXPECT_EQ(prompt.texts().size(), 1u);
}
