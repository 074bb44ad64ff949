// The unsaved message of the Edit tab survives a killed program (SIGKILL after it was kept,
// SIGTERM at once), is offered at the next start and comes back with every character and
// option; nothing is offered after a save or a normal exit; a damaged file is set aside.
// The killed program is the desktop program itself (its start-up, through the same entry as
// the installed one), offscreen, typing from a test script.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <QApplication>
#include <QProcess>
#include <QStatusBar>
#include <QTest>
#include <QTextEdit>
#include <filesystem>
#include <map>

#include "history/History.h"
#include "message/RecoveryFile.h"
#include "platform/AtomicFile.h"
#include "platform/TextCodec.h"
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
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(QString::fromUtf8(bin) + QStringLiteral("/orvanta-scripted"),
                      {QStringLiteral("--edit-script"), QString::fromStdString(script),
                       QStringLiteral("--draft-delay"), QString::number(delayMs),
                       QStringLiteral("--program-folder"), QString::fromStdString(folder)});
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
        return QTest::qWaitFor([&] { return readDraft(path).ok(); }, 60000);
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

// The desktop program on `folder` with a runtime folder of its own (so that a second copy does
// not hand over to the first), optionally typing `script`; it logs what the draft recovery does.
struct Program {
    QProcess process;
    Program(const std::string& folder, const std::string& name, const std::string& script = {}) {
        const char* bin = std::getenv("ORVANTA_BIN_DIR");
        const std::string runtime = test::scratchFolder("runtime-" + name);
        std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), QString::fromStdString(runtime));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
        env.insert(QStringLiteral("QT_LOGGING_RULES"),
                   QStringLiteral("orvanta.recovery.info=true"));
        QStringList arguments;
        if (!script.empty()) {
            arguments << QStringLiteral("--edit-script") << QString::fromStdString(script)
                      << QStringLiteral("--draft-delay") << QStringLiteral("100");
        }
        arguments << QStringLiteral("--program-folder") << QString::fromStdString(folder);
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::MergedChannels);
        // Without a script, the installed program itself.
        const QString program =
            script.empty() ? QStringLiteral("/orvanta") : QStringLiteral("/orvanta-scripted");
        process.start(QString::fromUtf8(bin) + program, arguments);
        EXPECT_TRUE(process.waitForStarted());
    }
    ~Program() {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished();
        }
    }
    bool said(const char* text) {
        return QTest::qWaitFor(
            [&] {
                output += process.readAll().toStdString();
                return output.find(text) != std::string::npos;
            },
            60000);
    }
    std::string output;
};

// Every draft file of this user in `folder` and the message it holds.
std::map<std::string, std::u16string> draftsIn(const std::string& folder) {
    std::map<std::string, std::u16string> out;
    const std::string stem = "recovery-" + currentUserName();
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with(stem) && name.ends_with(".draft")) {
            const Result<Draft, DraftProblem> d = readDraft(entry.path().string());
            out[name] = d ? d.value().message.body.text() : u"(unreadable)";
        }
    }
    return out;
}

TEST(DraftRecovery, AnUnansweredDraftOutlivesSignals) {
    test::app();
    ASSERT_NE(std::getenv("ORVANTA_BIN_DIR"), nullptr);
    for (const int signal : {SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        const std::string folder = test::scratchFolder("unanswered-" + std::to_string(signal));
        ASSERT_TRUE(writeDraft(draftPath(folder), scriptDraft()).ok());
        const std::string before = readWholeFile(draftPath(folder)).valueOr({});
        Program program(folder, "unanswered-" + std::to_string(signal));
        ASSERT_TRUE(program.said("asking whether to restore")) << program.output;
        ::kill(static_cast<pid_t>(program.process.processId()), signal);
        ASSERT_TRUE(program.process.waitForFinished(30000));
        EXPECT_EQ(readWholeFile(draftPath(folder)).valueOr({}), before);
    }
}

TEST(DraftRecovery, TwoCopiesOnOneFolderKeepTheirOwnDrafts) {
    test::app();
    const std::string folder = test::scratchFolder("two-copies");
    std::map<std::string, std::u16string> typed;
    std::vector<std::unique_ptr<Program>> copies;
    for (const char* name : {"first", "second"}) {
        Draft d = scriptDraft();
        d.message.body =
            RichText(u"typed by the " + utf8ToUtf16(name) + u" copy", 0xFFFFFF, 0xC0C0C0);
        const std::string script = folder + name + ".script";
        ASSERT_TRUE(writeDraft(script, d).ok());
        copies.push_back(std::make_unique<Program>(folder, name, script));
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return std::filesystem::exists(script + ".typed"); }, 60000));
    }
    const auto both = [&] {
        std::vector<std::u16string> bodies;
        for (const auto& [file, body] : draftsIn(folder)) {
            bodies.push_back(body);
        }
        std::sort(bodies.begin(), bodies.end());
        return bodies ==
               std::vector<std::u16string>{u"typed by the first copy", u"typed by the second copy"};
    };
    ASSERT_TRUE(QTest::qWaitFor(both, 60000)) << draftsIn(folder).size();
    // One ends as a logout ends it: the other's draft is not its to write or remove.
    copies.back()->process.terminate();
    ASSERT_TRUE(copies.back()->process.waitForFinished(30000));
    EXPECT_TRUE(both());
}

