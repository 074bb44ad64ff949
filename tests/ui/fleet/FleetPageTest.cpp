// The Fleet tab offscreen against simulated projectors: each row ends with its own state while
// a silent projector holds up no row, the group filter and sorting, and choosing a row for
// the Main tab.

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTest>

#include "projectors/ProjectorGroups.h"
#include "support/ScriptedPrompt.h"
#include "support/SimProcess.h"
#include "support/UiTestSupport.h"
#include "text/LanguageText.h"
#include "ui/common/MainState.h"
#include "ui/fleet/FleetModel.h"
#include "ui/fleet/FleetPage.h"
#include "ui/frame/DesktopProgram.h"
#include "ui/frame/MainWindow.h"
#include "ui/frame/PageTabs.h"
#include "ui/main/MainPage.h"
#include "ui/models/ProjectorRegistryModel.h"

using namespace orvanta;
using namespace orvanta::testsupport;

namespace {

void registerAll(const std::string& folder,
                 std::initializer_list<std::pair<const char*, const char*>> projectors) {
    for (const auto& [address, password] : projectors) {
        ProjectorRecord r;
        r.address = ipv4(address);
        r.password = password;
        r.authentication = 1;
        ASSERT_TRUE(registerProjector(folder, r).ok());
    }
}

struct Page {
    MainState state;
    ScriptedPrompt prompt{PromptAnswer::Yes};
    TransferFlags flags;
    BlockingTransferRunner runner{flags};
    std::unique_ptr<ProjectorRegistryModel> projectors;
    std::unique_ptr<FleetPage> tab;

    explicit Page(const std::string& name) {
        test::app();
        setInterfaceLanguage(LanguageId::English);
        state.programFolder = test::scratchFolder(name);
    }
    void create() {
        projectors = std::make_unique<ProjectorRegistryModel>(state);
        FleetWatchTimings timings;  // the real reply wait: a silent projector takes ~12 s
        timings.interval = std::chrono::milliseconds(50);
        tab = std::make_unique<FleetPage>(PageContext{state, prompt, runner, *projectors}, nullptr,
                                          timings);
    }
    ~Page() {
        tab.reset();
        EXPECT_EQ(FleetPoller::threadsAlive(), 0);
    }
    QTableView& table() { return *tab->findChild<QTableView*>(QStringLiteral("fleetTable")); }
    QString cell(int row, int column) {
        return table().model()->index(row, column).data().toString();
    }
    bool settled(int row) {
        return cell(row, FleetModel::ReachableColumn) != QStringLiteral("Asking...");
    }
};

}  // namespace

