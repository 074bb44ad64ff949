#pragma once
// The Discovery tab's found list: the projectors that answered a search and accepted a
// connection on their command port, in the order their probes succeeded. Columns as in the
// registered list (name, MAC, address); an empty MAC shows "-". GUI thread only.

#include <cstdint>
#include <vector>

#include "projectors/ProjectorRegistry.h"
#include "ui/common/CaptionedTableModel.h"

namespace orvanta {

class FoundProjectorModel : public CaptionedTableModel {
    Q_OBJECT
  public:
    explicit FoundProjectorModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    const std::vector<ProjectorRecord>& records() const { return records_; }
    bool contains(std::uint32_t address) const;
    // Appends one row; views are told about that row only.
    void append(ProjectorRecord record);
    void clear();

  private:
    std::vector<ProjectorRecord> records_;
};

}  // namespace orvanta
