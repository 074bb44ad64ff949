#include "ui/fleet/FleetModel.h"

#include <QBrush>
#include <QColor>
#include <QDateTime>
#include <QLocale>
#include <map>

#include "ui/common/UiText.h"

namespace orvanta {

namespace {

constexpr Text kCaptions[] = {
    Text::FleetColumnName,     Text::FleetColumnAddress,   Text::FleetColumnMessage,
    Text::FleetColumnAlarm,    Text::FleetColumnStartup,   Text::FleetColumnLevel,
    Text::FleetColumnAnswered, Text::FleetColumnReachable,
};
static_assert(std::size(kCaptions) == FleetModel::ColumnCount);

}  // namespace

FleetModel::FleetModel(QObject* parent) : CaptionedTableModel(kCaptions, parent) {}

int FleetModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

QVariant FleetModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= ColumnCount) {
        return {};
    }
    const Row& row = rows_[static_cast<std::size_t>(index.row())];
    switch (role) {
        case Qt::DisplayRole:
            return display(row, index.column());
        case Qt::ToolTipRole: {
            // Texts cut short by their column, and why a projector does not answer.
            if (row.status && !row.status->answered) {
                return qs(fleetStatusTexts(*row.status).problem);
            }
            const QVariant shown = display(row, index.column());
            return shown.toString().isEmpty() ? QVariant() : shown;
        }
        case Qt::UserRole:
            return sortKey(row, index.column());
        case AddressRole:
            return QVariant::fromValue<quint32>(row.record.address);
        case Qt::BackgroundRole:
            // Besides the "No" and the reason, which say it in words.
            if (row.status && !row.status->answered) {
                return QBrush(QColor(255, 224, 224));
            }
            return {};
        default:
            return {};
    }
}

QVariant FleetModel::display(const Row& row, int column) const {
    if (column == NameColumn) {
        return qs(row.record.name);
    }
    if (column == AddressColumn) {
        return qs(formatAddress(row.record.address));
    }
    if (column == AnsweredColumn) {
        if (!row.lastAnswered) {
            return QStringLiteral("-");
        }
        const QDateTime when =
            QDateTime::fromMSecsSinceEpoch(std::chrono::duration_cast<std::chrono::milliseconds>(
                                               row.lastAnswered->time_since_epoch())
                                               .count());
        return QLocale().toString(when.time(), QStringLiteral("HH:mm:ss"));
    }
    if (!row.status) {
        return column == ReachableColumn ? text(Text::FleetAsking) : QString();
    }
    const FleetStatusTexts t = fleetStatusTexts(*row.status);
    switch (column) {
        case ReachableColumn:
            return row.status->answered ? qs(t.reachable)
                                        : qs(t.reachable) + QStringLiteral(": ") + qs(t.problem);
        case MessageColumn:
            return qs(t.message);
        case AlarmColumn:
            return qs(t.alarm);
        case StartupColumn:
            return qs(t.startup);
        case LevelColumn:
            return qs(t.level);
        default:
            return {};
    }
}

QVariant FleetModel::sortKey(const Row& row, int column) const {
    switch (column) {
        case AddressColumn:
            return QVariant::fromValue<quint32>(row.record.address);
        case LevelColumn:
            return row.status && row.status->answered ? row.status->values.level : -1;
        case AnsweredColumn:
            return row.lastAnswered ? static_cast<qlonglong>(
                                          std::chrono::duration_cast<std::chrono::milliseconds>(
                                              row.lastAnswered->time_since_epoch())
                                              .count())
                                    : qlonglong(-1);
        default:
            return display(row, column);
    }
}

void FleetModel::setProjectors(const ProjectorRegistry& registry) {
    std::map<std::uint32_t, Row> kept;
    for (Row& r : rows_) {
        kept.emplace(r.record.address, std::move(r));
    }
    beginResetModel();
    rows_.clear();
    for (const ProjectorRecord& record : registry.records) {
        Row row;
        if (auto it = kept.find(record.address); it != kept.end()) {
            row = std::move(it->second);
            kept.erase(it);  // an address registered twice keeps its past once
        }
        row.record = record;
        rows_.push_back(std::move(row));
    }
    endResetModel();
}

void FleetModel::applyStatus(const FleetStatus& status) {
    if (status.index >= rows_.size() || rows_[status.index].record.address != status.address) {
        return;
    }
    Row& row = rows_[status.index];
    row.status = status;
    if (status.answered) {
        row.lastAnswered = status.answeredAt;
    }
    const int r = static_cast<int>(status.index);
    emit dataChanged(index(r, 0), index(r, ColumnCount - 1));
}

std::vector<ProjectorTarget> FleetModel::targets() const {
    std::vector<ProjectorTarget> targets;
    targets.reserve(rows_.size());
    for (const Row& r : rows_) {
        targets.push_back({r.record.address, r.record.password});
    }
    return targets;
}

std::uint32_t FleetModel::address(int row) const {
    return row >= 0 && row < rowCount() ? rows_[static_cast<std::size_t>(row)].record.address : 0;
}

int FleetModel::answeringCount() const {
    int count = 0;
    for (const Row& r : rows_) {
        count += r.status && r.status->answered ? 1 : 0;
    }
    return count;
}

}  // namespace orvanta
