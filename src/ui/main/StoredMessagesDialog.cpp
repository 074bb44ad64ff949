#include "ui/main/StoredMessagesDialog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include "platform/WorkerPool.h"
#include "protocol/Transfer.h"
#include "ui/common/PostToGui.h"
#include "ui/common/UiText.h"

namespace orvanta {

StoredMessagesDialog::StoredMessagesDialog(std::uint32_t address, std::string password,
                                           QWidget* parent, SlotListTimings timings)
    : QDialog(parent), address_(address), password_(std::move(password)), timings_(timings) {
    setWindowTitle(text(Text::ConfirmCaption));
    setModal(true);

    model_ = new StoredSlotModel(this);
    list_ = new QTableView(this);
    list_->setObjectName(QStringLiteral("storedList"));
    list_->setModel(model_);
    list_->setAccessibleName(text(Text::ConfirmCaption));
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setShowGrid(true);
    list_->verticalHeader()->setVisible(false);
    list_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    const int rowHeight = list_->verticalHeader()->defaultSectionSize();
    list_->setMinimumHeight(rowHeight * kStoredSlotCount +
                            list_->horizontalHeader()->sizeHint().height() + 4);

    return_ = new QPushButton(text(Text::ReturnButton), this);
    return_->setDefault(true);
    connect(return_, &QPushButton::clicked, this, &StoredMessagesDialog::accept);
    cancel_ = new QPushButton(text(Text::CancelButtonCaption), this);
    cancel_->setVisible(false);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(return_);
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_);
    layout->addLayout(buttons);
    resize(320, sizeHint().height());
}

StoredMessagesDialog::~StoredMessagesDialog() {
    stopWorker();
}

void StoredMessagesDialog::stopWorker() {
    stop_ = true;
    if (worker_.joinable()) {
        worker_.join();
    }
}

bool StoredMessagesDialog::run() {
    if (running_) {
        return false;
    }
    stopWorker();
    model_->clearStatus();
    resultText_.clear();
    stop_ = false;
    running_ = true;
    const EventSink<SlotReport> sink = guiEventSink(this, &StoredMessagesDialog::onSlotEvent);
    Result<std::thread> worker = startThread(
        [this, sink] { runStoredMessageList(address_, password_, stop_, sink, timings_); });
    if (worker) {
        worker_ = std::move(worker).value();
    } else {
        sink({SlotListEvent::ConnectFailed, 0, {}});  // as a projector that took no connection
    }
    const int result = exec();
    // The slot being asked is finished; no further one is asked.
    stopWorker();
    running_ = false;
    return result == QDialog::Accepted;
}

void StoredMessagesDialog::finish(bool listed) {
    stop_ = true;
    if (isVisible()) {
        done(listed ? QDialog::Accepted : QDialog::Rejected);
    }
}

void StoredMessagesDialog::onSlotEvent(const SlotReport& report) {
    if (!running_ || stop_.load()) {
        return;
    }
    const int slot = report.slot;
    const QString status = qs(report.status);
    if (report.event == SlotListEvent::ConnectFailed) {
        resultText_ = communicationErrorText(toCode(ExchangeError::Connect));
        finish(false);
        return;
    }
    // A failure that leaves the word as it was reports it empty.
    if (!status.isEmpty()) {
        model_->setStatus(slot, status);
    }
}

Outcome showStoredMessageList(std::uint32_t address, const std::string& password, Prompt& prompt,
                              QWidget* parent, SlotListTimings timings) {
    StoredMessagesDialog dialog(address, password, parent, timings);
    if (dialog.run()) {
        return Outcome::success();
    }
    prompt.inform(dialog.resultText());
    return Outcome::failure(dialog.resultText());
}

}  // namespace orvanta
