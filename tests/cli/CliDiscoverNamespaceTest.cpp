// orvanta-cli discover against two simulated projectors, inside a private network namespace
// (see support/NetworkNamespace.h). The inner test also refuses to run when any adaptor lies
// outside 127.0.0.0/8.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "cli/CliTestSupport.h"
#include "projectors/Adaptors.h"
#include "support/NetworkNamespace.h"
#include "support/SimProcess.h"

namespace orvanta {
namespace {

using namespace std::chrono_literals;
using testsupport::CliFolders;
using testsupport::CliOutcome;
using testsupport::SimProcess;

constexpr const char* kInsideVariable = "ORVANTA_CLI_DISCOVERY_NAMESPACE";

bool insideNamespace() {
    return testsupport::insideNamespace(kInsideVariable);
}

}  // namespace

TEST(CliDiscoverNamespace, FindsTwoSimulatedProjectorsOnce) {
    if (insideNamespace()) {
        GTEST_SKIP() << "already inside the namespace";
    }
    const testsupport::NamespaceRun run =
        testsupport::runInNetworkNamespace(kInsideVariable, "CliDiscoverInner.*");
    if (!run.skipReason.empty()) {
        GTEST_SKIP() << run.skipReason;
    }
    const testsupport::ChildRun& inner = run.inner;
    EXPECT_EQ(inner.exitCode, 0) << inner.output;
    EXPECT_NE(inner.output.find("[  PASSED  ] 1 test"), std::string::npos) << inner.output;
    EXPECT_EQ(inner.output.find("SKIPPED"), std::string::npos) << inner.output;
}

TEST(CliDiscoverInner, ListsEachAnsweringProjectorOnce) {
    if (!insideNamespace()) {
        GTEST_SKIP() << "runs only inside the private network namespace";
    }
    const std::vector<AdaptorEntry> adaptors = enumerateAdaptors().valueOr({});
    ASSERT_FALSE(adaptors.empty());
    for (const AdaptorEntry& a : adaptors) {
        ASSERT_EQ(a.address >> 24, 127u) << "adaptor " << a.description << " " << a.dotted
                                         << " is not loopback: refusing to send multicast here";
    }
    SimProcess hallA({"--address", "127.0.44.2", "--name", "Hall A", "--mac", "00:11:22:33:44:02",
                      "--discovery"});
    // A name made to move the cursor, set the terminal's title and forge a second line.
    SimProcess hallB({"--address", "127.0.44.3", "--name", "\x1B]0;owned\x07Hall\nforged 10.0.0.1",
                      "--discovery"});
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
        "<U+001B>]0;owned<U+0007>Hall<U+000A>forged 10.0.0.1  02-00-7F-00-2C-03  127.0.44.3",
        "Hall A  00-11-22-33-44-02  127.0.44.2",
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
