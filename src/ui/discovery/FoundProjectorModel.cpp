#include "ui/discovery/FoundProjectorModel.h"

#include <algorithm>

#include "ui/common/UiText.h"
#include "ui/models/ProjectorRegistryModel.h"

namespace orvanta {

FoundProjectorModel::FoundProjectorModel(QObject* parent)
    : CaptionedTableModel(kRegistryCaptions, parent) {}

int FoundProjectorModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(records_.size());
}

QVariant FoundProjectorModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() ||
        (role != Qt::DisplayRole && role != Qt::AccessibleTextRole)) {
        return {};
    }
    const ProjectorRecord& r = records_[static_cast<std::size_t>(index.row())];
    switch (index.column()) {
        case ProjectorRegistryModel::NameColumn:
            return qs(r.name);
        case ProjectorRegistryModel::MacColumn:
            return r.mac.empty() ? QStringLiteral("-") : qs(r.mac);
        case ProjectorRegistryModel::AddressColumn:
            return qs(formatAddress(r.address));
        default:
            return {};
    }
}

bool FoundProjectorModel::contains(std::uint32_t address) const {
    return std::any_of(records_.begin(), records_.end(),
                       [&](const ProjectorRecord& r) { return r.address == address; });
}

void FoundProjectorModel::append(ProjectorRecord record) {
    const int row = rowCount();
    beginInsertRows({}, row, row);
    records_.push_back(std::move(record));
    endInsertRows();
}

void FoundProjectorModel::clear() {
    if (records_.empty()) {
        return;
    }
    beginResetModel();
    records_.clear();
    endResetModel();
}

}  // namespace orvanta
