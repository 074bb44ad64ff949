#include "ui/main/StartupDisplayDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/common/Accessibility.h"
#include "ui/common/DialogButtons.h"
#include "ui/common/UiText.h"

namespace orvanta {
namespace {

constexpr int kRememberedTexts = 16;
const QString kDefaultTime = QStringLiteral("3");

}  // namespace

QStringList startupDisplayTimeEntries() {
    QStringList entries{text(Text::StartupRepeat)};
    for (int minutes : {1, 2, 3, 6, 8, 10, 20, 40, 60, 80, 100, 127}) {
        entries << QString::number(minutes);
    }
    return entries;
}

StartupDisplayDialog::StartupDisplayDialog(const StartupDisplay& current,
                                           const CommandContext& context, QWidget* parent)
    : QDialog(parent),
      context_(context),
      shown_(current),
      savedNumber_(new QComboBox(this)),
      displayTime_(new QComboBox(this)),
      minutes_(new QLabel(text(Text::MainMinutes), this)) {
    setWindowTitle(text(Text::StartupEditCaption));
    savedNumber_->setObjectName(QStringLiteral("savedNumber"));
    savedNumber_->setAccessibleName(text(Text::StartupEditSavedNumber));
    savedNumber_->addItem(text(Text::StartupSlotNone));
    for (int n = 1; n <= 12; ++n) {
        savedNumber_->addItem(QString::number(n));
    }
    displayTime_->setObjectName(QStringLiteral("displayTime"));
    displayTime_->setEditable(true);
    nameControl(displayTime_, text(Text::StartupEditDisplayTime));
    displayTime_->setInsertPolicy(QComboBox::NoInsert);
    displayTime_->addItems(startupDisplayTimeEntries());
    minutes_->setObjectName(QStringLiteral("minutes"));

    auto* timeRow = new QHBoxLayout;
    timeRow->addWidget(displayTime_, 1);
    timeRow->addWidget(minutes_);
    auto* form = new QFormLayout;
    form->addRow(text(Text::StartupEditSavedNumber), savedNumber_);
    form->addRow(text(Text::StartupEditDisplayTime), timeRow);
    QDialogButtonBox* buttons = addOkCancelButtons(*this);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);

    for (int i = 0; i < kRememberedTexts; ++i) {
        remembered_ << kDefaultTime;
    }
    if (current.on && current.savedNumber >= 1 && current.savedNumber <= 12) {
        const QString time = current.displayTime == 0 ? text(Text::StartupRepeat)
                                                      : QString::number(current.displayTime);
        remembered_[current.savedNumber] = time;
        savedNumber_->setCurrentIndex(current.savedNumber);
        displayTime_->setEditText(time);
        displayTimeEdited(time);
    } else {
        savedNumber_->setCurrentIndex(0);
        savedNumberChosen(0);
    }
    connect(savedNumber_, &QComboBox::currentIndexChanged, this,
            &StartupDisplayDialog::savedNumberChosen);
    connect(displayTime_, &QComboBox::currentTextChanged, this,
            &StartupDisplayDialog::displayTimeEdited);
}

void StartupDisplayDialog::savedNumberChosen(int index) {
    const bool none = index <= 0;
    displayTime_->setEnabled(!none);
    minutes_->setEnabled(!none);
    displayTime_->setEditText(none ? QString() : remembered_.value(index, kDefaultTime));
}

void StartupDisplayDialog::displayTimeEdited(const QString& time) {
    const int entry = savedNumber_->currentIndex();
    if (entry >= 1 && entry < kRememberedTexts && displayTime_->isEnabled()) {
        remembered_[entry] = time.isEmpty() ? kDefaultTime : time;
    }
    minutes_->setEnabled(!time.isEmpty() && time != text(Text::StartupRepeat));
}

void StartupDisplayDialog::accept() {
    StartupDisplay shown;
    if (applyStartupEdit(context_, savedNumber_->currentIndex(), utf8(displayTime_->currentText()),
                         shown)
            .ok()) {
        shown_ = shown;
        QDialog::accept();
    }
}

}  // namespace orvanta
