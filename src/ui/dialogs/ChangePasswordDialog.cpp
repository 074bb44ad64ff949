#include "ui/dialogs/ChangePasswordDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
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

QLineEdit* passwordField(QWidget* parent, const char* name, Text caption) {
    auto* field = new QLineEdit(parent);
    field->setObjectName(QLatin1StringView(name));
    field->setEchoMode(QLineEdit::Password);
    field->setMaxLength(32);
    field->setAccessibleName(text(caption));
    return field;
}

}  // namespace

ChangePasswordDialog::ChangePasswordDialog(Prompt& prompt, std::string settingsPath,
                                           QWidget* parent)
    : QDialog(parent),
      prompt_(prompt),
      settingsPath_(std::move(settingsPath)),
      current_(passwordField(this, "currentPassword", Text::ChangePasswordCurrent)),
      new_(passwordField(this, "newPassword", Text::ChangePasswordNew)) {
    setWindowTitle(text(Text::ChangePasswordMenu));
    auto* form = new QFormLayout;
    form->addRow(text(Text::ChangePasswordCurrent), current_);
    form->addRow(text(Text::ChangePasswordNew), new_);
    QDialogButtonBox* buttons = addOkCancelButtons(*this);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

void ChangePasswordDialog::accept() {
    const Result<void, PasswordProblem> changed =
        changeSendLockPassword(settingsPath_, utf8(current_->text()), utf8(new_->text()));
    if (changed) {
        QDialog::accept();
        return;
    }
    switch (changed.reason()) {
        case PasswordProblem::IncorrectPassword:
            prompt_.inform(languageText(Text::IncorrectPassword));
            current_->selectAll();
            current_->setFocus();
            return;
        case PasswordProblem::SamePassword:
            prompt_.inform(languageText(Text::EnterDifferentPassword));
            new_->selectAll();
            new_->setFocus();
            return;
        case PasswordProblem::WriteFailed:
            prompt_.inform(languageText(Text::SendLockNotSaved) + "\n" + changed.error(),
                           PromptIcon::Warning);
            return;
    }
}

}  // namespace orvanta
