#pragma once
// One running program per user session: the first start holds a lock file and listens on a
// local socket; a later start asks it to raise its window and ends.

#include <QObject>
#include <QString>
#include <memory>

class QLocalServer;
class QLockFile;

namespace orvanta {

class SingleInstance : public QObject {
    Q_OBJECT
  public:
    // `folder`: where the lock and the socket live (the user's runtime folder by default).
    explicit SingleInstance(const QString& folder = QString());
    ~SingleInstance() override;

    // True for the first instance, which then listens for raise requests.
    bool acquire();
    // From a later start: asks the running instance to come forward.
    bool askRunningInstanceToRaise() const;

  signals:
    void raiseRequested();

  private:
    QString lockPath_;
    QString socketPath_;
    std::unique_ptr<QLockFile> lock_;
    QLocalServer* server_ = nullptr;
};

}  // namespace orvanta
