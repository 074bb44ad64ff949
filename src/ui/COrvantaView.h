#pragma once
// The form inside the main window: a tab control with the pages Main, Discovery and Edit,
// created in that order.

#include <QWidget>

class QTabWidget;

namespace orvanta {

class CMainFrame;
class CMainTab;
class CPjList;
class CMessageEdit;

class COrvantaView : public QWidget {
    Q_OBJECT
  public:
    enum Page { MainPage = 0, DiscoveryPage = 1, EditPage = 2 };

    explicit COrvantaView(CMainFrame& frame);

    QTabWidget* tabs() const { return tabs_; }
    CMainTab* mainTab() const { return mainTab_; }
    CPjList* discoveryTab() const { return discoveryTab_; }
    CMessageEdit* editTab() const { return editTab_; }
    int currentPage() const;

    // Runs the show step of the current tab, stopping the workers of the others.
    void showCurrentPage();

  signals:
    void pageShown(int page);

  private:
    CMainFrame& frame_;
    QTabWidget* tabs_;
    CMainTab* mainTab_;
    CPjList* discoveryTab_;
    CMessageEdit* editTab_;
};

}  // namespace orvanta
