#include "ui/edit/RichTextEdit.h"

#include <QMimeData>

namespace orvanta {

RichTextEdit::RichTextEdit(QWidget* parent) : QTextEdit(parent) {}

QMimeData* RichTextEdit::createMimeDataFromSelection() const {
    // RTF sizes are half points; 8.8 points (176 twips) is written as 18, as message files do.
    const int halfPoints = points_ > 10 ? 36 : 18;
    return mimeDataFor(richTextFromSelection(textCursor(), defaults_), halfPoints);
}

bool RichTextEdit::canInsertFromMimeData(const QMimeData* source) const {
    return source->hasFormat(QStringLiteral("text/rtf")) || source->hasHtml() || source->hasText();
}

void RichTextEdit::insertFromMimeData(const QMimeData* source) {
    std::optional<RichText> text = richTextFromMimeData(*source, defaults_);
    if (!text) {
        return;
    }
    QTextCursor cursor = textCursor();
    if (pasteFilter_) {
        pasteFilter_(*text, cursor);
        if (text->empty() && !cursor.hasSelection()) {
            return;
        }
    }
    insertRichText(cursor, *text, points_);
    setTextCursor(cursor);
    ensureCursorVisible();
}

}  // namespace orvanta
