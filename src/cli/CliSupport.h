#pragma once
// What the projector commands of orvanta-cli share: option parsing, the prompt that answers
// from --yes, choosing the projectors and their passwords, slots, message file lookup, and
// Ctrl+C as the Cancel button of a running transfer.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "cli/CliCommands.h"
#include "commands/CommandContext.h"
#include "commands/ManyProjectorRun.h"
#include "protocol/Transfer.h"
#include "templates/Template.h"
#include "text/Prompt.h"

namespace orvanta::cli {

// ---------------------------------------------------------------------------------------------
// Options

struct OptionSpec {
    std::string_view name;  // "--slot"
    bool takesValue = false;
};

struct ParsedArgs {
    std::vector<std::string> positional;
    std::map<std::string, std::vector<std::string>, std::less<>> options;
    bool help = false;

    bool has(std::string_view name) const { return options.find(name) != options.end(); }
    // The last value given for `name`.
    std::optional<std::string> value(std::string_view name) const;
    std::vector<std::string> values(std::string_view name) const;
};

// "--name value" and "--name=value"; "--help" / "-h" set `help`; everything after "--" is
// positional. Returns what is wrong, or an empty text.
std::string parseArgs(const std::vector<std::string>& args, const std::vector<OptionSpec>& known,
                      ParsedArgs& out);

// Prints "orvanta-cli COMMAND: problem", a blank line and the usage to stderr; exit status 2.
int usageError(std::string_view command, std::string_view problem, std::string_view usage);
// Prints the usage to stdout; exit status 0.
int printHelp(std::string_view usage);

// What a command takes besides its options.
enum class Positionals { Any, None, OneFile };

// parseArgs for a command. Returns the exit status when the command is already over (--help
// printed, or wrong usage reported: a problem with the options, an argument where `expect` has
// none, no FILE or more than one), else nothing.
std::optional<int> parseCommandArgs(const std::vector<std::string>& args,
                                    const std::vector<OptionSpec>& known, std::string_view command,
                                    std::string_view usage, ParsedArgs& parsed,
                                    Positionals expect = Positionals::Any);

// parseArgs for a command that takes exactly one FILE. Returns the exit status when the command
// is already over (--help printed, or wrong usage reported), else nothing and `parsed` holds
// the file as its only positional argument.
std::optional<int> parseOneFileCommand(const std::vector<std::string>& args,
                                       const std::vector<OptionSpec>& known,
                                       std::string_view command, std::string_view usage,
                                       ParsedArgs& parsed);

// The options every projector command takes.
inline constexpr OptionSpec kProjectorOption{"--projector", true};
inline constexpr OptionSpec kAllRegisteredOption{"--all-registered", false};
inline constexpr OptionSpec kGroupOption{"--group", true};
inline constexpr OptionSpec kPasswordOption{"--password", true};
inline constexpr OptionSpec kYesOption{"--yes", false};
// Those five, then the command's own `extra` options.
std::vector<OptionSpec> projectorOptions(std::initializer_list<OptionSpec> extra = {});

// ---------------------------------------------------------------------------------------------
// Prompt

// Questions are answered Yes/OK with --yes; otherwise their text is kept like an information
// and the answer is No/Cancel. Every text is kept in order; the command prints them when it
// knows whether it succeeded (standard output) or failed (standard error).
class CliPrompt : public Prompt {
  public:
    explicit CliPrompt(bool assumeYes) : assumeYes_(assumeYes) {}

    void inform(const std::string& text, PromptIcon icon = PromptIcon::Information) override;
    PromptAnswer ask(const std::string& text, PromptButtons buttons,
                     PromptIcon icon = PromptIcon::Question) override;

    const std::vector<std::string>& texts() const { return texts_; }
    // The last text shown (the reason a command ended), empty when none was.
    std::string lastText() const { return texts_.empty() ? std::string() : texts_.back(); }
    // Each text followed by a line break.
    void print(std::FILE* to) const;

