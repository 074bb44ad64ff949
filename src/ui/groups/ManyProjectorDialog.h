#pragma once
// The many-projector dialog: one command (Send, Display on/off, Clear, ...) to every projector
// chosen (a group or all registered), a row each with what it is doing and how it ended. The
// command runs on worker threads (commands/ManyProjectorRun.h); their events reach the rows through
// queued calls, so the window stays usable while projectors answer, fail or hang.
//
// Cancel ends every projector not yet finished; "Retry failed" runs the command again for
// the projectors that did not complete, and only for them. The summary line says how many
// completed. The dialog closes only once nothing runs (closing while it runs is a Cancel).

#include <QDialog>
#include <memory>
#include <vector>

#include "commands/ManyProjectorRun.h"

class QLabel;
class QPushButton;
class QTableView;

namespace orvanta {

class ManyProjectorRowModel;

class ManyProjectorDialog : public QDialog {
    Q_OBJECT
  public:
    // `history`, if given, is where the rows' commands are recorded (options.history is set
    // to it); the dialog keeps it until its run is gone.
    ManyProjectorDialog(std::vector<ManyProjectorTarget> targets, ManyProjectorOperation operation,
                        ManyProjectorRunOptions options, QWidget* parent = nullptr,
                        std::unique_ptr<CommandHistory> history = nullptr);
    ~ManyProjectorDialog() override;

    // Starts the command; returns at once.
    void start();
    bool running() const;
    ManyProjectorRun::Summary summary() const;

    ManyProjectorRowModel* model() const { return model_; }
    QPushButton* cancelButton() const { return cancel_; }
    QPushButton* retryButton() const { return retry_; }
    QPushButton* closeButton() const { return close_; }
    QString summaryText() const;

    void reject() override;

  signals:
    // Every projector has finished (after the first run and after each retry).
    void finished();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void onEvent(const ManyProjectorEvent& event);
    void updateButtons();

    std::vector<ManyProjectorTarget> targets_;
    ManyProjectorRowModel* model_ = nullptr;
    QTableView* table_ = nullptr;
    QLabel* summary_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QPushButton* retry_ = nullptr;
    QPushButton* close_ = nullptr;
    bool active_ = false;  // between start (or retry) and the finished event
    std::unique_ptr<CommandHistory> history_;
    // Last: its workers post to the members above until it is gone.
    std::unique_ptr<ManyProjectorRun> run_;
};

}  // namespace orvanta
