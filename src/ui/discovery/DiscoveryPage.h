#pragma once
// "Discovery" tab: finds projectors on the network, registers them, takes one by hand,
// deletes one, changes a password, and keeps the groups of registered projectors
// (GroupsPanel).
//
// Showing the page starts a search from every network adaptor in turn (loopback last), or
// from the one chosen in the drop-down that narrows it; leaving it sets the
// discovery stop flag and returns at once. Each answer from a new address is probed (a TCP
// connection to the command port, bounded by kProbeTimeout) on a thread of its own, so the
// page never waits; rows are added in the order probes succeed, at most 256 per search.
// "Find" lists the adaptors again and starts from an empty found list. The registered list is
// a view of the one ProjectorRegistryModel; every change (and a new adaptor choice) is written to
// LastPj.txt at once on the model's writer thread, the registry buttons wait disabled until it
// ends, and a write that fails is reported (Text::RegistryWriteFailed,
// Text::AdaptorChoiceNotSaved) while the list shows what the file holds. GUI thread only.

#include <array>
#include <cstdint>
#include <memory>
#include <set>
#include <string>

#include "projectors/Discovery.h"
#include "ui/common/PageContext.h"
#include "ui/common/TabPage.h"
#include "ui/models/ProjectorRegistryModel.h"

class QComboBox;
class QPushButton;
class QTableView;

namespace orvanta {

struct ProjectorRecord;

class FoundProjectorModel;
class GroupsPanel;

class DiscoveryPage : public TabPage {
    Q_OBJECT
  public:
    explicit DiscoveryPage(PageContext context, QWidget* parent = nullptr);
    ~DiscoveryPage() override;

    // Reloads the registry and starts a discovery run ("Find" stays disabled until it ends).
    void showPage() override;
    // The tab is no longer shown: a running discovery is told to stop, not waited for.
    void leavePage() override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void find();
    void startDiscovery();
    void fillAdaptorChoice();
    // -1: every adaptor; else the adaptor to narrow the search to. Saved in the registry.
    void chooseAdaptor(int index);
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
    // What tells the operator about a registry change that failed, while the page lives.
    ProjectorRegistryModel::WriteDone reportWrite();

    PageContext context_;
    FoundProjectorModel* found_;
    QTableView* foundView_;
    QTableView* registered_;
    QComboBox* adaptorChoice_;
    QPushButton* findButton_;
    QPushButton* registration_ = nullptr;
    GroupsPanel* groupsPanel_ = nullptr;
    std::array<QPushButton*, 4> registryButtons_{};

    DiscoveryRun run_;
    unsigned runNumber_ = 0;
    // "Find" empties the list; results of probes started before belong to an older generation.
    unsigned generation_ = 0;
    std::set<std::uint32_t> probing_;
    std::size_t addedThisRun_ = 0;
};

}  // namespace orvanta
