#include "ui/common/QtPrompt.h"

#include <QMessageBox>

#include "ui/common/UiText.h"

namespace orvanta {
namespace {

QMessageBox::Icon toQt(PromptIcon icon) {
    switch (icon) {
        case PromptIcon::Question:
            return QMessageBox::Question;
        case PromptIcon::Warning:
            return QMessageBox::Warning;
        case PromptIcon::Error:
            return QMessageBox::Critical;
        case PromptIcon::Information:
            break;
    }
    return QMessageBox::Information;
}

QMessageBox::StandardButtons toQt(PromptButtons buttons) {
    switch (buttons) {
        case PromptButtons::OkCancel:
            return QMessageBox::Ok | QMessageBox::Cancel;
        case PromptButtons::YesNo:
            return QMessageBox::Yes | QMessageBox::No;
        case PromptButtons::YesNoCancel:
            return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        case PromptButtons::Ok:
            break;
    }
    return QMessageBox::Ok;
}

}  // namespace

void QtPrompt::inform(const std::string& text, PromptIcon icon) {
    QMessageBox box(toQt(icon), orvanta::text(Text::Caption), qs(text), QMessageBox::Ok, parent_);
    // Texts carry titles, names and file names: shown as typed, never as markup.
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

PromptAnswer QtPrompt::ask(const std::string& text, PromptButtons buttons, PromptIcon icon) {
    QMessageBox box(toQt(icon), orvanta::text(Text::Caption), qs(text), toQt(buttons), parent_);
    box.setTextFormat(Qt::PlainText);
    switch (box.exec()) {
        case QMessageBox::Ok:
            return PromptAnswer::Ok;
        case QMessageBox::Yes:
            return PromptAnswer::Yes;
        case QMessageBox::No:
            return PromptAnswer::No;
        default:
            return PromptAnswer::Cancel;
    }
}

}  // namespace orvanta
