#include "ui/dialogs/SendLockDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "settings/SendLockStore.h"
#include "text/LanguageText.h"
#include "text/Prompt.h"
#include "ui/common/DialogButtons.h"
#include "ui/common/UiText.h"

namespace orvanta {

namespace {

// Both password dialogs limit their fields to 32 characters.
constexpr int kPasswordLength = 32;

}  // namespace

SendLockDialog::SendLockDialog(Mode mode, Prompt& prompt, std::string settingsPath, QWidget* parent)
    : QDialog(parent),
      prompt_(prompt),
      settingsPath_(std::move(settingsPath)),
      password_(new QLineEdit(this)) {
    const bool lock = mode == Mode::Lock;
    setWindowTitle(text(lock ? Text::SendLockMenu : Text::UnlockMenu));
    password_->setObjectName(QStringLiteral("password"));
    password_->setEchoMode(QLineEdit::Password);
    password_->setMaxLength(kPasswordLength);
    password_->setAccessibleName(text(Text::SendLockPassword));

    auto* prompt1 = new QLabel(text(lock ? Text::LockTheSendButton : Text::UnlockTheSendButton));
    auto* prompt2 = new QLabel(text(Text::EnterPassword));
    auto* form = new QFormLayout;
    form->addRow(text(Text::SendLockPassword), password_);
    QDialogButtonBox* buttons = addOkCancelButtons(*this);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(prompt1);
    layout->addWidget(prompt2);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

void SendLockDialog::accept() {
    if (!sendLockPasswordAccepted(readSendLockSettings(settingsPath_), utf8(password_->text()))) {
        prompt_.inform(languageText(Text::IncorrectPassword));
        password_->selectAll();
        password_->setFocus();
        return;
    }
    QDialog::accept();
}

}  // namespace orvanta
