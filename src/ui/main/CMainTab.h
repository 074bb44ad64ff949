#pragma once
// "Main" tab: sends saved message files, shows, hides and clears stored messages, sets the
// startup display and watches what the chosen projector shows.

#include <QWidget>

#include "ui/common/PageContext.h"

class QComboBox;

namespace orvanta {

class CMainTab : public QWidget {
    Q_OBJECT
  public:
    explicit CMainTab(PageContext context, QWidget* parent = nullptr);

    // Reloads the registry, restores the projector choice, then lets the status poller run.
    void showPage();
    // The tab is no longer shown: background work stops without being waited for.
    void leavePage();
    // The Send button's caption follows the send lock ("Send" / "Send[Locked]").
    void refreshSendCaption();
    // One message file dropped on the window while this tab is shown.
    void dropMessageFile(const QString& path);

  private:
    PageContext context_;
    QComboBox* projectors_;
};

}  // namespace orvanta
