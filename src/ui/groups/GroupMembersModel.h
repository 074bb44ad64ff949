#pragma once
// The projectors of one group, as the Discovery page lists them: address and registered
// name, or "(missing)" for an address that is no longer registered.

#include <QAbstractListModel>
#include <vector>

#include "projectors/ProjectorGroups.h"

namespace orvanta {

class GroupMembersModel : public QAbstractListModel {
    Q_OBJECT
  public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    // Shows `group` (none: an empty list) against `registry`.
    void show(const ProjectorGroup* group, const ProjectorRegistry& registry);
    // The address of `row`, or nothing outside the list.
    std::optional<std::uint32_t> address(int row) const;

  private:
    std::vector<GroupMember> members_;
};

}  // namespace orvanta
