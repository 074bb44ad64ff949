#pragma once
// The "Communication Status" dialog: runs one transfer worker, shows its progress on a
// centred status line and closes itself with the outcome (result 1 success, 2 failure).
// The Cancel button (and Escape) only ask the worker to cancel; the dialog cannot be moved or
// closed from its frame.  A Ctrl run with `hidden` and every CtrlRead or CtrlStateQuery runs
// without showing the dialog.
//
// While it runs, the other windows take no input, as under a modal dialog, but the dialog is
// not modal in Qt's sense: Qt drops every close request (close button, Alt+F4, the window
// manager) for a window a modal dialog blocks, so the main window would never hear of one.
// A close request to the dialog itself is passed on to the window it belongs to.

#include <QDialog>
#include <QPointer>
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

    QString statusText() const;
    QPushButton* okButton() const { return ok_; }
    QPushButton* cancelButton() const { return cancel_; }

    // The OK button does nothing; Escape and Cancel only ask for a cancel.
    void accept() override {}
    void reject() override;

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
};

// Runs transfers in status dialogs owned by `parent`.
class QtTransferRunner : public TransferRunner {
  public:
    explicit QtTransferRunner(QWidget* parent, TransferFlags& flags = processTransferFlags(),
                              TransferTimings timings = {})
        : TransferRunner(flags, timings), parent_(parent) {}
    int run(TransferJob& job, TransferKind kind) override;

    // True while a transfer runs (its dialog shown or not).
    bool running() const { return depth_ > 0; }
    // Called once the last running transfer has ended.
    std::function<void()> onIdle;

  private:
    QPointer<QWidget> parent_;
    int depth_ = 0;
};

}  // namespace orvanta
