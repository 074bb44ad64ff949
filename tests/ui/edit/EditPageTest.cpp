// The Edit tab driven the way an operator drives it: keys into the editors, buttons, menu
// commands and drops, against the projector simulator, through the scripted prompt.
// Simulated projectors of these tests live on 127.0.70.x, which no other test uses.

#include <gtest/gtest.h>

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDropEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <fstream>

#include "message/Rtf.h"
#include "platform/AtomicFile.h"
#include "settings/SendLockStore.h"
#include "support/ScriptedPrompt.h"
#include "support/SimProcess.h"
#include "support/UiTestSupport.h"
#include "text/LanguageText.h"
#include "ui/edit/EditPage.h"
#include "ui/frame/DesktopProgram.h"
#include "ui/frame/MainWindow.h"
#include "ui/frame/PageTabs.h"

using namespace orvanta;
using orvanta::testsupport::SimProcess;

namespace {

constexpr Rgb kRed = 0xFF0000;
constexpr Rgb kWhite = 0xFFFFFF;

// A shown and active window whose program folder registers the given projectors (or none)
// and whose file dialogs answer `chosenFile`.
struct EditWindow {
    std::string folder;
    MainState state;
    ScriptedPrompt prompt;
    std::unique_ptr<MainWindow> frame;
    QString chosenFile;
    std::vector<bool> chooserCalls;  // `save` of every file dialog asked for

