#pragma once
// The rows of a many-projector command: address, name, what the projector is doing, and how
// it ended. Fed with the command's events on the GUI thread.

#include <vector>

#include "commands/ManyProjectorRun.h"
#include "ui/common/CaptionedTableModel.h"

namespace orvanta {

class ManyProjectorRowModel : public CaptionedTableModel {
    Q_OBJECT
  public:
    enum Column { AddressColumn, NameColumn, StateColumn, ResultColumn, ColumnCount };

    explicit ManyProjectorRowModel(const std::vector<ManyProjectorTarget>& targets,
                                   QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    void apply(const ManyProjectorEvent& event);
    RowStage stage(int row) const { return rows_[static_cast<std::size_t>(row)].stage; }

  private:
    struct Row {
        QString address;
        QString name;
        RowStage stage = RowStage::Waiting;
        QString result;
    };
    std::vector<Row> rows_;
};

}  // namespace orvanta
