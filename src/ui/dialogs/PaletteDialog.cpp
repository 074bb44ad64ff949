#include "ui/dialogs/PaletteDialog.h"

#include <QDialogButtonBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "message/MessageOptions.h"
#include "ui/common/DialogButtons.h"
#include "ui/common/UiText.h"

namespace orvanta {
namespace {

QToolButton* cell(std::uint8_t code, QWidget* parent) {
    auto* b = new QToolButton(parent);
    b->setObjectName(QStringLiteral("colorCell%1").arg(code));
    b->setAccessibleName(text(Text::ColorNames).split(QLatin1Char(',')).value(code));
    b->setMinimumSize(28, 24);
    b->setAutoRaise(false);
    b->setStyleSheet(QStringLiteral("background-color: %1; border: 1px solid black;")
                         .arg(QColor::fromRgb(rgbFromColorCode(code)).name()));
    return b;
}

}  // namespace

PaletteDialog::PaletteDialog(Kind kind, std::uint8_t current, QWidget* parent)
    : QDialog(parent), chosen_(current < kPaletteSize ? current : 0) {
    setObjectName(QStringLiteral("colorDialog"));
    setWindowTitle(text(kind == Kind::CharacterColor             ? Text::CharacterColor
                        : kind == Kind::CharacterBackgroundColor ? Text::CharacterBackgroundColor
                                                                 : Text::BackgroundColor));
    auto* grid = new QGridLayout;
    for (std::uint8_t code = 0; code < kPaletteSize; ++code) {
        cells_[code] = cell(code, this);
        connect(cells_[code], &QToolButton::clicked, this, [this, code] { choose(code); });
    }
    const int places[kPaletteSize][2] = {{0, 0}, {0, 1}, {0, 2}, {1, 0}, {1, 1},
                                         {1, 2}, {2, 0}, {2, 1}, {3, 2}, {2, 2}};
    for (int code = 0; code < kPaletteSize; ++code) {
        grid->addWidget(cells_[code], places[code][0], places[code][1]);
    }
    auto* halfLabel = new QLabel(text(Text::HalfTransparentLabel), this);
    grid->addWidget(halfLabel, 3, 0, 1, 2);
    // The transparent code cannot be chosen here: its cell stays hidden.
    auto* transparentLabel = new QLabel(text(Text::TransparentLabel), this);
    transparentLabel->setObjectName(QStringLiteral("transparentLabel"));
    transparentLabel->hide();
    cells_[kColorTransparent]->hide();

    auto* selectionGroup = new QGroupBox(text(Text::SelectionColorGroup), this);
    auto* selectionBox = new QHBoxLayout(selectionGroup);
    selection_ = cell(chosen_, selectionGroup);
    selection_->setObjectName(QStringLiteral("selectionCell"));
    selection_->setAccessibleName(text(Text::SelectionColorGroup));
    selectionBox->addWidget(selection_);

    // The buttons stand in a column beside the palette.
    QDialogButtonBox* buttons = addOkCancelButtons(*this);
    buttons->setOrientation(Qt::Vertical);
    ok_ = buttons->findChild<QPushButton*>(QStringLiteral("okButton"));
    connect(selection_, &QToolButton::clicked, ok_, [this] { ok_->setFocus(); });

    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    auto* top = new QHBoxLayout;
    top->addLayout(grid);
    top->addWidget(buttons, 0, Qt::AlignTop);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(line);
    layout->addWidget(selectionGroup);
    choose(chosen_);
    ok_->setFocus();
}

void PaletteDialog::choose(std::uint8_t code) {
    chosen_ = code;
    selection_->setStyleSheet(QStringLiteral("background-color: %1; border: 1px solid black;")
                                  .arg(QColor::fromRgb(rgbFromColorCode(code)).name()));
    ok_->setFocus();
}

}  // namespace orvanta
