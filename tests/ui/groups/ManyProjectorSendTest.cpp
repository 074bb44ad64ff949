// "Send to" a group or every registered projector from the Main and Edit tabs: the
// many-projector dialog against simulated projectors on 127.0.92.x.

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <filesystem>

#include "projectors/ProjectorGroups.h"
#include "support/ScriptedPrompt.h"
#include "support/SimProcess.h"
#include "support/TransferTestSupport.h"
#include "support/UiTestSupport.h"
#include "text/LanguageText.h"
#include "ui/common/MainState.h"
#include "ui/common/UiText.h"
#include "ui/edit/EditPage.h"
#include "ui/groups/ManyProjectorDialog.h"
#include "ui/groups/ManyProjectorRowModel.h"
#include "ui/groups/SendToChoice.h"
#include "ui/main/MainPage.h"
#include "ui/main/StartupDisplayDialog.h"
#include "ui/models/ProjectorRegistryModel.h"

using namespace orvanta;
using namespace orvanta::testsupport;

namespace {

const std::string kWelcome = std::string(ORVANTA_TEST_BIN_DIR) + "/MessageData/Welcome.ovx";

std::size_t puts(const SimProcess& sim, const std::string& address) {
    const auto lines = sim.lines();
    return static_cast<std::size_t>(std::count_if(lines.begin(), lines.end(), [&](const auto& l) {
        return l.find(address + ":") != std::string::npos && l.find(" PUT") != std::string::npos;
    }));
}

}  // namespace

TEST(ManyProjectorSend, SendToAGroupShowsEveryProjectorAndRetriesOnlyTheFailed) {
    test::app();
    setInterfaceLanguage(LanguageId::English);
    SimProcess sims({"--address", "127.0.92.2", "--address", "127.0.92.3", "--save-polls", "0"});
    ASSERT_TRUE(sims.ready()) << sims.output();
    MainState state;
    state.programFolder = test::scratchFolder("group-send");
    ScriptedPrompt prompt{PromptAnswer::Yes};
    TransferFlags flags;
    BlockingTransferRunner runner{flags, quickTimings()};
    ProjectorRegistryModel projectors{state};
    for (const char* a : {"127.0.92.2", "127.0.92.3", "127.0.92.4"}) {
        ProjectorRecord r;
        r.address = ipv4(a);
        ASSERT_EQ(projectors.add(r), "");
    }
    ASSERT_TRUE(createGroup(state.programFolder, "Hall A").ok());
    for (const char* a : {"127.0.92.4", "127.0.92.2", "127.0.92.3"}) {
        ASSERT_TRUE(addToGroup(state.programFolder, "Hall A", ipv4(a)).ok());
    }
    std::filesystem::create_directories(state.programFolder + "MessageData");
    std::filesystem::copy_file(kWelcome, state.programFolder + "MessageData/Welcome.ovx");

    MainPage tab(PageContext{state, prompt, runner, projectors});
    tab.showPage();
    ASSERT_TRUE(test::stateQueriesEnded(&tab));
    auto* sendTo = tab.findChild<SendToChoice*>(QStringLiteral("sendToChoice"));
    auto* confirm = tab.findChild<QPushButton*>(QStringLiteral("confirmButton"));
    ASSERT_TRUE(sendTo && confirm);
    ASSERT_EQ(sendTo->count(), 3);
    EXPECT_TRUE(confirm->isEnabled());
    sendTo->setCurrentIndex(sendTo->findText(QStringLiteral("Group: Hall A")));
    EXPECT_FALSE(confirm->isEnabled());
    // "Edit..." of the startup display now sets every projector of the group.
    EXPECT_TRUE(tab.findChild<QPushButton*>(QStringLiteral("startupEditButton"))->isEnabled());
    EXPECT_FALSE(tab.findChild<QPushButton*>(QStringLiteral("muteButton"))->isEnabled());

    tab.findChild<QPushButton*>(QStringLiteral("sendButton"))->click();
    auto* dialog = tab.findChild<ManyProjectorDialog*>();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(test::processEventsUntil([&] { return !dialog->running(); }, 30000));
    ManyProjectorRowModel* rows = dialog->model();
    const std::string connectError = communicationErrorText(toCode(ExchangeError::Connect));
    const QString expected[][3] = {
        {QStringLiteral("127.0.92.4"), QStringLiteral("Failed"), qs(connectError).simplified()},
        {QStringLiteral("127.0.92.2"), QStringLiteral("Complete"), QStringLiteral("Complete.")},
        {QStringLiteral("127.0.92.3"), QStringLiteral("Complete"), QStringLiteral("Complete.")},
    };
    ASSERT_EQ(rows->rowCount(), 3);
    for (int r = 0; r < 3; ++r) {
        EXPECT_EQ(rows->index(r, ManyProjectorRowModel::AddressColumn).data().toString(),
                  expected[r][0]);
        EXPECT_EQ(rows->index(r, ManyProjectorRowModel::StateColumn).data().toString(),
                  expected[r][1]);
        EXPECT_EQ(rows->index(r, ManyProjectorRowModel::ResultColumn).data().toString(),
                  expected[r][2]);
    }
    EXPECT_EQ(dialog->summaryText(), QStringLiteral("2 of 3 complete, 1 failed"));
    EXPECT_TRUE(dialog->retryButton()->isEnabled());
    EXPECT_FALSE(dialog->cancelButton()->isEnabled());

    SimProcess late({"--address", "127.0.92.4", "--save-polls", "0"});
    ASSERT_TRUE(late.ready());
    dialog->retryButton()->click();
    ASSERT_TRUE(test::processEventsUntil([&] { return !dialog->running(); }, 30000));
    EXPECT_EQ(dialog->summaryText(), QStringLiteral("3 of 3 complete, 0 failed"));
    EXPECT_FALSE(dialog->retryButton()->isEnabled());
    EXPECT_EQ(puts(sims, "127.0.92.2"), 1u);
    EXPECT_EQ(puts(sims, "127.0.92.3"), 1u);
    EXPECT_EQ(puts(late, "127.0.92.4"), 1u);
    dialog->closeButton()->click();
    ASSERT_TRUE(
        test::processEventsUntil([&] { return tab.findChild<ManyProjectorDialog*>() == nullptr; }));

    // The startup display of every member, chosen once in the same dialog as for one.
    QTimer::singleShot(0, [&] {
        auto* edit = tab.findChild<StartupDisplayDialog*>();
        ASSERT_NE(edit, nullptr);
        edit->findChild<QComboBox*>(QStringLiteral("savedNumber"))->setCurrentIndex(1);
        edit->findChild<QComboBox*>(QStringLiteral("displayTime"))
            ->setEditText(QStringLiteral("5"));
        edit->accept();
    });
    tab.findChild<QPushButton*>(QStringLiteral("startupEditButton"))->click();
    auto* startup = tab.findChild<ManyProjectorDialog*>();
    ASSERT_NE(startup, nullptr);
    ASSERT_TRUE(test::processEventsUntil([&] { return !startup->running(); }, 30000));
    EXPECT_EQ(startup->summaryText(), QStringLiteral("3 of 3 complete, 0 failed"));
    startup->closeButton()->click();

    sendTo->setCurrentIndex(0);
    EXPECT_TRUE(confirm->isEnabled());
    tab.leavePage();
    ASSERT_TRUE(test::stateQueriesEnded(&tab));
}

