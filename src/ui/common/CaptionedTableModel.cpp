#include "ui/common/CaptionedTableModel.h"

#include "ui/common/UiText.h"

namespace orvanta {

CaptionedTableModel::CaptionedTableModel(std::span<const Text> captions, QObject* parent)
    : QAbstractTableModel(parent), captions_(captions) {}

int CaptionedTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(captions_.size());
}

QVariant CaptionedTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        static_cast<std::size_t>(section) >= captions_.size()) {
        return {};
    }
    return text(captions_[static_cast<std::size_t>(section)]);
}

}  // namespace orvanta
