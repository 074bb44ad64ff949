#include "ui/frame/SingleInstance.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <QThread>
#include <QUrl>

namespace orvanta {
namespace {

// A request is one line: "raise", or "open " and the file as an encoded file: address (so
// that any file name, even one with a line break, fits on the line).
constexpr qint64 kMaxRequestBytes = 64 * 1024;
const QByteArray kOpen = QByteArrayLiteral("open ");

// The user's runtime folder; without one, a folder in /tmp that only this user can enter
// (nothing, when such a folder exists but belongs to someone else or is open to others).
QString defaultInstanceFolder() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!folder.isEmpty()) {
        return folder;
    }
    folder = QDir::tempPath() + QStringLiteral("/orvanta-") + QString::number(::getuid());
    const QByteArray path = QFile::encodeName(folder);
    ::mkdir(path.constData(), 0700);
    struct stat info {};
    if (::lstat(path.constData(), &info) != 0 || !S_ISDIR(info.st_mode) ||
        info.st_uid != ::getuid() || (info.st_mode & 077) != 0) {
        return {};
    }
    return folder;
}

}  // namespace

SingleInstance::SingleInstance(const QString& folder) {
    const QString dir = folder.isEmpty() ? defaultInstanceFolder() : folder;
    if (!dir.isEmpty()) {
        lockPath_ = dir + QStringLiteral("/Orvanta.lock");
        socketPath_ = dir + QStringLiteral("/Orvanta.socket");
    }
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::acquire() {
    if (lockPath_.isEmpty()) {
        return true;  // nowhere safe to meet other starts: this one runs on its own
    }
    lock_ = std::make_unique<QLockFile>(lockPath_);
    lock_->setStaleLockTime(0);  // a lock whose process is gone is taken over
    if (!lock_->tryLock(0)) {
        return false;
    }
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    QLocalServer::removeServer(socketPath_);  // left behind by a program that crashed
    if (server_->listen(socketPath_)) {
        connect(server_, &QLocalServer::newConnection, this, [this] {
            while (QLocalSocket* peer = server_->nextPendingConnection()) {
                serve(peer);
            }
        });
    }
    return true;
}

void SingleInstance::serve(QLocalSocket* peer) {
    connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
    auto readRequest = [this, peer] {
        if (peer->property("answered").toBool()) {
            return;
        }
        if (!peer->canReadLine()) {
            if (peer->bytesAvailable() > kMaxRequestBytes) {
                peer->abort();  // no request is that long
            }
            return;
        }
        const QByteArray line = peer->readLine(kMaxRequestBytes).trimmed();
        peer->setProperty("answered", true);
        // "ok", then the folder this copy works in: a later start given another one says so.
        peer->write("ok " + QUrl::fromLocalFile(folder_).toEncoded(QUrl::FullyEncoded) + '\n');
        peer->disconnectFromServer();
        if (line.startsWith(kOpen)) {
            const QUrl url = QUrl::fromEncoded(line.mid(kOpen.size()), QUrl::StrictMode);
            if (url.isLocalFile()) {
                emit openRequested(url.toLocalFile());
                return;
            }
        }
        emit raiseRequested();
    };
    connect(peer, &QLocalSocket::readyRead, this, readRequest);
    readRequest();  // what arrived with the connection
}

bool SingleInstance::handOver(const QString& file, int waitMs, QString* runningFolder) const {
    if (socketPath_.isEmpty()) {
        return false;
    }
    const QDeadlineTimer deadline(waitMs);
    QLocalSocket socket;
    for (;;) {
        socket.connectToServer(socketPath_);
        if (socket.waitForConnected(static_cast<int>(deadline.remainingTime()))) {
            break;
        }
        socket.abort();
        if (deadline.hasExpired()) {
            return false;
        }
        QThread::msleep(50);  // the first start has the lock but is not listening yet
    }
    const QByteArray request =
        file.isEmpty() ? QByteArrayLiteral("raise\n")
                       : kOpen + QUrl::fromLocalFile(file).toEncoded(QUrl::FullyEncoded) + '\n';
    socket.write(request);
    if (!socket.waitForBytesWritten(static_cast<int>(deadline.remainingTime()))) {
        return false;
    }
    while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
            return false;
        }
    }
    const QByteArray answer = socket.readLine().trimmed();
    if (answer != "ok" && !answer.startsWith("ok ")) {
        return false;
    }
    if (runningFolder != nullptr && answer.size() > 3) {
        *runningFolder = QUrl::fromEncoded(answer.mid(3), QUrl::StrictMode).toLocalFile();
    }
    return true;
}

}  // namespace orvanta
