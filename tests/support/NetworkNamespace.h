#pragma once
// Multicast must never leave this machine, so tests that send it run inside a private network
// namespace whose one interface is loopback. An outer test re-runs its own test program there:
//
//   unshare --net --pid --fork --kill-child sh -c '<lo up, multicast on, 224.0.0.0/4 to lo>;
//       export <variable>=1; exec <this program> --gtest_filter=<inner tests>'
//
// A user who is not root gets the same through a user namespace of its own
// (unshare --user --map-root-user --net ...) where the system allows that.
//
// and the inner tests skip unless that variable is set. The PID namespace makes the inner
// program its init process: when it dies, however it dies, the simulators it started die too.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

namespace orvanta::testsupport {

struct ChildRun {
    int exitCode = -1;   // -1: killed at the limit, or could not start
    std::string output;  // stdout and stderr together
};

// Runs argv[0] from PATH; SIGKILL to its pid at the limit.
inline ChildRun runChild(const std::vector<std::string>& args, std::chrono::seconds limit) {
    ChildRun run;
    std::vector<char*> argv;
    for (const std::string& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        return run;
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(fds[1], 1);
        ::dup2(fds[1], 2);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(fds[1]);
    if (pid < 0) {
        ::close(fds[0]);
        return run;
    }
    const auto end = std::chrono::steady_clock::now() + limit;
    bool killed = false;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            ::kill(pid, SIGKILL);
            killed = true;
            run.output += "\n[killed after " + std::to_string(limit.count()) + " s]\n";
            break;
        }
        pollfd p{fds[0], POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) {
            continue;
        }
        char chunk[4096];
        const ssize_t n = ::read(fds[0], chunk, sizeof chunk);
        if (n <= 0) {
            break;
        }
        run.output.append(chunk, static_cast<std::size_t>(n));
    }
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!killed && WIFEXITED(status)) {
        run.exitCode = WEXITSTATUS(status);
    }
    return run;
}

inline bool insideNamespace(const char* variable) {
    return std::getenv(variable) != nullptr;
}

// What re-running the inner tests in a namespace gave: either a reason to skip (no namespaces
// here, or loopback multicast could not be set up) or the inner run's exit code and output.
struct NamespaceRun {
    std::string skipReason;
    ChildRun inner;
};

// `extraRoutes`: further networks to route to lo (for a silent address), e.g. "192.0.2.0/24".
inline NamespaceRun runInNetworkNamespace(const char* variable, const std::string& gtestFilter,
                                          const std::vector<std::string>& extraRoutes = {}) {
    using namespace std::chrono_literals;
    constexpr int kSetupFailed = 77;
    NamespaceRun result;
    // Root may make the namespaces directly; any other user makes a user namespace first, in
    // which it is root, where the system allows unprivileged user namespaces.
    const std::vector<std::vector<std::string>> candidates = {
        {"unshare", "--net", "--pid", "--fork", "--kill-child"},
        {"unshare", "--user", "--map-root-user", "--net", "--pid", "--fork", "--kill-child"},
    };
    std::vector<std::string> unshare;
    std::string refusals;
    for (const auto& candidate : candidates) {
        std::vector<std::string> check = candidate;
        check.push_back("true");
        const ChildRun permitted = runChild(check, 20s);
        if (permitted.exitCode == 0) {
            unshare = candidate;
            break;
        }
        refusals += permitted.output;
    }
    if (unshare.empty()) {
        result.skipReason =
            "no private network namespace available (unshare --net, "
            "unshare --user --map-root-user --net): " +
            refusals;
        return result;
    }
    std::string setup =
        "ip link set lo up && ip link set lo multicast on && "
        "ip route add 224.0.0.0/4 dev lo";
    for (const std::string& net : extraRoutes) {
        setup += " && ip route add " + net + " dev lo";
    }
    // The tests run as a child of the shell, not in its place: the first process of a process
    // namespace ignores signals it has no handler for, so the leak checker could not stop its
    // threads to look at them and would report what they hold as leaked.
    const std::string script = setup + " || exit " + std::to_string(kSetupFailed) + "\nexport " +
                               variable + "=1\n\"$1\" --gtest_filter='" + gtestFilter +
                               "' --gtest_color=no\nexit $?\n";
    char self[4096];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    std::vector<std::string> args = unshare;
    for (const char* a : {"sh", "-c", script.c_str(), "network-namespace"}) {
        args.push_back(a);
    }
    args.push_back(n > 0 ? std::string(self, static_cast<std::size_t>(n)) : std::string());
    result.inner = runChild(args, 120s);
    if (result.inner.exitCode == kSetupFailed) {
        result.skipReason =
            "could not set up loopback multicast in the namespace: " + result.inner.output;
    }
    return result;
}

}  // namespace orvanta::testsupport
