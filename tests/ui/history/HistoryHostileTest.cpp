// The History window shows what a record says as plain text, one line a field, and a forged
// record cannot freeze it: titles that look like markup stay text in the cells and tool tips,
// and what one record may hold is capped.

#include <gtest/gtest.h>

#include <QSignalSpy>

#include "history/History.h"
#include "history/HistoryRecorder.h"
#include "support/UiTestSupport.h"
#include "text/LanguageText.h"
#include "ui/history/HistoryDialog.h"
#include "ui/history/HistoryModel.h"

using namespace orvanta;

TEST(HistoryWindowInput, TitlesArePlainTextAndNoRecordHoldsTooMuch) {
    test::app();
    setInterfaceLanguage(LanguageId::English);
    const std::string folder = test::scratchFolder("history-hostile");
    const std::string markup = "<h1>BIG</h1><img src=\"/usr/share/pixmaps/debian-logo.png\">";
    struct Case {
        const char* what;
        std::string title;
        bool listed;
        QString shown;  // empty: not checked
    };
    const Case cases[] = {
        {"markup", markup, true, QString::fromStdString(markup)},
        {"a line break and a direction override",
         "Exit\nleft\xE2\x80\xAE"
         "drawkcab",
         true, QStringLiteral("Exit left<U+202E>drawkcab")},
        {"long: cut", std::string(100 * 1024, 'A'), true, {}},
        {"longer than any record of ours: not listed", std::string(300 * 1024, 'B'), false, {}},
    };
    std::int64_t time = historyNow() - static_cast<std::int64_t>(std::size(cases));
    for (const Case& c : cases) {
        HistoryRecord r;
        r.time = ++time;
        r.address = "127.0.0.2";
        r.command = "send";
        r.result = "done";
        r.title = c.title;
        ASSERT_TRUE(HistoryFile(historyPath(folder), 8u << 20).append(r).ok());
    }
    HistoryDialog dialog(folder);
    QSignalSpy loaded(&dialog, &HistoryDialog::loaded);
    ASSERT_TRUE(loaded.wait());
    HistoryFilter& filter = dialog.filter();
    int row = 0;
    // Newest first.
    for (auto c = std::rbegin(cases); c != std::rend(cases); ++c) {
        SCOPED_TRACE(c->what);
        if (!c->listed) {
            continue;
        }
        ASSERT_LT(row, filter.rowCount());
        const QModelIndex title = filter.index(row++, HistoryModel::TitleColumn);
        const QString shown = title.data().toString();
        EXPECT_LE(shown.size(), static_cast<int>(kMaxHistoryFieldBytes) + 1);
        if (!c->shown.isEmpty()) {
            EXPECT_EQ(shown, c->shown);
        }
        // Whatever Qt makes of a tool tip, it reads as the text itself.
        const QString tip = title.data(Qt::ToolTipRole).toString();
        EXPECT_EQ(tip.indexOf(QStringLiteral("<h1>")), -1) << tip.toStdString().substr(0, 200);
        EXPECT_EQ(tip.indexOf(QStringLiteral("<img")), -1);
    }
    EXPECT_EQ(filter.rowCount(), row);
}