  private:
    bool assumeYes_;
    std::vector<std::string> texts_;
};

// A text on one line: each line break becomes a blank.
std::string oneLine(std::string_view text);

// ---------------------------------------------------------------------------------------------
// Projectors

struct CliTarget {
    std::string label;  // dotted address
    ProjectorTarget target;
    std::string name;  // registered name, if any
    // A group member that is no longer registered: it is not talked to, its line says so.
    bool missing = false;
};

enum class TargetStatus { Ok, Usage, Failed };

struct TargetChoice {
    TargetStatus status = TargetStatus::Ok;
    std::string problem;  // usage problem, or the text of a failure
    std::vector<CliTarget> targets;
};

// The projectors named by --projector (in the order given), --group (in the group's order)
// and --all-registered (in the order of LastPj.txt), each once. The password is --password, else
// the one registered for the address, else empty. `single`: exactly one projector must result.
TargetChoice chooseTargets(const CliContext& context, const ParsedArgs& args, bool single);

// What every send checks before any projector is asked, in this order: the projector options
// (wrong usage: exit status 2 with `usage`), the send lock, and projectors that cannot be
// chosen (a group that does not exist, ...). The exit status when the send ends there.
std::optional<int> refuseSend(const TargetChoice& choice, std::string_view usage);

// The history the commands run for `targets` are recorded in (history.jsonl of the program
// folder), appended at once; nothing when the history is turned off.
std::unique_ptr<CommandHistory> openCliHistory(const CliContext& context,
                                               const std::vector<CliTarget>& targets);

// Runs `operation` on every target at once (a row each, bounded in parallel), Ctrl+C as the
// Cancel of every row, and prints "ADDR: text" per projector in the order given; each command
// is recorded in the history. The exit status: 0 when every projector completed, else 1.
int runOnEveryTarget(const CliContext& context, const std::vector<CliTarget>& targets,
                     const ManyProjectorOperation& operation, bool assumeYes);

// status for many projectors: the fleet table, or JSON with --json (StatusTable.cpp).
int runStatusTable(const CliContext& context, const ParsedArgs& parsed);
// status's usage with the projector options.
const std::string& statusUsage();

// Slot text: "quick" (any case) or 1..12.
std::optional<std::uint8_t> parseSlot(std::string_view text);

// --level N and --caps N (decimal or 0x hexadecimal, 0 to 65535) into `capabilities`; what is
// wrong with them, or an empty string.
std::string readCapabilityOptions(const ParsedArgs& args, ProjectorCapabilities& capabilities);

struct MessageFileLookup {
    std::string path;                // what was found; empty when nothing was
    std::vector<std::string> tried;  // every path looked at, in order
};

// FILE as given when it exists (as a file or anything else); a bare name that does not is
// looked up in MessageData/ of the program folder. A name ending neither in ".ovx" nor in
// ".txt" is then looked for with ".ovx" added, in the same places.
MessageFileLookup findMessageFile(const std::string& programFolder, const std::string& file);
// Tells on standard error that FILE was not found and where it was looked for; exit status 1.
int reportMessageFileNotFound(const std::string& file, const MessageFileLookup& lookup);

// ---------------------------------------------------------------------------------------------
// Templates (TemplatesCommand.cpp)

// The templates of the program folder, the starter set copied there on first use.
TemplateSet cliTemplates(const CliContext& context);
TemplateResult<MessageTemplate> loadCliTemplate(const CliContext& context, const std::string& name);
// The arguments name a template (--template), which send and render then take instead of FILE.
bool mentionsTemplate(const std::vector<std::string>& args);
// The values of every --set FIELD=VALUE; nothing (the reason told on standard error) when one
// is not of that form.
std::optional<FieldValues> readAssignments(const ParsedArgs& parsed);
// send --template.
int runTemplateSend(const CliContext& context, const std::vector<std::string>& args);

// ---------------------------------------------------------------------------------------------
// Ctrl+C

// While it lives, the first Ctrl+C presses Cancel on every transfer flag set registered with
// it (once, as the Cancel button does); a second one ends the program as usual.
class InterruptAsCancel {
  public:
    explicit InterruptAsCancel(std::vector<TransferFlags*> flags);
    // The same with `cancel` as what the first Ctrl+C does.
    explicit InterruptAsCancel(std::function<void()> cancel);
    ~InterruptAsCancel();
    InterruptAsCancel(const InterruptAsCancel&) = delete;
    InterruptAsCancel& operator=(const InterruptAsCancel&) = delete;

  private:
    std::function<void()> cancel_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool done_ = false;  // guarded by mutex_
    std::thread watcher_;
};

}  // namespace orvanta::cli
