#pragma once
// "Discovery" tab: finds projectors on the network, registers them, takes one by hand,
// deletes one and changes a password.

#include <QWidget>

#include "ui/common/PageContext.h"

class QTableView;

namespace orvanta {

class CPjList : public QWidget {
    Q_OBJECT
  public:
    explicit CPjList(PageContext context, QWidget* parent = nullptr);

    // Reloads the registry and starts a discovery run.
    void showPage();
    // The tab is no longer shown: a running discovery is told to stop, not waited for.
    void leavePage();

  private:
    PageContext context_;
    QTableView* registered_;
};

}  // namespace orvanta
