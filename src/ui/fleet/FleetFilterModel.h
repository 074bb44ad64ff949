#pragma once
// "Fleet" tab: the table's view of the fleet model, sorted by the column the operator clicked
// and narrowed to the projectors of one group (or showing every registered projector).

#include <QSortFilterProxyModel>
#include <cstdint>
#include <optional>
#include <set>

namespace orvanta {

class FleetFilterModel : public QSortFilterProxyModel {
    Q_OBJECT
  public:
    explicit FleetFilterModel(QObject* parent = nullptr);

    // Only rows with these addresses; nothing: every row.
    void setAddresses(std::optional<std::set<std::uint32_t>> addresses);

  protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

  private:
    std::optional<std::set<std::uint32_t>> addresses_;
};

}  // namespace orvanta
