#include <gtest/gtest.h>

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDragMoveEvent>
#include <QFile>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QTabWidget>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <QWindow>
#include <fstream>
#include <future>

#include "commands/CommandContext.h"
#include "platform/AtomicFile.h"
#include "projectors/Discovery.h"
#include "support/ScriptedPrompt.h"
#include "support/SimProcess.h"
#include "support/TransferTestSupport.h"
#include "support/UiTestSupport.h"
#include "text/LanguageText.h"
#include "ui/dialogs/CommunicationStatusDialog.h"
#include "ui/edit/EditPage.h"
#include "ui/frame/DesktopProgram.h"
#include "ui/frame/MainWindow.h"
#include "ui/frame/PageTabs.h"
#include "ui/frame/SingleInstance.h"
#include "ui/main/MainPage.h"

using namespace orvanta;

namespace {

struct Window {
    MainState state;
    ScriptedPrompt prompt;
    std::unique_ptr<MainWindow> frame;

    explicit Window(const std::string& folder, StartupOptions options = {}) {
        test::app();
        state.programFolder = folder;
        if (!options.socketLayerAvailable) {
            options.socketLayerAvailable = [] { return true; };
        }
        if (!options.adaptors) {
            // The Discovery tab searches when shown: never from this machine's interfaces.
            options.adaptors = [] { return std::vector<AdaptorEntry>{}; };
        }
        frame = createMainWindow(state, prompt, options);
    }
    QTabWidget& tabs() { return *frame->view()->tabs(); }
};

std::string readFile(const std::string& path) {
    std::string s;
    s = readWholeFile(path).valueOr({});
    return s;
}

// Loopback addresses only: showing the Main page asks the chosen projector for its state.
const char kTwoProjectors[] =
    "[RESIST NUM]\r\nNUM=2\r\n"
    "[RESIST "
    "PROJECTOR1]\r\nNUM=1\r\nIP=2131296266\r\nProjectorName=Hall\r\nMAC=0\r\nAuth=0\r\nPass=\r\n"
    "[RESIST "
    "PROJECTOR2]\r\nNUM=2\r\nIP=2130706434\r\nProjectorName=Sim\r\nMAC=0\r\nAuth=0\r\nPass=\r\n";

}  // namespace

TEST(MainWindow, OpensFixedSizeWithCaptionAndItsPagesInEachLanguage) {
    struct Case {
        LanguageId language;
        const char* caption;
        const char* tabs[4];
    };
    const Case cases[] = {
        {LanguageId::English, "Projector Orvanta Tool", {"Main", "Discovery", "Edit", "Fleet"}},
        {LanguageId::Japanese, nullptr, {nullptr, nullptr, nullptr, nullptr}},
        {LanguageId::ChineseSimplified, nullptr, {nullptr, nullptr, nullptr, nullptr}},
    };
    for (const auto& c : cases) {
        setInterfaceLanguage(c.language);
        Window w(test::scratchFolder("caption"));
        EXPECT_EQ(w.frame->size(), QSize(1000, 700));
        EXPECT_EQ(w.frame->minimumSize(), w.frame->maximumSize());
        EXPECT_FALSE(w.frame->windowFlags() & Qt::WindowMaximizeButtonHint);
        const QString caption = QString::fromStdString(languageText(Text::Caption));
        EXPECT_EQ(w.frame->windowTitle(), caption);
        if (c.caption) {
            EXPECT_EQ(caption, QString::fromUtf8(c.caption));
        } else {
            EXPECT_NE(caption, QStringLiteral("Projector Orvanta Tool"));
        }
        ASSERT_EQ(w.tabs().count(), 5);
        const Text tabKeys[] = {Text::TabMain, Text::TabDiscovery, Text::TabEdit, Text::FleetTab,
                                Text::ScheduleTab};
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(w.tabs().tabText(i), QString::fromStdString(languageText(tabKeys[i])));
            if (i < 4 && c.tabs[i]) {
                EXPECT_EQ(w.tabs().tabText(i), QString::fromUtf8(c.tabs[i]));
            }
        }
        EXPECT_EQ(w.frame->view()->currentPage(), PageTabs::MainTab);
        EXPECT_TRUE(w.prompt.entries().empty());
    }
    setInterfaceLanguage(LanguageId::English);
}

