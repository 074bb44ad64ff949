#include "ui/history/HistoryModel.h"

#include <QDateTime>
#include <algorithm>

#include "text/LanguageText.h"
#include "ui/common/UiText.h"

namespace orvanta {
namespace {

QDateTime localTime(std::int64_t ms) {
    return QDateTime::fromMSecsSinceEpoch(ms).toLocalTime();
}

QString slotText(int slot) {
    if (slot < 0) {
        return QStringLiteral("-");
    }
    return slot == 0 ? text(Text::SavedNumberQuick) : QString::number(slot);
}

QString projectorText(const HistoryRecord& r) {
    return r.projector.empty()
               ? qs(r.address)
               : qs(r.address) + QStringLiteral(" (") + qs(r.projector) + QLatin1Char(')');
}

QString resultText(const HistoryRecord& r) {
    return r.text.empty() ? qs(r.result) : qs(r.result) + QStringLiteral(": ") + qs(r.text);
}

QString commandText(const HistoryRecord& r) {
    return r.detail.empty() ? qs(r.command) : qs(r.command) + QLatin1Char(' ') + qs(r.detail);
}

}  // namespace

void HistoryModel::setRecords(std::vector<HistoryRecord> records) {
    beginResetModel();
    records_ = std::move(records);
    // Newest first; records of one moment keep the order they were written in, reversed.
    std::reverse(records_.begin(), records_.end());
    std::stable_sort(
        records_.begin(), records_.end(),
        [](const HistoryRecord& a, const HistoryRecord& b) { return a.time > b.time; });
    endResetModel();
}

int HistoryModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(records_.size());
}

int HistoryModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant HistoryModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    const HistoryRecord& r = record(index.row());
    if (role == AddressRole) {
        return qs(r.address);
    }
    if (role == SearchRole) {
        return QStringList{qs(r.user),    projectorText(r), commandText(r),
                           resultText(r), qs(r.title),      qs(r.source)}
            .join(QLatin1Char('\n'))
            .toLower();
    }
    if (role == Qt::UserRole) {
        return QVariant::fromValue<qint64>(r.time);
    }
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) {
        return {};
    }
    switch (index.column()) {
        case TimeColumn:
            return localTime(r.time).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        case UserColumn:
            return qs(r.user);
        case ProjectorColumn:
            return projectorText(r);
        case CommandColumn:
            return commandText(r);
        case SlotColumn:
            return slotText(r.slot);
        case ResultColumn:
            return resultText(r);
        case TitleColumn:
            return qs(r.title);
        default:
            return {};
    }
}

QVariant HistoryModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return {};
    }
    static const Text headers[ColumnCount] = {
        Text::HistoryColumnTime,    Text::HistoryColumnUser, Text::HistoryColumnProjector,
        Text::HistoryColumnCommand, Text::HistoryColumnSlot, Text::HistoryColumnResult,
        Text::HistoryColumnTitle};
    return section >= 0 && section < ColumnCount ? text(headers[section]) : QVariant();
}

void HistoryFilter::setAddresses(const QStringList& addresses) {
    addresses_ = addresses;
    invalidateFilter();
}

void HistoryFilter::setSearchText(const QString& text) {
    search_ = text.trimmed().toLower();
    invalidateFilter();
}

void HistoryFilter::setDays(const QDate& first, const QDate& last) {
    first_ = first;
    last_ = last;
    invalidateFilter();
}

bool HistoryFilter::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const {
    const QModelIndex index = sourceModel()->index(sourceRow, 0, sourceParent);
    if (!addresses_.isEmpty() &&
        !addresses_.contains(index.data(HistoryModel::AddressRole).toString())) {
        return false;
    }
    if (!search_.isEmpty() && !index.data(HistoryModel::SearchRole).toString().contains(search_)) {
        return false;
    }
    const QDate day = localTime(index.data(Qt::UserRole).toLongLong()).date();
    if (first_.isValid() && day < first_) {
        return false;
    }
    if (last_.isValid() && day > last_) {
        return false;
    }
    return true;
}

}  // namespace orvanta
