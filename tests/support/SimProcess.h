#pragma once
// Runs the projector simulator as a child process for the length of a test.
//
//   SimProcess sim({"--address", "127.0.10.2", "--password", "pw"});
//   ASSERT_TRUE(sim.ready()) << sim.output();
//   ...
//   EXPECT_TRUE(sim.waitForLine("CTRL 6020 | digest ok"));
//
// The program is taken from $ORVANTA_BIN_DIR or from beside the test program.  The constructor
// waits until the simulator prints "listening on"; the destructor stops it with SIGTERM (SIGKILL if
// it lingers) and reaps it.  Everything it writes to stdout and stderr is collected line by line.

#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace orvanta::testsupport {

// IPv4 address text to the host-order number the exchange takes.
inline std::uint32_t ipv4(const char* text) {
    in_addr a{};
    inet_pton(AF_INET, text, &a);
    return ntohl(a.s_addr);
}

class SimProcess {
  public:
    // `program`: another of the built programs that prints "listening on" once it serves
    // (orvanta-service).
    explicit SimProcess(std::vector<std::string> args,
                        std::chrono::milliseconds readyLimit = std::chrono::seconds(10),
                        const std::string& program = "orvanta-projector-sim") {
        start(std::move(args), programPath(program));
        ready_ = waitForLine("listening on", readyLimit);
    }

    ~SimProcess() { stop(); }

    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // $ORVANTA_BIN_DIR, else the folder of the running test program (all programs of a
    // build land in one folder).
    static std::string programPath(const std::string& program = "orvanta-projector-sim") {
        const char* dir = std::getenv("ORVANTA_BIN_DIR");
        if (dir != nullptr && *dir != '\0') {
            return std::string(dir) + "/" + program;
        }
        char self[4096];
        const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
        std::string folder = n > 0 ? std::string(self, static_cast<std::size_t>(n)) : "./x";
        return folder.substr(0, folder.rfind('/')) + "/" + program;
    }

    // True once the simulator listens on all its addresses.
    bool ready() const { return ready_; }
    pid_t pid() const { return pid_; }

    // Waits until a line containing `text` has been printed (at index `from` or later).
    bool waitForLine(std::string_view text,
                     std::chrono::milliseconds limit = std::chrono::seconds(5),
                     std::size_t from = 0) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, limit, [&] {
            for (std::size_t i = from; i < lines_.size(); ++i) {
                if (lines_[i].find(text) != std::string::npos) {
                    return true;
                }
            }
            return ended_;
        }) && contains(text, from);
    }

    // Every line the simulator has written so far (see settledLineCount).
    std::vector<std::string> lines() const {
        std::unique_lock lock(mutex_);
        settle(lock);
        return lines_;
    }

    std::size_t lineCount() const {
        std::lock_guard lock(mutex_);
        return lines_.size();
    }

    // The number of lines once everything the simulator has written so far has been read: a
    // line it wrote before answering a request that has ended is counted, however late this
    // process's reader gets to it. A count taken to look for lines that must not come next
    // needs this, not lineCount().
    std::size_t settledLineCount() const {
        std::unique_lock lock(mutex_);
        settle(lock);
        return lines_.size();
    }

    // All output so far, for failure messages.
    std::string output() const {
        std::lock_guard lock(mutex_);
        std::string all;
        for (const std::string& l : lines_) {
            all += l + "\n";
        }
        return all + partial_;
    }

    // Stops the simulator (SIGTERM, then SIGKILL after two seconds) and returns its exit
    // status as waitpid reports it, or -1 when it was not running.
    int stop() {
        int status = -1;
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
            pid_t r = 0;
            while ((r = ::waitpid(pid_, &status, WNOHANG)) == 0 &&
                   std::chrono::steady_clock::now() < end) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            if (r == 0) {
                ::kill(pid_, SIGKILL);
                ::waitpid(pid_, &status, 0);
            }
            pid_ = -1;
        }
        if (reader_.joinable()) {
            reader_.join();
        }
        if (readFd_ >= 0) {
            ::close(readFd_);
            readFd_ = -1;
        }
        return status;
    }

  private:
    // Returns once the pipe is empty and no read is between it and lines_.
    void settle(std::unique_lock<std::mutex>& lock) const {
        for (;;) {
            int pending = 0;
            if (ended_ || readFd_ < 0 || ::ioctl(readFd_, FIONREAD, &pending) != 0 ||
                (pending == 0 && !reading_)) {
                return;
            }
            changed_.wait_for(lock, std::chrono::milliseconds(5));
        }
    }

    bool contains(std::string_view text, std::size_t from) const {
        for (std::size_t i = from; i < lines_.size(); ++i) {
            if (lines_[i].find(text) != std::string::npos) {
                return true;
            }
        }
        return false;
    }

    void start(std::vector<std::string> args, const std::string& program) {
        args.insert(args.begin(), program);
        std::vector<char*> argv;
        for (std::string& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) {
            ended_ = true;
            return;
        }
        pid_ = ::fork();
        if (pid_ == 0) {
            // Only async-signal-safe calls between fork and exec.
            ::dup2(fds[1], 1);
            ::dup2(fds[1], 2);
            ::execv(program.c_str(), argv.data());
            ::_exit(127);
        }
        ::close(fds[1]);
        if (pid_ < 0) {
            ::close(fds[0]);
            ended_ = true;
            return;
        }
        readFd_ = fds[0];
        reader_ = std::thread([this] { readOutput(); });
    }

    void readOutput() {
        char chunk[4096];
        for (;;) {
            // Waits for output first and marks the read under the lock, so that while bytes
            // are between the pipe and lines_ the pipe still holds them or reading_ is set.
            pollfd ready{readFd_, POLLIN, 0};
            if (::poll(&ready, 1, -1) < 0 && errno == EINTR) {
                continue;
            }
            {
                std::lock_guard lock(mutex_);
                reading_ = true;
            }
            const ssize_t n = ::read(readFd_, chunk, sizeof chunk);
            std::lock_guard lock(mutex_);
            reading_ = false;
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                ended_ = true;
                changed_.notify_all();
                return;
            }
            partial_.append(chunk, static_cast<std::size_t>(n));
            std::size_t end;
            while ((end = partial_.find('\n')) != std::string::npos) {
                lines_.push_back(partial_.substr(0, end));
                partial_.erase(0, end + 1);
            }
            changed_.notify_all();
        }
    }

    pid_t pid_ = -1;
    int readFd_ = -1;
    bool ready_ = false;
    std::thread reader_;
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<std::string> lines_;
    std::string partial_;
    bool ended_ = false;
    bool reading_ = false;  // bytes taken from the pipe are not yet in lines_
};

}  // namespace orvanta::testsupport
