#pragma once
// Between the Edit tab's Qt editors and the core's rich text: one RichUnit per UTF-16 unit
// with its text and background color, paragraphs ended by CR. The encoder, the line breaking,
// the unsupported-character check and the message files work on what these functions hand
// them, never on widgets. Built in memory after every change: nothing is written to disk.
// GUI thread only (they read and write QTextDocument).

#include <QTextCursor>
#include <optional>

#include "message/RichText.h"

class QMimeData;
class QTextDocument;
class QTextEdit;

namespace orvanta {

// The colors of text whose format names none (text typed before any color was chosen).
struct RichDefaults {
    Rgb color = 0xFFFFFF;
    Rgb background = 0xC0C0C0;
};

// The whole document: a CR between paragraphs, none after the last (as the editor shows it).
RichText richTextFromDocument(const QTextDocument& document, const RichDefaults& defaults);
// The selection of `cursor` (empty without one), paragraph ends as CR.
RichText richTextFromSelection(const QTextCursor& cursor, const RichDefaults& defaults);
// Inserts `text` at the cursor (replacing its selection) as one undoable step; CR and LF start
// a new paragraph. `pointSize` is the editor's character size.
void insertRichText(QTextCursor& cursor, const RichText& text, qreal pointSize);
// Replaces the editor's whole content by `text`.
void setRichText(QTextEdit& edit, const RichText& text, qreal pointSize);

// The clipboard forms of `text`: text/rtf (the message files' writer), text/html and
// text/plain. The caller owns the result.
QMimeData* mimeDataFor(const RichText& text, int fontHalfPoints);
// What a paste inserts: text/rtf through the core's reader first, then HTML, then plain text.
// Nothing when the data holds none of them (or only an unreadable RTF and nothing else).
std::optional<RichText> richTextFromMimeData(const QMimeData& data, const RichDefaults& defaults);

}  // namespace orvanta
