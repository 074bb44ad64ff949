#include "ui/dialogs/CommunicationStatusDialog.h"

#include "ui/common/UiText.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvanta {

// Hands worker events to the dialog's thread.  Queued invocations on one receiver keep the
// order in which the worker posted them.
class CommunicationStatusDialog::Sink : public TransferEventSink {
  public:
    explicit Sink(CommunicationStatusDialog* dialog) : dialog_(dialog) {}
    void post(const TransferEvent& event) override {
        CommunicationStatusDialog* dialog = dialog_;
        QMetaObject::invokeMethod(
            dialog, [dialog, event] { dialog->onEvent(event); }, Qt::QueuedConnection);
    }

  private:
    CommunicationStatusDialog* dialog_;
};

CommunicationStatusDialog::CommunicationStatusDialog(QWidget* parent, TransferFlags& flags,
                                                     TransferTimings timings)
    : QDialog(parent),
      ownJob_(std::make_unique<TransferJob>(flags, timings)),
      job_(ownJob_.get()),
      sink_(std::make_unique<Sink>(this)) {
    build();
}

CommunicationStatusDialog::CommunicationStatusDialog(QWidget* parent, TransferJob& job)
    : QDialog(parent), job_(&job), sink_(std::make_unique<Sink>(this)) {
    build();
}

CommunicationStatusDialog::~CommunicationStatusDialog() {
    // The worker reports to this dialog's sink: it must have ended first.
    job_->join();
}

void CommunicationStatusDialog::build() {
    setWindowTitle(text(Text::CommunicationStatusCaption));
    // No frame: nothing to drag, no close button.  The caption is drawn inside.
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setModal(true);

    auto* frame = new QFrame(this);
    frame->setFrameStyle(QFrame::Box | QFrame::Raised);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(frame);

    auto* caption = new QLabel(windowTitle(), frame);
    QFont bold = caption->font();
    bold.setBold(true);
    caption->setFont(bold);
    status_ = new QLabel(frame);
    status_->setAlignment(Qt::AlignCenter);
    status_->setMinimumWidth(260);

    ok_ = new QPushButton(text(Text::OkButton), frame);
    ok_->setVisible(false);
    ok_->setAutoDefault(false);
    cancel_ = new QPushButton(text(Text::CancelButtonCaption), frame);
    cancel_->setAutoDefault(false);
    connect(cancel_, &QPushButton::clicked, this, &CommunicationStatusDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(frame);
    layout->addWidget(caption);
    layout->addStretch();
    layout->addWidget(status_);
    layout->addStretch();
    layout->addLayout(buttons);
    setFixedSize(300, 130);
}

QString CommunicationStatusDialog::statusText() const {
    return status_->text();
}

void CommunicationStatusDialog::reject() {
    job_->flags().cancelRequested = true;
}

void CommunicationStatusDialog::closeEvent(QCloseEvent* event) {
    event->ignore();
}

int CommunicationStatusDialog::run(TransferKind kind) {
    if (running_) {
        return 2;
    }
    cancel_->setEnabled(kind == TransferKind::Put || kind == TransferKind::Text);
    const bool hidden = (kind == TransferKind::Ctrl && job_->hidden) ||
                        kind == TransferKind::CtrlRead || kind == TransferKind::CtrlStateQuery;
    running_ = true;
    job_->start(kind, *sink_);
    if (hidden) {
        // A hidden run still blocks the operator's input, as the modal dialog would.
        QEventLoop loop;
        hiddenLoop_ = &loop;
        loop.exec(QEventLoop::ExcludeUserInputEvents);
        hiddenLoop_ = nullptr;
    } else {
        exec();
    }
    job_->join();
    running_ = false;
    return job_->outcome.dialogResult();
}

void CommunicationStatusDialog::onEvent(const TransferEvent& event) {
    if (!running_ || job_->ended()) {
        return;
    }
    const bool ended = job_->handle(event);
    status_->setText(qs(job_->outcome.statusLine));
    if (!ended) {
        return;
    }
    const int result = job_->outcome.dialogResult();
    if (hiddenLoop_ != nullptr) {
        hiddenLoop_->exit(result);
    } else {
        done(result);
    }
}

int QtTransferRunner::run(TransferJob& job, TransferKind kind) {
    CommunicationStatusDialog dialog(parent_, job);
    return dialog.run(kind);
}

}  // namespace orvanta