TEST(DraftRecovery, YesKeepsTheOldFileUntilTheRestoredTextIsWritten) {
    struct Case {
        const char* what;
        bool ownName;  // left under the usual name, or by a second copy under its own
    };
    for (const Case c : {Case{"usual name", true}, Case{"a second copy's", false}}) {
        SCOPED_TRACE(c.what);
        const std::string folder =
            test::scratchFolder(std::string("yes-") + (c.ownName ? "a" : "b"));
        const std::string left =
            c.ownName ? draftPath(folder) : draftPathOfProcess(folder, currentUserName(), 999999);
        ASSERT_TRUE(writeDraft(left, scriptDraft()).ok());
        Window w(folder, {PromptAnswer::Yes});
        ASSERT_EQ(w.prompt.entries().size(), 1u);
        // Answered: the message is in the editor and still on disk, under one name or the other.
        EXPECT_FALSE(draftsIn(folder).empty());
        w.frame->draftKeeper()->waitIdle();
        const auto kept = draftsIn(folder);
        ASSERT_EQ(kept.size(), 1u);
        EXPECT_EQ(kept.begin()->first, std::filesystem::path(draftPath(folder)).filename());
        EXPECT_EQ(kept.begin()->second, scriptDraft().message.body.text());
    }
}

TEST(DraftRecovery, NeverWrittenThroughALinkNorForOthersToRead) {
    const std::string folder = test::scratchFolder("links");
    const std::string path = draftPath(folder);
    const std::string victim = folder + "victim.txt";
    ASSERT_TRUE(writeFileAtomically(victim, "precious").ok());
    Window w(folder);
    w.frame->draftKeeper()->setDelay(10);
    w.frame->view()->tabs()->setCurrentIndex(PageTabs::EditTab);
    auto* body = w.edit().findChild<QTextEdit*>(QStringLiteral("messageEdit"));
    struct Case {
        const char* what;
        std::function<void()> prepare;
    };
    const Case cases[] = {
        {"a link to the operator's file", [&] { std::filesystem::create_symlink(victim, path); }},
        {"a file others may read",
         [&] {
             ASSERT_TRUE(writeFileAtomically(path, "x").ok());
             std::filesystem::permissions(path, std::filesystem::perms(0666));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        w.frame->draftKeeper()->waitIdle();
        std::filesystem::remove(path);
        c.prepare();
        QTest::keyClicks(body, QStringLiteral("more "));
        ASSERT_TRUE(QTest::qWaitFor([&] { return readDraft(path).ok(); }, 60000));
        EXPECT_EQ(readWholeFile(victim).valueOr({}), "precious");
        EXPECT_FALSE(std::filesystem::is_symlink(path));
        EXPECT_EQ(std::filesystem::status(path).permissions() & std::filesystem::perms::all,
                  std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    }
}

TEST(DraftRecovery, AFailedWriteIsToldOnceAndTheOlderDraftGoes) {
    const std::string folder = test::scratchFolder("failed-write");
    const std::string path = draftPath(folder);
    Window w(folder);
    w.frame->draftKeeper()->setDelay(10);
    w.frame->view()->tabs()->setCurrentIndex(PageTabs::EditTab);
    auto* body = w.edit().findChild<QTextEdit*>(QStringLiteral("messageEdit"));
    QTest::keyClicks(body, QStringLiteral("kept"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return readDraft(path).ok(); }, 60000));
    auto* bar = w.frame->findChild<QStatusBar*>();
    EXPECT_TRUE(bar == nullptr || bar->currentMessage().isEmpty());

    // A full disk: the file can no longer grow past a few bytes.
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit before{};
    ::getrlimit(RLIMIT_FSIZE, &before);
    rlimit full = before;
    full.rlim_cur = 16;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &full), 0);
    QTest::keyClicks(body, QStringLiteral(" and lost"));
    const bool told = QTest::qWaitFor(
        [&] {
            bar = w.frame->findChild<QStatusBar*>();
            return bar != nullptr && !bar->currentMessage().isEmpty();
        },
        60000);
    w.frame->draftKeeper()->waitIdle();
    ::setrlimit(RLIMIT_FSIZE, &before);
    ASSERT_TRUE(told);
    EXPECT_NE(bar->currentMessage().indexOf(QStringLiteral("Save it")), -1);
    EXPECT_FALSE(std::filesystem::exists(path)) << "the older draft would come back as the latest";
    EXPECT_TRUE(w.prompt.entries().empty()) << "no box while the operator types";

    QTest::keyClicks(body, QStringLiteral(" again"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return readDraft(path).ok(); }, 60000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return bar->currentMessage().isEmpty(); }, 60000));
}

}  // namespace
