// The columns of the window's tables: counted and captioned from one list.

#include <gtest/gtest.h>

#include "support/UiTestSupport.h"
#include "ui/common/CaptionedTableModel.h"
#include "ui/common/UiText.h"

namespace orvanta {
namespace {

constexpr Text kCaptions[] = {Text::ColumnProjectorName, Text::ColumnIpAddress};

class TwoColumns : public CaptionedTableModel {
  public:
    TwoColumns() : CaptionedTableModel(kCaptions) {}
    int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : 3; }
    QVariant data(const QModelIndex&, int) const override { return {}; }
};

TEST(CaptionedTableModel, HeaderShowsTheCaptionOfEachColumnOnly) {
    struct Case {
        int section;
        Qt::Orientation orientation;
        int role;
        QVariant expected;
    };
    const Case cases[] = {
        {0, Qt::Horizontal, Qt::DisplayRole, text(Text::ColumnProjectorName)},
        {1, Qt::Horizontal, Qt::DisplayRole, text(Text::ColumnIpAddress)},
        {2, Qt::Horizontal, Qt::DisplayRole, QVariant()},
        {-1, Qt::Horizontal, Qt::DisplayRole, QVariant()},
        {0, Qt::Horizontal, Qt::ToolTipRole, QVariant()},
        {0, Qt::Vertical, Qt::DisplayRole, QVariant()},
    };
    TwoColumns model;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.section);
        EXPECT_EQ(model.headerData(c.section, c.orientation, c.role), c.expected);
    }
    EXPECT_EQ(model.columnCount(), 2);
    EXPECT_EQ(model.columnCount(model.index(0, 0)), 0);  // rows have no children
}

}  // namespace
}  // namespace orvanta
