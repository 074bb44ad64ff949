#include "ui/frame/DesktopCommandLine.h"

#include <cstdio>
#include <string_view>

#include "platform/Environment.h"

namespace orvanta {

namespace {

constexpr const char* kHelp =
    "usage: orvanta [--program-folder DIR] [Qt options]\n"
    "\n"
    "Composes short on-screen messages - a title and a colored body with an icon, display\n"
    "style, time, blink and alarm options - and sends them over the network to projectors.\n"
    "Only one copy runs per user: starting it again brings the running window to the front.\n"
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

}  // namespace orvanta
