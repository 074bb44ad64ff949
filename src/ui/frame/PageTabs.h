#pragma once
// The form inside the main window: a tab control with the pages Main, Discovery, Edit, Fleet
// and Schedule, created in that order.

#include <QWidget>
#include <vector>

#include "ui/common/PageContext.h"

class QTabWidget;

namespace orvanta {

class TabPage;
class MainPage;
class DiscoveryPage;
class EditPage;
class FleetPage;
class SchedulePage;

class PageTabs : public QWidget {
    Q_OBJECT
  public:
    enum Tab { MainTab = 0, DiscoveryTab = 1, EditTab = 2, FleetTab = 3, ScheduleTab = 4 };

    explicit PageTabs(PageContext context, QWidget* parent = nullptr);

    QTabWidget* tabs() const { return tabs_; }
    MainPage* mainTab() const { return mainTab_; }
    DiscoveryPage* discoveryTab() const { return discoveryTab_; }
    EditPage* editTab() const { return editTab_; }
    FleetPage* fleetTab() const { return fleetTab_; }
    SchedulePage* scheduleTab() const { return scheduleTab_; }
    int currentPage() const;

    // Runs the leave step of the other pages and the show step of the current one.
    void showCurrentPage();

  signals:
    // After the show step; the frame refreshes its commands and Send captions here.
    void pageShown(int page);

  private:
    QTabWidget* tabs_;
    MainPage* mainTab_;
    DiscoveryPage* discoveryTab_;
    EditPage* editTab_;
    FleetPage* fleetTab_;
    SchedulePage* scheduleTab_;
    std::vector<TabPage*> pages_;  // in the order of Tab
};

}  // namespace orvanta
