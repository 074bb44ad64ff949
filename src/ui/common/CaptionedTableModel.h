#pragma once
// A table model with a fixed set of columns, each captioned from the language table: the
// column count and the horizontal header both come from one list of captions, so a column
// added to the list is counted and captioned at once.

#include <QAbstractTableModel>
#include <span>

#include "text/TextId.h"

namespace orvanta {

class CaptionedTableModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    // `captions`: one a column, in column order; a static table (it is not copied).
    explicit CaptionedTableModel(std::span<const Text> captions, QObject* parent = nullptr);

    int columnCount(const QModelIndex& parent = {}) const override;
    // The caption of a column for the horizontal header's display role; nothing else.
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

  private:
    std::span<const Text> captions_;
};

}  // namespace orvanta
