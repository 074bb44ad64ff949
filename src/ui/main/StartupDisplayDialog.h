#pragma once
// "Startup Display Edit" dialog: which saved number the projector shows when it starts, and
// for how long ("Repeat" for ever). Each saved number remembers the display time typed for it
// while the dialog is open. OK checks the time ("Display time : Invalid value" keeps the
// dialog open), runs the error-status pre-check and sets the projector's startup display; any
// failure keeps the dialog open. shown() is then what the Main tab's startup area shows.

#include <QDialog>
#include <QStringList>

#include "commands/StartupDisplay.h"

class QComboBox;
class QLabel;

namespace orvanta {

class Prompt;
class TransferRunner;

class StartupDisplayDialog : public QDialog {
    Q_OBJECT
  public:
    // `current`: the setting the Main tab shows; the context's projector information is
    // updated by the set command.
    StartupDisplayDialog(const StartupDisplay& current, const CommandContext& context,
                         QWidget* parent = nullptr);

    const StartupDisplay& shown() const { return shown_; }
    void accept() override;

    // For many projectors: OK only checks the display time and closes; the caller sets each
    // projector with savedNumberEntry() and displayTimeText().
    void setChoiceOnly(bool choiceOnly) { choiceOnly_ = choiceOnly; }
    int savedNumberEntry() const;
    std::string displayTimeText() const;

  private:
    void savedNumberChosen(int index);
    void displayTimeEdited(const QString& time);

    CommandContext context_;
    StartupDisplay shown_;
    QStringList remembered_;  // display-time text per saved-number entry
    QComboBox* savedNumber_;
    QComboBox* displayTime_;
    QLabel* minutes_;
    bool choiceOnly_ = false;
};

// The entries of every display-time list: "Repeat", then minutes.
QStringList startupDisplayTimeEntries();

}  // namespace orvanta
