#include "ui/dialogs/CommunicationStatusDialog.h"

#include "ui/common/PostToGui.h"
#include "ui/common/UiText.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

namespace orvanta {

class CommunicationStatusDialog::InputBlock : public QObject {
  public:
    explicit InputBlock(CommunicationStatusDialog& dialog) : dialog_(dialog) {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w != &dialog && w->isVisible()) {
                blocked_.append(w);
            }
        }
        qApp->installEventFilter(this);
    }
    ~InputBlock() override { qApp->removeEventFilter(this); }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Shortcut) {
            // Menu and tool-bar shortcuts reach their actions, not a window.
            auto* w = qobject_cast<QWidget*>(watched);
            return w == nullptr || w->window() != &dialog_;
        }
        if (!isUserInput(event->type())) {
            if (event->type() == QEvent::WindowActivate && isBlocked(watched)) {
                // The operator clicked the main window: the dialog comes back to the front.
                QMetaObject::invokeMethod(
                    &dialog_,
                    [d = QPointer<QDialog>(&dialog_)] {
                        if (d != nullptr && d->isVisible()) {
                            d->raise();
                            d->activateWindow();
                        }
                    },
                    Qt::QueuedConnection);
            }
            return false;
        }
        return isBlocked(watched);
    }

  private:
    static bool isUserInput(QEvent::Type type) {
        switch (type) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
            case QEvent::MouseMove:
            case QEvent::Wheel:
            case QEvent::KeyPress:
            case QEvent::KeyRelease:
            case QEvent::ShortcutOverride:
            case QEvent::InputMethod:
            case QEvent::ContextMenu:
            case QEvent::TouchBegin:
            case QEvent::TouchUpdate:
            case QEvent::TouchEnd:
            case QEvent::TabletPress:
            case QEvent::TabletMove:
            case QEvent::TabletRelease:
            case QEvent::DragEnter:
            case QEvent::DragMove:
            case QEvent::Drop:
                return true;
            default:
                return false;
        }
    }
    bool isBlocked(QObject* watched) const {
        QWidget* window = nullptr;
        if (auto* w = qobject_cast<QWidget*>(watched)) {
            window = w->window();
        } else if (auto* handle = qobject_cast<QWindow*>(watched)) {
            for (const QPointer<QWidget>& b : blocked_) {
                if (b != nullptr && b->windowHandle() == handle) {
                    return true;
                }
            }
            return false;
        }
        return window != nullptr && blocked_.contains(QPointer<QWidget>(window));
    }

    CommunicationStatusDialog& dialog_;
    QList<QPointer<QWidget>> blocked_;
};

CommunicationStatusDialog::CommunicationStatusDialog(QWidget* parent, TransferFlags& flags,
                                                     TransferTimings timings)
    : QDialog(parent), ownJob_(std::make_unique<TransferJob>(flags, timings)), job_(ownJob_.get()) {
    build();
}

CommunicationStatusDialog::CommunicationStatusDialog(QWidget* parent, TransferJob& job)
    : QDialog(parent), job_(&job) {
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
    // Alt+F4 lands here while the dialog has the focus: it is meant for the program, whose
    // window decides (after the transfer) what to do with it.
    if (running_ && event->spontaneous() && parentWidget() != nullptr) {
        QWidget* window = parentWidget()->window();
        QMetaObject::invokeMethod(
            window, [window] { window->close(); }, Qt::QueuedConnection);
    }
}

bool CommunicationStatusDialog::run(TransferKind kind) {
    if (running_) {
        return false;
    }
    cancel_->setEnabled(true);
    const bool hidden = (kind == TransferKind::Ctrl && job_->hidden) ||
                        kind == TransferKind::CtrlRead || kind == TransferKind::CtrlStateQuery;
    running_ = true;
    // Queued calls on one receiver keep the order in which the worker posted them.
    job_->start(kind, guiEventSink(this, &CommunicationStatusDialog::onEvent));
    QEventLoop loop;
    loop_ = &loop;
    if (hidden) {
        // A hidden run still blocks the operator's input, as the shown dialog does; when the
        // projector is slow the dialog shows, so that the wait has a face and a Cancel.
        QTimer::singleShot(kShowAfter, &loop, [&loop] { loop.exit(0); });
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    // No event is handled between the hidden wait's end and here: an ended run is seen.
    if (!job_->ended()) {
        const InputBlock block(*this);
        show();
        raise();
        activateWindow();
        loop.exec();
        hide();
    }
    loop_ = nullptr;
    job_->join();
    running_ = false;
    return job_->outcome.succeeded();
}

void CommunicationStatusDialog::start(TransferKind kind) {
    if (running_) {
        return;
    }
    cancel_->setEnabled(true);
    running_ = true;
    started_ = true;
    dismissed_ = false;
    // The page stays usable: the dialog is shown beside it and leaves it the keyboard.
    setAttribute(Qt::WA_ShowWithoutActivating);
    job_->start(kind, guiEventSink(this, &CommunicationStatusDialog::onEvent));
    QTimer::singleShot(kShowAfter, this, [this] {
        if (running_ && started_ && !dismissed_ && !isVisible()) {
            show();
        }
    });
}

void CommunicationStatusDialog::dismiss() {
    if (!running_ || !started_) {
        return;
    }
    dismissed_ = true;
    reject();
    hide();
    if (loop_ != nullptr) {
        loop_->exit(2);
    }
}

void CommunicationStatusDialog::finish() {
    if (!running_ || !started_ || dismissed_ || loop_ != nullptr) {
        return;
    }
    QEventLoop loop;
    loop_ = &loop;
    {
        const InputBlock block(*this);
        setAttribute(Qt::WA_ShowWithoutActivating, false);
        show();
        raise();
        activateWindow();
        loop.exec();
    }
    loop_ = nullptr;
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
    // The dialog's result says the same as the outcome.
    const bool succeeded = job_->outcome.succeeded();
    const int result = succeeded ? QDialog::Accepted : QDialog::Rejected;
    setResult(result);
    const bool wasStarted = started_;
    if (wasStarted) {
        // The worker ends right after its final event.
        job_->join();
        running_ = false;
        started_ = false;
        dismissed_ = false;
        hide();
    }
    if (loop_ != nullptr) {
        loop_->exit(result);
    }
    if (wasStarted) {
        emit this->ended(succeeded);
    }
}

bool QtTransferRunner::run(TransferJob& job, TransferKind kind) {
    if (beforeRun_) {
        beforeRun_();
    }
    bool result = false;
    ++depth_;
    {
        CommunicationStatusDialog dialog(parent_, job);
        result = dialog.run(kind);
    }
    if (--depth_ == 0 && onIdle) {
        onIdle();
    }
    return result;
}

}  // namespace orvanta