TEST(FleetPage, EveryRowEndsWithItsOwnStateAndASilentProjectorHoldsUpNone) {
    SimProcess good(
        {"--address", "127.0.96.2", "--address", "127.0.96.6", "--password", "pw", "--alarm", "2"});
    SimProcess busy({"--address", "127.0.96.4", "--busy"});
    SimProcess silent({"--address", "127.0.96.5", "--reply-delay", "60000"});
    for (SimProcess* sim : {&good, &busy, &silent}) {
        ASSERT_TRUE(sim->ready()) << sim->output();
    }
    Page page("fleet-rows");
    registerAll(page.state.programFolder, {{"127.0.96.5", ""},
                                           {"127.0.96.2", "pw"},
                                           {"127.0.96.3", ""},  // nothing listens there
                                           {"127.0.96.6", "wrong"},
                                           {"127.0.96.4", ""}});
    page.create();
    QAbstractItemModelTester tester(page.table().model(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    page.tab->showPage();
    ASSERT_EQ(page.table().model()->rowCount(), 5);
    EXPECT_EQ(page.cell(0, FleetModel::ReachableColumn), QStringLiteral("Asking..."));
    ASSERT_TRUE(test::processEventsUntil(
        [&] { return page.settled(1) && page.settled(2) && page.settled(3) && page.settled(4); },
        10000));

    struct Row {
        QString reachable;
        QString alarm;
        QString level;
    };
    const Row rows[] = {
        {QStringLiteral("Asking..."), QString(), QString()},  // still waited for
        {QStringLiteral("Yes"), QStringLiteral("ON Sound number:2"), QStringLiteral("4")},
        {QStringLiteral("No: Communication error : [Connection error]"), QStringLiteral("-"),
         QStringLiteral("-")},
        {QStringLiteral("No: Communication error : [Receive error]"), QStringLiteral("-"),
         QStringLiteral("-")},
        {QStringLiteral("No: Projector Busy."), QStringLiteral("-"), QStringLiteral("-")},
    };
    for (int r = 0; r < 5; ++r) {
        EXPECT_EQ(page.cell(r, FleetModel::ReachableColumn), rows[r].reachable) << r;
        EXPECT_EQ(page.cell(r, FleetModel::AlarmColumn), rows[r].alarm) << r;
        EXPECT_EQ(page.cell(r, FleetModel::LevelColumn), rows[r].level) << r;
    }
    EXPECT_EQ(page.cell(1, FleetModel::MessageColumn), QStringLiteral("OFF"));
    EXPECT_NE(page.cell(1, FleetModel::AnsweredColumn), QStringLiteral("-"));
    EXPECT_EQ(page.cell(2, FleetModel::AnsweredColumn), QStringLiteral("-"));
    EXPECT_EQ(page.tab->findChild<QLabel*>(QStringLiteral("fleetSummary"))->text(),
              QStringLiteral("1 of 5 answering"));

    // Leaving the tab stops the watch: the silent projector's wait ends with it.
    page.tab->leavePage();
    EXPECT_TRUE(test::processEventsUntil([] { return FleetPoller::threadsAlive() == 0; }));
}

TEST(FleetPage, AGroupNarrowsTheTableAndHeadersSortIt) {
    SimProcess sim(
        {"--address", "127.0.96.10", "--address", "127.0.96.11", "--address", "127.0.96.12"});
    ASSERT_TRUE(sim.ready()) << sim.output();
    Page page("fleet-groups");
    const std::string& folder = page.state.programFolder;
    registerAll(folder, {{"127.0.96.11", ""}, {"127.0.96.10", ""}, {"127.0.96.12", ""}});
    ASSERT_TRUE(createGroup(folder, "Hall A").ok());
    ASSERT_TRUE(addToGroup(folder, "Hall A", ipv4("127.0.96.12")).ok());
    ASSERT_TRUE(addToGroup(folder, "Hall A", ipv4("127.0.96.10")).ok());
    ASSERT_TRUE(createGroup(folder, "Empty").ok());
    page.create();
    page.tab->showPage();
    auto* groups = page.tab->findChild<QComboBox*>(QStringLiteral("fleetGroupFilter"));
    ASSERT_EQ(groups->count(), 3);
    EXPECT_EQ(groups->itemText(0), QStringLiteral("All registered projectors"));

    auto addresses = [&] {
        QStringList shown;
        for (int r = 0; r < page.table().model()->rowCount(); ++r) {
            shown << page.cell(r, FleetModel::AddressColumn);
        }
        return shown.join(QLatin1Char(' '));
    };
    struct Step {
        QString group;
        int sortColumn;  // -1: registry order
        QString shown;
    };
    const Step steps[] = {
        {QString(), -1, QStringLiteral("127.0.96.11 127.0.96.10 127.0.96.12")},
        {QStringLiteral("Hall A"), -1, QStringLiteral("127.0.96.10 127.0.96.12")},
        {QStringLiteral("Empty"), -1, QString()},
        {QString(), FleetModel::AddressColumn,
         QStringLiteral("127.0.96.10 127.0.96.11 127.0.96.12")},
        {QStringLiteral("Hall A"), FleetModel::AddressColumn,
         QStringLiteral("127.0.96.10 127.0.96.12")},
    };
    for (const Step& s : steps) {
        groups->setCurrentIndex(s.group.isEmpty() ? 0 : groups->findText(s.group));
        page.table().sortByColumn(s.sortColumn, Qt::AscendingOrder);
        EXPECT_EQ(addresses(), s.shown) << s.group.toStdString() << " " << s.sortColumn;
    }
    // The choice of group outlives leaving and showing the tab again.
    page.tab->leavePage();
    page.tab->showPage();
    EXPECT_EQ(groups->currentText(), QStringLiteral("Hall A"));
}

TEST(FleetPage, ChoosingARowMakesItTheMainTabsProjector) {
    SimProcess sim({"--address", "127.0.96.20", "--address", "127.0.96.21"});
    ASSERT_TRUE(sim.ready()) << sim.output();
    test::app();
    setInterfaceLanguage(LanguageId::English);
    MainState state;
    state.programFolder = test::scratchFolder("fleet-choose");
    registerAll(state.programFolder, {{"127.0.96.20", ""}, {"127.0.96.21", ""}});
    ScriptedPrompt prompt;
    StartupOptions options;
    options.socketLayerAvailable = [] { return true; };
    options.adaptors = [] { return std::vector<AdaptorEntry>{}; };
    {
        std::unique_ptr<MainWindow> frame = createMainWindow(state, prompt, options);
        QTabWidget& tabs = *frame->view()->tabs();
        auto* mainProjector =
            frame->view()->mainTab()->findChild<QComboBox*>(QStringLiteral("projectorList"));
        ASSERT_NE(mainProjector, nullptr);
        ASSERT_EQ(mainProjector->currentIndex(), 0);
        auto* table = frame->view()->findChild<QTableView*>(QStringLiteral("fleetTable"));

        // Enter on a row, then a double-click on the other.
        tabs.setCurrentIndex(PageTabs::FleetTab);
        table->setCurrentIndex(table->model()->index(1, 0));
        QTest::keyClick(table, Qt::Key_Return);
        EXPECT_EQ(tabs.currentIndex(), PageTabs::MainTab);
        EXPECT_EQ(mainProjector->currentIndex(), 1);

        tabs.setCurrentIndex(PageTabs::FleetTab);
        table->sortByColumn(FleetModel::AddressColumn, Qt::DescendingOrder);
        const QRect cell = table->visualRect(table->model()->index(1, 0));
        // A double-click is a click and a second press.
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, cell.center());
        EXPECT_EQ(tabs.currentIndex(), PageTabs::MainTab);
        EXPECT_EQ(mainProjector->currentIndex(), 0);  // 127.0.96.20, second when sorted down
        EXPECT_TRUE(test::stateQueriesEnded(frame.get()));
    }
    EXPECT_TRUE(test::processEventsUntil([] { return FleetPoller::threadsAlive() == 0; }));
}
