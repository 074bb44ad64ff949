// The registry promises that changes made at the same time by the desktop program and any
// number of command-line runs all arrive. That rests on FileLock excluding other processes
// (not only other threads) and on the kernel letting go of a dead holder's lock; both are
// checked here with a second process.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "platform/AtomicFile.h"
#include "platform/FileLock.h"

namespace orvanta {
namespace {

using std::chrono::milliseconds;
constexpr milliseconds kPatience{20000};

// A pipe that one process writes a byte into when something has happened and the other
// blocks on until it has.
class Signal {
  public:
    Signal() { EXPECT_EQ(::pipe(fds_), 0); }
    ~Signal() {
        ::close(fds_[0]);
        ::close(fds_[1]);
    }
    void raise() { EXPECT_EQ(::write(fds_[1], "x", 1), 1); }
    bool await() {
        char c = 0;
        return ::read(fds_[0], &c, 1) == 1;
    }

  private:
    int fds_[2] = {-1, -1};
};

class FileLockTest : public testing::Test {
  protected:
    void SetUp() override {
        dir_ =
            std::filesystem::temp_directory_path() / ("orvanta-lock-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir_);
        path_ = (dir_ / "shared.txt").string();
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    // Runs `body` in a child process; its exit status is 0 when `body` returned true.
    template <typename Body>
    pid_t spawn(Body body) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::_exit(body() ? 0 : 1);
        }
        return pid;
    }
    static int exitStatus(pid_t pid) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // One unprotected read-modify-write of a counter, done under the lock.
    bool increment() {
        const auto lock = FileLock::acquire(path_, kPatience);
        if (!lock) {
            return false;
        }
        const int count = std::stoi(readWholeFile(path_).valueOr("0"));
        return writeFileAtomically(path_, std::to_string(count + 1)).ok();
    }

    std::filesystem::path dir_;
    std::string path_;
};

TEST_F(FileLockTest, ChangesOfTwoProcessesAtTheSameTimeAllArrive) {
    constexpr int kEach = 50;
    ASSERT_TRUE(writeFileAtomically(path_, "0").ok());
    Signal go;
    const pid_t child = spawn([&] {
        go.await();
        for (int i = 0; i < kEach; ++i) {
            if (!increment()) {
                return false;
            }
        }
        return true;
    });
    ASSERT_GT(child, 0);
    go.raise();
    for (int i = 0; i < kEach; ++i) {
        ASSERT_TRUE(increment());
    }
    EXPECT_EQ(exitStatus(child), 0);
    EXPECT_EQ(readWholeFile(path_).valueOr(""), std::to_string(2 * kEach));
}

TEST_F(FileLockTest, AnotherProcessWaitsWhileItIsHeldAndGetsItWhenTheHolderDies) {
    Signal locked;
    Signal never;
    const pid_t holder = spawn([&] {
        const auto lock = FileLock::acquire(path_, kPatience);
        locked.raise();
        never.await();  // holds the lock until it is killed
        return lock.ok();
    });
    ASSERT_GT(holder, 0);
    ASSERT_TRUE(locked.await());

    const auto busy = FileLock::acquire(path_, milliseconds(0));
    ASSERT_FALSE(busy.ok());
    EXPECT_EQ(busy.reason(), LockProblem::Busy);

    // A killed holder leaves nothing locked.
    ::kill(holder, SIGKILL);
    EXPECT_EQ(exitStatus(holder), -1);
    EXPECT_TRUE(FileLock::acquire(path_, milliseconds(0)).ok());
}

TEST_F(FileLockTest, ALockFileThatCannotBeOpenedIsNoBusyLock) {
    const auto lock = FileLock::acquire((dir_ / "missing" / "shared.txt").string(), kPatience);
    ASSERT_FALSE(lock.ok());
    EXPECT_EQ(lock.reason(), LockProblem::Unopenable);
    EXPECT_FALSE(lock.error().empty());
}

}  // namespace
}  // namespace orvanta
