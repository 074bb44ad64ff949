#pragma once
// One running program per user session: the first start holds a lock file and listens on a
// local socket; a later start hands its file (if any) to it, which comes forward and opens
// the file, and ends.

#include <QObject>
#include <QString>
#include <memory>

class QLocalServer;
class QLocalSocket;
class QLockFile;

namespace orvanta {

class SingleInstance : public QObject {
    Q_OBJECT
  public:
    // `folder`: where the lock and the socket live (the user's runtime folder by default).
    explicit SingleInstance(const QString& folder = QString());
    ~SingleInstance() override;

    // True for the first instance, which then listens for later starts.
    bool acquire();
    // From a later start: asks the running instance to come forward and, when `file` (an
    // absolute path) is given, to open it. The first instance may be starting at this very
    // moment, so its channel is waited for up to `waitMs`. True once the running instance
    // has confirmed the request.
    // `runningFolder` (if given) receives the program folder the running instance works in.
    bool handOver(const QString& file, int waitMs = 5000, QString* runningFolder = nullptr) const;
    // The first instance's program folder, told to later starts with each answer.
    void setProgramFolder(const QString& folder) { folder_ = folder; }

  signals:
    // A later start without a file.
    void raiseRequested();
    // A later start named `file`.
    void openRequested(const QString& file);

  private:
    void serve(QLocalSocket* peer);

    QString lockPath_;
    QString socketPath_;
    QString folder_;
    std::unique_ptr<QLockFile> lock_;
    QLocalServer* server_ = nullptr;
};

}  // namespace orvanta
