// orvanta-cli alarm, run as its own process: exit statuses, the WAV it writes, Ctrl+C while
// playing, and no sound card at all.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/AtomicFile.h"
#include "platform/Environment.h"
#include "sound/AlarmRender.h"

namespace orvanta {
namespace {

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

class Cli {
  public:
    Cli() {
        // All programs land in one folder; the test's own is the fallback.
        const char* bin = std::getenv("ORVANTA_BIN_DIR");
        program_ = (bin != nullptr && *bin != '\0' ? std::string(bin) + "/" : executableFolder()) +
                   "orvanta-cli";
        dir_ =
            std::filesystem::temp_directory_path() / ("orvanta-cli-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir_);
    }
    ~Cli() { std::filesystem::remove_all(dir_); }

    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    // `prefix` goes before the program on the shell line (environment, `timeout`); every run is
    // stopped after 20 s at the latest.
    Outcome run(const std::vector<std::string>& args, const std::string& prefix = {}) {
        std::string line = prefix + " timeout -k 10 20 '" + program_ + "'";
        for (const std::string& a : args) {
            line += " '" + a + "'";
        }
        line += " >'" + path("out.txt") + "' 2>'" + path("err.txt") + "'";
        Outcome o;
        const int raw = std::system(line.c_str());
        o.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        o.out = readWholeFile(path("out.txt")).valueOr({});
        o.err = readWholeFile(path("err.txt")).valueOr({});
        return o;
    }

  private:
    std::string program_;
    std::filesystem::path dir_;
};

struct UsageCase {
    std::vector<std::string> args;
    int status;
};

TEST(CliAlarm, ExitStatusesAndWhereTheTextGoes) {
    Cli cli;
    const UsageCase cases[] = {
        {{"--help"}, 0},
        {{"alarm", "--help"}, 0},
        {{"--program-folder", "/tmp", "alarm", "--help"}, 0},
        {{}, 2},
        {{"nonsense"}, 2},
        {{"alarm"}, 2},
        {{"alarm", "x"}, 2},
        {{"alarm", "1x"}, 2},
        {{"alarm", "1", "2"}, 2},
        {{"alarm", "1", "--wav"}, 2},
        {{"alarm", "1", "--wav="}, 2},
        {{"alarm", "1", "--loud"}, 2},
        {{"alarm", "99999999999", "--wav", "x.wav"}, 2},
        {{"alarm", "1", "--wav", "/nonexistent-folder/x.wav"}, 1},
    };
    for (const UsageCase& c : cases) {
        std::string shown;
        for (const std::string& a : c.args) {
            shown += a + " ";
        }
        const Outcome o = cli.run(c.args);
        EXPECT_EQ(o.status, c.status) << shown;
        if (c.status == 0) {
            EXPECT_NE(o.out.find("usage:"), std::string::npos) << shown;
            EXPECT_EQ(o.err, "") << shown;
        } else {
            EXPECT_NE(o.err, "") << shown;
            EXPECT_EQ(o.err.find("usage:") != std::string::npos, c.status == 2) << shown;
        }
    }
}

TEST(CliAlarm, WavIsTheOfflineRendering) {
    Cli cli;
    for (const int sound : {2, -3}) {
        const std::string wav = cli.path("sound.wav");
        const Outcome o = cli.run({"alarm", std::to_string(sound), "--wav", wav});
        ASSERT_EQ(o.status, 0) << o.err;
        const auto bytesRead = readWholeFile(wav);
        ASSERT_TRUE(bytesRead.ok());
        const std::string bytes = bytesRead.valueOr({});
        EXPECT_EQ(bytes, wavFileBytes(renderAlarm(sound))) << sound;
    }
}

TEST(CliAlarm, CtrlCStopsPlayback) {
    Cli cli;
    // The disk driver at about real time stands in for a sound card; Ctrl+C comes after 0.7 s
    // of the five-second tune, and the program must then end by itself, successfully.
    const Outcome o = cli.run(
        {"alarm", "4"}, "SDL_AUDIODRIVER=disk SDL_DISKAUDIODELAY=90 SDL_DISKAUDIOFILE='" +
                            cli.path("stream.raw") + "' timeout --preserve-status -s INT 0.7");
    EXPECT_EQ(o.status, 0) << o.err;
}

TEST(CliAlarm, NoSoundCardFailsQuickly) {
    Cli cli;
    const Outcome o = cli.run({"alarm", "1"}, "SDL_AUDIODRIVER=nonexistent");
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find("no audio output"), std::string::npos) << o.err;
}

}  // namespace
}  // namespace orvanta
