// The Main tab offscreen against the projector simulator: commands, the status watch and the
// startup display area. Commands run through a blocking runner, the watch with short pauses.

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <filesystem>
#include <fstream>

#include "commands/DisplayCommands.h"
#include "commands/ReadBack.h"
#include "platform/AtomicFile.h"
#include "support/ScriptedPrompt.h"
#include "support/SimProcess.h"
#include "support/TransferTestSupport.h"
#include "support/UiTestSupport.h"
#include "text/LanguageText.h"
#include "ui/common/MainState.h"
#include "ui/main/MainPage.h"
#include "ui/models/ProjectorRegistryModel.h"

using namespace orvanta;
using namespace orvanta::testsupport;

namespace {

StatusPollTimings quickPolls() {
    StatusPollTimings t;
    t.pause = std::chrono::milliseconds(10);
    t.exchange.replyStep = std::chrono::milliseconds(20);  // a silent projector: ~1.2 s
    return t;
}

const std::string kWelcome = std::string(ORVANTA_TEST_BIN_DIR) + "/MessageData/Welcome.ovx";

struct Page {
    MainState state;
    ScriptedPrompt prompt{PromptAnswer::Yes};
    TransferFlags flags;
    BlockingTransferRunner runner{flags, quickTimings()};
    ProjectorRegistryModel projectors{state};
    std::unique_ptr<MainPage> tab;

