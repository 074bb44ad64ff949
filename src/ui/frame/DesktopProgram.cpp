#include "ui/frame/DesktopProgram.h"

#include "settings/SendLockStore.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QLoggingCategory>
#include <QSessionManager>
#include <QTimer>
#include <cstdio>
#include <optional>

#include "platform/Environment.h"
#include "text/LanguageText.h"
#include "ui/common/InterfaceFonts.h"
#include "ui/common/MainState.h"
#include "ui/common/QtPrompt.h"
#include "ui/common/QtTranslations.h"
#include "ui/common/UiText.h"
#include "ui/edit/DraftKeeper.h"
#include "ui/frame/DesktopCommandLine.h"
#include "ui/frame/MainWindow.h"
#include "ui/frame/SingleInstance.h"
#include "ui/frame/TerminationWatch.h"

// Where the program keeps and finds its files; QT_LOGGING_RULES="orvanta.folders.info=true"
// prints them at start-up.
Q_LOGGING_CATEGORY(lcFolders, "orvanta.folders", QtWarningMsg)

namespace orvanta {
namespace {

bool canCreateSocket() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) {
        return false;
    }
    ::close(fd);
    return true;
}

}  // namespace

std::unique_ptr<MainWindow> createMainWindow(MainState& state, Prompt& prompt,
                                             const StartupOptions& options) {
    auto frame = std::make_unique<MainWindow>(state, prompt);
    if (auto* qtPrompt = dynamic_cast<QtPrompt*>(&prompt)) {
        qtPrompt->setParent(frame.get());
    }
    const auto socketsWork = options.socketLayerAvailable ? options.socketLayerAvailable
                                                          : std::function<bool()>(canCreateSocket);
    if (!socketsWork()) {
        prompt.inform(languageText(Text::SocketError), PromptIcon::Error);
    }
    if (options.adaptors) {
        state.adaptorSource = options.adaptors;
    }
    state.adaptors = state.adaptorSource();
    state.characterColor = 7;
    state.characterBackgroundColor = 8;
    state.backgroundColor = 8;
    state.sendLocked = readSendLockSettings(sendLockSettingsPath()).locked;
    std::vector<std::string> descriptions;
    for (const auto& a : state.adaptors) {
        descriptions.push_back(a.description);
    }
    // The adaptor the operator narrowed discovery to, else every adaptor.
    const std::optional<std::size_t> saved = findSavedAdaptor(state.programFolder, descriptions);
    state.selectedAdaptor = saved ? static_cast<std::int32_t>(*saved) : -1;
    frame->createView();
    frame->show();
    frame->setWindowTitle(text(Text::Caption));
    // Once the window is on screen, so that the questions have it behind: first the message
    // a run that did not end normally left, then the file to open (which asks about it).
    QTimer::singleShot(0, frame.get(), [window = frame.get(), file = options.fileToOpen] {
        window->offerDraftRecovery();
        if (!file.isEmpty()) {
            window->openFile(file);
        }
    });
    return frame;
}

void connectLaterStarts(SingleInstance& instance, MainWindow& window) {
    QObject::connect(&instance, &SingleInstance::raiseRequested, &window, [&window] {
        window.bringToFront();
        qInfo("Orvanta: brought forward by a second start");
    });
    // Queued: the request is answered first, and the file's questions run on their own.
    QObject::connect(
        &instance, &SingleInstance::openRequested, &window,
        [&window](const QString& file) {
            window.bringToFront();
            qInfo("Orvanta: brought forward by a second start with %s", qPrintable(file));
            window.openFile(file);
        },
        Qt::QueuedConnection);
}

