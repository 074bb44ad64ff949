#pragma once
// The History window: the commands sent to projectors by this program and by orvanta-cli,
// newest first, filtered by projector or group, text and days. A sent message can be opened in the
// Edit tab or sent again from there; the window closes and the frame does it.
//
// The history and the groups are read on a thread of the dialog's own (another program may
// hold their locks).

#include <QDialog>
#include <optional>
#include <string>

#include "history/History.h"
#include "projectors/ProjectorGroups.h"

class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace orvanta {

class HistoryModel;
class HistoryFilter;

class HistoryDialog : public QDialog {
    Q_OBJECT
  public:
    enum class Action { None, OpenInEdit, SendAgain };

    // The history and the groups of the program folder `programFolder`.
    explicit HistoryDialog(std::string programFolder, QWidget* parent = nullptr);
    ~HistoryDialog() override;

    // After exec: what the operator asked for, and the record it concerns.
    Action action() const { return action_; }
    const HistoryRecord& chosen() const { return chosen_; }

    // Reads the file again (on the dialog's thread); the list follows when it is read.
    void reload();
    HistoryModel& model() { return *model_; }
    HistoryFilter& filter() { return *filter_; }

  signals:
    // The file was read and the list shows it (tests wait for this).
    void loaded();

  private:
    void showRecords(const Result<HistoryFile::Contents>& read, const ProjectorGroups& groups);
    void fillProjectors(const ProjectorGroups& groups);
    void applyFilter();
    void updateButtons();
    std::optional<int> selectedRow() const;
    void finish(Action action);

    std::string folder_;
    HistoryModel* model_;
    HistoryFilter* filter_;
    QComboBox* projectors_ = nullptr;
    QLineEdit* search_ = nullptr;
    QDateEdit* first_ = nullptr;
    QDateEdit* last_ = nullptr;
    QTableView* table_ = nullptr;
    QLabel* status_ = nullptr;
    QPushButton* open_ = nullptr;
    QPushButton* sendAgain_ = nullptr;
    QPushButton* reload_ = nullptr;
    Action action_ = Action::None;
    HistoryRecord chosen_;
    unsigned readNumber_ = 0;  // the latest read asked for; only its result is shown
};

}  // namespace orvanta
