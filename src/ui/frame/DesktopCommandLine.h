#pragma once
// The desktop program's own options that need no window: --help and --version, answered on
// the terminal before Qt starts, so that they work without a display (the manual page is
// made from them at build time).

#include <optional>

namespace orvanta {

// The exit status when the arguments asked for help or the version (printed to stdout),
// nothing when the program is to start as usual.
std::optional<int> answerInformationOptions(int argc, char** argv);

}  // namespace orvanta
