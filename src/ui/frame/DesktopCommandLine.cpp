#include "ui/frame/DesktopCommandLine.h"

#include <cstdio>
#include <string_view>
#include <vector>

#include "platform/Environment.h"

namespace orvanta {

namespace {

constexpr const char* kHelp =
    "usage: orvanta [--program-folder DIR] [Qt options] [FILE]\n"
    "\n"
    "Composes short on-screen messages - a title and a colored body with an icon, display\n"
    "style, time, blink and alarm options - and sends them over the network to projectors.\n"
    "FILE, a message file (.ovx) or a text file (.txt), is opened on the Edit page.\n"
    "Only one copy runs per user: starting it again brings the running window to the front,\n"
    "which opens FILE when one is given.\n"
    "The interface language follows the locale (LC_ALL, LC_MESSAGES, LANG): Japanese,\n"
    "Simplified Chinese, else English.\n"
    "\n"
    "options:\n"
    "  --program-folder DIR  folder holding LastPj.txt, MessageData, mfont and micon\n"
    "                        (default: ORVANTA_PROGRAM_FOLDER, else beside this program\n"
    "                        when it runs from a build folder, else the user's data\n"
    "                        folder $XDG_DATA_HOME/orvanta or ~/.local/share/orvanta)\n"
    "  --help                show this text\n"
    "  --version             show the version\n"
    "\n"
    "Qt's own options, such as -platform NAME or -style NAME, are accepted as well.\n";

}  // namespace

std::optional<int> answerInformationOptions(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (arg == "--version") {
            std::printf("orvanta %s\n", programVersion());
            return 0;
        }
        if (arg == "--program-folder") {
            ++i;  // its value may be any name, even "--help"
        }
    }
    return std::nullopt;
}

DesktopArguments readDesktopArguments(const std::vector<std::string>& args) {
    DesktopArguments out;
    bool options = true;
    std::vector<std::string> files;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (options && arg == "--") {
            options = false;
        } else if (options && arg == "--program-folder") {
            ++i;
        } else if (options && arg.starts_with("--program-folder=")) {
            continue;
        } else if (options && arg.size() > 1 && arg[0] == '-') {
            out.error = "unknown option " + arg + " (see --help)";
            return out;
        } else {
            files.push_back(arg);
        }
    }
    if (files.size() > 1) {
        out.error = "only one FILE can be opened";
    } else if (files.size() == 1) {
        out.file = files.front();
    }
    return out;
}

}  // namespace orvanta
