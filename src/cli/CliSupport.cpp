#include "cli/CliSupport.h"

#include <signal.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <chrono>
#include <filesystem>

#include "history/HistoryRecorder.h"
#include "message/MessageFile.h"
#include "platform/TextCodec.h"
#include "platform/WorkerPool.h"
#include "projectors/ProjectorGroups.h"
#include "projectors/ProjectorRegistry.h"
#include "settings/SendLockStore.h"
#include "text/LanguageText.h"

namespace orvanta::cli {

std::optional<std::string> ParsedArgs::value(std::string_view name) const {
    const auto it = options.find(name);
    if (it == options.end() || it->second.empty()) {
        return std::nullopt;
    }
    return it->second.back();
}

std::vector<std::string> ParsedArgs::values(std::string_view name) const {
    const auto it = options.find(name);
    return it == options.end() ? std::vector<std::string>{} : it->second;
}

std::string parseArgs(const std::vector<std::string>& args, const std::vector<OptionSpec>& known,
                      ParsedArgs& out) {
    bool onlyPositional = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (onlyPositional || a.size() < 2 || a[0] != '-') {
            out.positional.push_back(a);
            continue;
        }
        if (a == "--") {
            onlyPositional = true;
            continue;
        }
        if (a == "--help" || a == "-h") {
            out.help = true;
            continue;
        }
        const std::size_t equals = a.find('=');
        const std::string name = a.substr(0, equals);
        const auto option = std::find_if(known.begin(), known.end(),
                                         [&](const OptionSpec& s) { return s.name == name; });
        if (option == known.end()) {
            return "unknown option " + name;
        }
        std::vector<std::string>& values = out.options[name];
        if (!option->takesValue) {
            if (equals != std::string::npos) {
                return name + " takes no value";
            }
            continue;
        }
        if (equals != std::string::npos) {
            values.push_back(a.substr(equals + 1));
        } else if (i + 1 < args.size()) {
            values.push_back(args[++i]);
        } else {
            return name + " needs a value";
        }
    }
    return {};
}

int usageError(std::string_view command, std::string_view problem, std::string_view usage) {
    std::fprintf(stderr, "orvanta-cli %.*s: %.*s\n\n%.*s", static_cast<int>(command.size()),
                 command.data(), static_cast<int>(problem.size()), problem.data(),
                 static_cast<int>(usage.size()), usage.data());
    return kExitUsage;
}

int printHelp(std::string_view usage) {
    std::fwrite(usage.data(), 1, usage.size(), stdout);
    return kExitOk;
}

// ---------------------------------------------------------------------------------------------

void CliPrompt::inform(const std::string& text, PromptIcon) {
    texts_.push_back(text);
}

PromptAnswer CliPrompt::ask(const std::string& text, PromptButtons buttons, PromptIcon) {
    const bool yesNo = buttons == PromptButtons::YesNo || buttons == PromptButtons::YesNoCancel;
    if (assumeYes_) {
        return yesNo ? PromptAnswer::Yes : PromptAnswer::Ok;
    }
    texts_.push_back(text);
    switch (buttons) {
        case PromptButtons::Ok:
            return PromptAnswer::Ok;
        case PromptButtons::YesNo:
            return PromptAnswer::No;
        case PromptButtons::OkCancel:
        case PromptButtons::YesNoCancel:
            break;
    }
    // With three buttons No would still go on (without saving); Cancel stops.
    return PromptAnswer::Cancel;
}

void CliPrompt::print(std::FILE* to) const {
    for (const std::string& t : texts_) {
        std::fwrite(t.data(), 1, t.size(), to);
        std::fputc('\n', to);
    }
    std::fflush(to);
}

std::string oneLine(std::string_view text) {
    std::string out(text);
    std::replace(out.begin(), out.end(), '\n', ' ');
    out.erase(std::remove(out.begin(), out.end(), '\r'), out.end());
    return visibleText(out);
}

// ---------------------------------------------------------------------------------------------

