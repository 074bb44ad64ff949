// orvanta-cli alarm, run as its own process: exit statuses, the WAV it writes, Ctrl+C while
// playing, and no sound card at all.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/AtomicFile.h"
#include "platform/Environment.h"
#include "sound/AlarmRender.h"

extern char** environ;

namespace orvanta {
namespace {

using std::chrono::milliseconds;

struct Outcome {
    int status = -1;  // exit status; -1 when it did not end in time (it is killed then)
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

    // Starts the program; `extraEnv` entries are "NAME=value".
    pid_t start(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv) {
        std::vector<std::string> env;
        for (char** e = environ; *e != nullptr; ++e) {
            env.emplace_back(*e);
        }
        env.insert(env.end(), extraEnv.begin(), extraEnv.end());
        std::vector<char*> envp;
        for (std::string& e : env) {
            envp.push_back(e.data());
        }
        envp.push_back(nullptr);
        std::vector<std::string> all{program_};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& a : all) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, path("out.txt").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addopen(&actions, 2, path("err.txt").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        pid_t pid = -1;
        const int rc =
            posix_spawn(&pid, program_.c_str(), &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        return rc == 0 ? pid : -1;
    }

    Outcome finish(pid_t pid, milliseconds limit) {
        Outcome o;
        const auto deadline = std::chrono::steady_clock::now() + limit;
        int wstatus = 0;
        for (;;) {
            const pid_t done = ::waitpid(pid, &wstatus, WNOHANG);
            if (done == pid) {
                o.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
                break;
            }
            if (std::chrono::steady_clock::now() > deadline) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, &wstatus, 0);
                break;
            }
            std::this_thread::sleep_for(milliseconds(20));
        }
        readWholeFile(path("out.txt"), o.out);
        readWholeFile(path("err.txt"), o.err);
        return o;
    }

    Outcome run(const std::vector<std::string>& args, const std::vector<std::string>& env = {}) {
        const pid_t pid = start(args, env);
        EXPECT_GT(pid, 0) << "cannot start " << program_;
        return pid > 0 ? finish(pid, milliseconds(20000)) : Outcome{};
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
        std::string bytes;
        ASSERT_TRUE(readWholeFile(wav, bytes));
        EXPECT_EQ(bytes, wavFileBytes(renderAlarm(sound))) << sound;
    }
}

TEST(CliAlarm, CtrlCStopsPlayback) {
    Cli cli;
    // The disk driver at about real time stands in for a sound card.
    const pid_t pid = cli.start(
        {"alarm", "4"}, {"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + cli.path("stream.raw"),
                         "SDL_DISKAUDIODELAY=90"});
    ASSERT_GT(pid, 0);
    std::this_thread::sleep_for(milliseconds(700));
    ::kill(pid, SIGINT);
    const Outcome o = cli.finish(pid, milliseconds(8000));
    EXPECT_EQ(o.status, 0) << o.err;
}

TEST(CliAlarm, NoSoundCardFailsQuickly) {
    Cli cli;
    const Outcome o = cli.run({"alarm", "1"}, {"SDL_AUDIODRIVER=nonexistent"});
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find("no audio output"), std::string::npos) << o.err;
}

}  // namespace
}  // namespace orvanta
