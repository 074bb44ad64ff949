#pragma once
// The form inside the main window: a tab control with the pages Main, Discovery and Edit,
// created in that order.

#include <QWidget>

#include "ui/common/PageContext.h"

class QTabWidget;

namespace orvanta {

class CMainTab;
class CPjList;
class CMessageEdit;

class COrvantaView : public QWidget {
    Q_OBJECT
  public:
    enum Page { MainPage = 0, DiscoveryPage = 1, EditPage = 2 };

    explicit COrvantaView(PageContext context, QWidget* parent = nullptr);

    QTabWidget* tabs() const { return tabs_; }
    CMainTab* mainTab() const { return mainTab_; }
    CPjList* discoveryTab() const { return discoveryTab_; }
    CMessageEdit* editTab() const { return editTab_; }
    int currentPage() const;

    // Runs the leave step of the other pages and the show step of the current one.
    void showCurrentPage();

  signals:
    // After the show step; the frame refreshes its commands and Send captions here.
    void pageShown(int page);

  private:
    void leavePage(int page);

    QTabWidget* tabs_;
    CMainTab* mainTab_;
    CPjList* discoveryTab_;
    CMessageEdit* editTab_;
};

}  // namespace orvanta
