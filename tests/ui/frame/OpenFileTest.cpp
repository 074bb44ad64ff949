// Message files opened from outside the Edit page's own Open: named on the command line,
// handed over by a later start of the program, chosen from the File menu's recent files.

#include <gtest/gtest.h>

#include <QAction>
#include <QDialog>
#include <QLockFile>
#include <QMenu>
#include <QProcess>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTextEdit>
#include <QTimer>
#include <filesystem>
#include <future>

#include "support/ScriptedPrompt.h"
#include "support/UiTestSupport.h"
#include "text/LanguageText.h"
#include "ui/common/RecentFiles.h"
#include "ui/edit/EditPage.h"
#include "ui/frame/DesktopCommandLine.h"
#include "ui/frame/DesktopProgram.h"
#include "ui/frame/MainWindow.h"
#include "ui/frame/PageTabs.h"
#include "ui/frame/SingleInstance.h"

namespace orvanta {
namespace {

const std::string kWelcome = std::string(ORVANTA_TEST_SOURCE_DIR) + "/data/MessageData/Welcome.ovx";

// The window as the program makes it from its command line (after the options Qt takes).
struct StartedWindow {
    std::string folder;
    MainState state;
    ScriptedPrompt prompt;
    std::unique_ptr<MainWindow> window;

