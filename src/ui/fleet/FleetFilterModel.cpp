#include "ui/fleet/FleetFilterModel.h"

#include "ui/fleet/FleetModel.h"

namespace orvanta {

FleetFilterModel::FleetFilterModel(QObject* parent) : QSortFilterProxyModel(parent) {
    setSortRole(Qt::UserRole);
    setSortCaseSensitivity(Qt::CaseInsensitive);
}

void FleetFilterModel::setAddresses(std::optional<std::set<std::uint32_t>> addresses) {
    addresses_ = std::move(addresses);
    invalidateRowsFilter();
}

bool FleetFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const {
    if (!addresses_) {
        return true;
    }
    const QModelIndex index = sourceModel()->index(sourceRow, 0, sourceParent);
    const auto address = sourceModel()->data(index, FleetModel::AddressRole).value<quint32>();
    return addresses_->count(address) != 0;
}

}  // namespace orvanta
