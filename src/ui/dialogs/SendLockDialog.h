#pragma once
// "Send Lock" / "UnLock" dialog: asks for the lock password and closes with OK only when it
// matches the stored digest (with no password set, only an empty field). A wrong password
// says "Incorrect password." and leaves the dialog open for another try; it never changes a
// setting. The caller turns OK into the new lock state.

#include <QDialog>
#include <string>

class QLineEdit;

namespace orvanta {

class Prompt;

class SendLockDialog : public QDialog {
    Q_OBJECT
  public:
    enum class Mode { Lock, Unlock };
    // `settingsPath`: the send lock settings file (sendLockSettingsPath()).
    SendLockDialog(Mode mode, Prompt& prompt, std::string settingsPath, QWidget* parent = nullptr);

    void accept() override;

  private:
    Prompt& prompt_;
    std::string settingsPath_;
    QLineEdit* password_;
};

}  // namespace orvanta