    StartedWindow(const std::string& name, std::vector<std::string> args) {
        test::app();
        setInterfaceLanguage(LanguageId::English);
        folder = test::scratchFolder(name);
        std::filesystem::create_directories(folder + "MessageData");
        state.programFolder = folder;
        state.recentFilesList = folder + "recently-used.xbel";
        StartupOptions options;
        options.socketLayerAvailable = [] { return true; };
        // The Discovery tab searches when shown: never from this machine's interfaces.
        options.adaptors = [] { return std::vector<AdaptorEntry>{}; };
        const DesktopArguments given = readDesktopArguments(args);
        EXPECT_EQ(given.error, "");
        options.fileToOpen = QString::fromStdString(given.file);
        window = createMainWindow(state, prompt, options);
    }
    PageTabs& view() { return *window->view(); }
    QString title() {
        return view().editTab()->findChild<QTextEdit*>(QStringLiteral("titleEdit"))->toPlainText();
    }
    QTextEdit* body() {
        return view().editTab()->findChild<QTextEdit*>(QStringLiteral("messageEdit"));
    }
    bool showsFile(const std::string& file) {
        return view().currentPage() == PageTabs::EditTab &&
               view().editTab()->currentFileName() == file && title() == QStringLiteral("Welcome");
    }
};

std::string copyOf(const std::string& file, const std::string& to) {
    std::filesystem::copy_file(file, to, std::filesystem::copy_options::overwrite_existing);
    return to;
}

TEST(DesktopArguments, OneFileAfterTheOptions) {
    struct Case {
        std::vector<std::string> args;
        std::string file;
        std::string error;
    };
    const Case cases[] = {
        {{}, "", ""},
        {{"a.ovx"}, "a.ovx", ""},
        {{"--program-folder", "/x", "a.ovx"}, "a.ovx", ""},
        {{"--program-folder=/x", "a.ovx"}, "a.ovx", ""},
        {{"--program-folder", "b.ovx"}, "", ""},  // the folder's value, not a file
        {{"--", "-odd name.ovx"}, "-odd name.ovx", ""},
        {{"a.ovx", "b.ovx"}, "", "only one FILE can be opened"},
        {{"--frobnicate", "a.ovx"}, "", "unknown option --frobnicate (see --help)"},
    };
    for (const Case& c : cases) {
        const DesktopArguments got = readDesktopArguments(c.args);
        EXPECT_EQ(got.file, c.file) << testing::PrintToString(c.args);
        EXPECT_EQ(got.error, c.error) << testing::PrintToString(c.args);
    }
}

TEST(OpenFile, AFileOnTheCommandLineIsShownOnTheEditPage) {
    struct Case {
        const char* name;
        bool exists;
        std::vector<std::string> said;
    };
    const Case cases[] = {
        {"Welcome.ovx", true, {}},
        {"missing.ovx", false, {"The file cannot be read."}},
    };
    for (const Case& c : cases) {
        const std::string dir = test::scratchFolder(std::string("cmdline-") + c.name);
        const std::string file = dir + c.name;
        if (c.exists) {
            copyOf(kWelcome, file);
        }
        StartedWindow w(std::string("cmdline-window-") + c.name,
                        {"--program-folder", dir + "folder", file});
        ASSERT_TRUE(test::processEventsUntil([&] {
            return c.exists
                       ? w.showsFile(file)
                       : w.view().currentPage() == PageTabs::EditTab && !w.prompt.entries().empty();
        })) << c.name;
        EXPECT_EQ(w.prompt.texts(), c.said) << c.name;
        EXPECT_EQ(RecentFiles(QString::fromStdString(w.state.recentFilesList)).files(8),
                  c.exists ? QStringList{QString::fromStdString(file)} : QStringList{});
    }
}

TEST(OpenFile, UnsavedWorkIsAskedAboutFirstAndADialogIsWaitedFor) {
    const std::string file = copyOf(kWelcome, test::scratchFolder("open-unsaved-file") + "W.ovx");
    struct Case {
        PromptAnswer answer;
        bool opened;
    };
    for (const Case& c : {Case{PromptAnswer::Cancel, false}, Case{PromptAnswer::No, true}}) {
        StartedWindow w("open-unsaved", {});
        w.body()->textCursor().insertText(QStringLiteral("unsaved words"));
        w.prompt.queue(c.answer);
        w.window->openFile(QString::fromStdString(file));
        EXPECT_EQ(w.prompt.texts(), std::vector<std::string>{languageText(Text::UnsavedData)});
        EXPECT_EQ(w.view().currentPage(), PageTabs::EditTab);
        EXPECT_EQ(w.showsFile(file), c.opened);
        EXPECT_EQ(w.body()->toPlainText() == QStringLiteral("unsaved words"), !c.opened);
    }

    StartedWindow w("open-under-dialog", {});
    // Asked for while a dialog of the window is open: opened once it has closed.
    QDialog dialog(w.window.get());
    bool openedUnderTheDialog = true;
    QTimer::singleShot(0, &dialog, [&] {
        w.window->openFile(QString::fromStdString(file));
        openedUnderTheDialog = w.showsFile(file);
        dialog.accept();
    });
    dialog.exec();
    EXPECT_FALSE(openedUnderTheDialog);
    EXPECT_TRUE(test::processEventsUntil([&] { return w.showsFile(file); }));
}

TEST(OpenFile, TheFileMenuListsTheFilesLastOpenedOrSavedAndOpensThem) {
    StartedWindow w("recent-menu", {});
    const std::string dir = test::scratchFolder("recent-menu-files");
    const std::string opened = copyOf(kWelcome, dir + "Opened & read.ovx");
    const std::string saved = dir + "Saved.ovx";
    w.window->openFile(QString::fromStdString(opened));
    ASSERT_TRUE(w.showsFile(opened));
    w.view().editTab()->setFileChooser(
        [&](bool, const QString&, const QString&) { return QString::fromStdString(saved); });
    ASSERT_TRUE(w.view().editTab()->save());

    auto* menu = w.window->findChild<QMenu*>(QStringLiteral("recentFiles"));
    ASSERT_NE(menu, nullptr);
    emit menu->aboutToShow();
    QStringList listed;
    QStringList shown;
    for (QAction* a : menu->actions()) {
        listed << a->data().toString();
        shown << a->text();
    }
    EXPECT_EQ(listed, (QStringList{QString::fromStdString(saved), QString::fromStdString(opened)}));
    EXPECT_TRUE(shown.value(1).startsWith(QStringLiteral("&2 "))) << shown.value(1).toStdString();
    EXPECT_TRUE(shown.value(1).endsWith(QStringLiteral("Opened && read.ovx")))
        << shown.value(1).toStdString();

    // Like Open, the list works on the Edit page only.
    w.window->view()->tabs()->setCurrentIndex(PageTabs::MainTab);
    EXPECT_FALSE(menu->menuAction()->isEnabled());
    w.window->view()->tabs()->setCurrentIndex(PageTabs::EditTab);
    EXPECT_TRUE(menu->menuAction()->isEnabled());
    menu->actions().value(1)->trigger();
    EXPECT_TRUE(w.showsFile(opened));
}

TEST(SingleInstance, ALaterStartHandsOverAnyFileName) {
    test::app();
    const QString folder = QString::fromStdString(test::scratchFolder("handover"));
    SingleInstance first(folder);
    ASSERT_TRUE(first.acquire());
    QSignalSpy opened(&first, &SingleInstance::openRequested);
    QSignalSpy raised(&first, &SingleInstance::raiseRequested);
    const QString names[] = {
        QStringLiteral("/tmp/plain.ovx"),
        QStringLiteral("/tmp/with space #1 %20 100%.ovx"),
        QStringLiteral("/tmp/line\nbreak.ovx"),
        QStringLiteral("/tmp/メッセージ 消息.ovx"),
    };
    // A later start waits for the answer, which the first gives from its event loop: the
    // later one runs beside it, as the second program would.
    const auto handOver = [&](const QString& name) {
        return std::async(std::launch::async, [folder, name] {
            SingleInstance later(folder);
            return !later.acquire() && later.handOver(name);
        });
    };
    for (const QString& name : names) {
        auto handedOver = handOver(name);
        ASSERT_TRUE(test::processEventsUntil([&] { return !opened.isEmpty(); }))
            << name.toStdString();
        EXPECT_TRUE(handedOver.get());
        EXPECT_EQ(opened.takeFirst().value(0).toString(), name);
    }
    auto handedOver = handOver(QString());
    EXPECT_TRUE(test::processEventsUntil([&] { return raised.size() == 1; }));
    EXPECT_TRUE(handedOver.get());
    EXPECT_TRUE(opened.isEmpty());
}

TEST(SingleInstance, AHolderOfTheLockThatDoesNotAnswerIsAFailure) {
    test::app();
    const QString folder = QString::fromStdString(test::scratchFolder("handover-silent"));
    QLockFile lock(folder + QStringLiteral("/Orvanta.lock"));  // held, nobody listening
    ASSERT_TRUE(lock.tryLock(0));
    SingleInstance later(folder);
    EXPECT_FALSE(later.acquire());
    EXPECT_FALSE(later.handOver(QStringLiteral("/tmp/a.ovx"), 300));
}

// The second start is the real program, started the way a file manager starts it: with the
// file's name, here relative to its working folder.
TEST(SingleInstance, ASecondStartWithAFileHandsItToTheFirstWindow) {
    const std::string runtime = test::scratchFolder("handover-runtime");
    std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);  // as XDG asks
    StartedWindow w("handover-window", {});
    SingleInstance first(QString::fromStdString(runtime));
    ASSERT_TRUE(first.acquire());
    connectLaterStarts(first, *w.window);
    const std::string dir = test::scratchFolder("handover-files");
    const std::string file = copyOf(kWelcome, dir + "Hall A.ovx");
    w.body()->textCursor().insertText(QStringLiteral("unsaved words"));
    w.prompt.queue(PromptAnswer::No);

    QProcess second;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), QString::fromStdString(runtime));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("HOME"),
               QString::fromStdString(test::scratchFolder("handover-home")));
    second.setProcessEnvironment(env);
    second.setWorkingDirectory(QString::fromStdString(dir));
    second.setProcessChannelMode(QProcess::MergedChannels);
    second.start(QString::fromUtf8(std::getenv("ORVANTA_BIN_DIR")) + QStringLiteral("/orvanta"),
                 {QStringLiteral("Hall A.ovx")});
    // The event loop runs meanwhile: the first window answers while the second waits.
    ASSERT_TRUE(
        test::processEventsUntil([&] { return second.state() == QProcess::NotRunning; }, 20000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0) << second.readAll().toStdString();
    EXPECT_TRUE(
        test::processEventsUntil([&] { return w.view().editTab()->currentFileName() == file; }));
    EXPECT_TRUE(w.showsFile(file));
    EXPECT_EQ(w.prompt.texts(), std::vector<std::string>{languageText(Text::UnsavedData)});
    if (second.state() != QProcess::NotRunning) {  // it made a window of its own after all
        second.kill();
        second.waitForFinished();
    }
}

}  // namespace
}  // namespace orvanta
