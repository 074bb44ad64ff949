#pragma once
// The "Confirm" list as a model: one row per memory slot (Quick, 1..12), its label and the
// status word the worker last reported. A reported word changes one cell, and views are told
// about that cell only.

#include <QStringList>
#include "ui/common/CaptionedTableModel.h"

namespace orvanta {

class StoredSlotModel : public CaptionedTableModel {
    Q_OBJECT
  public:
    enum Column { SlotColumn = 0, StatusColumn = 1, ColumnCount = 2 };

    explicit StoredSlotModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    QString status(int slot) const { return status_.value(slot); }
    // A slot outside 0..12 is ignored; an unchanged word tells no view.
    void setStatus(int slot, const QString& status);
    // Every status empty again (a new run).
    void clearStatus();

  private:
    QStringList status_;
};

}  // namespace orvanta
