#pragma once
// "Edit" tab: composes a message, saves and opens message files, sends it to a projector
// and reads one back.

#include <QWidget>

#include "ui/common/PageContext.h"

class QComboBox;

namespace orvanta {

class CMessageEdit : public QWidget {
    Q_OBJECT
  public:
    explicit CMessageEdit(PageContext context, QWidget* parent = nullptr);

    void showPage();
    void leavePage();
    // The Send button's caption follows the send lock ("Send" / "Send[Locked]").
    void refreshSendCaption();
    // Asked before the program closes: false keeps the program open.
    bool confirmDiscardOrSave();
    // Reads a message file (.ovx) or imports a text file (.txt) into the editors; a failure
    // is told to the operator and leaves the editors as they were.
    bool openMessageFile(const QString& path);

  private:
    PageContext context_;
    QComboBox* projectors_;
};

}  // namespace orvanta
