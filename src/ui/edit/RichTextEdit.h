#pragma once
// The Edit tab's title and message editors: a QTextEdit whose clipboard and drag data pass
// through the RichTextAdapter, so that every way of copying (keys, menu, context menu) offers
// text/rtf, HTML and plain text, and every way of pasting takes RTF through the core's reader
// first. Pasted text keeps exactly the colors it brings; nothing else (fonts, tables, images).

#include <QTextEdit>
#include <functional>

#include "ui/edit/RichTextAdapter.h"

namespace orvanta {

class RichTextEdit : public QTextEdit {
    Q_OBJECT
  public:
    explicit RichTextEdit(QWidget* parent = nullptr);

    // Colors for pasted text that names none, and the character size of inserted text.
    void setPasteDefaults(const RichDefaults& defaults) { defaults_ = defaults; }
    void setCharacterPoints(qreal points) { points_ = points; }
    qreal characterPoints() const { return points_; }
    // Every paste and drop passes through `filter` before it enters the document: it may cut
    // the text (to what the editor can hold) while `at` still holds the place it goes to.
    using PasteFilter = std::function<void(RichText& text, const QTextCursor& at)>;
    void setPasteFilter(PasteFilter filter) { pasteFilter_ = std::move(filter); }

  protected:
    QMimeData* createMimeDataFromSelection() const override;
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;

  private:
    RichDefaults defaults_;
    qreal points_ = 8.8;
    PasteFilter pasteFilter_;
};

}  // namespace orvanta