TargetChoice chooseTargets(const CliContext& context, const ParsedArgs& args, bool single) {
    TargetChoice choice;
    const Result<ProjectorRegistry, RegistryProblem> read = readRegistry(context.programFolder);
    const ProjectorRegistry registered = read.valueOr({});
    const std::optional<std::string> password = args.value("--password");

    std::vector<std::uint32_t> addresses;
    for (const std::string& text : args.values("--projector")) {
        const auto address = parseAddress(text);
        if (!address) {
            choice.status = TargetStatus::Usage;
            choice.problem = "not an IPv4 address: " + text;
            return choice;
        }
        addresses.push_back(*address);
    }
    std::vector<std::uint32_t> missing;
    if (args.has("--group")) {
        const Result<ProjectorGroups, GroupProblem> groups =
            readProjectorGroups(context.programFolder);
        if (!groups.ok() || !read.ok()) {
            choice.status = TargetStatus::Failed;
            choice.problem = groups.ok() ? read.error() : groups.error();
            return choice;
        }
        for (const std::string& name : args.values("--group")) {
            const ProjectorGroup* group = groups.value().find(name);
            if (group == nullptr) {
                choice.status = TargetStatus::Failed;
                choice.problem = languageText(Text::GroupNotFound) + " (" + name + ")";
                return choice;
            }
            for (const GroupMember& m : groupMembers(*group, registered)) {
                addresses.push_back(m.address);
                if (!m.record) {
                    missing.push_back(m.address);
                }
            }
        }
        if (addresses.empty()) {
            choice.status = TargetStatus::Failed;
            choice.problem = languageText(Text::PleaseSelectProjector);
            return choice;
        }
    }
    if (args.has("--all-registered")) {
        if (!read.ok()) {
            choice.status = TargetStatus::Failed;
            choice.problem = read.error();
            return choice;
        }
        if (registered.records.empty() && addresses.empty()) {
            choice.status = TargetStatus::Failed;
            choice.problem = languageText(Text::PleaseSelectProjector);
            return choice;
        }
        for (const ProjectorRecord& r : registered.records) {
            addresses.push_back(r.address);
        }
    }
    if (addresses.empty()) {
        choice.status = TargetStatus::Usage;
        choice.problem = "which projector? (--projector ADDR, --group NAME or --all-registered)";
        return choice;
    }

    for (std::uint32_t address : addresses) {
        const bool listed =
            std::any_of(choice.targets.begin(), choice.targets.end(),
                        [&](const CliTarget& t) { return t.target.address == address; });
        if (listed) {
            continue;
        }
        CliTarget t;
        t.label = formatAddress(address);
        t.target.address = address;
        t.missing = std::find(missing.begin(), missing.end(), address) != missing.end() &&
                    !registered.findAddress(address);
        if (password) {
            t.target.password = *password;
        } else if (const auto row = registered.findAddress(address)) {
            t.target.password = registered.records[*row].password;
        }
        if (const auto row = registered.findAddress(address)) {
            t.name = registered.records[*row].name;
        }
        choice.targets.push_back(std::move(t));
    }
    if (single && choice.targets.size() != 1) {
        choice.status = TargetStatus::Usage;
        choice.problem = "this command works on one projector";
        choice.targets.clear();
    }
    return choice;
}

std::optional<std::uint8_t> parseSlot(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (lower == "quick") {
        return 0;
    }
    if (text.empty() || text.size() > 2 || text[0] == '0') {
        return std::nullopt;
    }
    int n = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        n = n * 10 + (c - '0');
    }
    if (n < 1 || n > 12) {
        return std::nullopt;
    }
    return static_cast<std::uint8_t>(n);
}

