#pragma once
// Running orvanta-cli as a child process, and the folders and files its tests need.
//
//   CliProcess cli({"status", "--projector", "127.0.40.2"}, {{"LC_ALL", "C"}});
//   const CliOutcome o = cli.wait();   // exit status, stdout and stderr apart
//
// The program is $ORVANTA_BIN_DIR/orvanta-cli. The environment of the test is passed on with
// the given variables replaced; a run still going after its limit is killed and reads as -1.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "message/MessageFile.h"
#include "message/Payload.h"
#include "platform/AtomicFile.h"
#include "support/ScriptedPrompt.h"

extern char** environ;

namespace orvanta::testsupport {

struct CliOutcome {
    int status = -1;  // exit status; -1 when killed or not started
    std::string out;
    std::string err;
};

class CliProcess {
  public:
    // `program`: another copy of orvanta-cli than the built one.
    CliProcess(const std::vector<std::string>& args, const std::map<std::string, std::string>& env,
               const std::string& program = programPath()) {
        start(program, args, env);
    }
    ~CliProcess() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        closePipes();
    }
    CliProcess(const CliProcess&) = delete;
    CliProcess& operator=(const CliProcess&) = delete;

    // $ORVANTA_BIN_DIR, else the folder of the running program (all programs land in one).
    static std::string programPath() {
        const char* dir = std::getenv("ORVANTA_BIN_DIR");
        if (dir != nullptr && *dir != '\0') {
            return std::string(dir) + "/orvanta-cli";
        }
        char self[4096];
        const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
        const std::string path = n > 0 ? std::string(self, static_cast<std::size_t>(n)) : "./x";
        return path.substr(0, path.rfind('/')) + "/orvanta-cli";
    }

    pid_t pid() const { return pid_; }

    // Collects the output until the program ends (or `limit` has passed: then it is killed).
    CliOutcome wait(std::chrono::seconds limit = std::chrono::seconds(60)) {
        CliOutcome o;
        const auto end = std::chrono::steady_clock::now() + limit;
        bool killed = false;
        while (outFd_ >= 0 || errFd_ >= 0) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                ::kill(pid_, SIGKILL);
                killed = true;
                break;
            }
            pollfd p[2] = {{outFd_, POLLIN, 0}, {errFd_, POLLIN, 0}};
            if (::poll(p, 2, static_cast<int>(left.count())) <= 0) {
                continue;
            }
            drain(p[0], outFd_, o.out);
            drain(p[1], errFd_, o.err);
        }
        closePipes();
        int status = 0;
        if (pid_ > 0) {
            ::waitpid(pid_, &status, 0);
            pid_ = -1;
            if (!killed && WIFEXITED(status)) {
                o.status = WEXITSTATUS(status);
            }
        }
        return o;
    }

  private:
    static void drain(const pollfd& p, int& fd, std::string& into) {
        if (fd < 0 || (p.revents & (POLLIN | POLLHUP | POLLERR)) == 0) {
            return;
        }
        char chunk[4096];
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n > 0) {
            into.append(chunk, static_cast<std::size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            ::close(fd);
            fd = -1;
        }
    }

    void closePipes() {
        for (int* fd : {&outFd_, &errFd_}) {
            if (*fd >= 0) {
                ::close(*fd);
                *fd = -1;
            }
        }
    }

    void start(const std::string& program, const std::vector<std::string>& args,
               const std::map<std::string, std::string>& env) {
        // Everything the child needs is built before fork: it may only exec afterwards.
        std::vector<std::string> argStore = {program};
        argStore.insert(argStore.end(), args.begin(), args.end());
        std::vector<std::string> envStore;
        for (char** e = environ; *e != nullptr; ++e) {
            const std::string entry = *e;
            if (env.count(entry.substr(0, entry.find('='))) == 0) {
                envStore.push_back(entry);
            }
        }
        for (const auto& [name, value] : env) {
            envStore.push_back(name + "=" + value);
        }
        std::vector<char*> argv;
        for (std::string& a : argStore) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        std::vector<char*> envp;
        for (std::string& e : envStore) {
            envp.push_back(e.data());
        }
        envp.push_back(nullptr);

        int out[2];
        int err[2];
        if (::pipe2(out, O_CLOEXEC) != 0) {
            return;
        }
        if (::pipe2(err, O_CLOEXEC) != 0) {
            ::close(out[0]);
            ::close(out[1]);
            return;
        }
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(out[1], 1);
            ::dup2(err[1], 2);
            ::execve(program.c_str(), argv.data(), envp.data());
            ::_exit(127);
        }
        ::close(out[1]);
        ::close(err[1]);
        outFd_ = out[0];
        errFd_ = err[0];
        if (pid_ < 0) {
            closePipes();
        }
    }

    pid_t pid_ = -1;
    int outFd_ = -1;
    int errFd_ = -1;
};

