// orvanta-cli: the tool's operations without the desktop window.

#include <cstdio>
#include <string>
#include <vector>

#include "cli/CliCommands.h"
#include "platform/Environment.h"

namespace {

using orvanta::cli::CliCommand;

namespace cli = orvanta::cli;

constexpr CliCommand kCommands[] = {
    {"encode", "print the bytes a projector receives for a message file", cli::runEncodeCommand},
    {"send", "send a message file to one or many projectors", cli::runSendCommand},
    {"get", "read a stored message back and save it as a message file", cli::runGetCommand},
    {"show", "Display on (or Power on && Display on) for a slot", cli::runShowCommand},
    {"hide", "Display off for a slot", cli::runHideCommand},
    {"clear", "clear stored messages", cli::runClearCommand},
    {"mute", "silence the projector's alarm sound", cli::runMuteCommand},
    {"status", "print a projector's state, or the table of many (--all-registered, --group)",
     cli::runStatusCommand},
    {"slots", "list the 13 memory slots and whether they are in use", cli::runSlotsCommand},
    {"startup", "print or set the startup display", cli::runStartupCommand},
    {"discover", "search the local network for projectors", cli::runDiscoverCommand},
    {"projectors", "list, add, remove projectors of LastPj.txt, change a password",
     cli::runProjectorsCommand},
    {"history", "print what was sent to projectors, and how it ended", cli::runHistoryCommand},
    {"groups", "list, make, change and delete groups of registered projectors",
     cli::runGroupsCommand},
    {"schedule", "list, add and remove scheduled messages; pause, resume, the next firings",
     cli::runScheduleCommand},
    {"templates", "list message templates and show their fields", cli::runTemplatesCommand},
    {"tokens", "make, list and revoke the tokens of orvanta-service's HTTP API",
     cli::runTokensCommand},
    {"alarm", "render an alarm sound to a WAV file, or play it", cli::runAlarmCommand},
#ifdef ORVANTA_CLI_RENDER
    {"render", "draw the preview of a message file into BMP and PNG files", cli::runRenderCommand},
#endif
};

void printUsage(std::FILE* to) {
    std::fputs(
        "usage: orvanta-cli [--program-folder DIR] [--yes] <command> [arguments]\n"
        "       orvanta-cli <command> --help\n"
        "\n"
        "commands:\n",
        to);
    for (const CliCommand& c : kCommands) {
        std::fprintf(to, "  %-10.*s  %.*s\n", static_cast<int>(c.name.size()), c.name.data(),
                     static_cast<int>(c.summary.size()), c.summary.data());
    }
    std::fputs(
        "\n"
        "options:\n" ORVANTA_PROGRAM_FOLDER_HELP
        "  --yes                 answer Yes/OK to every question an operation asks; without it\n"
        "                        the question is printed and answered No/Cancel\n"
        "\n"
        "projector options (commands that talk to a projector):\n"
        "  --projector ADDR      dotted IPv4 address (send: repeatable, sends in parallel)\n"
        "  --all-registered      every projector of LastPj.txt\n"
        "  --group NAME          the projectors of a group (orvanta-cli groups)\n"
        "  --password TEXT       password; default: the one registered for ADDR, else empty\n"
        "\n"
        "Slots are written quick or 1 to 12. A bare FILE name (send, encode, render) that does\n"
        "not exist here is looked up in MessageData/ of the program folder, and \".ovx\" may be\n"
        "left out. Texts are printed in the interface language.\n"
        "\n"
        "exit status: 0 success, 1 the operation failed or was refused (the reason on standard\n"
        "error), 2 wrong usage\n"
        "\n"
        "  --help                show this text (--help-all: with every command's own help)\n"
        "  --version             show the version\n",
        to);
}

// The overview followed by every command's --help, which the manual page is made from.
int printAllHelp(orvanta::cli::CliContext& context) {
    printUsage(stdout);
    for (const CliCommand& c : kCommands) {
        std::printf("\nCommand %.*s:\n\n", static_cast<int>(c.name.size()), c.name.data());
        std::fflush(stdout);
        c.run(context, {"--help"});
    }
    return orvanta::cli::kExitOk;
}

// "--help" or "-h" among a command's arguments (before a "--"): the command only prints its
// usage.
bool asksForHelp(const std::vector<std::string>& args) {
    for (const std::string& a : args) {
        if (a == "--") {
            return false;
        }
        if (a == "--help" || a == "-h") {
            return true;
        }
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    orvanta::cli::CliContext context;
    // Chosen, not yet made: asking for help or the version leaves the disk as it is, so the
    // user's data folder is created (and the example message copied) only for a command.
    orvanta::ProgramFolder folder = orvanta::openProgramFolder(args, false);
    context.programFolder = folder.path;

    // Options before the command.
    while (!args.empty() && args[0] == "--yes") {
        context.assumeYes = true;
        args.erase(args.begin());
    }
    if (args.empty()) {
        printUsage(stderr);
        return orvanta::cli::kExitUsage;
    }
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        printUsage(stdout);
        return orvanta::cli::kExitOk;
    }
    if (args[0] == "--help-all") {
        return printAllHelp(context);
    }
    if (args[0] == "--version") {
        std::printf("orvanta-cli %s\n", orvanta::programVersion());
        return orvanta::cli::kExitOk;
    }
    for (const CliCommand& c : kCommands) {
        if (args[0] == c.name) {
            const std::vector<std::string> rest(args.begin() + 1, args.end());
            if (!asksForHelp(rest)) {
                orvanta::prepareProgramFolder(folder);
                if (!folder.problem.empty()) {
                    std::fprintf(stderr, "orvanta-cli: %s\n", folder.problem.c_str());
                }
            }
            return c.run(context, rest);
        }
    }
    std::fprintf(stderr, "orvanta-cli: unknown command \"%s\"\n\n", args[0].c_str());
    printUsage(stderr);
    return orvanta::cli::kExitUsage;
}
