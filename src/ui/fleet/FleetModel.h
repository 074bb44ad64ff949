#pragma once
// "Fleet" tab's table: one row per registered projector, in the order of LastPj.txt, with
// what the fleet watch last learnt of it. A row shows "Asking..." until its first answer;
// a projector that did not answer says "No" and why in the Reachable column (in words, with a
// tinted background besides), keeps the time it last answered and shows "-" for what it did
// not say. Each status changes its own row only (dataChanged).
//
// Sorting: Qt::UserRole holds a key per column that sorts as the operator expects (addresses
// and levels as numbers, times as times, unanswered rows last). GUI thread only.

#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

#include "commands/FleetWatch.h"
#include "projectors/ProjectorRegistry.h"
#include "ui/common/CaptionedTableModel.h"

namespace orvanta {

class FleetModel : public CaptionedTableModel {
    Q_OBJECT
  public:
    enum Column {
        NameColumn,
        AddressColumn,
        MessageColumn,
        AlarmColumn,
        StartupColumn,
        LevelColumn,
        AnsweredColumn,
        ReachableColumn,  // "Yes", or "No: " and why
        ColumnCount
    };
    // The row's address (quint32), for filters.
    static constexpr int AddressRole = Qt::UserRole + 1;

    explicit FleetModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    // The registered projectors. Rows of addresses that stay keep what was learnt of them.
    void setProjectors(const ProjectorRegistry& registry);
    // What the watch learnt of the projector at row `status.index`; a status whose address is
    // no longer that row's (the registry changed meanwhile) is dropped.
    void applyStatus(const FleetStatus& status);

    // The projectors of the rows, in row order, for the watch.
    std::vector<ProjectorTarget> targets() const;
    std::uint32_t address(int row) const;
    // Rows whose projector answered its last poll.
    int answeringCount() const;

  private:
    struct Row {
        ProjectorRecord record;
        std::optional<FleetStatus> status;  // the last poll's; nothing before the first answer
        std::optional<std::chrono::system_clock::time_point> lastAnswered;
    };
    QVariant display(const Row& row, int column) const;
    QVariant sortKey(const Row& row, int column) const;

    std::vector<Row> rows_;
};

}  // namespace orvanta
