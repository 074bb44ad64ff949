#pragma once
// "Configure Manually" dialog: the operator enters a projector that discovery does not find.
// An address of four parts 0..255 (all zero or empty is refused with "Please input IP
// Address.", a part above 255 with Text::IpPartOutOfRange, and the dialog stays open; a dot
// or a third digit moves on to the next part, and a dotted address typed or pasted into one
// part fills the parts from there on), six MAC boxes of two characters each (typing the
// second character of boxes 1 to 5 moves on to the next box; the parts are joined with "-" as
// typed, empty ones included), and a masked password of at most 32 characters. The name stays
// empty and the authentication flag 1. It only collects values: the Discovery tab checks them
// against the registry.

#include <QDialog>
#include <array>
#include <optional>

#include "projectors/ProjectorRegistry.h"

class QLineEdit;

namespace orvanta {

class Prompt;

class ManualEntryDialog : public QDialog {
    Q_OBJECT
  public:
    explicit ManualEntryDialog(Prompt& prompt, QWidget* parent = nullptr);

    // What was entered; meaningful after the dialog was accepted.
    const ProjectorRecord& entered() const { return result_; }

    void accept() override;

  private:
    // The address field as one number, first part most significant; empty parts count as 0.
    // Nothing, after telling the operator, when a part is above 255.
    std::optional<std::uint32_t> address();
    // The part `part` was edited to `typed`: its digits and dots are spread from there on.
    void spreadAddress(std::size_t part, const QString& typed);

    Prompt& prompt_;
    std::array<QLineEdit*, 4> ipParts_{};
    std::array<QLineEdit*, 6> macParts_{};
    QLineEdit* password_;
    ProjectorRecord result_;
};

}  // namespace orvanta
