// orvanta-cli discover against two simulated projectors. Multicast must never leave this
// machine, so the search only runs inside a private network namespace whose one interface is
// loopback: the outer test re-runs this program under
//   unshare --net --pid --fork --kill-child sh -c '<lo up with multicast>; exec <this program>
//       --gtest_filter=CliDiscoverInner.*'
// and the inner test skips unless ORVANTA_CLI_DISCOVERY_NAMESPACE is set, and refuses to run
// when any adaptor lies outside 127.0.0.0/8.

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "cli/CliTestSupport.h"
#include "projectors/Adaptors.h"
#include "support/SimProcess.h"

namespace orvanta {
namespace {

using namespace std::chrono_literals;
using testsupport::CliFolders;
using testsupport::CliOutcome;
using testsupport::SimProcess;

constexpr const char* kInsideVariable = "ORVANTA_CLI_DISCOVERY_NAMESPACE";
constexpr int kSetupFailed = 77;

bool insideNamespace() {
    return std::getenv(kInsideVariable) != nullptr;
}

// Runs argv[0] from PATH, stdout and stderr together; SIGKILL at the limit (-1).
CliOutcome runChild(const std::vector<std::string>& args, std::chrono::seconds limit) {
    CliOutcome run;
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
        run.out.append(chunk, static_cast<std::size_t>(n));
    }
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!killed && WIFEXITED(status)) {
        run.status = WEXITSTATUS(status);
    }
    return run;
}

std::string ownPath() {
    char path[4096];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? std::string(path, static_cast<std::size_t>(n)) : std::string();
}

}  // namespace

TEST(CliDiscoverNamespace, FindsTwoSimulatedProjectorsOnce) {
    if (insideNamespace()) {
        GTEST_SKIP() << "already inside the namespace";
    }
    const std::vector<std::string> unshare = {"unshare", "--net", "--pid", "--fork",
                                              "--kill-child"};
    std::vector<std::string> check = unshare;
    check.push_back("true");
    const CliOutcome permitted = runChild(check, 20s);
    if (permitted.status != 0) {
        GTEST_SKIP() << "no private network namespace available (unshare --net): " << permitted.out;
    }
    const std::string script =
        "ip link set lo up && ip link set lo multicast on && "
        "ip route add 224.0.0.0/4 dev lo || exit " +
        std::to_string(kSetupFailed) + "\nexport " + kInsideVariable +
        "=1\n"
        "exec \"$1\" --gtest_filter='CliDiscoverInner.*' --gtest_color=no\n";
    std::vector<std::string> args = unshare;
    for (const char* a : {"sh", "-c", script.c_str(), "cli-discovery-namespace"}) {
        args.push_back(a);
    }
    args.push_back(ownPath());
    const CliOutcome inner = runChild(args, 120s);
    if (inner.status == kSetupFailed) {
        GTEST_SKIP() << "could not set up loopback multicast in the namespace: " << inner.out;
    }
    EXPECT_EQ(inner.status, 0) << inner.out;
    EXPECT_NE(inner.out.find("[  PASSED  ] 1 test"), std::string::npos) << inner.out;
    EXPECT_EQ(inner.out.find("SKIPPED"), std::string::npos) << inner.out;
}

TEST(CliDiscoverInner, ListsEachAnsweringProjectorOnce) {
    if (!insideNamespace()) {
        GTEST_SKIP() << "runs only inside the private network namespace";
    }
    const std::vector<AdaptorEntry> adaptors = enumerateAdaptors();
    ASSERT_FALSE(adaptors.empty());
    for (const AdaptorEntry& a : adaptors) {
        ASSERT_EQ(a.address >> 24, 127u) << "adaptor " << a.description << " " << a.dotted
                                         << " is not loopback: refusing to send multicast here";
    }
    SimProcess hallA({"--address", "127.0.44.2", "--name", "Hall A", "--mac", "00:11:22:33:44:02",
                      "--discovery"});
    SimProcess hallB({"--address", "127.0.44.3", "--discovery"});
    // Answers the search, but nothing listens on its command port: not listed.
    SimProcess deaf({"--address", "127.0.44.4", "--port", "9800", "--discovery"});
    for (SimProcess* s : {&hallA, &hallB, &deaf}) {
        ASSERT_TRUE(s->ready()) << s->output();
        ASSERT_TRUE(s->waitForLine("discovery: answering")) << s->output();
    }

    CliFolders folders("discover");
    const CliOutcome o = folders.run({"discover"});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.err, "");
    std::vector<std::string> lines;
    std::istringstream in(o.out);
    for (std::string l; std::getline(in, l);) {
        lines.push_back(l);
    }
    std::sort(lines.begin(), lines.end());
    const std::vector<std::string> expected = {
        "Hall A  00-11-22-33-44-02  127.0.44.2",
        "SIM-127.0.44.3  02-00-7F-00-2C-03  127.0.44.3",
    };
    EXPECT_EQ(lines, expected) << o.out;
    // Each projector answered both searches of the run; the second answers were not listed.
    const std::vector<std::string> logged = hallA.lines();
    EXPECT_EQ(std::count_if(logged.begin(), logged.end(),
                            [](const std::string& l) {
                                return l.find("discovery: search for 127.0.0.1") !=
                                       std::string::npos;
                            }),
              2)
        << hallA.output();
    EXPECT_TRUE(deaf.waitForLine("127.0.44.4 answered")) << deaf.output();

    const CliOutcome named = folders.run({"discover", "--adaptor", "no-such-adaptor"});
    EXPECT_EQ(named.status, 1);
    EXPECT_EQ(named.out, "");
}

}  // namespace orvanta
