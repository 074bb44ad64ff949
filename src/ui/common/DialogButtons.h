#pragma once
// The OK and Cancel row of the program's small dialogs.

#include "text/TextId.h"

class QDialog;
class QDialogButtonBox;

namespace orvanta {

// OK (the default button, object name "okButton") and Cancel ("cancelButton") with their
// captions in the interface language. They call the dialog's accept() and reject(), which are
// virtual, so a dialog that checks its input before closing overrides accept(). The caller
// puts the returned row into its layout.
QDialogButtonBox* addOkCancelButtons(QDialog& dialog, Text ok = Text::OkButton,
                                     Text cancel = Text::CancelButtonCaption);

}  // namespace orvanta