    explicit EditWindow(const std::string& name, const char* address = nullptr,
                        const char* password = nullptr)
        : EditWindow(
              name,
              address != nullptr ? std::vector<std::string>{address} : std::vector<std::string>{},
              password) {}
    EditWindow(const std::string& name, const std::vector<std::string>& addresses,
               const char* password = nullptr) {
        test::app();
        setInterfaceLanguage(LanguageId::English);
        folder = test::scratchFolder(name);
        std::filesystem::create_directories(folder + "MessageData");
        if (!addresses.empty()) {
            const std::string pass = password != nullptr ? password : "";
            std::string registry =
                "[RESIST NUM]\r\nNUM=" + std::to_string(addresses.size()) + "\r\n";
            for (std::size_t i = 0; i < addresses.size(); ++i) {
                const auto ip = static_cast<std::int32_t>(testsupport::ipv4(addresses[i].c_str()));
                registry += "[RESIST PROJECTOR" + std::to_string(i + 1) +
                            "]\r\nNUM=" + std::to_string(i + 1) + "\r\nIP=" + std::to_string(ip) +
                            "\r\nProjectorName=Sim\r\nMAC=0\r\nAuth=" + (pass.empty() ? "0" : "1") +
                            "\r\nPass=" + pass + "\r\n";
            }
            EXPECT_TRUE(writeFileAtomically(folder + "LastPj.txt", registry).ok());
        }
        state.programFolder = folder;
        StartupOptions options;
        options.socketLayerAvailable = [] { return true; };
        // The Discovery tab searches when shown: never from this machine's interfaces.
        options.adaptors = [] { return std::vector<AdaptorEntry>{}; };
        frame = createMainWindow(state, prompt, options);
        page().setFileChooser([this](bool save, const QString&, const QString&) {
            chooserCalls.push_back(save);
            return chosenFile;
        });
        // Shown and active, so that keyboard focus and shortcuts behave as on a desktop.
        frame->show();
        frame->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(frame.get()));
        showTab(PageTabs::EditTab);
        EXPECT_TRUE(test::stateQueriesEnded(frame.get()));
    }
    // A tab switch as the tab bar makes it.
    void showTab(int index) { frame->view()->tabs()->setCurrentIndex(index); }
    EditPage& page() { return *frame->view()->editTab(); }
    template <class T>
    T* find(const char* name) {
        T* w = page().findChild<T*>(QLatin1String(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QTextEdit* title() { return find<QTextEdit>("titleEdit"); }
    QTextEdit* body() { return find<QTextEdit>("messageEdit"); }
    void click(const char* name) { find<QPushButton>(name)->click(); }
};

void focus(QTextEdit* edit) {
    if (!edit->window()->isActiveWindow()) {  // a dialog was shown and closed
        edit->window()->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(edit->window()));
    }
    edit->setFocus(Qt::OtherFocusReason);
    EXPECT_TRUE(QTest::qWaitFor([edit] { return edit->hasFocus(); }, 60000));
}

// A key with Ctrl as the keyboard gives it to the window: shortcuts first, then the focus.
void ctrlKey(Qt::Key key) {
    QTest::keyClick(QApplication::focusWidget(), key, Qt::ControlModifier);
}

// Types `text` key by key, as the keyboard would.
void type(QTextEdit* edit, const QString& text) {
    focus(edit);
    for (QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(edit, &press);
    }
}

void ctrl(QTextEdit* edit, Qt::Key key) {
    if (!edit->hasFocus()) {
        focus(edit);
    }
    ctrlKey(key);
}

QColor swatchColor(QToolButton* button) {
    return button->icon().pixmap(QSize(16, 16)).toImage().pixelColor(8, 8);
}

void putOnClipboard(const QString& text) {
    QApplication::clipboard()->setText(text);
    QCoreApplication::processEvents();
}

void select(QTextEdit* edit, int from, int to) {
    QTextCursor c = edit->textCursor();
    c.setPosition(from);
    c.setPosition(to, QTextCursor::KeepAnchor);
    edit->setTextCursor(c);
}

// "Hello world" in white with "world" red, title "Hi".
void typeColoredMessage(EditWindow& w) {
    type(w.title(), QStringLiteral("Hi"));
    type(w.body(), QStringLiteral("Hello world"));
    select(w.body(), 6, 11);
    w.state.characterColor = kColorRed;
    w.page().applyCharacterColor();
}

std::string lastLine(const ScriptedPrompt& prompt) {
    return prompt.entries().empty() ? "" : prompt.entries().back().text;
}

std::string sliceAfter(const std::string& text, const std::string& key) {
    const auto at = text.find(key);
    if (at == std::string::npos) {
        return {};
    }
    const auto end = text.find_first_of("\r\n\\ ", at + key.size());
    return text.substr(at + key.size(), end - at - key.size());
}

}  // namespace

TEST(EditPage, SendRefusesBeforeAnyExchange) {
    struct Case {
        const char* name;
        bool locked;
        const char* message;
        bool projector;
        const char* said;
    };
    const Case cases[] = {
        {"locked", true, "Hello", true, "The Send button is locked."},
        {"empty", false, "", true, "Please input Message"},
        {"noprojector", false, "Hello", false, "Please select PROJECTOR"},
    };
    for (const auto& c : cases) {
        EditWindow w(std::string("refuse-") + c.name, c.projector ? "127.0.70.2" : nullptr);
        // The settings file holds the lock; Send reads it each time.
        ASSERT_TRUE(writeSendLocked(sendLockSettingsPath(), c.locked).ok());
        type(w.body(), QString::fromUtf8(c.message));
        w.prompt.clear();
        w.click("sendButton");
        EXPECT_EQ(w.prompt.texts(), std::vector<std::string>{c.said}) << c.name;
    }
    test::unlockSendLock();
}

TEST(EditPage, SentMessageArrivesAsTheCommandLineEncodesItAndGetGivesItBack) {
    SimProcess sim({"--address", "127.0.70.3", "--verbose"});
    ASSERT_TRUE(sim.ready());
    EditWindow w("sendget", "127.0.70.3");
    typeColoredMessage(w);
    const Message typed = w.page().message();
    // "Quick" cannot be the startup display; a saved number can, and Send then sets it.
    auto* startup = w.find<QCheckBox>("startupDisplayCheck");
    EXPECT_FALSE(startup->isEnabled());
    auto* savedNumbers = w.find<QComboBox>("savedNumberList");
    savedNumbers->setCurrentIndex(3);
    emit savedNumbers->activated(3);
    ASSERT_TRUE(test::stateQueriesEnded(w.frame.get()));
    ASSERT_TRUE(startup->isEnabled());
    startup->setChecked(true);
    EXPECT_EQ(w.find<QComboBox>("startupMinutesList")->currentText(), QStringLiteral("3"));
    w.prompt.clear();
    w.click("sendButton");
    EXPECT_EQ(lastLine(w.prompt), "    Complete.");
    ASSERT_TRUE(sim.waitForLine("PUT "));
    EXPECT_TRUE(sim.waitForLine("CTRL 3532")) << sim.output();

    // The same message saved and encoded by the command line for the same projector.
    w.chosenFile = QString::fromStdString(w.folder + "MessageData/sent.ovx");
    ASSERT_TRUE(w.page().save());
    QProcess cli;
    cli.start(QString::fromStdString(SimProcess::programPath())
                  .replace(QStringLiteral("orvanta-projector-sim"), QStringLiteral("orvanta-cli")),
              {QStringLiteral("encode"), w.chosenFile, QStringLiteral("--level"),
               QStringLiteral("4"), QStringLiteral("--caps"), QStringLiteral("7")});
    ASSERT_TRUE(cli.waitForFinished(10000));
    const std::string encoded = cli.readAllStandardOutput().toStdString();
    std::string put;
    for (const auto& line : sim.lines()) {
        if (line.find(" PUT ") != std::string::npos) {
            put = line;
        }
    }
    // The header carries the body's checksum, so equal headers and lengths mean equal bodies.
    EXPECT_EQ(sliceAfter(put, "PUT "), sliceAfter(encoded, "header: ")) << put << encoded;
    EXPECT_EQ(std::stoi(sliceAfter(put, "Length:")), std::stoi(sliceAfter(encoded, "length: ")));

    w.page().newMessage();
    EXPECT_TRUE(w.page().message().body.empty());
    w.prompt.clear();
    w.click("getButton");
    EXPECT_EQ(lastLine(w.prompt), "    Complete.");
    const Message got = w.page().message();
    EXPECT_EQ(got.title, typed.title);
    EXPECT_EQ(got.body, typed.body);
    EXPECT_EQ(got.body.units[6].color, kRed);
    EXPECT_EQ(got.body.units[0].color, kWhite);
    EXPECT_EQ(got.options.style, typed.options.style);
    EXPECT_EQ(got.options.scrollSpeed, typed.options.scrollSpeed);

    // A message sent on a transparent background comes back with "Character display mode".
    auto* displayMode = w.find<QCheckBox>("characterDisplayModeCheck");
    EXPECT_FALSE(displayMode->isChecked());
    displayMode->setChecked(true);
    savedNumbers->setCurrentIndex(4);
    emit savedNumbers->activated(4);
    ASSERT_TRUE(test::stateQueriesEnded(w.frame.get()));
    w.prompt.clear();
    w.prompt.queue(PromptAnswer::Ok);  // "Character display mode has been selected. Are you sure?"
    w.click("sendButton");
    EXPECT_EQ(lastLine(w.prompt), "    Complete.");
    displayMode->setChecked(false);
    w.prompt.queue(PromptAnswer::No);  // leave the unsaved message
    w.click("getButton");
    EXPECT_EQ(lastLine(w.prompt), "    Complete.");
    EXPECT_TRUE(displayMode->isChecked());
    EXPECT_EQ(w.page().message().backgroundColor, kColorHalfTransparent);
}

TEST(EditPage, SendToAProjectorThatCannotTakeItEndsWithItsReasonAndNoTransfer) {
    struct Case {
        const char* name;
        std::vector<std::string> sim;
        const char* password;
        const char* said;
    };
    const Case cases[] = {
        {"fatal", {"--error-status", "2"}, nullptr, "Projector has the fatal error."},
        {"busy", {"--busy"}, nullptr, "Projector Busy."},
        {"password", {"--password", "right"}, "wrong", "Communication error"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args{"--address", "127.0.70.4"};
        args.insert(args.end(), c.sim.begin(), c.sim.end());
        SimProcess sim(args);
        ASSERT_TRUE(sim.ready());
        EditWindow w(std::string("fail-") + c.name, "127.0.70.4", c.password);
        type(w.body(), QStringLiteral("Hello"));
        w.prompt.clear();
        w.click("sendButton");
        const auto texts = w.prompt.texts();
        ASSERT_FALSE(texts.empty()) << c.name;
        EXPECT_NE(texts.back().find(c.said), std::string::npos) << c.name << ": " << texts.back();
        EXPECT_EQ(std::count(texts.begin(), texts.end(), "    Complete."), 0) << c.name;
        for (const auto& line : sim.lines()) {
            EXPECT_EQ(line.find(" PUT "), std::string::npos) << c.name << ": " << line;
        }
    }
}

TEST(EditPage, SaveOpenSaveWritesTheSameBytes) {
    EditWindow w("saveopen");
    typeColoredMessage(w);
    const std::string first = w.folder + "MessageData/a.ovx";
    const std::string second = w.folder + "MessageData/b.ovx";
    w.chosenFile = QString::fromStdString(first);
    ASSERT_TRUE(w.page().save());
    w.page().newMessage();
    ASSERT_TRUE(w.page().openMessageFile(w.chosenFile));
    w.chosenFile = QString::fromStdString(second);
    ASSERT_TRUE(w.page().save());
    std::string a, b;
    a = readWholeFile(first).valueOr({});
    b = readWholeFile(second).valueOr({});
    EXPECT_FALSE(a.empty());
    EXPECT_EQ(a, b);
    EXPECT_EQ(w.page().currentFileName(), second);
}

TEST(EditPage, FailedSaveOrOpenLeavesEditorsAndFileAlone) {
    EditWindow w("savefail");
    typeColoredMessage(w);
    const Message before = w.page().message();
    w.chosenFile = QString::fromStdString(w.folder + "missing-folder/x.ovx");
    EXPECT_FALSE(w.page().save());
    EXPECT_EQ(w.prompt.entries().back().icon, PromptIcon::Error);
    const std::string junk = w.folder + "junk.ovx";
    ASSERT_TRUE(writeFileAtomically(junk, "not a message").ok());
    EXPECT_FALSE(w.page().openMessageFile(QString::fromStdString(junk)));
    EXPECT_EQ(lastLine(w.prompt), "This file format is not supported.");
    EXPECT_EQ(w.page().message(), before);
    EXPECT_TRUE(w.body()->document()->isModified());
}

TEST(EditPage, NarrowCharacterSetAsksAboutUnsupportedCharactersAsTheyAreTyped) {
    SimProcess sim({"--address", "127.0.70.5", "--caps", "3"});
    ASSERT_TRUE(sim.ready());
    EditWindow w("narrow", "127.0.70.5");
    ASSERT_FALSE(w.page().capabilities().extendedCharacterSet());
    // "Image" works with the narrow set only, and wants a message.
    ASSERT_TRUE(w.find<QPushButton>("imageButton")->isEnabled());
    w.prompt.clear();
    w.click("imageButton");
    EXPECT_EQ(w.prompt.texts(), std::vector<std::string>{"Please input Message"});
    type(w.body(), QStringLiteral("ab"));
    bool previewShown = false;
    QTimer::singleShot(0, [&] {
        if (QWidget* preview = QApplication::activeModalWidget()) {
            previewShown = true;
            preview->close();
        }
    });
    w.click("imageButton");
    EXPECT_TRUE(previewShown);
    // Typed, the character is only pointed out under the message: a box would take the keys
    // typed after it. The question comes with the command that needs the message.
    w.prompt.clear();
    type(w.body(), QString(QChar(0x6F22)) + QStringLiteral("cd"));
    EXPECT_TRUE(w.prompt.texts().empty());
    EXPECT_EQ(w.body()->toPlainText(), QStringLiteral("ab") + QChar(0x6F22) + QStringLiteral("cd"));
    auto* note = w.find<QLabel>("checkNote");
    EXPECT_TRUE(note->isVisibleTo(&w.page()));
    EXPECT_TRUE(
        note->text().startsWith(QStringLiteral("Number of characters that so not supported")))
        << note->text().toStdString();
    w.prompt.queue(PromptAnswer::Yes);  // delete them
    w.click("imageButton");
    ASSERT_EQ(w.prompt.entries().size(), 1u);
    EXPECT_EQ(w.prompt.entries()[0].text.rfind("Number of characters that so not supported", 0),
              0u);
    EXPECT_EQ(w.body()->toPlainText(), QStringLiteral("abcd"));
    EXPECT_FALSE(note->isVisibleTo(&w.page()));
}

TEST(EditPage, NewAsksAboutUnsavedWorkAndCancelKeepsIt) {
    EditWindow w("new");
    typeColoredMessage(w);
    w.page().setCurrentFileName("x.ovx");
    w.prompt.clear();
    w.prompt.queue(PromptAnswer::Cancel);
    w.frame->action(MainWindow::New)->trigger();
    EXPECT_EQ(
        w.prompt.texts(),
        std::vector<std::string>{"There is an unsaved data.\nDo you want to save this Message?"});
    EXPECT_EQ(w.body()->toPlainText(), QStringLiteral("Hello world"));
    w.prompt.queue(PromptAnswer::No);
    w.frame->action(MainWindow::New)->trigger();
    EXPECT_TRUE(w.page().message().body.empty());
    EXPECT_TRUE(w.page().message().title.empty());
    EXPECT_EQ(w.page().currentFileName(), "");
    EXPECT_FALSE(w.page().canUndo());

    // Closing the program asks the same question before its own, and Cancel keeps it open.
    type(w.body(), QStringLiteral("again"));
    w.prompt.clear();
    w.prompt.queue(PromptAnswer::Cancel);
    EXPECT_FALSE(w.frame->close());
    EXPECT_EQ(
        w.prompt.texts(),
        std::vector<std::string>{"There is an unsaved data.\nDo you want to save this Message?"});
}

TEST(EditPage, CopyOffersRtfThatTheCoreReadsBackAndPasteRestoresIt) {
    EditWindow w("clipboard");
    typeColoredMessage(w);
    select(w.body(), 3, 11);
    const RichText selected = richTextFromSelection(w.body()->textCursor(), {});
    ctrl(w.body(), Qt::Key_C);
    const QMimeData* data = QApplication::clipboard()->mimeData();
    ASSERT_TRUE(data->hasFormat(QStringLiteral("text/rtf")));
    EXPECT_TRUE(data->hasHtml());
    EXPECT_EQ(data->text(), QStringLiteral("lo world"));
    const QByteArray rtf = data->data(QStringLiteral("text/rtf"));
    const Result<RichText, RtfError> read = readRtf(std::string_view(rtf.constData(), rtf.size()));
    ASSERT_TRUE(read.ok());
    EXPECT_EQ(read.value(), selected);

    w.page().newMessage();  // unsaved: the fallback answer Cancel keeps it, so answer No
    w.prompt.queue(PromptAnswer::No);
    w.page().newMessage();
    focus(w.body());
    ctrl(w.body(), Qt::Key_V);
    EXPECT_EQ(w.page().message().body, selected);
}

TEST(EditPage, KeyboardWatchRunsTheTabsCommandsAndSwallowsItalicAndTabSwitch) {
    EditWindow w("keys");
    // The title is one line of at most 60 characters.
    type(w.title(), QString(65, QLatin1Char('t')));
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    QApplication::sendEvent(w.title(), &enter);
    EXPECT_EQ(w.title()->toPlainText(), QString(60, QLatin1Char('t')));
    type(w.body(), QStringLiteral("abc"));
    ctrl(w.body(), Qt::Key_I);
    type(w.body(), QStringLiteral("d"));
    EXPECT_FALSE(w.body()->currentCharFormat().fontItalic());
    for (QWidget* target : {static_cast<QWidget*>(w.body()),
                            static_cast<QWidget*>(w.find<QPushButton>("sendButton"))}) {
        QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::ControlModifier);
        QApplication::sendEvent(target, &tab);
        EXPECT_EQ(w.frame->view()->tabs()->currentIndex(), PageTabs::EditTab);
    }
    ctrl(w.body(), Qt::Key_Z);  // typing is one step
    EXPECT_EQ(w.body()->toPlainText(), QString());
    w.click("tabButton");
    focus(w.body());
    w.click("pageFeedButton");
    const RichText body = w.page().message().body;
    EXPECT_EQ(body.text(), std::u16string(u"    \u25BC\r"));
}

TEST(EditPage, MenuAndToolBarFollowTabSelectionAndDisplayMode) {
    EditWindow w("enabling");
    auto enabled = [&](MainWindow::Command c) { return w.frame->action(c)->isEnabled(); };
    auto* background = w.frame->findChild<QToolButton*>(QStringLiteral("backgroundColorButton"));
    ASSERT_NE(background, nullptr);
    for (int page : {PageTabs::MainTab, PageTabs::DiscoveryTab}) {
        w.frame->view()->tabs()->setCurrentIndex(page);
        for (auto c : {MainWindow::New, MainWindow::Open, MainWindow::Save, MainWindow::FontColor,
                       MainWindow::BackgroundColor, MainWindow::Copy}) {
            EXPECT_FALSE(enabled(c)) << page << " " << c;
        }
    }
    w.frame->view()->tabs()->setCurrentIndex(PageTabs::EditTab);
    EXPECT_TRUE(enabled(MainWindow::New));
    EXPECT_FALSE(enabled(MainWindow::Copy));
    type(w.body(), QStringLiteral("abc"));
    EXPECT_TRUE(enabled(MainWindow::Undo));
    select(w.body(), 0, 2);
    EXPECT_TRUE(enabled(MainWindow::Copy));
    EXPECT_TRUE(background->isEnabled());

    // A color button applies its color: the text color to the selection, the background
    // to the whole message and, with the synchronization box checked, to every character.
    w.state.characterColor = kColorGreen;
    w.frame->findChild<QToolButton*>(QStringLiteral("fontColorButton"))->click();
    w.state.backgroundColor = kColorBlue;
    background->click();
    const Message m = w.page().message();
    EXPECT_EQ(m.body.units[0].color, rgbFromColorCode(kColorGreen));
    EXPECT_EQ(m.body.units[2].color, kWhite);
    EXPECT_EQ(m.body.units[2].background, rgbFromColorCode(kColorBlue));
    EXPECT_EQ(m.options.background, kColorBlue);

    w.find<QCheckBox>("characterDisplayModeCheck")->setChecked(true);
    EXPECT_FALSE(background->isEnabled());
}

TEST(EditPage, DroppedFilesAreCheckedByNameAndPage) {
    EditWindow w("drop");
    const std::string welcome =
        std::string(ORVANTA_TEST_SOURCE_DIR) + "/data/MessageData/Welcome.ovx";
    struct Case {
        int page;
        std::vector<std::string> files;
        std::vector<std::string> said;
    };
    const Case cases[] = {
        {PageTabs::EditTab, {"/tmp/note.txt"}, {".ovx extension is only valid."}},
        {PageTabs::EditTab, {"/tmp/NOTE.OVX"}, {".ovx extension is only valid."}},
        {PageTabs::EditTab, {welcome, welcome}, {}},
        {PageTabs::DiscoveryTab, {welcome}, {"Please Drop [Main Tab] or [Edit Tab]."}},
        {PageTabs::EditTab, {welcome}, {"Do you want to extract this file?"}},
    };
    for (const auto& c : cases) {
        w.frame->view()->tabs()->setCurrentIndex(c.page);
        w.prompt.clear();
        w.prompt.queue(PromptAnswer::Yes);
        QMimeData data;
        QList<QUrl> urls;
        for (const auto& f : c.files) {
            urls << QUrl::fromLocalFile(QString::fromStdString(f));
        }
        data.setUrls(urls);
        // A drop goes to the window a drag entered first.
        QDragEnterEvent enter(QPoint(500, 300), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(w.frame.get(), &enter);
        QDropEvent drop(QPointF(500, 300), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(w.frame.get(), &drop);
        EXPECT_EQ(w.prompt.texts(), c.said) << c.files.front();
    }
    EXPECT_EQ(w.title()->toPlainText(), QStringLiteral("Welcome"));
    EXPECT_EQ(w.page().currentFileName(), welcome);

    // While dragging, a text file is welcome over the message editor only.
    QMimeData text;
    text.setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/note.txt"))});
    const auto accepted = [&](QWidget* over) {
        const QPoint at = over->mapTo(w.frame.get(), over->rect().center());
        QDragEnterEvent enter(at, Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(w.frame.get(), &enter);
        QDragMoveEvent move(at, Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(w.frame.get(), &move);
        return move.isAccepted();
    };
    EXPECT_TRUE(accepted(w.body()));
    EXPECT_FALSE(accepted(w.find<QPushButton>("sendButton")));

    // Over the Discovery tab a message file is taken, so that its drop can say where message
    // files go.
    w.showTab(PageTabs::DiscoveryTab);
    text.setUrls({QUrl::fromLocalFile(QString::fromStdString(welcome))});
    EXPECT_TRUE(accepted(w.frame->view()->tabs()->currentWidget()));
}

TEST(EditPage, AdvancedDoubleSizeEnlargesBothEditorsAndEmptiesUndo) {
    EditWindow w("advanced");
    type(w.title(), QStringLiteral("T"));
    type(w.body(), QStringLiteral("Body"));
    QTimer::singleShot(0, [] {
        QWidget* dialog = QApplication::activeModalWidget();
        ASSERT_NE(dialog, nullptr);
        dialog->findChild<QComboBox*>(QStringLiteral("characterSizeList"))->setCurrentIndex(1);
        dialog->findChild<QPushButton*>(QStringLiteral("okButton"))->click();
    });
    w.click("advancedButton");
    EXPECT_EQ(w.page().message().options.characterSize, 1);
    for (QTextEdit* edit : {w.title(), w.body()}) {
        QTextCursor c(edit->document());
        c.movePosition(QTextCursor::NextCharacter);
        EXPECT_DOUBLE_EQ(c.charFormat().fontPointSize(), 17.6);
    }
    EXPECT_FALSE(w.page().canUndo());
}

// The saved number chosen with the keys or by a screen reader (no click) enables the startup
// display as a click does: "Quick" never offers it.
TEST(EditPage, TheStartupDisplayFollowsTheSavedNumberWhateverChoseIt) {
    SimProcess sim({"--address", "127.0.64.40", "--startup-word", "33541"});
    ASSERT_TRUE(sim.ready()) << sim.output();
    EditWindow w("edit-slot-keys", "127.0.64.40");
    auto* savedNumber = w.find<QComboBox>("savedNumberList");
    auto* startup = w.find<QCheckBox>("startupDisplayCheck");
    struct Case {
        int savedNumber;
        bool enabled;
        bool checked;
    };
    for (const Case& c : {Case{3, true, true}, Case{0, false, false}, Case{4, true, false}}) {
        savedNumber->setCurrentIndex(c.savedNumber);
        EXPECT_EQ(startup->isEnabled(), c.enabled) << c.savedNumber;
        EXPECT_EQ(startup->isChecked(), c.checked) << c.savedNumber;
    }
}

TEST(EditPage, CtrlKeysRunThePageCommandsOnceThroughTheFrameMenus) {
    struct Case {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        const char* clipboard;
        std::vector<PromptAnswer> answers;
        const char* body;                    // after the key
        const char* clipboardAfter;          // nullptr: unchanged
        std::vector<bool> chooserCalls;      // file dialogs asked for
        std::vector<std::string> questions;  // asked by the key
    };
    const std::string unsaved = "There is an unsaved data.\nDo you want to save this Message?";
    const auto ctrl = Qt::ControlModifier;
    const Case cases[] = {
        {Qt::Key_C, ctrl, "", {}, "abc", "ab", {}, {}},
        {Qt::Key_X, ctrl, "", {}, "c", "ab", {}, {}},
        {Qt::Key_V, ctrl, "zz", {}, "zzc", nullptr, {}, {}},
        {Qt::Key_Z, ctrl, "", {}, "", nullptr, {}, {}},
        {Qt::Key_S, ctrl, "", {}, "abc", nullptr, {true}, {}},
        {Qt::Key_O, ctrl, "", {PromptAnswer::No}, "abc", nullptr, {false}, {unsaved}},
        {Qt::Key_N, ctrl, "", {PromptAnswer::No}, "", nullptr, {}, {unsaved}},
        // The menus' second keys do what the first ones do.
        {Qt::Key_Insert, ctrl, "", {}, "abc", "ab", {}, {}},
        {Qt::Key_Delete, Qt::ShiftModifier, "", {}, "c", "ab", {}, {}},
        {Qt::Key_Insert, Qt::ShiftModifier, "zz", {}, "zzc", nullptr, {}, {}},
        {Qt::Key_Backspace, Qt::AltModifier, "", {}, "", nullptr, {}, {}},
    };
    for (const auto& c : cases) {
        const std::string keyName =
            QKeySequence(QKeyCombination(c.modifiers, c.key)).toString().toStdString();
        EditWindow w("menu-key-" + std::to_string(c.key) + "-" +
                     std::to_string(c.modifiers.toInt()));
        putOnClipboard(QString::fromUtf8(c.clipboard));
        type(w.body(), QStringLiteral("abc"));
        select(w.body(), 0, 2);
        w.prompt.clear();
        for (PromptAnswer a : c.answers) {
            w.prompt.queue(a);
        }
        QTest::keyClick(QApplication::focusWidget(), c.key, c.modifiers);
        const std::string& name = keyName;
        EXPECT_EQ(w.body()->toPlainText(), QString::fromUtf8(c.body)) << name;
        EXPECT_EQ(QApplication::clipboard()->text(),
                  QString::fromUtf8(c.clipboardAfter != nullptr ? c.clipboardAfter : c.clipboard))
            << name;
        EXPECT_EQ(w.chooserCalls, c.chooserCalls) << name;
        EXPECT_EQ(w.prompt.texts(), c.questions) << name;
    }
}

TEST(EditPage, CommandsActOnTheEditorTheFocusComesBackToAfterATabSwitch) {
    struct Case {
        const char* name;
        std::function<void(EditWindow&)> command;
        std::u16string body;
    };
    const Case cases[] = {
        {"Ctrl+V", [](EditWindow&) { ctrlKey(Qt::Key_V); }, u"abcXY"},
        {"tool bar Paste",
         [](EditWindow& w) {
             auto* bar = w.frame->findChild<QToolBar*>(QStringLiteral("toolBar"));
             auto* button = qobject_cast<QToolButton*>(
                 bar->widgetForAction(w.frame->action(MainWindow::Paste)));
             ASSERT_NE(button, nullptr);
             QTest::mouseClick(button, Qt::LeftButton);
         },
         u"abcXY"},
        {"Edit > Paste", [](EditWindow& w) { w.frame->action(MainWindow::Paste)->trigger(); },
         u"abcXY"},
        {"Tab", [](EditWindow& w) { w.click("tabButton"); }, u"abc    "},
        {"Page feed", [](EditWindow& w) { w.click("pageFeedButton"); }, u"abc\u25BC\r"},
    };
    for (const auto& c : cases) {
        EditWindow w(std::string("roundtrip-") + c.name);
        QTest::mouseClick(w.body()->viewport(), Qt::LeftButton);
        QTest::keyClicks(w.body(), QStringLiteral("abc"));
        putOnClipboard(QStringLiteral("XY"));
        w.showTab(PageTabs::MainTab);
        w.showTab(PageTabs::EditTab);
        ASSERT_TRUE(w.body()->hasFocus()) << c.name;
        c.command(w);
        EXPECT_EQ(w.page().message().body.text(), c.body) << c.name;
        EXPECT_TRUE(w.page().message().title.empty()) << c.name;
    }
}

TEST(EditPage, BackgroundColorHasOneOwnerWhateverChangesIt) {
    Message fresh;
    fresh.reset();
    struct Case {
        const char* name;
        std::function<void(EditWindow&, const QString& redFile)> change;
        std::uint8_t background;
    };
    const Case cases[] = {
        {"New",
         [](EditWindow& w, const QString&) {
             w.prompt.queue(PromptAnswer::No);
             w.frame->action(MainWindow::New)->trigger();
         },
         fresh.backgroundColor},
        {"Open",
         [](EditWindow& w, const QString& red) {
             w.chosenFile = red;
             w.prompt.queue(PromptAnswer::No);
             w.frame->action(MainWindow::Open)->trigger();
         },
         kColorRed},
        {"drop",
         [](EditWindow& w, const QString& red) {
             w.prompt.queue(PromptAnswer::Yes);  // extract the file
             w.prompt.queue(PromptAnswer::No);   // leave the unsaved message
             QMimeData data;
             data.setUrls({QUrl::fromLocalFile(red)});
             const QPoint at = w.body()->mapTo(w.frame.get(), w.body()->rect().center());
             QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
             QApplication::sendEvent(w.frame.get(), &enter);
             QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
             QApplication::sendEvent(w.frame.get(), &drop);
         },
         kColorRed},
    };
    for (const auto& c : cases) {
        EditWindow w(std::string("background-") + c.name);
        auto* button = w.frame->findChild<QToolButton*>(QStringLiteral("backgroundColorButton"));
        ASSERT_NE(button, nullptr);
        // A message on red saved to a file, then the background turned blue.
        type(w.body(), QStringLiteral("Hi"));
        w.state.backgroundColor = kColorRed;
        button->click();
        w.chosenFile = QString::fromStdString(w.folder + "MessageData/red.ovx");
        ASSERT_TRUE(w.page().save());
        const QString red = w.chosenFile;
        w.state.backgroundColor = kColorBlue;
        button->click();
        ASSERT_EQ(w.page().message().backgroundColor, kColorBlue);

        c.change(w, red);
        const QColor expected = QColor::fromRgb(rgbFromColorCode(c.background));
        EXPECT_EQ(w.page().message().backgroundColor, c.background) << c.name;
        EXPECT_EQ(w.body()->palette().color(QPalette::Base), expected) << c.name;
        EXPECT_EQ(swatchColor(button), expected) << c.name;
        // The button applies what it shows, which is what the message has.
        button->click();
        EXPECT_EQ(w.page().message().backgroundColor, c.background) << c.name;
        EXPECT_EQ(w.page().message().options.background, packBackground(c.background)) << c.name;
    }
}

TEST(EditPage, ProjectorChoiceIsTheTabsOwnAndStartsFromTheSharedOne) {
    struct Case {
        const char* name;
        std::int32_t current;  // the Main or Discovery tab's choice
        int chosenHere;        // -1: none
        int shown;             // what the Edit tab's list shows after the switch
    };
    const Case cases[] = {
        {"none current", -1, -1, -1},
        {"first current", 0, -1, 0},
        {"second chosen here", 0, 1, 0},
    };
    for (const auto& c : cases) {
        EditWindow w(std::string("current-") + c.name, {"127.0.70.20", "127.0.70.21"});
        auto* list = w.find<QComboBox>("projectorList");
        w.showTab(PageTabs::MainTab);
        w.state.currentProjector = c.current;
        w.showTab(PageTabs::EditTab);
        if (c.chosenHere >= 0) {
            list->setCurrentIndex(c.chosenHere);
            emit list->activated(c.chosenHere);
            w.showTab(PageTabs::MainTab);
            w.showTab(PageTabs::EditTab);
        }
        EXPECT_EQ(w.state.currentProjector, c.current) << c.name;
        EXPECT_EQ(list->currentIndex(), c.shown) << c.name;
        if (c.shown < 0) {
            type(w.body(), QStringLiteral("Hello"));
            w.prompt.clear();
            w.click("sendButton");
            EXPECT_EQ(w.prompt.texts(), std::vector<std::string>{"Please select PROJECTOR"});
        }
    }
}

TEST(EditPage, GetRedoesTheImageEnablingAfterItsQuery) {
    // The projector had the narrow character set when the tab was shown, so "Image" is
    // offered; then another one with the wide set answers at its address. Get asks it again.
    auto narrow = std::make_unique<SimProcess>(
        std::vector<std::string>{"--address", "127.0.70.22", "--caps", "3"});
    ASSERT_TRUE(narrow->ready());
    EditWindow w("getimage", "127.0.70.22");
    auto* image = w.find<QPushButton>("imageButton");
    EXPECT_TRUE(image->isEnabled());
    narrow.reset();
    SimProcess wide({"--address", "127.0.70.22", "--caps", "7"});
    ASSERT_TRUE(wide.ready());
    type(w.body(), QStringLiteral("Hello"));
    w.find<QComboBox>("savedNumberList")->setCurrentIndex(2);  // chosen without a query
    w.click("sendButton");
    ASSERT_EQ(lastLine(w.prompt), "    Complete.");
    ASSERT_TRUE(image->isEnabled());
    w.prompt.queue(PromptAnswer::No);  // leave the unsaved message
    w.click("getButton");
    ASSERT_EQ(lastLine(w.prompt), "    Complete.");
    EXPECT_TRUE(w.page().capabilities().extendedCharacterSet());
    EXPECT_FALSE(image->isEnabled());
}

TEST(EditPage, StartupDisplayThatNeverArrivesIsAFailureAsOnTheMainTab) {
    struct Case {
        const char* acceptLimit;
        std::string said;
    };
    // The status check and the PUT take two connections; the startup request is the third.
    const Case cases[] = {
        {"3", "    Complete."},
        {"2", "Communication error\n : [Connection error]"},
    };
    for (const auto& c : cases) {
        // Chosen while nobody answers at the address, so that the projector counts only
        // the connections of the Send.
        EditWindow w(std::string("followup-") + c.acceptLimit, "127.0.70.23");
        type(w.body(), QStringLiteral("Hello"));
        auto* savedNumbers = w.find<QComboBox>("savedNumberList");
        savedNumbers->setCurrentIndex(2);
        emit savedNumbers->activated(2);
        // Choosing asks the projector again; that query must have given up before the
        // projector answers, or it would take one of the counted connections.
        ASSERT_TRUE(test::stateQueriesEnded(w.frame.get())) << c.acceptLimit;
        auto* startup = w.find<QCheckBox>("startupDisplayCheck");
        ASSERT_TRUE(startup->isEnabled()) << c.acceptLimit;
        startup->setChecked(true);
        SimProcess sim(
            {"--address", "127.0.70.23", "--accept-limit", c.acceptLimit, "--save-polls", "0"});
        ASSERT_TRUE(sim.ready());
        w.prompt.clear();
        w.click("sendButton");
        EXPECT_EQ(w.prompt.texts(), std::vector<std::string>{c.said})
            << c.acceptLimit << ": " << sim.output();
        EXPECT_TRUE(sim.waitForLine("PUT ")) << c.acceptLimit;  // the message itself arrived
    }
}

TEST(EditPage, TheSystemClipboardIsNeverEmptied) {
    struct Case {
        const char* name;
        std::function<void(EditWindow&)> command;
    };
    const Case cases[] = {
        {"New answered Cancel",
         [](EditWindow& w) {
             type(w.body(), QStringLiteral("work"));
             w.prompt.queue(PromptAnswer::Cancel);
             ctrlKey(Qt::Key_N);
         }},
        {"New", [](EditWindow& w) { w.frame->action(MainWindow::New)->trigger(); }},
        {"Get", [](EditWindow& w) { w.click("getButton"); }},
        {"character size",
         [](EditWindow& w) {
             QTimer::singleShot(0, [] {
                 QWidget* dialog = QApplication::activeModalWidget();
                 ASSERT_NE(dialog, nullptr);
                 dialog->findChild<QComboBox*>(QStringLiteral("characterSizeList"))
                     ->setCurrentIndex(1);
                 dialog->findChild<QPushButton*>(QStringLiteral("okButton"))->click();
             });
             w.click("advancedButton");
             EXPECT_EQ(w.page().message().options.characterSize, 1);
         }},
        {"exit",
         [](EditWindow& w) {
             w.prompt.queue(PromptAnswer::Ok);
             EXPECT_TRUE(w.frame->close());
         }},
    };
    for (const auto& c : cases) {
        // The registered projector is not there: Get fails after the point it used to empty it.
        EditWindow w(std::string("clipboard-") + c.name, "127.0.70.24");
        putOnClipboard(QStringLiteral("from another program"));
        c.command(w);
        EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("from another program"))
            << c.name;
    }
}

TEST(EditPage, PasteIntoTheTitleKeepsItsFirstLineWithinTheLimit) {
    QString manyLines;
    for (int i = 0; i < 5000; ++i) {
        manyLines += QStringLiteral("line %1\n").arg(i);
    }
    struct Case {
        const char* name;
        QString before;
        QString pasted;
        QString title;
    };
    const Case cases[] = {
        {"three lines", {}, QStringLiteral("one\ntwo\nthree"), QStringLiteral("one")},
        {"CR LF", QStringLiteral("T"), QStringLiteral("x\r\ny"), QStringLiteral("Tx")},
        {"many lines", {}, manyLines, QStringLiteral("line 0")},
        {"long line", QStringLiteral("ab"), QString(100, QLatin1Char('z')),
         QStringLiteral("ab") + QString(58, QLatin1Char('z'))},
        {"first line empty", QStringLiteral("keep"), QStringLiteral("\nsecond"),
         QStringLiteral("keep")},
    };
    for (const auto& c : cases) {
        EditWindow w(std::string("titlepaste-") + c.name);
        type(w.title(), c.before);
        putOnClipboard(c.pasted);
        ctrl(w.title(), Qt::Key_V);
        EXPECT_EQ(w.title()->toPlainText(), c.title) << c.name;
        EXPECT_EQ(w.title()->document()->blockCount(), 1) << c.name;
        EXPECT_TRUE(w.page().message().body.empty()) << c.name;
    }
}

TEST(EditPage, PasteIntoTheMessageIsCutToWhatAMessageHoldsAndSaysSoOnce) {
    struct Case {
        const char* name;
        QString before;
        QString pasted;
        bool cut;
    };
    const Case cases[] = {
        {"small", QStringLiteral("Hello "), QStringLiteral("world"), false},
        {"one megabyte", {}, QString(1 << 20, QLatin1Char('m')), true},
        {"many lines", {}, QStringLiteral("a line of text\n").repeated(20000), true},
        {"nearly full", QString(1900, QLatin1Char('f')), QString(100, QLatin1Char('p')), true},
    };
    for (const auto& c : cases) {
        EditWindow w(std::string("bodypaste-") + c.name);
        type(w.body(), c.before);
        putOnClipboard(c.pasted);
        w.prompt.clear();
        ctrl(w.body(), Qt::Key_V);
        const std::vector<std::string> told{languageText(Text::PasteCutToMessageLimit)};
        if (c.cut) {
            EXPECT_TRUE(QTest::qWaitFor([&] { return !w.prompt.entries().empty(); }, 60000));
        }
        QCoreApplication::processEvents();
        EXPECT_EQ(w.prompt.texts(), c.cut ? told : std::vector<std::string>{}) << c.name;
        // What went in is the start of the paste, and the message can be sent as it is.
        Message m = w.page().message();
        const QString body = QString::fromStdU16String(m.body.text()).replace(u'\r', u'\n');
        EXPECT_TRUE(body.startsWith(c.before)) << c.name;
        EXPECT_TRUE(c.pasted.startsWith(body.mid(c.before.size()))) << c.name;
        EXPECT_EQ(body.size() < c.before.size() + c.pasted.size(), c.cut) << c.name;
        ScriptedPrompt silent;
        const EncodeResult encoded =
            encodeMessage(m, {EncodePurpose::Check, w.page().capabilities(), false, false}, silent);
        ASSERT_TRUE(encoded.ok()) << c.name << " " << encoded.error();
        if (c.cut) {
            EXPECT_GT(encoded.value().bodyLength, kMaxBodyBytes - 16) << c.name;
        }
    }
}

// A title longer than the projector shows, then the message: every key lands in the message and
// nothing asks while the operator types; the title's length stands beside it, heard by a screen
// reader too. The question is Save's (and Send's).
TEST(EditPage, ChecksWhileTypingNeverOpenABoxAndShowTheTitleLength) {
    EditWindow w("typing");
    auto* length = w.find<QLabel>("titleLength");
    EXPECT_EQ(length->text(), QStringLiteral("0/20"));
    type(w.title(), QStringLiteral("Lockdown in Building B now"));
    type(w.body(), QStringLiteral("Stay in your rooms and lock the doors"));
    EXPECT_EQ(w.body()->toPlainText(), QStringLiteral("Stay in your rooms and lock the doors"));
    EXPECT_TRUE(w.prompt.texts().empty());
    EXPECT_EQ(length->text(), QStringLiteral("26/20"));
    EXPECT_EQ(QAccessible::queryAccessibleInterface(length)->text(QAccessible::Name),
              QStringLiteral("Title length: 26/20"));

    w.prompt.queue(PromptAnswer::Cancel);
    w.frame->action(MainWindow::Save)->trigger();
    ASSERT_EQ(w.prompt.entries().size(), 1u);
    EXPECT_NE(w.prompt.entries()[0].text.find("20"), std::string::npos)
        << w.prompt.entries()[0].text;
    EXPECT_TRUE(w.chooserCalls.empty());
}

// The Edit tab's startup minutes take a typed value, as the Main tab's do, without growing.
TEST(EditPage, TypedStartupMinutesNeverBecomeEntriesOfTheList) {
    SimProcess sim({"--address", "127.0.70.30"});
    ASSERT_TRUE(sim.ready()) << sim.output();
    EditWindow w("minutes", "127.0.70.30");
    w.page().chooseProjectorAndSlot(0, 3);
    ASSERT_TRUE(test::stateQueriesEnded(w.frame.get()));
    auto* startup = w.find<QCheckBox>("startupDisplayCheck");
    ASSERT_TRUE(startup->isEnabled());
    startup->setChecked(true);
    auto* minutes = w.find<QComboBox>("startupMinutesList");
    ASSERT_TRUE(minutes->isEnabled());
    const int entries = minutes->count();
    for (const QString& typed : {QStringLiteral("abc"), QStringLiteral("5"), QString()}) {
        minutes->lineEdit()->selectAll();
        QTest::keyClick(minutes->lineEdit(), Qt::Key_Backspace);
        QTest::keyClicks(minutes->lineEdit(), typed);
        QTest::keyClick(minutes->lineEdit(), Qt::Key_Return);
        EXPECT_EQ(minutes->count(), entries) << typed.toStdString();
        EXPECT_EQ(minutes->currentText(), typed) << typed.toStdString();
    }
}