TEST(MainWindow, SwitchingPagesStopsAndStartsTheRightWorkers) {
    setInterfaceLanguage(LanguageId::English);
    Window w(test::scratchFolder("pages"));
    std::atomic<bool>& stop = discoveryStopFlag();
    struct Step {
        int page;
        bool discoveryStop;
    };
    const Step steps[] = {
        {PageTabs::DiscoveryTab, false},
        {PageTabs::MainTab, true},
        {PageTabs::EditTab, true},
        {PageTabs::MainTab, true},
    };
    for (const auto& s : steps) {
        stop = false;  // what a running discovery would see
        w.tabs().setCurrentIndex(s.page);
        EXPECT_EQ(stop.load(), s.discoveryStop) << "page " << s.page;
    }
}

TEST(MainWindow, PagesListTheRegisteredProjectorsOrAskForOne) {
    setInterfaceLanguage(LanguageId::English);
    const std::string folder = test::scratchFolder("list");
    Window w(folder);
    auto* edit = w.frame->view()->editTab()->findChild<QComboBox*>(QStringLiteral("projectorList"));
    ASSERT_NE(edit, nullptr);
    w.tabs().setCurrentIndex(PageTabs::EditTab);
    EXPECT_EQ(edit->count(), 0);
    EXPECT_EQ(edit->currentIndex(), -1);
    EXPECT_EQ(edit->placeholderText(), QStringLiteral("Please select PROJECTOR"));

    // The file is the reference copy: a page shown again picks up what was written meanwhile.
    ASSERT_TRUE(writeFileAtomically(folder + "LastPj.txt", kTwoProjectors).ok());
    w.state.currentProjector = 1;
    w.tabs().setCurrentIndex(PageTabs::MainTab);
    auto* main = w.frame->view()->mainTab()->findChild<QComboBox*>(QStringLiteral("projectorList"));
    ASSERT_NE(main, nullptr);
    ASSERT_EQ(main->count(), 2);
    EXPECT_EQ(main->itemText(0), QStringLiteral("127.9.0.10"));
    EXPECT_EQ(main->itemText(1), QStringLiteral("127.0.0.2"));
    EXPECT_EQ(main->currentIndex(), 1);
}

TEST(MainWindow, SocketLayerFailureIsReportedOnceAndTheWindowStillOpens) {
    setInterfaceLanguage(LanguageId::English);
    StartupOptions options;
    options.socketLayerAvailable = [] { return false; };
    Window w(test::scratchFolder("socket"), options);
    ASSERT_EQ(w.prompt.entries().size(), 1u);
    EXPECT_EQ(w.prompt.entries()[0].text, "SOCKET ERROR");
    EXPECT_EQ(w.prompt.entries()[0].icon, PromptIcon::Error);
    EXPECT_TRUE(w.frame->isVisible());
}

TEST(MainWindow, ExitAsksFirstAndCancelLeavesFileAndSettingsAlone) {
    test::app();  // first: it points the settings store at the test's own folder
    setInterfaceLanguage(LanguageId::English);
    const std::string folder = test::scratchFolder("exit");
    ASSERT_TRUE(writeFileAtomically(folder + "LastPj.txt", kTwoProjectors).ok());
    QSettings settings(QStringLiteral("TAVRIX"), QStringLiteral("PJOrvanta"));
    settings.setValue(QStringLiteral("PJOrvantaPass/Lock"), QStringLiteral("1"));
    settings.sync();

    Window w(folder);
    EXPECT_TRUE(w.state.sendLocked);
    w.state.sendLocked = false;
    w.prompt.queue(PromptAnswer::Cancel);
    EXPECT_FALSE(w.frame->close());
    ASSERT_EQ(w.prompt.entries().size(), 1u);
    EXPECT_EQ(w.prompt.entries()[0].text, "Are you sure that you want to exit this tool?");
    EXPECT_EQ(w.prompt.entries()[0].buttons, PromptButtons::OkCancel);
    EXPECT_EQ(readFile(folder + "LastPj.txt"), kTwoProjectors);
    settings.sync();
    EXPECT_EQ(settings.value(QStringLiteral("PJOrvantaPass/Lock")).toString(), QStringLiteral("1"));

    w.prompt.queue(PromptAnswer::Ok);
    EXPECT_TRUE(w.frame->close());
    // The adaptor choice is written when the operator changes it: closing never waits for
    // the registry lock.
    EXPECT_EQ(readFile(folder + "LastPj.txt"), kTwoProjectors);
    // The window's copy of the lock is never written back: the file keeps what was set there.
    settings.sync();
    EXPECT_EQ(settings.value(QStringLiteral("PJOrvantaPass/Lock")).toString(), QStringLiteral("1"));
    test::unlockSendLock();
}

