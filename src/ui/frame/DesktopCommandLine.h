#pragma once
// The desktop program's command line. --help and --version need no window: they are answered
// on the terminal before Qt starts, so that they work without a display (the manual page is
// made from them at build time). The rest is read once Qt has taken its own options.

#include <optional>
#include <string>
#include <vector>

namespace orvanta {

// The exit status when the arguments asked for help or the version (printed to stdout),
// nothing when the program is to start as usual.
std::optional<int> answerInformationOptions(int argc, char** argv);

// The message file to open, named on the command line (a file manager passes the file that
// was opened with the program).
struct DesktopArguments {
    std::string file;   // empty: none
    std::string error;  // why the arguments cannot be used; empty when they can
};

// Reads the arguments after the program name, once Qt has removed its own options:
// --program-folder DIR (or =DIR) is left to the program folder, "--" ends the options, and
// at most one FILE may be given.
DesktopArguments readDesktopArguments(const std::vector<std::string>& args);

}  // namespace orvanta
