#pragma once
// The history of commands sent to projectors, newest first, and the filter the History
// window puts in front of it (projector or group, text, first and last day). GUI thread only.

#include <QDate>
#include <QSortFilterProxyModel>
#include <QStringList>
#include <vector>

#include "history/History.h"
#include "ui/common/CaptionedTableModel.h"

namespace orvanta {

class HistoryModel : public CaptionedTableModel {
    Q_OBJECT
  public:
    enum Column {
        TimeColumn,
        UserColumn,
        ProjectorColumn,
        CommandColumn,
        SlotColumn,
        ResultColumn,
        TitleColumn,
        ColumnCount
    };
    // The record's address, for the projector filter.
    static constexpr int AddressRole = Qt::UserRole + 1;
    // Everything a search may find in the record, lower case.
    static constexpr int SearchRole = Qt::UserRole + 2;

    explicit HistoryModel(QObject* parent = nullptr);

    // `records` oldest first, as the file holds them.
    void setRecords(std::vector<HistoryRecord> records);
    const HistoryRecord& record(int row) const { return records_[static_cast<std::size_t>(row)]; }

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

  private:
    std::vector<HistoryRecord> records_;  // newest first
};

class HistoryFilter : public QSortFilterProxyModel {
    Q_OBJECT
  public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

    // The projectors shown (one, or the members of a group); empty: every projector.
    void setAddresses(const QStringList& addresses);
    void setSearchText(const QString& text);
    // Invalid dates leave that end open; both are whole local days.
    void setDays(const QDate& first, const QDate& last);

  protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

  private:
    QStringList addresses_;
    QString search_;
    QDate first_;
    QDate last_;
};

}  // namespace orvanta
