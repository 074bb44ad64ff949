// The recovery file gives back exactly what was kept, and anything less than a whole file is
// reported damaged rather than read as a shorter message.

#include "message/RecoveryFile.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "platform/AtomicFile.h"

namespace orvanta {
namespace {

Draft sampleDraft() {
    Draft d;
    d.owner = "operator";
    d.pid = 4242;
    d.time = 1796716104379;
    d.source = "/home/op/Message Data/odd\\name\nwith line.ovx";
    d.characterDisplayMode = true;
    d.message.title = RichText(u"Fire ", 0xFF0000, 0xC0C0C0);
    d.message.title.append(u"drill \u4E2D\U0001F600", 0xFFFF00, 0x000000);
    d.message.body = RichText(u"Line one\rLine two\t\u25BC\r", 0xFFFFFF, 0x808080);
    d.message.body.append(u"last", 0x00FFFF, 0xC0C0C0);
    for (int i = 0; i < MessageOptions::kCount; ++i) {
        d.message.options[i] = static_cast<std::uint8_t>(i * 13 + 1);
    }
    d.message.icon = 4;
    d.message.backgroundColor = 9;
    d.message.characterColor = 3;
    d.message.characterBackgroundColor = 0;
    return d;
}

TEST(RecoveryFile, EveryUnitColorAndOptionComesBack) {
    Draft empty;
    empty.owner = "x";
    for (const Draft& d : {sampleDraft(), empty}) {
        const Result<Draft, DraftProblem> back = parseDraft(composeDraft(d));
        ASSERT_TRUE(back.ok()) << back.error();
        EXPECT_EQ(back.value(), d);
    }
}

TEST(RecoveryFile, AnythingButAWholeFileIsDamaged) {
    const std::string whole = composeDraft(sampleDraft());
    // Every cut a crash or a full disk could leave.
    for (std::size_t length = 0; length < whole.size(); ++length) {
        const Result<Draft, DraftProblem> cut =
            parseDraft(std::string_view(whole).substr(0, length));
        ASSERT_FALSE(cut.ok()) << length;
        EXPECT_EQ(cut.reason(), DraftProblem::Damaged) << length;
    }
    const auto replaced = [&](const std::string& from, const std::string& to) {
        std::string changed = whole;
        changed.replace(changed.find(from), from.size(), to);
        return changed;
    };
    for (const std::string& bad :
         {replaced("orvanta-recovery 1", "orvanta-recovery 2"), replaced("icon 4", "icon 6"),
          replaced("pid 4242", "pid x"), replaced("colors 9 3 0", "colors 9 3 256"),
          replaced("title 14", "title 15"), replaced("end\n", "end\nx\n"),
          replaced("FF0000 C0C0C0 ", "FF0000 C0C0C0 00G0")}) {
        const Result<Draft, DraftProblem> read = parseDraft(bad);
        EXPECT_FALSE(read.ok()) << bad;
    }
}

TEST(RecoveryFile, WrittenReadRemovedAndSetAside) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("orvanta-recovery-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    const std::string path = recoveryPath(dir.string() + "/", "op/erator");
    EXPECT_EQ(path, dir.string() + "/recovery-op_erator.draft");

    EXPECT_EQ(readDraft(path).reason(), DraftProblem::Missing);
    ASSERT_TRUE(writeDraft(path, sampleDraft()).ok());
    EXPECT_EQ(std::filesystem::status(path).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    const Result<Draft, DraftProblem> read = readDraft(path);
    ASSERT_TRUE(read.ok());
    EXPECT_EQ(read.value(), sampleDraft());

    ASSERT_TRUE(removeDraft(path).ok());
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_TRUE(removeDraft(path).ok()) << "nothing to remove is fine";

    // A damaged file is moved aside under a new name, never deleted.
    ASSERT_TRUE(writeFileAtomically(path, "orvanta-recovery 1\nowner op\n").ok());
    EXPECT_EQ(readDraft(path).reason(), DraftProblem::Damaged);
    const Result<std::string> aside = setDraftAside(path, 77);
    ASSERT_TRUE(aside.ok());
    EXPECT_EQ(aside.value(), path + ".damaged-77");
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_TRUE(std::filesystem::exists(aside.value()));
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace orvanta
