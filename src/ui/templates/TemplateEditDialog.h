#pragma once
// "Save as template" dialog of the Edit tab: the message being edited becomes a template under
// a name, with a row per field (name, label, kind, most characters, choices, default,
// required). The rows start from the fields the message uses ({room}, ...), with those of a
// template of the same name when there is one, so saving again under a name edits its fields.
// Save checks the template (a field used but not defined, a default that is not a valid
// value, ...) and tells the reason with the field's name; the file is written atomically.

#include <QDialog>
#include <string>

#include "message/MessageOptions.h"
#include "templates/Template.h"

class QLineEdit;
class QTableWidget;

namespace orvanta {

class Prompt;

class TemplateEditDialog : public QDialog {
    Q_OBJECT
  public:
    TemplateEditDialog(Message message, std::string templatesFolder, Prompt& prompt,
                       QWidget* parent = nullptr);

    // The template as the dialog's rows describe it now.
    MessageTemplate currentTemplate() const;
    // Checks and writes it; false (the reason told) when it was not saved.
    bool save();

  private:
    void addRow(const TemplateField& field);
    void loadFields();

    Message message_;
    std::string folder_;
    Prompt& prompt_;
    QLineEdit* name_;
    QTableWidget* fields_;
};

}  // namespace orvanta
