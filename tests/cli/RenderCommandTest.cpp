// orvanta-cli render, run as its own process: the files it writes and its refusals.

#ifdef ORVANTA_CLI_RENDER

#include <gtest/gtest.h>

#include <QImage>
#include <filesystem>

#include "cli/CliTestSupport.h"

namespace orvanta {
namespace {

using testsupport::CliFolders;

TEST(CliRender, WritesBothBitmapsAndThePictureOfTheScreen) {
    CliFolders folders("render");
    Message m;
    m.title = RichText(u"Drill", 0xFFFFFF, 0xC0C0C0);
    m.body = RichText(u"Please leave the building.", 0xFFFF00, 0xC0C0C0);
    m.options.style = static_cast<std::uint8_t>(MessageStyle::PopOn);
    ASSERT_TRUE(testsupport::writeMessageFile(folders.messageData("Drill.ovx"), m));
    const std::string out = folders.path("");

    const auto o = folders.run({"render", "Drill.ovx", "--out", out});
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(QImage(QString::fromStdString(out + "title.bmp")).size(), QSize(640, 24));
    EXPECT_EQ(QImage(QString::fromStdString(out + "message.bmp")).size(), QSize(640, 24 * 12));
    EXPECT_EQ(QImage(QString::fromStdString(out + "Drill.png")).size(), QSize(740, 600));

    struct Refusal {
        std::vector<std::string> args;
        int status;
    } refusals[] = {
        {{"render", "Drill.ovx", "--caps", "4"}, 2},  // wide characters: no glyphs for them
        {{"render", "Drill.ovx", "--level", "1"}, 2},
        {{"render", "Drill.ovx", "--out", out + "missing"}, 2},
        {{"render"}, 2},
        {{"render", "Nothing.ovx", "--out", out}, 1},
    };
    for (const Refusal& r : refusals) {
        EXPECT_EQ(folders.run(r.args).status, r.status) << r.args.back();
    }
}

}  // namespace
}  // namespace orvanta

#endif  // ORVANTA_CLI_RENDER
