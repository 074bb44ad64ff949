#pragma once
// The Discovery tab's found list: the projectors that answered a search and accepted a
// connection on their command port, in the order their probes succeeded. Columns as in the
// registered list (name, MAC, address); an empty MAC shows "-". GUI thread only.

#include <QAbstractTableModel>
#include <cstdint>
#include <vector>

#include "projectors/ProjectorRegistry.h"

namespace orvanta {

class FoundProjectorModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    const std::vector<ProjectorRecord>& records() const { return records_; }
    bool contains(std::uint32_t address) const;
    // Appends one row; views are told about that row only.
    void append(ProjectorRecord record);
    void clear();

  private:
    std::vector<ProjectorRecord> records_;
};

}  // namespace orvanta
