#pragma once
// "Scheduled message" dialog: one entry of the schedule - its name, when (once, every day or
// on chosen weekdays, with a first and last day and days to skip), what (the same choices as
// a send: a message file or a template with its values, to a slot and shown or not; show,
// hide, clear, mute, the startup display) and to whom (every registered projector, a group or
// one projector). OK checks the entry and shows what is wrong under the form, without a box;
// the dialog stays open until the entry is sound.

#include <QDialog>
#include <string>
#include <vector>

#include "schedule/Schedule.h"

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QSpinBox;
class QStackedWidget;
class QTimeEdit;

namespace orvanta {

class ScheduleEntryDialog : public QDialog {
    Q_OBJECT
  public:
    // `entry` is shown for editing (a new one when its name is empty); the lists offer the
    // message files of MessageData/, the templates, the groups and the registered projectors
    // of `programFolder`.
    ScheduleEntryDialog(const std::string& programFolder, const ScheduleEntry& entry,
                        QWidget* parent = nullptr);

    // The entry as the form says it (valid once accepted).
    ScheduleEntry entry() const;
    void accept() override;

  private:
    void updateEnabling();

    QLineEdit* name_;
    QComboBox* repeat_;
    QDateEdit* date_;
    QTimeEdit* time_;
    std::vector<QCheckBox*> weekdays_;
    QCheckBox* fromOn_;
    QDateEdit* from_;
    QCheckBox* untilOn_;
    QDateEdit* until_;
    QPlainTextEdit* skip_;
    QComboBox* action_;
    QStackedWidget* actionPages_;
    QComboBox* file_;
    QComboBox* template_;
    QPlainTextEdit* values_;
    QComboBox* slot_;
    QCheckBox* display_;
    QCheckBox* powerOn_;
    QComboBox* clear_;
    QCheckBox* startupOff_;
    QSpinBox* startupMinutes_;
    QComboBox* target_;
    QLabel* problem_;
    bool enabled_ = true;
};

}  // namespace orvanta
