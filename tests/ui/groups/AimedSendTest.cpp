// Nothing is sent where the operator did not aim: a send to a group goes to the members the
// files name when it is sent, never to a projector removed meanwhile; a retry obeys a send lock
// set since the first try; "Send again" from the History window goes to the record's projector
// whatever the Edit tab's "Send to" holds, and refuses a saved number no projector has.
// Simulated projectors on 127.0.152.x.

#include <gtest/gtest.h>

#include <QPushButton>
#include <QTest>
#include <filesystem>

#include "cli/CliTestSupport.h"
#include "history/History.h"
#include "platform/AtomicFile.h"
#include "projectors/ProjectorGroups.h"
#include "settings/SendLockStore.h"
#include "support/ScriptedPrompt.h"
#include "support/SimProcess.h"
#include "support/TransferTestSupport.h"
#include "support/UiTestSupport.h"
#include "text/LanguageText.h"
#include "ui/common/UiText.h"
#include "ui/edit/EditPage.h"
#include "ui/frame/DesktopProgram.h"
#include "ui/frame/MainWindow.h"
#include "ui/frame/PageTabs.h"
#include "ui/groups/ManyProjectorDialog.h"
#include "ui/groups/ManyProjectorRowModel.h"
#include "ui/groups/SendToChoice.h"
#include "ui/main/MainPage.h"
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

void registerAt(const std::string& folder, const char* address) {
    ProjectorRecord r;
    r.address = ipv4(address);
    ASSERT_TRUE(registerProjector(folder, r).ok());
}

}  // namespace

TEST(AimedSend, AGroupSendGoesToWhoTheFilesNameWhenItIsSentAndRetriesObeyTheLock) {
    test::app();
    test::unlockSendLock();
    setInterfaceLanguage(LanguageId::English);
    SimProcess sims({"--address", "127.0.152.2", "--address", "127.0.152.3", "--address",
                     "127.0.152.5", "--save-polls", "0"});
    ASSERT_TRUE(sims.ready()) << sims.output();
    MainState state;
    state.programFolder = test::scratchFolder("aimed-group");
    const std::string& folder = state.programFolder;
    ScriptedPrompt prompt{PromptAnswer::Yes};
    TransferFlags flags;
    BlockingTransferRunner runner{flags, quickTimings()};
    ProjectorRegistryModel projectors{state};
    for (const char* a : {"127.0.152.2", "127.0.152.3", "127.0.152.4"}) {
        ProjectorRecord r;
        r.address = ipv4(a);
        ASSERT_EQ(projectors.add(r), "");
    }
    ASSERT_TRUE(createGroup(folder, "Hall").ok());
    for (const char* a : {"127.0.152.2", "127.0.152.3", "127.0.152.4"}) {
        ASSERT_TRUE(addToGroup(folder, "Hall", ipv4(a)).ok());
    }
    std::filesystem::create_directories(folder + "MessageData");
    std::filesystem::copy_file(kWelcome, folder + "MessageData/Welcome.ovx");

    MainPage tab(PageContext{state, prompt, runner, projectors});
    tab.showPage();
    ASSERT_TRUE(test::stateQueriesEnded(&tab));
    auto* sendTo = tab.findChild<SendToChoice*>(QStringLiteral("sendToChoice"));
    sendTo->setCurrentIndex(sendTo->findText(QStringLiteral("Group: Hall")));
    // Meanwhile the command line removes one projector and adds another to the group.
    ASSERT_TRUE(unregisterProjector(folder, ipv4("127.0.152.3")).ok());
    registerAt(folder, "127.0.152.5");
    ASSERT_TRUE(addToGroup(folder, "Hall", ipv4("127.0.152.5")).ok());

    tab.findChild<QPushButton*>(QStringLiteral("sendButton"))->click();
    auto* dialog = tab.findChild<ManyProjectorDialog*>();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(test::processEventsUntil([&] { return !dialog->running(); }, 30000));
    ManyProjectorRowModel* rows = dialog->model();
    const QString connectError = qs(communicationErrorText(toCode(ExchangeError::Connect)));
    const QString expected[][2] = {
        {QStringLiteral("127.0.152.2"), QStringLiteral("Complete.")},
        {QStringLiteral("127.0.152.3"), text(Text::ProjectorNoLongerRegistered)},
        {QStringLiteral("127.0.152.4"), connectError.simplified()},
        {QStringLiteral("127.0.152.5"), QStringLiteral("Complete.")},
    };
    ASSERT_EQ(rows->rowCount(), 4);
    for (int r = 0; r < 4; ++r) {
        EXPECT_EQ(rows->index(r, ManyProjectorRowModel::AddressColumn).data().toString(),
                  expected[r][0]);
        EXPECT_EQ(rows->index(r, ManyProjectorRowModel::ResultColumn).data().toString(),
                  expected[r][1]);
    }
    EXPECT_EQ(puts(sims, "127.0.152.3"), 0u) << "removed from the registry before the send";
    EXPECT_EQ(puts(sims, "127.0.152.5"), 1u);

    // The lock is set (from another window, or the command line) before Retry.
    ASSERT_TRUE(writeSendLocked(sendLockSettingsPath(), true).ok());
    SimProcess late({"--address", "127.0.152.4", "--save-polls", "0"});
    ASSERT_TRUE(late.ready()) << late.output();
    ASSERT_TRUE(dialog->retryButton()->isEnabled());
    dialog->retryButton()->click();
    ASSERT_TRUE(test::processEventsUntil([&] { return !dialog->running(); }, 30000));
    EXPECT_EQ(rows->index(2, ManyProjectorRowModel::ResultColumn).data().toString(),
              text(Text::SendLocked));
    EXPECT_EQ(puts(late, "127.0.152.4"), 0u);
    dialog->closeButton()->click();
    test::unlockSendLock();
    tab.leavePage();
    ASSERT_TRUE(test::stateQueriesEnded(&tab));
}