TEST(ManyProjectorSend, EditPageSendsItsMessageToEveryRegisteredProjector) {
    test::app();
    setInterfaceLanguage(LanguageId::English);
    SimProcess sims({"--address", "127.0.92.10", "--address", "127.0.92.11"});
    ASSERT_TRUE(sims.ready()) << sims.output();
    MainState state;
    state.programFolder = test::scratchFolder("group-edit");
    ScriptedPrompt prompt{PromptAnswer::Yes};
    TransferFlags flags;
    BlockingTransferRunner runner{flags, quickTimings()};
    ProjectorRegistryModel projectors{state};
    for (const char* a : {"127.0.92.10", "127.0.92.11"}) {
        ProjectorRecord r;
        r.address = ipv4(a);
        ASSERT_EQ(projectors.add(r), "");
    }
    EditPage page(PageContext{state, prompt, runner, projectors});
    page.showPage();
    ASSERT_TRUE(test::stateQueriesEnded(&page));
    QTest::keyClicks(page.findChild<QTextEdit*>(QStringLiteral("messageEdit")),
                     QStringLiteral("Fire drill at 10:00"));
    auto* sendTo = page.findChild<SendToChoice*>(QStringLiteral("sendToChoice"));
    auto* get = page.findChild<QPushButton*>(QStringLiteral("getButton"));
    ASSERT_TRUE(sendTo && get);
    sendTo->setCurrentIndex(sendTo->findText(QStringLiteral("All registered projectors")));
    EXPECT_FALSE(get->isEnabled());
    page.findChild<QPushButton*>(QStringLiteral("sendButton"))->click();
    auto* dialog = page.findChild<ManyProjectorDialog*>();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(test::processEventsUntil([&] { return !dialog->running(); }, 30000));
    EXPECT_EQ(dialog->summaryText(), QStringLiteral("2 of 2 complete, 0 failed"));
    EXPECT_EQ(puts(sims, "127.0.92.10"), 1u);
    EXPECT_EQ(puts(sims, "127.0.92.11"), 1u);
    dialog->closeButton()->click();
    sendTo->setCurrentIndex(0);
    EXPECT_TRUE(get->isEnabled());
    page.leavePage();
    ASSERT_TRUE(test::stateQueriesEnded(&page));
}
