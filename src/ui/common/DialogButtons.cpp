#include "ui/common/DialogButtons.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QPushButton>

#include "ui/common/UiText.h"

namespace orvanta {

QDialogButtonBox* addOkCancelButtons(QDialog& dialog, Text ok, Text cancel) {
    auto* buttons = new QDialogButtonBox(&dialog);
    QPushButton* okButton = buttons->addButton(text(ok), QDialogButtonBox::AcceptRole);
    okButton->setObjectName(QStringLiteral("okButton"));
    okButton->setDefault(true);
    buttons->addButton(text(cancel), QDialogButtonBox::RejectRole)
        ->setObjectName(QStringLiteral("cancelButton"));
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    return buttons;
}

}  // namespace orvanta
