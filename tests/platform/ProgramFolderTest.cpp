// Where the programs keep their files: build folder, installed program, per-user folder.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/Environment.h"

namespace orvanta {
namespace {

namespace fs = std::filesystem;

fs::path freshFolder(const std::string& name) {
    const fs::path dir =
        fs::temp_directory_path() / ("orvanta-folder-" + std::to_string(::getpid())) / name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

void writeFile(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << text;
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(ProgramFolder, ChoiceFollowsOptionEnvironmentBuildFolderAndUserDataFolder) {
    struct Case {
        const char* what;
        ProgramFolderSources sources;
        const char* path;
        bool perUser;
    };
    const std::string data = "/usr/share/orvanta/";
    const Case cases[] = {
        {"option wins",
         {"/opt/pj", "/env", "/usr/bin/", data, false, "/x", "/home/u"},
         "/opt/pj/",
         false},
        {"environment next",
         {"", "/env/", "/usr/bin/", data, false, "/x", "/home/u"},
         "/env/",
         false},
        {"writable build folder",
         {"", "", "/src/build/bin/", "", true, "/x", "/home/u"},
         "/src/build/bin/",
         false},
        {"installed, even writable (root)",
         {"", "", "/usr/bin/", data, true, "", "/root"},
         "/root/.local/share/orvanta/",
         true},
        {"unwritable folder without data",
         {"", "", "/opt/o/", "", false, "", "/home/u/"},
         "/home/u/.local/share/orvanta/",
         true},
        {"XDG_DATA_HOME",
         {"", "", "/usr/bin/", data, false, "/data", "/home/u"},
         "/data/orvanta/",
         true},
        {"relative XDG_DATA_HOME ignored",
         {"", "", "/usr/bin/", data, false, "rel", "/home/u"},
         "/home/u/.local/share/orvanta/",
         true},
    };
    for (const Case& c : cases) {
        const ProgramFolder folder = chooseProgramFolder(c.sources);
        EXPECT_EQ(folder.path, c.path) << c.what;
        EXPECT_EQ(folder.perUser, c.perUser) << c.what;
        EXPECT_EQ(folder.problem, "") << c.what;
    }
    // Without any home the program still runs, and says why its files go elsewhere.
    const ProgramFolder homeless = chooseProgramFolder({"", "", "/usr/bin/", data, false, "", ""});
    EXPECT_EQ(homeless.path, "/usr/bin/");
    EXPECT_FALSE(homeless.problem.empty());
}

TEST(ProgramFolder, UserFolderIsCreatedPrivateWithTheExamplesOnceAndNeverOverwritten) {
    const fs::path shared = freshFolder("share");
    writeFile(shared / "MessageData" / "Welcome.ovx", "example");
    const fs::path user = freshFolder("home") / "data" / "orvanta";

    ASSERT_TRUE(prepareUserFolder(user.string() + "/", shared.string() + "/").ok());
    EXPECT_EQ(readFile(user / "MessageData" / "Welcome.ovx"), "example");
    EXPECT_EQ(fs::status(user).permissions() & fs::perms::all, fs::perms::owner_all);

    // The user's own files and edits survive later starts and newer examples.
    writeFile(user / "LastPj.txt", "[RESIST NUM]\nNUM=0\n");
    fs::remove(user / "MessageData" / "Welcome.ovx");
    writeFile(shared / "MessageData" / "New.ovx", "newer example");
    ASSERT_TRUE(prepareUserFolder(user.string() + "/", shared.string() + "/").ok());
    EXPECT_EQ(readFile(user / "LastPj.txt"), "[RESIST NUM]\nNUM=0\n");
    EXPECT_FALSE(fs::exists(user / "MessageData" / "Welcome.ovx"));
    EXPECT_FALSE(fs::exists(user / "MessageData" / "New.ovx"));
    for (const auto& entry : fs::directory_iterator(user)) {
        EXPECT_FALSE(entry.path().filename().string().starts_with(".MessageData"));
    }

    // A folder that cannot be made is reported, not ignored.
    const fs::path file = freshFolder("blocked") / "file";
    writeFile(file, "");
    const std::string blocked = (file / "orvanta").string() + "/";
    EXPECT_FALSE(prepareUserFolder(blocked, shared.string() + "/").ok());
}

TEST(ProgramFolder, GlyphAndIconFoldersComeFromTheProgramFolderFirstThenTheInstalledData) {
    const fs::path shared = freshFolder("share-res");
    fs::create_directories(shared / "mfont");
    fs::create_directories(shared / "micon");
    const fs::path own = freshFolder("own");
    fs::create_directories(own / "mfont");
    const std::string ownText = own.string() + "/";
    const std::string sharedText = shared.string() + "/";

    const fs::path beside = freshFolder("beside-program");
    fs::create_directories(beside / "other");
    const std::string besideText = beside.string() + "/";

    EXPECT_EQ(resourceFolder(ownText, "mfont", {sharedText}), ownText + "mfont/");
    EXPECT_EQ(resourceFolder(ownText, "micon", {sharedText}), sharedText + "micon/");
    // A build tree has no installed data: the glyphs beside the program file serve a program
    // folder chosen by hand.
    EXPECT_EQ(resourceFolder(ownText, "micon", {"", besideText, sharedText}),
              sharedText + "micon/");
    EXPECT_EQ(resourceFolder(ownText, "other", {"", besideText}), besideText + "other/");
    // Found nowhere: the program folder's name, so that a message says where it is missing.
    EXPECT_EQ(resourceFolder(ownText, "micon", {""}), ownText + "micon/");
}

}  // namespace
}  // namespace orvanta
