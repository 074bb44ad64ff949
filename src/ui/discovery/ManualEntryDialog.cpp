#include "ui/discovery/ManualEntryDialog.h"

#include <algorithm>

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
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
constexpr int kIpPartDigits = 3;
// Room for a whole dotted address pasted into one part; it is spread over the four parts.
constexpr int kIpPartInputLimit = 15;

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
    for (std::size_t i = 0; i < ipParts_.size(); ++i) {
        if (i > 0) {
            addressRow->addWidget(new QLabel(QStringLiteral("."), this));
        }
        ipParts_[i] = narrowBox(this, kIpPartInputLimit, QStringLiteral("ipPart%1").arg(i + 1));
        ipParts_[i]->setAccessibleName(textf(Text::IpPartName, {static_cast<long long>(i + 1)}));
        addressRow->addWidget(ipParts_[i]);
        connect(ipParts_[i], &QLineEdit::textEdited, this,
                [this, i](const QString& typed) { spreadAddress(i, typed); });
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

void ManualEntryDialog::spreadAddress(std::size_t part, const QString& typed) {
    // Only digits and dots count; each dot ends a part, and a part holds three digits at most,
    // so that "127.0.0.5" typed or pasted anywhere fills the parts from this one on.
    QStringList pieces{QString()};
    for (const QChar c : typed) {
        if (c == QLatin1Char('.')) {
            pieces.append(QString());
        } else if (c.isDigit() && c.unicode() < 128) {
            if (pieces.last().size() == kIpPartDigits) {
                pieces.append(QString());
            }
            pieces.last().append(c);
        }
    }
    // A dot typed into an empty part (after three digits moved on by themselves) is no move.
    if (pieces.size() > 1 && pieces.first().isEmpty() && typed.startsWith(QLatin1Char('.'))) {
        pieces.removeFirst();
    }
    const std::size_t count =
        std::min<std::size_t>(static_cast<std::size_t>(pieces.size()), ipParts_.size() - part);
    for (std::size_t k = 0; k < count; ++k) {
        // A trailing dot only moves on: the next part keeps what it holds until typed over.
        if (k == 0 || k + 1 < count || !pieces[static_cast<qsizetype>(k)].isEmpty()) {
            ipParts_[part + k]->setText(pieces[static_cast<qsizetype>(k)]);
        }
    }
    // Typing goes on where the last piece went, or in the next part once three digits fill
    // this one; a part entered that way is selected, so that typing replaces it.
    std::size_t target = part + count - 1;
    const bool full = pieces.size() == 1 && pieces.first().size() == kIpPartDigits;
    if (full && target + 1 < ipParts_.size()) {
        ++target;
    }
    QLineEdit* next = ipParts_[target];
    next->setFocus();
    if (target != part && (full || pieces.last().isEmpty())) {
        next->selectAll();
    } else {
        next->end(false);
    }
}

std::optional<std::uint32_t> ManualEntryDialog::address() {
    std::uint32_t value = 0;
    for (QLineEdit* part : ipParts_) {
        const uint n = part->text().toUInt();
        if (n > 255) {
            // Never shorten what was typed into another address: say so and let it be mended.
            prompt_.inform(formatText(Text::IpPartOutOfRange, {static_cast<long long>(n)}),
                           PromptIcon::Warning);
            part->setFocus();
            part->selectAll();
            return std::nullopt;
        }
        value = value << 8 | n;
    }
    return value;
}

void ManualEntryDialog::accept() {
    const std::optional<std::uint32_t> checked = address();
    if (!checked) {
        return;
    }
    const std::uint32_t typed = *checked;
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
