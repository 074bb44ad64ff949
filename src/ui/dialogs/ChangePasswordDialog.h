#pragma once
// "Change Password" dialog: checks the current password against the stored digest, refuses a
// new password equal to the stored one and writes the new digest; every refusal leaves the
// dialog open and the settings as they were. The lock state is not touched.

#include <QDialog>
#include <string>

class QLineEdit;

namespace orvanta {

class Prompt;

class ChangePasswordDialog : public QDialog {
    Q_OBJECT
  public:
    ChangePasswordDialog(Prompt& prompt, std::string settingsPath, QWidget* parent = nullptr);

    void accept() override;

  private:
    Prompt& prompt_;
    std::string settingsPath_;
    QLineEdit* current_;
    QLineEdit* new_;
};

}  // namespace orvanta
