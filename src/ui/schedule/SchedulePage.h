#pragma once
// "Schedule" tab: the scheduled messages that orvanta-service fires - a table of the entries
// (the On column switches one on or off), Add, Edit and Remove, the switch that pauses the
// whole schedule, the next ten firings, and whether the service that fires them is running
// (it writes down what it looked at at least once a minute; older than two minutes, it is not)
// with the command that starts it. While the tab is shown it reads the file again whenever it
// changes on disk, so changes from the command line or the API appear by themselves.

#include "ui/common/PageContext.h"
#include "ui/common/TabPage.h"

class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;
class QTableView;
class QTimer;

namespace orvanta {

class ScheduleModel;
struct ScheduleEntry;

class SchedulePage : public TabPage {
    Q_OBJECT
  public:
    explicit SchedulePage(PageContext context, QWidget* parent = nullptr);
    ~SchedulePage() override;

    void showPage() override;
    void leavePage() override;

  private:
    void refresh();
    void showSchedule();
    void openEntry(bool add);
    void removeEntry();
    int chosenRow() const;

    PageContext context_;
    ScheduleModel* model_;
    QCheckBox* pause_;
    QLabel* service_;
    QTableView* table_;
    QPushButton* add_;
    QPushButton* edit_;
    QPushButton* remove_;
    QLabel* problem_;
    QListWidget* next_;
    QTimer* watch_;
};

}  // namespace orvanta