MessageFileLookup findMessageFile(const std::string& programFolder, const std::string& file) {
    MessageFileLookup lookup;
    if (file.empty()) {
        return lookup;
    }
    const bool bare = file.find('/') == std::string::npos;
    std::vector<std::string> names = {file};
    if (!hasMessageFileEnding(file) && !isTextFileName(file)) {
        names.push_back(file + ".ovx");
    }
    for (const std::string& name : names) {
        std::vector<std::string> places = {name};
        if (bare) {
            places.push_back(programFolder + "MessageData/" + name);
        }
        for (const std::string& place : places) {
            lookup.tried.push_back(place);
            // Whatever exists by the name is taken, so that its reader can say what is wrong
            // with a folder or a pipe instead of calling it missing.
            std::error_code error;
            if (std::filesystem::exists(place, error)) {
                lookup.path = place;
                return lookup;
            }
        }
    }
    return lookup;
}

int reportMessageFileNotFound(const std::string& file, const MessageFileLookup& lookup) {
    std::fprintf(stderr, "%s: %s\n", file.c_str(), languageText(Text::MessageFileNotFound).c_str());
    for (const std::string& place : lookup.tried) {
        std::fprintf(stderr, "  %s\n", place.c_str());
    }
    return kExitFailed;
}

// ---------------------------------------------------------------------------------------------

namespace {

std::atomic<bool> gInterrupted{false};

extern "C" void onInterruptPressCancel(int) {
    gInterrupted.store(true);
}

}  // namespace

InterruptAsCancel::InterruptAsCancel(std::vector<TransferFlags*> flags)
    : InterruptAsCancel([flags = std::move(flags)] {
          for (TransferFlags* f : flags) {
              f->stopRequested = true;
              f->cancelRequested = true;
          }
      }) {}

InterruptAsCancel::InterruptAsCancel(std::function<void()> cancel) : cancel_(std::move(cancel)) {
    gInterrupted = false;
    struct sigaction action {};
    action.sa_handler = onInterruptPressCancel;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    Result<std::thread> watcher = startThread([this] {
        std::unique_lock lock(mutex_);
        while (!done_) {
            if (gInterrupted.exchange(false)) {
                cancel_();
                // Cancel is pressed once; the next Ctrl+C ends the program.
                signal(SIGINT, SIG_DFL);
            }
            // A signal handler cannot notify; the flag is looked at every 50 ms.
            wake_.wait_for(lock, std::chrono::milliseconds(50));
        }
    });
    if (watcher) {
        watcher_ = std::move(watcher).value();
    } else {
        // Nobody would see the flag: Ctrl+C ends the command at once, as it does by default.
        signal(SIGINT, SIG_DFL);
    }
}

InterruptAsCancel::~InterruptAsCancel() {
    {
        std::lock_guard lock(mutex_);
        done_ = true;
    }
    wake_.notify_all();
    if (watcher_.joinable()) {
        watcher_.join();
    }
    signal(SIGINT, SIG_DFL);
}

std::optional<int> refuseSend(const TargetChoice& choice, std::string_view usage) {
    if (choice.status == TargetStatus::Usage) {
        return usageError("send", choice.problem, usage);
    }
    // Refusals that concern every projector alike are told once, before any is asked.
    if (readSendLockSettings(sendLockSettingsPath()).locked) {
        std::fprintf(stderr, "%s\n", languageText(Text::SendLocked).c_str());
        return kExitFailed;
    }
    if (choice.status == TargetStatus::Failed) {
        std::fprintf(stderr, "%s\n", choice.problem.c_str());
        return kExitFailed;
    }
    return std::nullopt;
}

int runOnEveryTarget(const CliContext& context, const std::vector<CliTarget>& targets,
                     const ManyProjectorOperation& operation, bool assumeYes) {
    std::vector<ManyProjectorTarget> rows;
    rows.reserve(targets.size());
    for (const CliTarget& t : targets) {
        rows.push_back({t.target, t.name, t.missing});
    }
    const std::unique_ptr<CommandHistory> history = openCliHistory(context, targets);
    ManyProjectorRunOptions options;
    options.answerYes = assumeYes;
    options.history = history.get();
    ManyProjectorRun run(std::move(rows), operation, {}, options);
    {
        InterruptAsCancel cancel([&run] { run.cancel(); });
        run.start();
        run.wait();
    }
    for (std::size_t i = 0; i < targets.size(); ++i) {
        std::printf("%s: %s\n", targets[i].label.c_str(), oneLine(run.text(i)).c_str());
    }
    std::fflush(stdout);
    const ManyProjectorRun::Summary summary = run.summary();
    return summary.complete == summary.total ? kExitOk : kExitFailed;
}