TEST(MainWindow, ACloseRequestDuringATransferAsksToExitOnceTheTransferHasEnded) {
    test::app();
    setInterfaceLanguage(LanguageId::English);
    testsupport::SimProcess sim({"--address", "127.0.4.130", "--reply-delay", "300"});
    ASSERT_TRUE(sim.ready()) << sim.output();
    Window w(test::scratchFolder("closeduring"));
    TransferRunner& runner = w.frame->pageContext().runner;
    TransferJob job(runner.flags(), runner.timings());
    job.control.address = testsupport::ipv4("127.0.4.130");
    job.control.code = 0x6020;
    job.control.count = 2;

    // The window system's close request, as the window's close button or Alt+F4 sends it,
    // once the Communication Status dialog shows.
    bool requested = false;
    QWidget* modal = nullptr;
    std::size_t askedDuringTransfer = 0;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (!requested && qobject_cast<CommunicationStatusDialog*>(top) != nullptr &&
                top->isVisible()) {
                requested = true;
                // Qt hands a close request to no window that a modal dialog blocks.
                modal = QApplication::activeModalWidget();
                QCloseEvent close;
                QApplication::sendEvent(w.frame->windowHandle(), &close);
                askedDuringTransfer = w.prompt.entries().size();
            }
        }
    });
    poll.start(5);
    w.prompt.queue(PromptAnswer::Ok);
    runner.run(job, TransferKind::Ctrl);
    poll.stop();
    ASSERT_TRUE(requested);
    EXPECT_EQ(modal, nullptr);
    EXPECT_EQ(askedDuringTransfer, 0u);
    ASSERT_TRUE(test::processEventsUntil([&] { return !w.frame->isVisible(); }));
    EXPECT_EQ(w.prompt.texts(),
              std::vector<std::string>{"Are you sure that you want to exit this tool?"});
}

TEST(SingleInstance, ASecondStartRaisesTheFirstInsteadOfOpening) {
    test::app();
    const QString folder = QString::fromStdString(test::scratchFolder("instance"));
    SingleInstance first(folder);
    ASSERT_TRUE(first.acquire());
    int raised = 0;
    QObject::connect(&first, &SingleInstance::raiseRequested, [&] { ++raised; });

    SingleInstance second(folder);
    EXPECT_FALSE(second.acquire());
    // The later start waits for the answer, which the first gives from its event loop.
    auto handedOver = std::async(std::launch::async, [&] { return second.handOver(QString()); });
    EXPECT_TRUE(test::processEventsUntil([&] { return raised == 1; }));
    EXPECT_TRUE(handedOver.get());
}

