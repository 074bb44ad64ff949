#pragma once
// "Color" dialog: picks one palette code for a character color, a character background
// color or the message background. Cells for codes 0..8 (the transparent code 9 is never
// offered), a "Selection color" cell showing the choice, "OK" and "Cancel".

#include <QDialog>
#include <array>
#include <cstdint>

class QPushButton;
class QToolButton;

namespace orvanta {

class PaletteDialog : public QDialog {
    Q_OBJECT
  public:
    enum class Kind { CharacterColor, CharacterBackgroundColor, BackgroundColor };

    PaletteDialog(Kind kind, std::uint8_t current, QWidget* parent = nullptr);
    // The code chosen so far (the current one until a cell is clicked).
    std::uint8_t chosenCode() const { return chosen_; }

  private:
    void choose(std::uint8_t code);

    std::uint8_t chosen_;
    std::array<QToolButton*, 10> cells_{};
    QToolButton* selection_ = nullptr;
    QPushButton* ok_ = nullptr;
};

}  // namespace orvanta
