// The unsaved message of the Edit tab survives a killed program (SIGKILL after it was kept,
// SIGTERM at once), is offered at the next start and comes back with every character and
// option; nothing is offered after a save or a normal exit; a damaged file is set aside.
// The killed program is the desktop program itself, offscreen, typing from a test script.

#include <gtest/gtest.h>
#include <signal.h>

#include <QApplication>
#include <QProcess>
#include <QTest>
#include <QTextEdit>
#include <filesystem>

#include "history/History.h"
#include "message/RecoveryFile.h"
#include "platform/AtomicFile.h"
#include "support/ScriptedPrompt.h"
#include "support/UiTestSupport.h"
#include "text/LanguageText.h"
#include "ui/edit/DraftKeeper.h"
#include "ui/edit/EditPage.h"
#include "ui/frame/DesktopProgram.h"
#include "ui/frame/MainWindow.h"
#include "ui/frame/PageTabs.h"

using namespace orvanta;

namespace {

struct Window {
    MainState state;
    ScriptedPrompt prompt;
    std::unique_ptr<MainWindow> frame;

    explicit Window(const std::string& folder, std::vector<PromptAnswer> answers = {}) {
        test::app();
        for (PromptAnswer a : answers) {
            prompt.queue(a);
        }
        setInterfaceLanguage(LanguageId::English);
        state.programFolder = folder;
        StartupOptions options;
        options.socketLayerAvailable = [] { return true; };
        options.adaptors = [] { return std::vector<AdaptorEntry>{}; };
        frame = createMainWindow(state, prompt, options);
        // The start-up question (if any) comes once the window shows.
        QApplication::processEvents();
    }
    EditPage& edit() { return *frame->view()->editTab(); }
};

// What the script types and sets: every kind of option, an icon, colors, the display mode
// and the file the message came from.
Draft scriptDraft() {
    Draft d;
    d.owner = currentUserName();
    d.source = "/srv/messages/drill.ovx";
    d.characterDisplayMode = true;
    Message& m = d.message;
    m.reset();
    m.title = RichText(u"Fire drill \u4E2D 2F", 0xFFFFFF, 0xC0C0C0);
    m.body = RichText(u"Leave by the east stairs.\rDo not use the lifts!", 0xFFFFFF, 0xC0C0C0);
    m.options.style = 1;
    m.options.verticalPosition = 2;
    m.options.titlePosition = 1;
    m.options.level = 2;
    m.options.scrollCount = 3;
    m.options.scrollSpeed = 2;
    m.options.displayMinutes = 5;
    m.options.displayHalfMinute = 1;
    m.options.blink = 1;
    m.options.lappedOverPicture = 0;
    m.options.alarmSound = 2;
    m.icon = 3;
    m.options.iconNumber = 3;
    m.backgroundColor = 2;
    m.options.background = packBackground(2);
    return d;
}

void expectScriptRestored(Window& w) {
    const Draft want = scriptDraft();
    ASSERT_EQ(w.frame->view()->currentPage(), PageTabs::EditTab);
    const Message got = w.edit().message();
    EXPECT_EQ(got.title.text(), want.message.title.text());
    EXPECT_EQ(got.body.text(), want.message.body.text());
    EXPECT_EQ(got.options, want.message.options);
    EXPECT_EQ(got.icon, want.message.icon);
    EXPECT_EQ(got.backgroundColor, want.message.backgroundColor);
    EXPECT_TRUE(w.edit().characterDisplayMode());
    EXPECT_EQ(w.edit().currentFileName(), want.source);
    // Unsaved work: the question before it is replaced asks about it.
    EXPECT_TRUE(w.edit().isModified());
}

std::string draftPath(const std::string& folder) {
    return recoveryPath(folder, currentUserName());
}

// The desktop program with its own folders, typing the script into the Edit tab.
struct Child {
    QProcess process;
    std::string script;

    Child(const std::string& folder, int delayMs) {
        const char* bin = std::getenv("ORVANTA_BIN_DIR");
        script = folder + "script.draft";
        EXPECT_TRUE(writeDraft(script, scriptDraft()).ok());
        const std::string runtime = test::scratchFolder("runtime-" + std::to_string(delayMs));
        std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), QString::fromStdString(runtime));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
        env.insert(QStringLiteral("ORVANTA_TEST_EDIT_SCRIPT"), QString::fromStdString(script));
        env.insert(QStringLiteral("ORVANTA_TEST_DRAFT_DELAY_MS"), QString::number(delayMs));
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(QString::fromUtf8(bin) + QStringLiteral("/orvanta"),
                      {QStringLiteral("--program-folder"), QString::fromStdString(folder)});
        EXPECT_TRUE(process.waitForStarted());
    }
    ~Child() {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished();
        }
    }
};

