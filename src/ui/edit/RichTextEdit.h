#pragma once
// The Edit tab's title and message editors: a QTextEdit whose clipboard and drag data pass
// through the RichTextAdapter, so that every way of copying (keys, menu, context menu) offers
// text/rtf, HTML and plain text, and every way of pasting takes RTF through the core's reader
// first. Pasted text keeps exactly the colors it brings; nothing else (fonts, tables, images).

#include <QTextEdit>

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

  protected:
    QMimeData* createMimeDataFromSelection() const override;
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;

  private:
    RichDefaults defaults_;
    qreal points_ = 8.8;
};

}  // namespace orvanta
