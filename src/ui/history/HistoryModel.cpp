#include "ui/history/HistoryModel.h"

#include <QDateTime>
#include <algorithm>

#include "platform/TextCodec.h"
#include "text/LanguageText.h"
#include "ui/common/UiText.h"

namespace orvanta {
namespace {

constexpr Text kCaptions[] = {Text::HistoryColumnTime,      Text::HistoryColumnUser,
                              Text::HistoryColumnProjector, Text::HistoryColumnCommand,
                              Text::HistoryColumnSlot,      Text::HistoryColumnResult,
                              Text::HistoryColumnTitle};
static_assert(std::size(kCaptions) == HistoryModel::ColumnCount);

QDateTime localTime(std::int64_t ms) {
    return QDateTime::fromMSecsSinceEpoch(ms).toLocalTime();
}

QString slotText(int slot) {
    if (slot < 0) {
        return QStringLiteral("-");
    }
    return slot == 0 ? text(Text::SavedNumberQuick) : QString::number(slot);
}

// A field of a record as one line of plain text: it may come from a projector or a hand-edited
// file, so line breaks, controls and direction overrides are shown, not obeyed.
QString shown(const std::string& field) {
    std::string line = field;
    std::replace(line.begin(), line.end(), '\n', ' ');
    return qs(visibleText(line));
}

QString projectorText(const HistoryRecord& r) {
    return r.projector.empty()
               ? shown(r.address)
               : shown(r.address) + QStringLiteral(" (") + shown(r.projector) + QLatin1Char(')');
}

QString resultText(const HistoryRecord& r) {
    return r.text.empty() ? shown(r.result)
                          : shown(r.result) + QStringLiteral(": ") + shown(r.text);
}

QString commandText(const HistoryRecord& r) {
    return r.detail.empty() ? shown(r.command)
                            : shown(r.command) + QLatin1Char(' ') + shown(r.detail);
}

QVariant cellText(const HistoryRecord& r, int column) {
    switch (column) {
        case HistoryModel::TimeColumn:
            return localTime(r.time).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        case HistoryModel::UserColumn:
            return shown(r.user);
        case HistoryModel::ProjectorColumn:
            return projectorText(r);
        case HistoryModel::CommandColumn:
            return commandText(r);
        case HistoryModel::SlotColumn:
            return slotText(r.slot);
        case HistoryModel::ResultColumn:
            return resultText(r);
        case HistoryModel::TitleColumn:
            return shown(r.title);
        default:
            return {};
    }
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

HistoryModel::HistoryModel(QObject* parent) : CaptionedTableModel(kCaptions, parent) {}

int HistoryModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(records_.size());
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
    if (role == Qt::DisplayRole) {
        return cellText(r, index.column());
    }
    if (role == Qt::ToolTipRole) {
        // A tool tip that looks like markup is drawn as markup: the text is escaped inside a
        // paragraph of its own, so a title "<h1>BIG</h1>" or "<img src=...>" reads as typed.
        const QString plain = cellText(r, index.column()).toString();
        return plain.isEmpty() ? QVariant()
                               : QVariant(QStringLiteral("<p style='white-space:pre-wrap'>") +
                                          plain.toHtmlEscaped() + QStringLiteral("</p>"));
    }
    return {};
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