int runDesktopProgram(int argc, char** argv, const WindowShownHook& shown) {
    if (const auto status = answerInformationOptions(argc, argv)) {
        return *status;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Orvanta"));
    QApplication::setApplicationVersion(QString::fromUtf8(programVersion()));
    // The menu entry's name: desktops match the window to it (and to its icon) by this.
    QGuiApplication::setDesktopFileName(QStringLiteral("com.tavrix.Orvanta"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("com.tavrix.Orvanta")));

    std::vector<std::string> args;
    for (const QString& a : QApplication::arguments().mid(1)) {
        args.push_back(a.toStdString());
    }
    const DesktopArguments given = readDesktopArguments(args);
    if (!given.error.empty()) {
        std::fprintf(stderr, "orvanta: %s\n", given.error.c_str());
        return 2;
    }
    // Relative to where this start was made, which the running copy does not know.
    const QString file =
        given.file.empty() ? QString() : QFileInfo(qs(given.file)).absoluteFilePath();

    // Without a font for its script the interface would be boxes: English instead, said once.
    const std::optional<Text> noFont = fallBackWithoutFont();

    SingleInstance instance;
    if (!instance.acquire()) {
        QString runningFolder;
        if (instance.handOver(file, 5000, &runningFolder)) {
            // The running copy keeps its folder: a folder given to this start is not used.
            std::vector<std::string> rest = args;
            const std::string asked = openProgramFolder(rest, false).path;
            if (!runningFolder.isEmpty() && QDir(qs(asked)) != QDir(runningFolder)) {
                std::fprintf(
                    stderr, "orvanta: %s\n",
                    utf8(text(Text::RunningWithOtherFolder).arg(runningFolder, qs(asked))).c_str());
            }
            return 0;
        }
        // Started from a file manager nobody reads the terminal: the message is shown too.
        std::fprintf(stderr, "orvanta: %s\n", languageText(Text::AnotherCopyDoesNotAnswer).c_str());
        QtPrompt prompt;
        prompt.inform(languageText(Text::AnotherCopyDoesNotAnswer), PromptIcon::Error);
        return 1;
    }

    if (noFont) {
        std::fprintf(stderr, "orvanta: %s\n", languageText(*noFont).c_str());
    }
    const auto qtTexts = loadQtTranslation(interfaceLanguage());
    if (qtTexts) {
        QCoreApplication::installTranslator(qtTexts.get());
    }

    MainState state;
    const ProgramFolder folder = openProgramFolder(args);
    state.programFolder = folder.path;
    instance.setProgramFolder(qs(folder.path));
    if (!folder.problem.empty()) {
        qWarning("Orvanta: %s", folder.problem.c_str());
    }
    qCInfo(lcFolders, "program folder: %s", folder.path.c_str());
    qCInfo(lcFolders, "mfont: %s", resourceFolder(folder.path, "mfont").c_str());
    qCInfo(lcFolders, "micon: %s", resourceFolder(folder.path, "micon").c_str());

    QtPrompt prompt;
    StartupOptions options;
    options.fileToOpen = file;
    auto frame = createMainWindow(state, prompt, options);
    connectLaterStarts(instance, *frame);
    // Logout, shutdown or a kill: the unsaved message is written at once, then the program
    // ends as the signal would have ended it.
    const TerminationWatch termination([window = frame.get()](int signal) {
        if (DraftKeeper* keeper = window->draftKeeper()) {
            if (const Result<> written = keeper->writeNow(); !written) {
                std::fprintf(stderr, "orvanta: %s\n", written.error().c_str());
            }
        }
        TerminationWatch::endBySignal(signal);
    });
    // The desktop session ends: the session manager may end the program without asking, so
    // the unsaved message is kept now (and offered at the next start).
    QObject::connect(&app, &QGuiApplication::commitDataRequest, frame.get(),
                     [window = frame.get()](QSessionManager&) {
                         if (DraftKeeper* keeper = window->draftKeeper()) {
                             (void)keeper->writeNow();
                         }
                     });
    if (shown) {
        QTimer::singleShot(0, frame.get(), [window = frame.get(), shown] { shown(*window); });
    }
    if (noFont) {
        QTimer::singleShot(0, frame.get(), [&prompt, noFont] {
            prompt.inform(languageText(*noFont), PromptIcon::Warning);
        });
    }
    return app.exec();
}

}  // namespace orvanta