TEST(DraftRecovery, AKilledProgramGivesBackEveryCharacterAndOption) {
    test::app();
    ASSERT_NE(std::getenv("ORVANTA_BIN_DIR"), nullptr);
    const std::u16string body = scriptDraft().message.body.text();
    struct Case {
        const char* name;
        int signal;
        int delayMs;  // the keeper's wait after the last change
    };
    // SIGKILL leaves what was kept after the wait; SIGTERM (logout, shutdown) writes at once,
    // long before the wait is over.
    for (const Case c : {Case{"sigkill", SIGKILL, 200}, Case{"sigterm", SIGTERM, 600000}}) {
        SCOPED_TRACE(c.name);
        const std::string folder = test::scratchFolder(c.name);
        {
            Child child(folder, c.delayMs);
            if (c.signal == SIGKILL) {
                ASSERT_TRUE(QTest::qWaitFor(
                    [&] {
                        const Result<Draft, DraftProblem> kept = readDraft(draftPath(folder));
                        return kept.ok() && kept.value().message.body.text() == body;
                    },
                    60000));
                child.process.kill();
            } else {
                ASSERT_TRUE(QTest::qWaitFor(
                    [&] { return std::filesystem::exists(child.script + ".typed"); }, 60000));
                EXPECT_FALSE(std::filesystem::exists(draftPath(folder)));
                child.process.terminate();
            }
            ASSERT_TRUE(child.process.waitForFinished(30000));
            EXPECT_EQ(child.process.exitStatus(), QProcess::CrashExit);
        }
        const Result<Draft, DraftProblem> kept = readDraft(draftPath(folder));
        ASSERT_TRUE(kept.ok()) << kept.error();
        EXPECT_EQ(kept.value().owner, currentUserName());

        Window w(folder, {PromptAnswer::Yes});
        ASSERT_EQ(w.prompt.entries().size(), 1u);
        const std::string& question = w.prompt.entries().front().text;
        EXPECT_NE(question.find("Fire drill \u4E2D 2F"), std::string::npos) << question;
        expectScriptRestored(w);
    }
}

TEST(DraftRecovery, NothingIsOfferedAfterASaveOrANormalExit) {
    const std::string folder = test::scratchFolder("normal");
    const std::string path = draftPath(folder);
    std::filesystem::create_directories(folder + "MessageData");
    const auto typeAndWait = [&](Window& w, const QString& keys) {
        w.frame->draftKeeper()->setDelay(10);
        w.frame->view()->tabs()->setCurrentIndex(PageTabs::EditTab);
        QTest::keyClicks(w.edit().findChild<QTextEdit*>(QStringLiteral("messageEdit")), keys);
        return QTest::qWaitFor([&] { return readDraft(path).ok(); });
    };
    {
        Window w(folder);
        ASSERT_TRUE(typeAndWait(w, QStringLiteral("to be saved")));
        w.edit().setFileChooser([&](bool, const QString&, const QString&) {
            return QString::fromStdString(folder) + QStringLiteral("MessageData/saved.ovx");
        });
        ASSERT_TRUE(w.edit().save());
        w.frame->draftKeeper()->waitIdle();
        EXPECT_FALSE(std::filesystem::exists(path)) << "saved";

        ASSERT_TRUE(typeAndWait(w, QStringLiteral(" and more")));
        // Exit: No to saving, OK to ending.
        w.prompt.queue(PromptAnswer::No);
        w.prompt.queue(PromptAnswer::Ok);
        ASSERT_TRUE(w.frame->close());
        w.frame->draftKeeper()->waitIdle();
        EXPECT_FALSE(std::filesystem::exists(path)) << "normal exit";
    }
    Window again(folder);
    EXPECT_TRUE(again.prompt.entries().empty());
    EXPECT_FALSE(again.edit().isModified());
}

TEST(DraftRecovery, DeclinedForeignAndDamagedFiles) {
    const std::string folder = test::scratchFolder("kinds");
    const std::string path = draftPath(folder);
    Draft kept = scriptDraft();
    {
        SCOPED_TRACE("declined: removed, the editors stay empty");
        ASSERT_TRUE(writeDraft(path, kept).ok());
        Window w(folder, {PromptAnswer::No});
        ASSERT_EQ(w.prompt.entries().size(), 1u);
        w.frame->draftKeeper()->waitIdle();
        EXPECT_FALSE(std::filesystem::exists(path));
        EXPECT_TRUE(w.edit().message().body.empty());
    }
    {
        SCOPED_TRACE("another user's: left alone");
        kept.owner = "someone-else";
        ASSERT_TRUE(writeDraft(path, kept).ok());
        Window w(folder);
        EXPECT_TRUE(w.prompt.entries().empty());
        EXPECT_TRUE(std::filesystem::exists(path));
    }
    {
        SCOPED_TRACE("damaged: set aside with a clear text, not deleted");
        ASSERT_TRUE(writeFileAtomically(path, "orvanta-recovery 1\nowner ").ok());
        Window w(folder);
        ASSERT_EQ(w.prompt.entries().size(), 1u);
        const ScriptedPrompt::Entry& told = w.prompt.entries().front();
        EXPECT_FALSE(told.question);
        const std::size_t at = told.text.find(path + ".damaged-");
        ASSERT_NE(at, std::string::npos) << told.text;
        EXPECT_FALSE(std::filesystem::exists(path));
        EXPECT_EQ(readWholeFile(told.text.substr(at)).valueOr({}), "orvanta-recovery 1\nowner ");
    }
}

}  // namespace
