#pragma once
// The commands of orvanta-cli. Each command is one function in its own file, listed in the
// command table of main.cpp; it gets the arguments after its name and returns the exit status.

#include <string>
#include <string_view>
#include <vector>

namespace orvanta::cli {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;  // the operation failed; the reason went to standard error
constexpr int kExitUsage = 2;   // wrong usage; the usage went to standard error

// What every command may need, resolved once from the common options.
struct CliContext {
    std::string programFolder;  // with a trailing '/'
    bool assumeYes = false;     // --yes before the command: questions are answered Yes/OK
};

struct CliCommand {
    std::string_view name;
    std::string_view summary;
    int (*run)(const CliContext& context, const std::vector<std::string>& args);
};

int runAlarmCommand(const CliContext& context, const std::vector<std::string>& args);
int runEncodeCommand(const CliContext& context, const std::vector<std::string>& args);
int runSendCommand(const CliContext& context, const std::vector<std::string>& args);
int runGetCommand(const CliContext& context, const std::vector<std::string>& args);
int runShowCommand(const CliContext& context, const std::vector<std::string>& args);
int runHideCommand(const CliContext& context, const std::vector<std::string>& args);
int runClearCommand(const CliContext& context, const std::vector<std::string>& args);
int runMuteCommand(const CliContext& context, const std::vector<std::string>& args);
int runStatusCommand(const CliContext& context, const std::vector<std::string>& args);
int runSlotsCommand(const CliContext& context, const std::vector<std::string>& args);
int runStartupCommand(const CliContext& context, const std::vector<std::string>& args);
int runDiscoverCommand(const CliContext& context, const std::vector<std::string>& args);
int runHistoryCommand(const CliContext& context, const std::vector<std::string>& args);
int runProjectorsCommand(const CliContext& context, const std::vector<std::string>& args);
int runGroupsCommand(const CliContext& context, const std::vector<std::string>& args);
int runScheduleCommand(const CliContext& context, const std::vector<std::string>& args);
int runTemplatesCommand(const CliContext& context, const std::vector<std::string>& args);
int runTokensCommand(const CliContext& context, const std::vector<std::string>& args);
#ifdef ORVANTA_CLI_RENDER
int runRenderCommand(const CliContext& context, const std::vector<std::string>& args);
#endif

}  // namespace orvanta::cli
