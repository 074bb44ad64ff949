#include "ui/frame/COrvantaApp.h"

#include "protocol/SendLockStore.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QLoggingCategory>
#include <QStandardPaths>
#include <optional>

#include "app/LanguageText.h"
#include "platform/Environment.h"
#include "ui/common/QtPrompt.h"
#include "ui/common/QtTranslations.h"
#include "ui/common/UiText.h"
#include "ui/frame/CMainFrame.h"
#include "ui/frame/DesktopCommandLine.h"
#include "ui/frame/MainState.h"

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

QString defaultInstanceFolder() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty()) {
        folder = QDir::tempPath() + QStringLiteral("/orvanta-") + QString::number(::getuid());
        QDir().mkpath(folder);
    }
    return folder;
}

}  // namespace

SingleInstance::SingleInstance(const QString& folder) {
    const QString dir = folder.isEmpty() ? defaultInstanceFolder() : folder;
    lockPath_ = dir + QStringLiteral("/Orvanta.lock");
    socketPath_ = dir + QStringLiteral("/Orvanta.socket");
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::acquire() {
    lock_ = std::make_unique<QLockFile>(lockPath_);
    lock_->setStaleLockTime(0);  // a lock whose process is gone is taken over
    if (!lock_->tryLock(0)) {
        return false;
    }
    server_ = new QLocalServer(this);
    QLocalServer::removeServer(socketPath_);  // left behind by a program that crashed
    if (server_->listen(socketPath_)) {
        connect(server_, &QLocalServer::newConnection, this, [this] {
            while (QLocalSocket* peer = server_->nextPendingConnection()) {
                connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
                emit raiseRequested();
            }
        });
    }
    return true;
}

bool SingleInstance::askRunningInstanceToRaise() const {
    QLocalSocket socket;
    socket.connectToServer(socketPath_);
    if (!socket.waitForConnected(2000)) {
        return false;
    }
    socket.write("raise\n");
    socket.waitForBytesWritten(1000);
    socket.disconnectFromServer();
    return true;
}

std::unique_ptr<CMainFrame> COrvantaApp::createMainWindow(MainState& state, Prompt& prompt,
                                                          const StartupOptions& options) {
    auto frame = std::make_unique<CMainFrame>(state, prompt);
    if (auto* qtPrompt = dynamic_cast<QtPrompt*>(&prompt)) {
        qtPrompt->setParent(frame.get());
    }
    const auto socketsWork = options.socketLayerAvailable ? options.socketLayerAvailable
                                                          : std::function<bool()>(canCreateSocket);
    if (!socketsWork()) {
        prompt.inform(LanguageText(Text::SocketError), PromptIcon::Error);
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
    // The remembered adaptor, else the first one that is not loopback.
    const std::optional<std::size_t> saved = findSavedAdapter(state.programFolder, descriptions);
    state.selectedAdapter = saved ? static_cast<std::int32_t>(*saved)
                                  : static_cast<std::int32_t>(defaultAdaptorIndex(state.adaptors));
    frame->createView();
    frame->show();
    frame->setWindowTitle(text(Text::Caption));
    return frame;
}

int runDesktopProgram(int argc, char** argv) {
    if (const auto status = answerInformationOptions(argc, argv)) {
        return *status;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Orvanta"));
    QApplication::setApplicationVersion(QString::fromUtf8(programVersion()));
    // The menu entry's name: desktops match the window to it (and to its icon) by this.
    QGuiApplication::setDesktopFileName(QStringLiteral("com.tavrix.Orvanta"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("com.tavrix.Orvanta")));
    const auto qtTexts = loadQtTranslation(interfaceLanguage());
    if (qtTexts) {
        QCoreApplication::installTranslator(qtTexts.get());
    }

    SingleInstance instance;
    if (!instance.acquire()) {
        instance.askRunningInstanceToRaise();
        return 0;
    }

    std::vector<std::string> args;
    for (const QString& a : QApplication::arguments().mid(1)) {
        args.push_back(a.toStdString());
    }
    MainState state;
    const ProgramFolder folder = openProgramFolder(args);
    state.programFolder = folder.path;
    if (!folder.problem.empty()) {
        qWarning("Orvanta: %s", folder.problem.c_str());
    }
    qCInfo(lcFolders, "program folder: %s", folder.path.c_str());
    qCInfo(lcFolders, "mfont: %s", resourceFolder(folder.path, "mfont").c_str());
    qCInfo(lcFolders, "micon: %s", resourceFolder(folder.path, "micon").c_str());

    QtPrompt prompt;
    auto frame = COrvantaApp::createMainWindow(state, prompt, {});
    QObject::connect(&instance, &SingleInstance::raiseRequested, frame.get(), [&frame] {
        frame->showNormal();
        frame->raise();
        frame->activateWindow();
        qInfo("Orvanta: brought forward by a second start");
    });
    return app.exec();
}

}  // namespace orvanta
