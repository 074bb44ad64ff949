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

  private:
    PageContext context_;
    QComboBox* projectors_;
};

}  // namespace orvanta
