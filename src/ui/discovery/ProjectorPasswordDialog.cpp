#include "ui/discovery/ProjectorPasswordDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/common/DialogButtons.h"
#include "ui/common/UiText.h"

namespace orvanta {

ProjectorPasswordDialog::ProjectorPasswordDialog(const QString& heading,
                                                 std::int32_t authentication,
                                                 const std::string& password, QWidget* parent)
    : QDialog(parent), authentication_(authentication), password_(new QLineEdit(this)) {
    setWindowTitle(text(Text::PasswordLabel));
    auto* headingLabel = new QLabel(heading, this);
    headingLabel->setObjectName(QStringLiteral("heading"));
    headingLabel->setAlignment(Qt::AlignCenter);

    password_->setObjectName(QStringLiteral("password"));
    password_->setEchoMode(QLineEdit::Password);
    password_->setMaxLength(32);
    password_->setAccessibleName(text(Text::PasswordLabel));
    password_->setText(qs(password));

    auto* form = new QFormLayout;
    form->addRow(text(Text::PasswordLabel), password_);

    QDialogButtonBox* buttons =
        addOkCancelButtons(*this, Text::DiscoveryOkButton, Text::PasswordCancelButton);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(headingLabel);
    layout->addLayout(form);
    layout->addWidget(buttons);
    password_->setFocus();
}

std::string ProjectorPasswordDialog::password() const {
    return utf8(password_->text());
}

}  // namespace orvanta