TEST(AimedSend, SendAgainGoesToTheRecordsProjectorOrSaysWhyNot) {
    test::app();
    test::unlockSendLock();
    setInterfaceLanguage(LanguageId::English);
    SimProcess sims({"--address", "127.0.152.10", "--address", "127.0.152.11", "--address",
                     "127.0.152.12", "--save-polls", "0"});
    ASSERT_TRUE(sims.ready()) << sims.output();
    const std::string folder = test::scratchFolder("aimed-again");
    for (const char* a : {"127.0.152.10", "127.0.152.11", "127.0.152.12"}) {
        registerAt(folder, a);
    }
    ASSERT_TRUE(createGroup(folder, "Others").ok());
    ASSERT_TRUE(addToGroup(folder, "Others", ipv4("127.0.152.11")).ok());
    ASSERT_TRUE(addToGroup(folder, "Others", ipv4("127.0.152.12")).ok());
    Message m;
    m.title = RichText(u"Drill", 0xFFFFFF, 0xC0C0C0);
    m.body = RichText(u"Go east", 0xFFFFFF, 0xC0C0C0);
    ASSERT_TRUE(writeMessageFile(folder + "m.ovx", m));

    MainState state;
    state.programFolder = folder;
    ScriptedPrompt prompt{PromptAnswer::Yes};
    StartupOptions options;
    options.socketLayerAvailable = [] { return true; };
    options.adaptors = [] { return std::vector<AdaptorEntry>{}; };
    auto frame = createMainWindow(state, prompt, options);
    QApplication::processEvents();
    frame->view()->tabs()->setCurrentIndex(PageTabs::EditTab);
    EditPage& edit = *frame->view()->editTab();
    auto* sendTo = edit.findChild<SendToChoice*>(QStringLiteral("sendToChoice"));
    sendTo->setCurrentIndex(sendTo->findText(QStringLiteral("Group: Others")));

    HistoryRecord record;
    record.address = "127.0.152.10";
    record.command = "send";
    record.result = "done";
    record.message = readWholeFile(folder + "m.ovx").valueOr({});
    struct Case {
        const char* what;
        int slot;
        std::string told;
        std::size_t putsToRecorded;
    };
    const Case cases[] = {
        {"to the record's projector, not the group", 3, "    Complete.", 1},
        {"a saved number out of range", 12 + 1, formatText(Text::HistorySlotOutOfRange, {13}), 1},
        {"a negative one", -4, formatText(Text::HistorySlotOutOfRange, {-4}), 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        record.slot = c.slot;
        prompt.clear();
        frame->openFromHistory(record, true);
        ASSERT_TRUE(test::stateQueriesEnded(frame.get()));
        ASSERT_FALSE(prompt.texts().empty());
        EXPECT_EQ(prompt.texts().back(), c.told);
        EXPECT_EQ(puts(sims, "127.0.152.10"), c.putsToRecorded);
        EXPECT_EQ(puts(sims, "127.0.152.11") + puts(sims, "127.0.152.12"), 0u);
        EXPECT_TRUE(frame->findChild<ManyProjectorDialog*>() == nullptr);
    }
}
