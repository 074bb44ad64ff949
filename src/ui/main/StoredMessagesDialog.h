#pragma once
// "Confirm": which memory slots of a projector hold a message.  A worker of its own asks the
// 13 slots in turn with INFO; the list shows one status word per slot.  "Return" (and Escape)
// close it with success; the worker then asks no further slot.  A projector that cannot be
// reached (or sends no greeting) ends it with failure and the connection error text.

#include <QDialog>
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "commands/Outcome.h"
#include "commands/StoredMessageList.h"
#include "text/Prompt.h"
#include "ui/main/StoredSlotModel.h"

class QPushButton;
class QTableView;

namespace orvanta {

class StoredMessagesDialog : public QDialog {
    Q_OBJECT
  public:
    StoredMessagesDialog(std::uint32_t address, std::string password, QWidget* parent = nullptr,
                         SlotListTimings timings = {});
    ~StoredMessagesDialog() override;

    // Runs the dialog modally: true on success, false on failure (then resultText() says why).
    bool run();
    const std::string& resultText() const { return resultText_; }

    QTableView* list() const { return list_; }
    StoredSlotModel* model() const { return model_; }
    QPushButton* returnButton() const { return return_; }
    QString statusOf(int slot) const { return model_->status(slot); }

    // "Return" and Escape.
    void accept() override { finish(true); }
    void reject() override { finish(true); }

  private:
    void onSlotEvent(const SlotReport& report);
    // Ends the dialog; `listed` false when the list could not be read.
    void finish(bool listed);
    void stopWorker();

    std::uint32_t address_;
    std::string password_;
    SlotListTimings timings_;
    std::atomic<bool> stop_{false};
    std::thread worker_;
    // The dialog's own copy of the status words: the worker hands each word over with its
    // event, so nothing is shared between the threads but the stop flag.
    StoredSlotModel* model_ = nullptr;
    std::string resultText_;
    QTableView* list_ = nullptr;
    QPushButton* return_ = nullptr;
    QPushButton* cancel_ = nullptr;
    bool running_ = false;
};

// The "Confirm" command for a chosen projector: runs the dialog and shows its failure text.
Outcome showStoredMessageList(std::uint32_t address, const std::string& password, Prompt& prompt,
                              QWidget* parent = nullptr, SlotListTimings timings = {});

}  // namespace orvanta
