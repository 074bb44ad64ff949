#pragma once
// "Startup Display Edit" dialog: which saved number the projector shows when it starts, and
// for how long ("Repeat" for ever). Each saved number remembers the display time typed for it
// while the dialog is open. OK checks the time ("Display time : Invalid value" keeps the
// dialog open), runs the error-status pre-check and sets the projector's startup display; any
// failure keeps the dialog open. shown() is then what the Main tab's startup area shows.

#include <QDialog>
#include <QStringList>

#include "commands/MainTabOperations.h"

class QComboBox;
class QLabel;

namespace orvanta {

class Prompt;
class TransferRunner;

class StartupDisplayDialog : public QDialog {
    Q_OBJECT
  public:
    // `current`: the setting the Main tab shows; `info` is updated by the set command.
    StartupDisplayDialog(const StartupDisplay& current, ProjectorTarget target, Prompt& prompt,
                         TransferRunner& runner, MainProjectorInfo& info,
                         QWidget* parent = nullptr);

    const StartupDisplay& shown() const { return shown_; }
    void accept() override;

  private:
    void savedNumberChosen(int index);
    void displayTimeEdited(const QString& time);

    ProjectorTarget target_;
    Prompt& prompt_;
    TransferRunner& runner_;
    MainProjectorInfo& info_;
    StartupDisplay shown_;
    QStringList remembered_;  // display-time text per saved-number entry
    QComboBox* savedNumber_;
    QComboBox* displayTime_;
    QLabel* minutes_;
};

// The entries of every display-time list: "Repeat", then minutes.
QStringList startupDisplayTimeEntries();

}  // namespace orvanta
