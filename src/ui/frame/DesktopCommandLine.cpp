#include "ui/frame/DesktopCommandLine.h"

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
    "options:\n" ORVANTA_PROGRAM_FOLDER_HELP
    "  --help                show this text\n"
    "  --version             show the version\n"
    "\n"
    "Qt's own options, such as -platform NAME or -style NAME, are accepted as well.\n";

}  // namespace

std::optional<int> answerInformationOptions(int argc, char** argv) {
    return answerHelpOrVersion(std::vector<std::string>(argv + 1, argv + argc), "orvanta", kHelp);
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
