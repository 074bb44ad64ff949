// Every test program starts with the variables the tests read, whether ctest, a developer's
// shell or a debugger runs it: programs of this build, the source tree, the offscreen
// platform for widget tests. Values already set in the environment win.

#include <cstdlib>

namespace {

const bool kEnvironmentReady = [] {
    ::setenv("ORVANTA_BIN_DIR", ORVANTA_TEST_BIN_DIR, 0);
    ::setenv("ORVANTA_SOURCE_DIR", ORVANTA_TEST_SOURCE_DIR, 0);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    return true;
}();

}  // namespace
