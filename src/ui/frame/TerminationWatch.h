#pragma once
// SIGTERM (logout, shutdown, `kill`), SIGHUP (the terminal went away) and SIGINT (Ctrl+C) as
// events of the GUI thread: the signal handler only writes a byte to a pipe, and a socket
// notifier runs `onSignal` with the signal's number in the event loop, where the program can
// still save what it must. `onSignal` is expected to end the process (see endBySignal).

#include <QObject>
#include <functional>

class QSocketNotifier;

namespace orvanta {

class TerminationWatch : public QObject {
    Q_OBJECT
  public:
    // One per process; the handlers stay installed while it lives.
    explicit TerminationWatch(std::function<void(int signal)> onSignal, QObject* parent = nullptr);
    ~TerminationWatch() override;

    // Ends the process as `signal` would have without the handler.
    [[noreturn]] static void endBySignal(int signal);

  private:
    std::function<void(int)> onSignal_;
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace orvanta
