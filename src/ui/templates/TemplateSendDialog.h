#pragma once
// "Send from template" dialog: choose a template, fill its fields with inputs of their kind
// (a line for text, a list for a choice, a time, a date), see the filled message as the chosen
// projector will play it with its size against the projector's limit and its line count,
// and send it to that projector, a group or every registered projector through the
// many-projector dialog. Nothing opens a box while the operator types: a refusal (the field's
// name and the reason) is shown under the form and Send stays disabled until it is mended.
// The dialog does not hold the main window; the many-projector dialog opens over it. The
// preview is drawn on the shared pool once typing pauses, and only the newest one is shown.
//
// Keyboard: the template list has the focus, Tab goes through the fields in order, Enter
// sends.

#include <QDialog>
#include <QTimer>
#include <vector>

#include "templates/Template.h"
#include "ui/common/PageContext.h"

class QComboBox;
class QFormLayout;
class QLabel;
class QPushButton;

namespace orvanta {

class SendToChoice;

class TemplateSendDialog : public QDialog {
    Q_OBJECT
  public:
    TemplateSendDialog(PageContext context, QWidget* parent = nullptr);

    // The values as typed, by field name.
    FieldValues values() const;
    // How filling the current template for the chosen projector ends with those values.
    const TemplateResult<FilledMessage>& filled() const { return filled_; }

  private:
    void chooseTemplate(int index);
    void refresh();
    void renderPreview();
    void send();
    SendFacts previewFacts() const;
    ProjectorCapabilities previewCapabilities() const;

    PageContext context_;
    std::vector<MessageTemplate> templates_;
    QComboBox* templateList_;
    QFormLayout* form_;
    std::vector<std::pair<std::string, QWidget*>> inputs_;
    QComboBox* projector_;
    SendToChoice* sendTo_;
    QComboBox* slot_;
    QLabel* measure_;
    QLabel* problem_;
    QLabel* preview_;
    QPushButton* send_;
    TemplateResult<FilledMessage> filled_;
    QTimer previewTimer_;             // the preview is drawn once typing pauses
    unsigned previewGeneration_ = 0;  // the newest preview asked for
};

}  // namespace orvanta
