#include "ui/groups/GroupMembersModel.h"

#include "ui/common/UiText.h"

namespace orvanta {

int GroupMembersModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(members_.size());
}

QVariant GroupMembersModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() ||
        (role != Qt::DisplayRole && role != Qt::AccessibleTextRole)) {
        return {};
    }
    const GroupMember& m = members_[static_cast<std::size_t>(index.row())];
    const QString address = qs(formatAddress(m.address));
    if (!m.record) {
        return address + QLatin1Char(' ') + text(Text::MissingProjectorName);
    }
    return m.record->name.empty() ? address : address + QStringLiteral("  ") + qs(m.record->name);
}

void GroupMembersModel::show(const ProjectorGroup* group, const ProjectorRegistry& registry) {
    std::vector<GroupMember> fresh;
    if (group != nullptr) {
        fresh = groupMembers(*group, registry);
    }
    beginResetModel();
    members_ = std::move(fresh);
    endResetModel();
}

std::optional<std::uint32_t> GroupMembersModel::address(int row) const {
    if (row < 0 || row >= rowCount()) {
        return std::nullopt;
    }
    return members_[static_cast<std::size_t>(row)].address;
}

}  // namespace orvanta