std::vector<OptionSpec> projectorOptions(std::initializer_list<OptionSpec> extra) {
    std::vector<OptionSpec> known = {kProjectorOption, kAllRegisteredOption, kGroupOption,
                                     kPasswordOption, kYesOption};
    known.insert(known.end(), extra.begin(), extra.end());
    return known;
}

std::optional<int> parseCommandArgs(const std::vector<std::string>& args,
                                    const std::vector<OptionSpec>& known, std::string_view command,
                                    std::string_view usage, ParsedArgs& parsed,
                                    Positionals expect) {
    const std::string problem = parseArgs(args, known, parsed);
    if (parsed.help) {
        return printHelp(usage);
    }
    if (!problem.empty()) {
        return usageError(command, problem, usage);
    }
    if (expect == Positionals::None && !parsed.positional.empty()) {
        return usageError(command, "unexpected argument " + parsed.positional.front(), usage);
    }
    if (expect == Positionals::OneFile && parsed.positional.size() != 1) {
        return usageError(command, parsed.positional.empty() ? "which file?" : "one file at a time",
                          usage);
    }
    return std::nullopt;
}

std::optional<int> parseOneFileCommand(const std::vector<std::string>& args,
                                       const std::vector<OptionSpec>& known,
                                       std::string_view command, std::string_view usage,
                                       ParsedArgs& parsed) {
    return parseCommandArgs(args, known, command, usage, parsed, Positionals::OneFile);
}

namespace {
std::optional<int> parseWord(std::string_view digits) {
    int base = 10;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        base = 16;
        digits.remove_prefix(2);
    }
    int value = 0;
    const char* end = digits.data() + digits.size();
    const auto [ptr, ec] = std::from_chars(digits.data(), end, value, base);
    if (digits.empty() || ec != std::errc{} || ptr != end || value < 0 || value > 0xFFFF) {
        return std::nullopt;
    }
    return value;
}
}  // namespace

std::string readCapabilityOptions(const ParsedArgs& args, ProjectorCapabilities& capabilities) {
    for (const char* option : {"--level", "--caps"}) {
        const auto text = args.value(option);
        if (!text) {
            continue;
        }
        const auto value = parseWord(*text);
        if (!value) {
            return std::string(option) + ": not a number 0 to 65535: " + *text;
        }
        if (std::string_view(option) == "--level") {
            capabilities.level = *value;
        } else {
            capabilities.flags = static_cast<std::uint32_t>(*value);
        }
    }
    return {};
}

}  // namespace orvanta::cli

namespace orvanta::cli {

std::unique_ptr<CommandHistory> openCliHistory(const CliContext& context,
                                               const std::vector<CliTarget>& targets) {
    if (!historyEnabled()) {
        return nullptr;
    }
    std::map<std::uint32_t, std::string> names;
    for (const CliTarget& t : targets) {
        names[t.target.address] = t.name;
    }
    // Written once the command has ended, all records together.
    return std::make_unique<BufferedHistory>(
        HistoryFile(historyPath(context.programFolder)),
        [names](std::uint32_t address) {
            const auto it = names.find(address);
            return it == names.end() ? std::string() : it->second;
        },
        [](const std::string& problem) {
            // The command has done its work: a history that cannot be written is told, but
            // does not make it fail.
            std::fprintf(stderr, "orvanta-cli: history not written: %s\n", problem.c_str());
        });
}

}  // namespace orvanta::cli
