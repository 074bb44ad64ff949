// The "Image" dialog under the offscreen platform: it plays, paints, writes its scratch
// bitmaps and closes by itself or by Enter and Escape.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QKeyEvent>
#include <filesystem>

#include "support/UiTestSupport.h"
#include "text/LanguageText.h"
#include "ui/edit/PreviewDialog.h"

using namespace orvanta;

namespace {

class PreviewDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::app();
        setInterfaceLanguage(LanguageId::English);
        folder_ = test::scratchFolder("preview");
    }

    // A one-line "Box" message with a display time of 30 seconds on the test's clock.
    std::unique_ptr<PreviewDialog> open() {
        Message m;
        m.title = RichText(u"Drill", 0xFFFFFF, 0xC0C0C0);
        m.body = RichText(u"Hi", 0xFFFFFF, 0xC0C0C0);
        m.options.style = static_cast<std::uint8_t>(MessageStyle::Box);
        m.options.displayMinutes = 0;
        m.options.displayHalfMinute = 1;
        auto dlg = std::make_unique<PreviewDialog>(
            render::makePreviewInput(m),
            render::GlyphSet::load(std::string(ORVANTA_TEST_SOURCE_DIR) + "/data", 0), folder_,
            nullptr, [this] { return now_; });
        dlg->open();
        return dlg;
    }

    std::string folder_;
    std::int64_t now_ = 0;
};

TEST_F(PreviewDialogTest, PlaysUntilTheDisplayTimeHasPassed) {
    auto dlg = open();
    EXPECT_EQ(dlg->windowTitle(), QStringLiteral("Image"));
    EXPECT_EQ(dlg->size(), QSize(740, 600));
    EXPECT_TRUE(std::filesystem::exists(folder_ + "title.bmp"));
    EXPECT_TRUE(std::filesystem::exists(folder_ + "message.bmp"));
    ASSERT_TRUE(test::processEventsUntil(
        [&] { return dlg->player().phase() == render::PreviewPlayer::Phase::Holding; }));
    EXPECT_TRUE(dlg->isVisible());
    now_ = 31;
    ASSERT_TRUE(test::processEventsUntil([&] { return !dlg->isVisible(); }));
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
}

TEST_F(PreviewDialogTest, EnterAndEscapeClose) {
    const std::pair<Qt::Key, int> keys[] = {{Qt::Key_Return, QDialog::Accepted},
                                            {Qt::Key_Escape, QDialog::Rejected}};
    for (const auto& [key, result] : keys) {
        auto dlg = open();
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QCoreApplication::sendEvent(dlg.get(), &press);
        EXPECT_FALSE(dlg->isVisible());
        EXPECT_EQ(dlg->result(), result);
    }
}

}  // namespace