    Page(const std::string& name, std::vector<const char*> addresses, const char* password = "") {
        test::unlockSendLock();
        setInterfaceLanguage(LanguageId::English);
        state.programFolder = test::scratchFolder(name);
        for (const char* a : addresses) {
            ProjectorRecord r;
            r.address = ipv4(a);
            r.password = password;
            EXPECT_EQ(projectors.add(r), "");
        }
        tab = std::make_unique<MainPage>(PageContext{state, prompt, runner, projectors}, nullptr,
                                         quickPolls());
    }
    ~Page() {
        tab.reset();
        test::processEventsUntil([] { return StatusPoller::threadsAlive() == 0; });
    }
    template <class T>
    T* find(const char* name) {
        T* w = tab->findChild<T*>(QLatin1StringView(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QString shown(const char* label) { return find<QLabel>(label)->text(); }
    void addMessageFile(const std::string& from, const std::string& name) {
        std::filesystem::create_directories(state.programFolder + "MessageData");
        std::filesystem::copy_file(from, state.programFolder + "MessageData/" + name);
    }
    bool pollsStopped() {
        return test::processEventsUntil([] { return StatusPoller::threadsAlive() == 0; });
    }
};

int pollRequests(const SimProcess& sim) {
    return countLines(sim, "CTRL 3534") + countLines(sim, "CTRL 3535");
}

}  // namespace

TEST(MainPage, CommandsWithoutProjectorOrFileSayWhyAndSendNothing) {
    SimProcess sim({"--address", "127.0.62.2"});
    ASSERT_TRUE(sim.ready()) << sim.output();
    Page none("none", {});
    none.tab->showPage();
    ASSERT_TRUE(test::stateQueriesEnded(none.tab.get()));
    EXPECT_EQ(none.find<QComboBox>("projectorList")->placeholderText(),
              QStringLiteral("Please select PROJECTOR"));
    EXPECT_FALSE(none.find<QPushButton>("startupEditButton")->isEnabled());
    EXPECT_FALSE(none.find<QPushButton>("muteButton")->isEnabled());
    for (const char* button : {"sendButton", "confirmButton", "displayOnButton", "displayOffButton",
                               "powerOnDisplayOnButton", "clearButton"}) {
        none.prompt.clear();
        none.find<QPushButton>(button)->click();
        EXPECT_EQ(none.prompt.texts(), std::vector<std::string>{"Please select PROJECTOR"})
            << button;
    }

    Page empty("empty", {"127.0.62.2"});
    empty.tab->showPage();
    ASSERT_TRUE(test::stateQueriesEnded(empty.tab.get()));
    EXPECT_EQ(empty.find<QComboBox>("fileList")->count(), 0);
    empty.find<QPushButton>("sendButton")->click();
    EXPECT_EQ(empty.prompt.texts(), std::vector<std::string>{"No Saved data"});
    EXPECT_EQ(countLines(sim, "PUT") + countLines(sim, "CTRL 6020"), 0) << sim.output();
}

TEST(MainPage, SendArrivesAsTheCommandLineEncodesItAndSetsTheStartupDisplay) {
    SimProcess sim({"--address", "127.0.62.3", "--password", "pw", "--verbose"});
    ASSERT_TRUE(sim.ready()) << sim.output();
    Page page("send", {"127.0.62.3"}, "pw");
    page.addMessageFile(kWelcome, "Welcome.ovx");
    page.tab->showPage();
    ASSERT_TRUE(test::stateQueriesEnded(page.tab.get()));
    ASSERT_EQ(page.find<QComboBox>("fileList")->currentText(), QStringLiteral("Welcome.ovx"));
    page.find<QComboBox>("fileSavedNumber")->setCurrentIndex(3);
    page.find<QCheckBox>("startupCheck")->setEnabled(true);
    page.find<QCheckBox>("startupCheck")->click();
    page.find<QComboBox>("startupTime")->setEditText(QStringLiteral("5"));
    page.find<QPushButton>("sendButton")->click();
    ASSERT_EQ(page.prompt.texts(), std::vector<std::string>{"    Complete."}) << sim.output();
    EXPECT_TRUE(sim.waitForLine("CTRL 3532\\r\\n1\\r\\n33541\\r\\n")) << sim.output();
    EXPECT_EQ(page.shown("startupSavedNumber"), QStringLiteral("3"));
    EXPECT_EQ(page.shown("startupDisplayTime"), QStringLiteral("5"));

    QProcess cli;
    cli.start(
        QString::fromStdString(std::string(ORVANTA_TEST_BIN_DIR) + "/orvanta-cli"),
        {QStringLiteral("encode"), QString::fromStdString(kWelcome), QStringLiteral("--level"),
         QStringLiteral("4"), QStringLiteral("--caps"), QStringLiteral("7")});
    ASSERT_TRUE(cli.waitForFinished(10000));
    const QStringList expected = QString::fromUtf8(cli.readAllStandardOutput()).split(u'\n');
    ASSERT_GE(expected.size(), 3);

    ScriptedPrompt quiet;
    SlotQuery query;
    std::vector<std::uint8_t> body;
    int length = 0;
    ProjectorInfo projector;
    const CommandContext context{{ipv4("127.0.62.3"), "pw"}, quiet, page.runner, projector};
    ASSERT_TRUE(querySlot(context, 3, query).ok());
    ASSERT_TRUE(readBackMessage(context, 3, query, body, length).ok());
    QString hex;
    for (int i = 0; i < length; ++i) {
        hex += QStringLiteral("%1").arg(body[static_cast<std::size_t>(i)], 2, 16, QLatin1Char('0'));
    }
    EXPECT_EQ(
        (QStringLiteral("header: ") + QString::fromStdString(query.headerHex).left(64)).toLower(),
        expected[0].toLower());
    EXPECT_EQ(QStringLiteral("body: ") + hex, expected[2].toLower());
}

TEST(MainPage, AFatalErrorStatusStopsEveryCommand) {
    SimProcess sim({"--address", "127.0.62.4", "--error-status", "2"});
    ASSERT_TRUE(sim.ready()) << sim.output();
    Page page("fatal", {"127.0.62.4"});
    page.addMessageFile(kWelcome, "Welcome.ovx");
    page.tab->showPage();
    ASSERT_TRUE(test::stateQueriesEnded(page.tab.get()));
    struct Case {
        const char* button;
        std::vector<std::string> texts;
    };
    const Case cases[] = {
        {"sendButton", {"Projector has the fatal error."}},
        {"displayOnButton", {"Projector has the fatal error."}},
        {"displayOffButton", {"Projector has the fatal error."}},
        {"powerOnDisplayOnButton", {"Projector has the fatal error."}},
        {"clearButton", {"You clicked [Clear]. Are you sure?", "Projector has the fatal error."}},
    };
    for (const Case& c : cases) {
        page.prompt.clear();
        page.find<QPushButton>(c.button)->click();
        EXPECT_EQ(page.prompt.texts(), c.texts) << c.button;
    }
    EXPECT_EQ(countLines(sim, "PUT") + countLines(sim, "CTRL 3510") + countLines(sim, "CTRL 3511"),
              0)
        << sim.output();
    EXPECT_TRUE(page.pollsStopped());  // a command that ends early does not restart the watch
}

TEST(MainPage, StatusFieldsFollowTheShownSlotAndTheAlarmUntilMuted) {
    SimProcess sim({"--address", "127.0.62.5", "--alarm", "2"});
    ASSERT_TRUE(sim.ready()) << sim.output();
    Page page("status", {"127.0.62.5"});
    const ProjectorTarget target{ipv4("127.0.62.5"), ""};
    ASSERT_TRUE(storeTestMessages(target, {3}));
    ProjectorInfo projector;
    ASSERT_TRUE(showStoredMessage({target, page.prompt, page.runner, projector}, 3, false).ok());
    page.tab->showPage();
    ASSERT_TRUE(test::stateQueriesEnded(page.tab.get()));
    ASSERT_TRUE(test::processEventsUntil([&] {
        return page.shown("messageState") == QStringLiteral("ON") &&
               page.shown("alarmState") == QStringLiteral("ON");
    })) << sim.output();
    EXPECT_EQ(page.shown("messageSlot"), QStringLiteral("Saved number:3"));
    EXPECT_EQ(page.shown("alarmSound"), QStringLiteral("Sound number:2"));
    ASSERT_TRUE(page.find<QPushButton>("muteButton")->isEnabled());

    page.find<QPushButton>("muteButton")->click();
    EXPECT_EQ(page.prompt.texts(), std::vector<std::string>{"    Complete."});
    ASSERT_TRUE(test::processEventsUntil(
        [&] { return page.shown("alarmState") == QStringLiteral("OFF"); }));
    EXPECT_EQ(page.shown("alarmSound"), QStringLiteral("Sound number:-"));
    EXPECT_FALSE(page.find<QLabel>("alarmSound")->isEnabled());
    EXPECT_FALSE(page.find<QPushButton>("muteButton")->isEnabled());
}

// A command stops the watch while it talks to the projector; the fields and Mute keep what the
// projector said last until the watch hears from it again, rather than blanking to "-".
TEST(MainPage, StatusFieldsKeepTheirLastValuesWhileTheWatchRestarts) {
    SimProcess sim({"--address", "127.0.62.30", "--alarm", "2"});
    ASSERT_TRUE(sim.ready()) << sim.output();
    Page page("status-kept", {"127.0.62.30"});
    const ProjectorTarget target{ipv4("127.0.62.30"), ""};
    ASSERT_TRUE(storeTestMessages(target, {0}));
    page.tab->showPage();
    ASSERT_TRUE(test::stateQueriesEnded(page.tab.get()));
    ASSERT_TRUE(test::processEventsUntil([&] {
        return page.shown("messageState") != QStringLiteral("-") &&
               page.shown("alarmState") == QStringLiteral("ON");
    })) << sim.output();
    for (int round = 0; round < 2; ++round) {
        const int polled = pollRequests(sim);
        const QString message = page.shown("messageState");
        page.find<QPushButton>("displayOffButton")->click();  // runs to its end first
        EXPECT_EQ(page.shown("messageState"), message) << round;
        EXPECT_EQ(page.shown("alarmState"), QStringLiteral("ON")) << round;
        EXPECT_EQ(page.shown("alarmSound"), QStringLiteral("Sound number:2")) << round;
        EXPECT_TRUE(page.find<QPushButton>("muteButton")->isEnabled()) << round;
        // The watch is back and has been answered again.
        ASSERT_TRUE(test::processEventsUntil([&] { return pollRequests(sim) >= polled + 2; }));
    }
}

TEST(MainPage, TheWatchAsksInTurnAndStopsWhenTheTabIsLeftOrTheDropDownOpens) {
    SimProcess sim({"--address", "127.0.62.6"});
    ASSERT_TRUE(sim.ready()) << sim.output();
    Page page("watch", {"127.0.62.6"});
    page.tab->showPage();
    ASSERT_TRUE(test::stateQueriesEnded(page.tab.get()));
    ASSERT_TRUE(test::processEventsUntil([&] { return pollRequests(sim) >= 4; })) << sim.output();
    int turn = 0;
    for (const std::string& line : sim.lines()) {
        if (line.find("CTRL 3534") != std::string::npos ||
            line.find("CTRL 3535") != std::string::npos) {
            EXPECT_NE(line.find(turn++ % 2 == 0 ? "CTRL 3534" : "CTRL 3535"), std::string::npos)
                << sim.output();
        }
    }

    const auto stopsFor = [&](const std::function<void()>& action, const char* what) {
        page.tab->showPage();
        ASSERT_TRUE(test::stateQueriesEnded(page.tab.get()));
        const std::size_t from = sim.settledLineCount();
        ASSERT_TRUE(sim.waitForLine("CTRL 3535", std::chrono::seconds(5), from)) << what;
        action();
        ASSERT_TRUE(page.pollsStopped()) << what;
        const std::size_t after = sim.settledLineCount();
        EXPECT_FALSE(sim.waitForLine("CTRL 353", std::chrono::milliseconds(200), after)) << what;
    };
    stopsFor([&] { page.tab->leavePage(); }, "tab left");
    auto* projectors = page.find<QComboBox>("projectorList");
    stopsFor([&] { projectors->showPopup(); }, "drop-down opened");
    projectors->hidePopup();
    // Choosing a projector brings the watch back.
    const std::size_t from = sim.settledLineCount();
    emit projectors->activated(0);
    ASSERT_TRUE(test::stateQueriesEnded(page.tab.get()));
    EXPECT_TRUE(sim.waitForLine("CTRL 3534", std::chrono::seconds(5), from));
}

TEST(MainPage, AProjectorThatNeverAnswersLeavesThePageUsable) {
    auto sim = std::make_unique<SimProcess>(std::vector<std::string>{"--address", "127.0.62.7"});
    ASSERT_TRUE(sim->ready()) << sim->output();
    Page page("silent", {"127.0.62.7"});
    page.tab->showPage();
    ASSERT_TRUE(test::stateQueriesEnded(page.tab.get()));
    ASSERT_TRUE(test::processEventsUntil(
        [&] { return page.shown("messageState") == QStringLiteral("OFF"); }));
    // The same projector, now silent: the watch's next request waits for a reply.
    sim.reset();
    sim = std::make_unique<SimProcess>(
        std::vector<std::string>{"--address", "127.0.62.7", "--reply-delay", "60000"});
    ASSERT_TRUE(sim->ready()) << sim->output();
    ASSERT_TRUE(sim->waitForLine("CTRL 353")) << sim->output();

    page.find<QRadioButton>("clearSavedNumber")->click();
    EXPECT_TRUE(page.find<QComboBox>("clearList")->isEnabled());
    // The watch gives up on its own, shows that it does not know and asks again later.
    EXPECT_TRUE(test::processEventsUntil([&] {
        return countLines(*sim, "CTRL 353") >= 2 &&
               page.shown("messageState") == QStringLiteral("-");
    })) << sim->output();
    EXPECT_FALSE(page.find<QLabel>("messageState")->isEnabled());
    page.tab->leavePage();
    EXPECT_TRUE(page.pollsStopped());
}

TEST(MainPage, StartupAreaShowsAndEditsTheProjectorsSetting) {
    SimProcess sim({"--address", "127.0.62.8", "--startup-word", "33541", "--verbose"});
    SimProcess old({"--address", "127.0.62.9", "--level", "1"});
    ASSERT_TRUE(sim.ready() && old.ready()) << sim.output() << old.output();
    Page page("startup", {"127.0.62.8", "127.0.62.9"});
    page.tab->showPage();
    ASSERT_TRUE(test::stateQueriesEnded(page.tab.get()));
    EXPECT_EQ(page.shown("startupSavedNumber"), QStringLiteral("3"));
    EXPECT_EQ(page.shown("startupDisplayTime"), QStringLiteral("5"));
    auto* savedNumber = page.find<QComboBox>("fileSavedNumber");
    auto* check = page.find<QCheckBox>("startupCheck");
    struct Case {
        int savedNumber;
        bool checked;
        bool enabled;
        QString time;
    };
    for (const Case& c : {Case{3, true, true, QStringLiteral("5")}, Case{4, false, true, {}},
                          Case{0, false, false, {}}}) {
        savedNumber->setCurrentIndex(c.savedNumber);
        emit savedNumber->activated(c.savedNumber);
        ASSERT_TRUE(test::stateQueriesEnded(page.tab.get()));
        EXPECT_EQ(check->isChecked(), c.checked) << c.savedNumber;
        EXPECT_EQ(check->isEnabled(), c.enabled) << c.savedNumber;
        EXPECT_EQ(page.find<QComboBox>("startupTime")->currentText(), c.time) << c.savedNumber;
    }

    // "None" with "Repeat" switches the startup display off: saved number 1, one minute.
    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->findChild<QComboBox*>(QStringLiteral("savedNumber"))->setCurrentIndex(0);
        dialog->findChild<QComboBox*>(QStringLiteral("displayTime"))
            ->setEditText(QStringLiteral("Repeat"));
        dialog->findChild<QPushButton*>(QStringLiteral("okButton"))->click();
    });
    page.find<QPushButton>("startupEditButton")->click();
    EXPECT_TRUE(sim.waitForLine("CTRL 3532\\r\\n1\\r\\n257\\r\\n")) << sim.output();
    EXPECT_EQ(page.shown("startupSavedNumber"), QStringLiteral("None"));
    EXPECT_EQ(page.shown("startupDisplayTime"), QStringLiteral("-"));

