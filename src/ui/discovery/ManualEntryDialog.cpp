#include "ui/discovery/ManualEntryDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "text/LanguageText.h"
#include "text/Prompt.h"
#include "ui/common/DialogButtons.h"
#include "ui/common/UiText.h"

namespace orvanta {

namespace {

constexpr int kPasswordLimit = 32;
constexpr int kMacPartLength = 2;

QLineEdit* narrowBox(QWidget* parent, int maxLength, const QString& name) {
    auto* box = new QLineEdit(parent);
    box->setMaxLength(maxLength);
    box->setObjectName(name);
    box->setAlignment(Qt::AlignCenter);
    box->setMaximumWidth(box->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 12);
    return box;
}

}  // namespace

ManualEntryDialog::ManualEntryDialog(Prompt& prompt, QWidget* parent)
    : QDialog(parent), prompt_(prompt), password_(new QLineEdit(this)) {
    setWindowTitle(text(Text::ConfigureManuallyCaption));
    result_.authentication = 1;  // the hidden "Authentication" box starts checked

    auto* addressRow = new QHBoxLayout;
    auto* validator = new QIntValidator(0, 255, this);
    for (std::size_t i = 0; i < ipParts_.size(); ++i) {
        if (i > 0) {
            addressRow->addWidget(new QLabel(QStringLiteral("."), this));
        }
        ipParts_[i] = narrowBox(this, 3, QStringLiteral("ipPart%1").arg(i + 1));
        ipParts_[i]->setValidator(validator);
        ipParts_[i]->setAccessibleName(textf(Text::IpPartName, {static_cast<long long>(i + 1)}));
        addressRow->addWidget(ipParts_[i]);
    }
    addressRow->addStretch();

    auto* macRow = new QHBoxLayout;
    for (std::size_t i = 0; i < macParts_.size(); ++i) {
        if (i > 0) {
            macRow->addWidget(new QLabel(QStringLiteral("-"), this));
        }
        macParts_[i] = narrowBox(this, kMacPartLength, QStringLiteral("macPart%1").arg(i + 1));
        macParts_[i]->setAccessibleName(textf(Text::MacPartName, {static_cast<long long>(i + 1)}));
        macRow->addWidget(macParts_[i]);
    }
    macRow->addStretch();
    // Typing a pair moves on, so that a MAC address can be typed in one go.
    for (std::size_t i = 0; i + 1 < macParts_.size(); ++i) {
        QLineEdit* next = macParts_[i + 1];
        connect(macParts_[i], &QLineEdit::textChanged, this, [next](const QString& typed) {
            if (typed.size() == kMacPartLength) {
                next->setFocus();
            }
        });
    }

    password_->setObjectName(QStringLiteral("password"));
    password_->setEchoMode(QLineEdit::Password);
    password_->setMaxLength(kPasswordLimit);
    password_->setAccessibleName(text(Text::PasswordLabel));

    auto* form = new QFormLayout;
    form->addRow(text(Text::IpAddressLabel), addressRow);
    form->addRow(text(Text::MacAddressLabel), macRow);
    form->addRow(text(Text::PasswordLabel), password_);

    QDialogButtonBox* buttons =
        addOkCancelButtons(*this, Text::DiscoveryOkButton, Text::ManualCancelButton);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    ipParts_[0]->setFocus();
}

std::uint32_t ManualEntryDialog::address() const {
    std::uint32_t value = 0;
    for (const QLineEdit* part : ipParts_) {
        // The validator keeps each part within 0..255 once typed; anything else counts as 0.
        const uint n = part->text().toUInt();
        value = value << 8 | (n <= 255 ? n : 0);
    }
    return value;
}

void ManualEntryDialog::accept() {
    const std::uint32_t typed = address();
    if (typed == 0) {
        prompt_.inform(languageText(Text::PleaseInputIpAddress));
        return;
    }
    QStringList mac;
    for (const QLineEdit* part : macParts_) {
        mac << part->text();
    }
    result_.address = typed;
    result_.password = utf8(password_->text());
    result_.name.clear();
    result_.mac = utf8(mac.join(QLatin1Char('-')));
    QDialog::accept();
}

}  // namespace orvanta
