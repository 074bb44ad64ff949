#pragma once
// "Fleet" tab: every registered projector in one table - name, address, whether it answers,
// the message it shows (and from which slot), its alarm, startup display, level and when it
// last answered - kept up to date by the fleet watch while the tab is shown.
//
// The watch (FleetPoller) asks every projector in parallel, each again five seconds after its
// previous answer, entirely on threads of its own; their results arrive as queued calls on the
// GUI thread, and those of a watch stopped meanwhile are dropped. A projector that does not
// answer is marked in its row and holds up no other row and not the window. The watch starts
// when the tab is shown (with the registry and groups read again) and stops, without being
// waited for, when it is left. "Show" narrows the table to one group; the columns sort by a
// click on their header. Double-clicking a row (or Enter on it) chooses that projector for
// the Main tab: the page tells the frame through projectorChosen().

#include "commands/FleetWatch.h"
#include "ui/common/PageContext.h"
#include "ui/common/TabPage.h"

class QComboBox;
class QLabel;
class QPushButton;
class QTableView;

namespace orvanta {

class FleetModel;
class FleetFilterModel;

class FleetPage : public TabPage {
    Q_OBJECT
  public:
    explicit FleetPage(PageContext context, QWidget* parent = nullptr,
                       FleetWatchTimings timings = {});
    ~FleetPage() override;

    void showPage() override;
    void leavePage() override;

  signals:
    // The operator chose the projector of registry row `row` for the Main tab.
    void projectorChosen(int row);

  private:
    void fillGroups();
    void applyGroupFilter();
    void statusArrived(unsigned generation, const FleetStatus& status);
    void updateSummary();
    void chooseRow(const QModelIndex& index);

    PageContext context_;
    FleetModel* model_;
    FleetFilterModel* filter_;
    QComboBox* groups_ = nullptr;
    QPushButton* refresh_ = nullptr;
    QLabel* summary_ = nullptr;
    QTableView* table_ = nullptr;
    QString chosenGroup_;  // the group shown, kept across reloads; empty: all
    unsigned generation_ = 0;
    // Last: it is stopped and its threads joined before the widgets above go.
    FleetPoller poller_;
};

}  // namespace orvanta