    // A projector of level 1 cannot say or take a startup display.
    auto* projectors = page.find<QComboBox>("projectorList");
    projectors->setCurrentIndex(1);
    emit projectors->activated(1);
    ASSERT_TRUE(test::stateQueriesEnded(page.tab.get()));
    EXPECT_EQ(page.shown("startupSavedNumber"), QStringLiteral("-"));
    EXPECT_FALSE(page.find<QPushButton>("startupEditButton")->isEnabled());
}

TEST(MainPage, ADroppedFileIsCopiedOnceAndNeverReplacesOne) {
    Page page("drop", {});
    const std::string outside = test::scratchFolder("drop-outside");
    ASSERT_TRUE(writeFileAtomically(outside + "a.ovx", "new").ok());
    ASSERT_TRUE(writeFileAtomically(outside + "b.OVX", "new").ok());
    page.addMessageFile(outside + "a.ovx", "taken.ovx");
    ASSERT_TRUE(
        writeFileAtomically(page.state.programFolder + "MessageData/taken.ovx", "old").ok());
    std::filesystem::copy_file(outside + "a.ovx", outside + "taken.ovx");
    struct Case {
        std::string file;
        PromptAnswer answer;
        std::vector<std::string> texts;
        QStringList listed;
    };
    const std::string question = "Do you want to add this file to Message file list?";
    const Case cases[] = {
        {"b.OVX", PromptAnswer::Yes, {".ovx extension is only valid."}, {}},
        {"a.ovx", PromptAnswer::No, {question}, {}},
        {"a.ovx",
         PromptAnswer::Yes,
         {question, "    Complete."},
         {QStringLiteral("a.ovx"), QStringLiteral("taken.ovx")}},
        {"taken.ovx", PromptAnswer::Yes, {question, "Same file name already exists."}, {}},
    };
    for (const Case& c : cases) {
        page.prompt.clear();
        if (c.texts.front() == question) {
            page.prompt.queue(c.answer);
        }
        page.tab->dropMessageFile(QString::fromStdString(outside + c.file));
        EXPECT_EQ(page.prompt.texts(), c.texts) << c.file;
        if (!c.listed.isEmpty()) {
            auto* files = page.find<QComboBox>("fileList");
            QStringList listed;
            for (int i = 0; i < files->count(); ++i) {
                listed << files->itemText(i);
            }
            EXPECT_EQ(listed, c.listed);
        }
    }
    const auto keptRead = readWholeFile(page.state.programFolder + "MessageData/taken.ovx");
    ASSERT_TRUE(keptRead.ok());
    const std::string kept = keptRead.valueOr({});
    EXPECT_EQ(kept, "old");
}

// A radio button, check box or list changed by the keyboard, by a screen reader's action or
// by the program itself enables what a mouse click enables: what is shown as chosen is what
// the command does.
TEST(MainPage, ChoicesMadeWithoutTheMouseEnableWhatAClickEnables) {
    SimProcess sim({"--address", "127.0.62.10", "--startup-word", "33541"});
    ASSERT_TRUE(sim.ready()) << sim.output();
    Page page("toggles", {"127.0.62.10"});
    page.tab->showPage();
    ASSERT_TRUE(test::stateQueriesEnded(page.tab.get()));
    auto* savedNumber = page.find<QComboBox>("fileSavedNumber");
    auto* check = page.find<QCheckBox>("startupCheck");
    auto* time = page.find<QComboBox>("startupTime");
    auto* clearList = page.find<QComboBox>("clearList");
    const auto toggle = [](QWidget* w) {
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
        ASSERT_NE(a, nullptr);
        ASSERT_NE(a->actionInterface(), nullptr);
        ASSERT_TRUE(a->actionInterface()->actionNames().contains(
            QAccessibleActionInterface::toggleAction()));
        a->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    };
    struct Case {
        const char* how;
        std::function<void()> change;
        std::function<bool()> holds;
    };
    const Case cases[] = {
        {"saved number 4 by keys", [&] { savedNumber->setCurrentIndex(4); },
         [&] { return check->isEnabled() && !check->isChecked() && !time->isEnabled(); }},
        {"startup display ticked by a screen reader", [&] { toggle(check); },
         [&] {
             return check->isChecked() && time->isEnabled() &&
                    time->currentText() == QStringLiteral("3");
         }},
        {"startup display unticked by the program", [&] { check->setChecked(false); },
         [&] { return !time->isEnabled() && time->currentText().isEmpty(); }},
        {"Quick by keys", [&] { savedNumber->setCurrentIndex(0); },
         [&] { return !check->isEnabled() && !check->isChecked(); }},
        {"Saved number chosen by a screen reader",
         [&] { toggle(page.find<QRadioButton>("clearSavedNumber")); },
         [&] { return clearList->isEnabled(); }},
        {"All chosen by the program",
         [&] { page.find<QRadioButton>("clearAll")->setChecked(true); },
         [&] { return !clearList->isEnabled(); }},
        {"Saved number chosen again by the program",
         [&] { page.find<QRadioButton>("clearSavedNumber")->setChecked(true); },
         [&] { return clearList->isEnabled(); }},
    };
    for (const Case& c : cases) {
        c.change();
        EXPECT_TRUE(c.holds()) << c.how;
    }
    // Clear now clears the one chosen slot, never every stored message.
    clearList->setCurrentIndex(5);
    page.prompt.clear();
    page.find<QPushButton>("clearButton")->click();
    EXPECT_TRUE(sim.waitForLine("CTRL 3518")) << sim.output();
    EXPECT_EQ(countLines(sim, "CTRL 3511"), 0) << sim.output();
}

TEST(MainPage, TheFileListHoldsEveryMessageFileSortedByName) {
    Page page("manyfiles", {});
    const std::string folder = page.state.programFolder + "MessageData/";
    std::filesystem::create_directories(folder);
    QStringList expected;
    for (int i = 299; i >= 0; --i) {  // written in reverse order
        const QString name = QStringLiteral("m%1.ovx").arg(i, 4, 10, QLatin1Char('0'));
        std::ofstream(folder + name.toStdString()) << "x";
        expected.prepend(name);
    }
    std::ofstream(folder + "notes.txt") << "x";
    page.tab->showPage();
    auto* files = page.find<QComboBox>("fileList");
    QStringList listed;
    for (int i = 0; i < files->count(); ++i) {
        listed << files->itemText(i);
    }
    EXPECT_EQ(listed, expected);
}

TEST(MainPage, TheWatchComesBackAfterAStartupDisplayThatCouldNotBeSet) {
    auto sim = std::make_unique<SimProcess>(
        std::vector<std::string>{"--address", "127.0.62.11", "--verbose"});
    ASSERT_TRUE(sim->ready()) << sim->output();
    Page page("startupfails", {"127.0.62.11"});
    page.addMessageFile(kWelcome, "Welcome.ovx");
    page.tab->showPage();
    ASSERT_TRUE(test::stateQueriesEnded(page.tab.get()));
    ASSERT_TRUE(sim->waitForLine("CTRL 3534")) << sim->output();
    auto* projectors = page.find<QComboBox>("projectorList");
    projectors->showPopup();  // the watch stops while the operator chooses
    ASSERT_TRUE(page.pollsStopped());
    // The same projector now takes the message but refuses the connection after it: the
    // startup display that should follow never arrives.
    sim.reset();
    sim = std::make_unique<SimProcess>(
        std::vector<std::string>{"--address", "127.0.62.11", "--verbose", "--accept-limit", "4"});
    ASSERT_TRUE(sim->ready()) << sim->output();
    projectors->hidePopup();
    page.find<QComboBox>("fileSavedNumber")->setCurrentIndex(2);
    page.find<QCheckBox>("startupCheck")->setEnabled(true);
    page.find<QCheckBox>("startupCheck")->setChecked(true);
    page.find<QPushButton>("sendButton")->click();
    ASSERT_EQ(page.prompt.texts(),
              std::vector<std::string>{"Communication error\n : [Connection error]"})
        << sim->output();
    EXPECT_TRUE(sim->waitForLine("PUT")) << sim->output();
    EXPECT_EQ(countLines(*sim, "CTRL 3532"), 0) << sim->output();
    EXPECT_TRUE(test::processEventsUntil([] { return StatusPoller::threadsAlive() > 0; }))
        << sim->output();
}
