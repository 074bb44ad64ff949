#pragma once
// The "Communication Status" dialog: runs one transfer worker, shows its progress on a
// centred status line and closes itself with the outcome (result 1 success, 2 failure).
// The Cancel button (and Escape) only ask the worker to cancel; every kind looks at that in its
// reply wait (a short PUT is kept once sent, and says so).  The dialog cannot be moved or
// closed from its frame.  A Ctrl run with `hidden` and every CtrlRead or CtrlStateQuery start
// out of sight and show the dialog only when the projector takes longer than a moment, so a
// slow or hung projector is seen and can be cancelled.
//
// start() runs a transfer without waiting for it (the pages' state queries): the operator may
// go on working, the dialog shows itself without taking the keyboard once the run takes longer
// than a moment, and ended() follows the run's end.
//
// While it runs, the other windows take no input, as under a modal dialog, but the dialog is
// not modal in Qt's sense: Qt drops every close request (close button, Alt+F4, the window
// manager) for a window a modal dialog blocks, so the main window would never hear of one.
// A close request to the dialog itself is passed on to the window it belongs to.

#include <QDialog>
#include <QPointer>
#include <chrono>
#include <functional>
#include <memory>

#include "protocol/Transfer.h"

class QEventLoop;
class QLabel;
class QPushButton;

namespace orvanta {

class CommunicationStatusDialog : public QDialog {
    Q_OBJECT
  public:
    // A dialog with its own job (records and outcome).
    explicit CommunicationStatusDialog(QWidget* parent = nullptr,
                                       TransferFlags& flags = processTransferFlags(),
                                       TransferTimings timings = {});
    // A dialog that runs `job`, which must outlive it.
    CommunicationStatusDialog(QWidget* parent, TransferJob& job);
    ~CommunicationStatusDialog() override;

    TransferJob& job() { return *job_; }
    MessageTransferRecord& message() { return job_->message; }
    ControlRecord& control() { return job_->control; }
    InfoRecord& info() { return job_->info; }
    const TransferOutcome& outcome() const { return job_->outcome; }
    void setHidden(bool hidden) { job_->hidden = hidden; }

    // Runs one transfer of `kind` modally and returns 1 (success) or 2 (failure).  May be
    // called again with another kind once it has returned.
    int run(TransferKind kind);
    // Starts one run of `kind` and returns at once; see ended().  Nothing happens while a run
    // is going.
    void start(TransferKind kind);
    // Makes the operator wait for the run start() began: the dialog shows, the other windows
    // take no input, until it has ended (for a command that needs the answer first).
    void finish();
    // Cancels a run begun by start() and keeps the dialog out of sight until it has ended
    // (ended() still follows): for a query whose answer nobody waits for any more.
    void dismiss();
    bool running() const { return running_; }

    // How long a run may take before the dialog of a hidden or started run shows.
    static constexpr std::chrono::milliseconds kShowAfter{400};

    QString statusText() const;
    QPushButton* okButton() const { return ok_; }
    QPushButton* cancelButton() const { return cancel_; }

    // The OK button does nothing; Escape and Cancel only ask for a cancel.
    void accept() override {}
    void reject() override;

  signals:
    // A run begun by start() has ended: 1 success, 2 failure (the outcome says which).
    void ended(int result);

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    class Sink;
    void build();
    void onEvent(const TransferEvent& event);

    class InputBlock;

    std::unique_ptr<TransferJob> ownJob_;
    TransferJob* job_;
    std::unique_ptr<Sink> sink_;
    QLabel* status_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QEventLoop* loop_ = nullptr;
    bool running_ = false;
    bool started_ = false;    // the run was begun by start()
    bool dismissed_ = false;  // ... and nobody waits for it any more
};

// Runs transfers in status dialogs owned by `parent`.
class QtTransferRunner : public TransferRunner {
  public:
    explicit QtTransferRunner(QWidget* parent, TransferFlags& flags = processTransferFlags(),
                              TransferTimings timings = {})
        : TransferRunner(flags, timings), parent_(parent) {}
    int run(TransferJob& job, TransferKind kind) override;
    // Called before every run: the frame makes the pages' running state queries end first,
    // so that a command reads what the projector answered and two exchanges never overlap.
    void setBeforeRun(std::function<void()> beforeRun) { beforeRun_ = std::move(beforeRun); }

    // True while a transfer runs (its dialog shown or not).
    bool running() const { return depth_ > 0; }
    // Called once the last running transfer has ended.
    std::function<void()> onIdle;

  private:
    QPointer<QWidget> parent_;
    int depth_ = 0;
    std::function<void()> beforeRun_;
};

}  // namespace orvanta
