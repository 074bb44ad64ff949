#pragma once
// "Confirm": which memory slots of a projector hold a message.  A worker of its own asks the
// 13 slots in turn with INFO; the list shows one status word per slot.  "Return" (and Escape)
// close it with success; the worker then asks no further slot.  A projector that cannot be
// reached (or sends no greeting) ends it with failure and the connection error text.

#include <QDialog>
#include <QStringList>
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "commands/StoredMessageList.h"
#include "text/Prompt.h"

class QPushButton;
class QTableWidget;

namespace orvanta {

class StoredMessagesDialog : public QDialog {
    Q_OBJECT
  public:
    StoredMessagesDialog(std::uint32_t address, std::string password, QWidget* parent = nullptr,
                         SlotListTimings timings = {});
    ~StoredMessagesDialog() override;

    // Runs the dialog modally: 1 success, 2 failure (then resultText() says why).
    int run();
    const std::string& resultText() const { return resultText_; }

    QTableWidget* list() const { return list_; }
    QPushButton* returnButton() const { return return_; }
    QString statusOf(int slot) const { return status_.value(slot); }

    // "Return" and Escape.
    void accept() override { finish(1); }
    void reject() override { finish(1); }

  protected:
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    class Sink;
    void onSlotEvent(int event, int slot, const QString& status);
    void rebuildList();
    void finish(int result);
    void stopWorker();

    std::uint32_t address_;
    std::string password_;
    SlotListTimings timings_;
    std::unique_ptr<Sink> sink_;
    std::atomic<bool> stop_{false};
    std::thread worker_;
    // The dialog's own copy of the status words: the worker hands each word over with its
    // event, so nothing is shared between the threads but the stop flag.
    QStringList status_;
    std::string resultText_;
    QTableWidget* list_ = nullptr;
    QPushButton* return_ = nullptr;
    QPushButton* cancel_ = nullptr;
    bool running_ = false;
};

// The "Confirm" command for a chosen projector: runs the dialog and shows its failure text.
int showStoredMessageList(std::uint32_t address, const std::string& password, Prompt& prompt,
                          QWidget* parent = nullptr, SlotListTimings timings = {});

}  // namespace orvanta
