// orvanta-cli: the tool's operations without the desktop window.

#include <cstdio>
#include <string>
#include <vector>

#include "cli/CliCommands.h"
#include "platform/Environment.h"

namespace {

using orvanta::cli::CliCommand;

constexpr CliCommand kCommands[] = {
    {"alarm", "render an alarm sound to a WAV file, or play it", orvanta::cli::runAlarmCommand},
};

void printUsage(std::FILE* to) {
    std::fputs(
        "usage: orvanta-cli [--program-folder DIR] <command> [arguments]\n"
        "       orvanta-cli <command> --help\n"
        "\n"
        "commands:\n",
        to);
    for (const CliCommand& c : kCommands) {
        std::fprintf(to, "  %-10.*s %.*s\n", static_cast<int>(c.name.size()), c.name.data(),
                     static_cast<int>(c.summary.size()), c.summary.data());
    }
    std::fputs(
        "\n"
        "options:\n"
        "  --program-folder DIR  folder holding LastPj.txt, MessageData, mfont and micon\n"
        "                        (default: ORVANTA_PROGRAM_FOLDER, else beside this program)\n"
        "\n"
        "exit status: 0 success, 1 the operation failed, 2 wrong usage\n",
        to);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    orvanta::cli::CliContext context;
    context.programFolder = orvanta::resolveProgramFolder(args);

    if (args.empty()) {
        printUsage(stderr);
        return orvanta::cli::kExitUsage;
    }
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        printUsage(stdout);
        return orvanta::cli::kExitOk;
    }
    for (const CliCommand& c : kCommands) {
        if (args[0] == c.name) {
            const std::vector<std::string> rest(args.begin() + 1, args.end());
            return c.run(context, rest);
        }
    }
    std::fprintf(stderr, "orvanta-cli: unknown command \"%s\"\n\n", args[0].c_str());
    printUsage(stderr);
    return orvanta::cli::kExitUsage;
}
