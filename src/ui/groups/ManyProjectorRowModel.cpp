#include "ui/groups/ManyProjectorRowModel.h"

#include "projectors/ProjectorRegistry.h"
#include "ui/common/UiText.h"

namespace orvanta {

namespace {

constexpr Text kCaptions[] = {Text::ColumnIpAddress, Text::ColumnProjectorName,
                              Text::ManyProjectorColumnState, Text::ManyProjectorColumnResult};
static_assert(std::size(kCaptions) == ManyProjectorRowModel::ColumnCount);

}  // namespace

ManyProjectorRowModel::ManyProjectorRowModel(const std::vector<ManyProjectorTarget>& targets,
                                             QObject* parent)
    : CaptionedTableModel(kCaptions, parent) {
    rows_.reserve(targets.size());
    for (const ManyProjectorTarget& t : targets) {
        Row row;
        row.address = qs(formatAddress(t.target.address));
        row.name = t.missing ? text(Text::MissingProjectorName) : qs(t.name);
        rows_.push_back(row);
    }
}

int ManyProjectorRowModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

QVariant ManyProjectorRowModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    const Row& row = rows_[static_cast<std::size_t>(index.row())];
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole) {
        switch (index.column()) {
            case AddressColumn:
                return row.address;
            case NameColumn:
                return row.name;
            case StateColumn:
                return qs(rowStageText(row.stage));
            case ResultColumn:
                return row.result;
            default:
                return {};
        }
    }
    if (role == Qt::ToolTipRole && index.column() == ResultColumn) {
        return row.result;
    }
    return {};
}

void ManyProjectorRowModel::apply(const ManyProjectorEvent& event) {
    if (event.kind != ManyProjectorEvent::Kind::Row || event.row >= rows_.size()) {
        return;
    }
    Row& row = rows_[event.row];
    row.stage = event.stage;
    // The program's end texts start with spaces and may span lines; a cell takes one line.
    row.result = rowFinished(event.stage) ? qs(event.text).simplified() : QString();
    const int r = static_cast<int>(event.row);
    emit dataChanged(index(r, StateColumn), index(r, ResultColumn));
}

}  // namespace orvanta
