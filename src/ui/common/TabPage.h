#pragma once
// What the frame asks of every tab page: to start its work when its tab is shown and to stop
// its background work when the tab is left, so nothing runs behind a page the operator cannot
// see.

#include <QWidget>

namespace orvanta {

class TabPage : public QWidget {
  public:
    using QWidget::QWidget;

    // The tab is shown (again): the page reads what may have changed meanwhile.
    virtual void showPage() = 0;
    // The tab is no longer shown: background work stops without being waited for. Cheap, and
    // may be repeated.
    virtual void leavePage() = 0;
};

}  // namespace orvanta
