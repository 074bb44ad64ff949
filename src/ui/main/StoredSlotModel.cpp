#include "ui/main/StoredSlotModel.h"

#include "commands/StoredMessageList.h"
#include "ui/common/UiText.h"

namespace orvanta {

namespace {

constexpr Text kCaptions[] = {Text::StoredNumberColumn, Text::StatusColumn};
static_assert(std::size(kCaptions) == StoredSlotModel::ColumnCount);

}  // namespace

StoredSlotModel::StoredSlotModel(QObject* parent) : CaptionedTableModel(kCaptions, parent) {
    for (int slot = 0; slot < kStoredSlotCount; ++slot) {
        status_.append(QString());
    }
}

int StoredSlotModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kStoredSlotCount;
}

QVariant StoredSlotModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid) ||
        (role != Qt::DisplayRole && role != Qt::AccessibleTextRole)) {
        return {};
    }
    if (index.column() == SlotColumn) {
        // Slot 0 is called as everywhere else in the interface language.
        return index.row() == 0 ? text(Text::SavedNumberQuick) : QString::number(index.row());
    }
    return status_.value(index.row());
}

void StoredSlotModel::setStatus(int slot, const QString& status) {
    if (slot < 0 || slot >= status_.size() || status_[slot] == status) {
        return;
    }
    status_[slot] = status;
    const QModelIndex cell = index(slot, StatusColumn);
    emit dataChanged(cell, cell, {Qt::DisplayRole, Qt::AccessibleTextRole});
}

void StoredSlotModel::clearStatus() {
    for (int slot = 0; slot < status_.size(); ++slot) {
        setStatus(slot, QString());
    }
}

}  // namespace orvanta
