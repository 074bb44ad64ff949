#include "ui/frame/SingleInstance.h"

#include <unistd.h>

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>

namespace orvanta {
namespace {

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

}  // namespace orvanta
