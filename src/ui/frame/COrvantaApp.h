#pragma once
// Start-up of the desktop program: one instance per user, the main window, the shared state.

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "projectors/Adaptors.h"

class QLocalServer;
class QLockFile;

namespace orvanta {

class CMainFrame;
class Prompt;
struct MainState;

// One running program per user session: the first start holds a lock file and listens on a
// local socket; a later start asks it to raise its window and ends.
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

struct StartupOptions {
    // Whether a TCP socket can be created; replaced in tests.
    std::function<bool()> socketLayerAvailable;
    // The adaptors discovery may search from; replaced in tests, which must never send
    // multicast on this machine's real interfaces.
    std::function<std::vector<AdaptorEntry>()> adaptors;
};

class COrvantaApp {
  public:
    // Start-up steps after the single-instance check: builds the frame, reads the shared
    // state, creates the pages and shows the window with its caption.
    static std::unique_ptr<CMainFrame> createMainWindow(MainState& state, Prompt& prompt,
                                                        const StartupOptions& options);
};

// The whole program: returns the process exit status.
int runDesktopProgram(int argc, char** argv);

}  // namespace orvanta
