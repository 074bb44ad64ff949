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

    // A missing output folder is made.
    const std::string made = out + "made/below";
    const auto o2 = folders.run({"render", "Drill", "--out", made});
    ASSERT_EQ(o2.status, 0) << o2.err;
    EXPECT_EQ(QImage(QString::fromStdString(made + "/Drill.png")).size(), QSize(740, 600));

    struct Refusal {
        std::vector<std::string> args;
        int status;
        std::string err;  // the start of what is printed; empty: not compared
    } refusals[] = {
        {{"render", "Drill.ovx", "--caps", "4"}, 2, ""},  // wide characters: no glyphs for them
        {{"render", "Drill.ovx", "--level", "1"}, 2, ""},
        {{"render", "Drill.ovx", "--sync", "yes"}, 2, ""},
        {{"render"}, 2, ""},
        {{"render", "Nothing.ovx", "--out", out}, 1, "Nothing.ovx: No message file"},
        {{"render", "Drill.ovx", "--out", out + "Drill.png"},
         1,
         out + "Drill.png: This is not a folder."},
    };
    for (const Refusal& r : refusals) {
        const auto refused = folders.run(r.args);
        EXPECT_EQ(refused.status, r.status) << r.args.back();
        EXPECT_EQ(refused.err.rfind(r.err, 0), 0u) << refused.err;
    }
}

// The character backgrounds follow the message background unless --sync off, as the Edit tab
// starts with its synchronization on: red-backed blanks draw blue, with --sync off red.
TEST(CliRender, SynchronizesTheBackgroundsAsTheEditTabStartsUnlessToldOtherwise) {
    CliFolders folders("render-sync");
    Message m;
    m.body = RichText(u"    x", 0x0000FF, 0xFF0000);
    m.options.style = static_cast<std::uint8_t>(MessageStyle::Box);
    ASSERT_TRUE(testsupport::writeMessageFile(folders.messageData("Sync.ovx"), m));
    const std::string out = folders.path("");
    struct Case {
        std::vector<std::string> sync;
        QRgb paper;
    } cases[] = {
        {{}, qRgb(0, 0, 255)},
        {{"--sync", "on"}, qRgb(0, 0, 255)},
        {{"--sync=off"}, qRgb(255, 0, 0)},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"render", "Sync.ovx", "--out", out};
        args.insert(args.end(), c.sync.begin(), c.sync.end());
        const auto o = folders.run(args);
        ASSERT_EQ(o.status, 0) << o.err;
        const QImage bitmap(QString::fromStdString(out + "message.bmp"));
        ASSERT_FALSE(bitmap.isNull());
        EXPECT_EQ(bitmap.pixel(3, 5), c.paper) << (c.sync.empty() ? "default" : c.sync.back());
    }
}

}  // namespace
}  // namespace orvanta

#endif  // ORVANTA_CLI_RENDER