TEST(SingleInstance, TheProgramItselfExitsOnASecondStartWithoutAWindow) {
    test::app();
    const char* bin = std::getenv("ORVANTA_BIN_DIR");
    ASSERT_NE(bin, nullptr);
    const QString program = QString::fromUtf8(bin) + QStringLiteral("/orvanta");
    const std::string runtimeDir = test::scratchFolder("runtime");
    std::filesystem::permissions(runtimeDir, std::filesystem::perms::owner_all);  // as XDG asks
    const QString runtime = QString::fromStdString(runtimeDir);
    const QString programFolder = QString::fromStdString(test::scratchFolder("program"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    const QStringList args{QStringLiteral("--program-folder"), programFolder};

    QProcess first;
    first.setProcessEnvironment(env);
    first.setProcessChannelMode(QProcess::MergedChannels);
    first.start(program, args);
    ASSERT_TRUE(first.waitForStarted());
    // The first instance is ready once its socket exists.
    ASSERT_TRUE(test::processEventsUntil(
        [&] { return QFile::exists(runtime + QStringLiteral("Orvanta.socket")); }, 10000));

    QProcess second;
    second.setProcessEnvironment(env);
    second.start(program, args);
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    QByteArray output;
    EXPECT_TRUE(test::processEventsUntil([&] {
        first.waitForReadyRead(50);
        output += first.readAll();
        return output.contains("brought forward");
    })) << output.toStdString();
    first.kill();
    first.waitForFinished();
}

// A message file dragged over the Main page is taken over its file list only.
TEST(MainWindow, TheMainPageTakesADraggedFileOverItsFileListOnly) {
    setInterfaceLanguage(LanguageId::English);
    Window w(test::scratchFolder("drag"));
    w.tabs().setCurrentIndex(PageTabs::MainTab);
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/dragged.ovx"))});
    struct Case {
        const char* over;
        bool accepted;
    };
    for (const Case& c : {Case{"fileList", true}, Case{"sendButton", false},
                          Case{"clearList", false}, Case{"projectorList", false}}) {
        auto* target = w.frame->view()->mainTab()->findChild<QWidget*>(QLatin1StringView(c.over));
        ASSERT_NE(target, nullptr) << c.over;
        const QPoint at = target->mapTo(w.frame.get(), target->rect().center());
        // As a drag does: it enters the window, then moves over the control.
        QDragEnterEvent enter(QPoint(2, 2), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(w.frame.get(), &enter);
        QDragMoveEvent move(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(w.frame.get(), &move);
        EXPECT_EQ(move.isAccepted(), c.accepted) << c.over;
    }
}

TEST(MainWindow, AHungProjectorNeitherHoldsTheWindowNorItsKeysAndItsBoxStaysWithItsPage) {
    // The last used projector takes the connection and never answers.
    testsupport::SimProcess sim({"--address", "127.0.13.20", "--reply-delay", "600000"});
    ASSERT_TRUE(sim.ready()) << sim.output();
    setInterfaceLanguage(LanguageId::English);
    const std::string folder = test::scratchFolder("hung");
    ASSERT_TRUE(writeFileAtomically(folder + "LastPj.txt",
                                    "[RESIST NUM]\r\nNUM=1\r\n[RESIST PROJECTOR1]\r\nNUM=1\r\n"
                                    "IP=2130709780\r\nProjectorName=Hung\r\nMAC=0\r\nAuth=0\r\n"
                                    "Pass=\r\n")
                    .ok());
    Window w(folder);  // returns while the projector is still being asked
    EXPECT_TRUE(w.frame->isVisible());
    const auto statusOf = [](QWidget* page) {
        return page->findChild<CommunicationStatusDialog*>(QStringLiteral("stateQueryStatus"));
    };
    QWidget* mainPage = w.frame->view()->mainTab();
    QWidget* editPage = w.frame->view()->editTab();
    struct Step {
        QWidget* page;
        int tab;
    };
    // The operator sees the projector being asked on each page, and goes on regardless.
    for (const Step& step :
         {Step{mainPage, PageTabs::MainTab}, Step{editPage, PageTabs::EditTab}}) {
        SCOPED_TRACE(step.tab);
        w.tabs().setCurrentIndex(step.tab);
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                const auto* d = statusOf(step.page);
                return d != nullptr && d->isVisible();
            },
            60000));
        EXPECT_EQ(statusOf(step.page)->windowModality(), Qt::NonModal);
        EXPECT_TRUE(statusOf(step.page)->cancelButton()->isEnabled());
    }
    auto* title = editPage->findChild<QTextEdit*>(QStringLiteral("titleEdit"));
    ASSERT_NE(title, nullptr);
    QTest::keyClicks(title, QStringLiteral("Hello"));
    EXPECT_EQ(title->toPlainText(), QStringLiteral("Hello"));
    // The Main page's query was dropped when the operator left it: it ends without a box.
    ASSERT_TRUE(QTest::qWaitFor([&] { return statusOf(mainPage) == nullptr; }, 60000));
    EXPECT_TRUE(w.prompt.entries().empty());
    // Cancel ends the Edit page's query at once, and its box says so on its own page.
    statusOf(editPage)->cancelButton()->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w.prompt.entries().empty(); }, 60000));
    EXPECT_EQ(w.prompt.texts(), std::vector<std::string>{languageText(Text::RequestCancelled)});
    EXPECT_EQ(w.tabs().currentIndex(), PageTabs::EditTab);
}