// The command line of a run and everything it printed, for a failed expectation.
inline std::string describe(const std::vector<std::string>& args, const CliOutcome& o) {
    std::string line = "orvanta-cli";
    for (const std::string& a : args) {
        line += " " + a;
    }
    return line + "\n-- status " + std::to_string(o.status) + "\n-- stdout:\n" + o.out +
           "-- stderr:\n" + o.err;
}

// A program folder of its own (with MessageData/) and a settings folder, removed afterwards.
class CliFolders {
  public:
    explicit CliFolders(const std::string& tag) {
        root_ = std::filesystem::temp_directory_path() /
                ("orvanta-cli-" + tag + "-" + std::to_string(::getpid()));
        std::filesystem::remove_all(root_);
        std::filesystem::create_directories(root_ / "program" / "MessageData");
        std::filesystem::create_directories(root_ / "config");
    }
    ~CliFolders() {
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }
    CliFolders(const CliFolders&) = delete;
    CliFolders& operator=(const CliFolders&) = delete;

    // With a trailing '/', as the program folder is passed around.
    std::string program() const { return (root_ / "program").string() + "/"; }
    std::string messageData(const std::string& name) const {
        return (root_ / "program" / "MessageData" / name).string();
    }
    std::string path(const std::string& name) const { return (root_ / name).string(); }
    std::string config() const { return (root_ / "config").string(); }
    std::string settingsFile() const { return config() + "/TAVRIX/PJOrvanta.conf"; }

    bool writeSettings(const std::string& content) const {
        std::filesystem::create_directories(config() + "/TAVRIX");
        return writeFileAtomically(settingsFile(), content).ok();
    }

    // English texts, the settings of this folder, nothing from the developer's own setup.
    std::map<std::string, std::string> environment() const {
        return {{"LC_ALL", "C"},
                {"LANG", "C"},
                {"XDG_CONFIG_HOME", config()},
                {"ORVANTA_PROGRAM_FOLDER", program()}};
    }

    CliOutcome run(const std::vector<std::string>& args,
                   std::chrono::seconds limit = std::chrono::seconds(60)) const {
        CliProcess p(args, environment());
        return p.wait(limit);
    }

  private:
    std::filesystem::path root_;
};

// Writes `message` as the editor's Save would (options from the message, save encoding).
inline bool writeMessageFile(const std::string& path, Message message,
                             ProjectorCapabilities capabilities = {1, 0}) {
    ScriptedPrompt prompt(PromptAnswer::Ok);
    EncodeSettings save;
    save.purpose = EncodePurpose::Save;
    save.capabilities = capabilities;
    const EncodeResult encoded = encodeMessage(message, save, prompt);
    if (!encoded || !encoded.value().payload) {
        return false;
    }
    return writeFileAtomically(path, composeMessageFile(message, encoded.value().payload->header,
                                                        capabilities.extendedOptions()))
        .ok();
}

}  // namespace orvanta::testsupport
