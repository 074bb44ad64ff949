#pragma once
// What a screen reader hears of a control. Qt takes a button's or label's name from its
// text, but not a drop-down's or an edit field's, and a name set once stays when the text
// changes: these helpers keep names and shown values together.

#include <QString>

class QComboBox;
class QLabel;
class QWidget;

namespace orvanta {

// The caption without its mnemonic marker and trailing colon: "&Send" -> "Send",
// "Alarm     :" -> "Alarm".
QString accessibleCaption(const QString& caption);

// Names `control`; an editable drop-down also names the edit field inside it, which a screen
// reader reaches on its own.
void nameControl(QWidget* control, const QString& caption);

// A read-only field that shows a live value beside its caption ("Message:" | "ON"): the
// field shows `value` and is heard as "Message: ON". Assistive technology is told of the
// change.
void showLiveValue(QLabel* field, const QString& caption, const QString& value);

// A status line under a form (a finding, a refusal): the label shows `line` and is heard as
// it, and assistive technology is told when it changes, so that a screen reader says why
// the form cannot go on without the operator looking for it.
void showStatusLine(QLabel* label, const QString& line);

}  // namespace orvanta
