#pragma once
// "Discovery" tab: finds projectors on the network, registers them, takes one by hand,
// deletes one and changes a password.
//
// Showing the page starts a search from the chosen network adaptor; leaving it sets the
// discovery stop flag and returns at once. Each answer from a new address is probed (a TCP
// connection to the command port, bounded by kProbeTimeout) on a thread of its own, so the
// page never waits; rows are added in the order probes succeed, at most 256 per search.
// "Find" lists the adaptors again and starts from an empty found list. The registered list is
// a view of the one ProjectorListModel; every change is written to LastPj.txt at once, and a
// write that fails is reported with "LastPj.txt could not be written..." while the list shows
// what the file holds. GUI thread only.

#include <QWidget>
#include <cstdint>
#include <memory>
#include <set>
#include <string>

#include "projectors/Discovery.h"
#include "ui/common/PageContext.h"

class QComboBox;
class QPushButton;
class QTableView;

namespace orvanta {

struct ProjectorRecord;

class FoundProjectorModel;

class DiscoveryPage : public QWidget {
    Q_OBJECT
  public:
    explicit DiscoveryPage(PageContext context, QWidget* parent = nullptr);
    ~DiscoveryPage() override;

    // Reloads the registry and starts a discovery run ("Find" stays disabled until it ends).
    void showPage();
    // The tab is no longer shown: a running discovery is told to stop, not waited for.
    void leavePage();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    struct Mailbox;

    void find();
    void startDiscovery();
    void fillAdaptorChoice();
    void handleDiscoveryEvent(unsigned run, const DiscoveryEvent& event);
    void handleProbeResult(unsigned generation, const ProjectorRecord& record, bool reachable);

    void registerFound();
    void configureManually();
    void deleteRegistered();
    void changePassword();
    int selectedRow(const QTableView* view) const;
    // The selected registered projector and its row; with none selected the operator is
    // told to pick one and the record is null.
    const ProjectorRecord* selectedRegistered(int& row);
    void reportWrite(const std::string& error);

    PageContext context_;
    FoundProjectorModel* found_;
    QTableView* foundView_;
    QTableView* registered_;
    QComboBox* adaptorChoice_;
    QPushButton* findButton_;

    // Queued calls from the worker and the probe threads reach the page only while it lives.
    std::shared_ptr<Mailbox> mailbox_;
    DiscoveryRun run_;
    unsigned runNumber_ = 0;
    // "Find" empties the list; results of probes started before belong to an older generation.
    unsigned generation_ = 0;
    std::set<std::uint32_t> probing_;
    std::size_t addedThisRun_ = 0;
};

}  // namespace orvanta
