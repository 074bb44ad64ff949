#pragma once
// What every projector command works with: the projector it talks to, the prompt through
// which it tells and asks the operator, the runner of its transfers (the "Communication
// Status" dialog in the desktop program, a blocking run in tests and on the command line),
// and what the caller keeps knowing about that projector.

#include <cstdint>
#include <string>

#include "commands/Outcome.h"
#include "message/MessageOptions.h"
#include "protocol/Transfer.h"
#include "text/Prompt.h"

namespace orvanta {

// The projector a command talks to.
struct ProjectorTarget {
    std::uint32_t address = 0;  // IPv4, host order
    std::string password;       // UTF-8
};

// What the state queries and status reads return (each query overwrites it): the encoder and
// the send checks read the capabilities.
struct ProjectorStateValues {
    int level = 1;             // firmware level
    int capabilityFlags = -1;  // second state value; -1 when the projector did not say
    int stateWord = -1;        // third state value (startup display word); -1 when not said
    char status = '0';         // projector status character (error status, slot check)

    // Level and flags as the message code reads them (-1 reads as all 16 bits set).
    ProjectorCapabilities capabilities() const;
};

// The startup display word: bit 15 on, bits 8-14 saved number, bits 0-6 minutes (0 repeat).
struct StartupDisplay {
    bool on = false;
    int savedNumber = 0;  // 0 Quick, 1..12
    int displayTime = 0;  // minutes 1..127, 0 repeat

    bool operator==(const StartupDisplay&) const = default;
};
StartupDisplay decodeStartupWord(std::uint16_t word);
// (saved number + on x 128) x 256 + (display time AND 0xFF): what the projector is sent.
std::uint16_t startupDisplayValue(const StartupDisplay& startup);

// What a page (or the command line) keeps about the chosen projector.
struct ProjectorInfo {
    // Level, capability flags and startup word of the last state query (kept from before
    // when a query fails), and the status character of the last status read.
    ProjectorStateValues values;
    // Recomputed only from a query whose level is usable (at least 2, not 0xF000); the
    // encoder and the send checks read these.
    ProjectorCapabilities capabilities{1, 0};

    // The level is one the projector information can be used with (at least 2, not 0xF000).
    bool levelUsable() const;
    // The startup area can show the projector's setting: a usable level and a startup word
    // the projector did say (projectors of level 2 are not asked for one).
    bool startupValid() const;
    StartupDisplay startup() const;
};

// What a command that went to a projector tells the history (history/History.h keeps it).
struct CommandRecord {
    std::string command;  // send, display-on, clear-all, startup, mute, ...
    int slot = -1;        // 0 Quick, 1..12; -1 when the command has none
    std::string detail;   // startup: "on 3", "on repeat", "off"
    // Sends: the title as plain text, the message as a message file, its source file.
    std::string title;
    std::string message;
    std::string source;
    // Sends from a template: its name and the values the operator gave (a JSON object).
    std::string templateName = {};
    std::string templateValues = {};
};

// Where commands leave a record of what they did to a projector; the outcome's text is the
// last one the operator was told when the command itself gave none. Called once per operator
// command (the outermost one: a send's startup follow-up is part of the send), on the thread
// that ran it, only when the command reached the projector: a command that ended in its
// own checks (send lock, input, the operator's No) or found no projector at the address
// never reached one.
class CommandHistory {
  public:
    virtual ~CommandHistory() = default;
    virtual void record(const ProjectorTarget& target, const CommandRecord& record,
                        const Outcome& outcome) = 0;
};

struct CommandContext {
    ProjectorTarget target;
    Prompt& prompt;
    TransferRunner& runner;
    ProjectorInfo& projector;
    // The history the command is recorded in; none when nullptr.
    CommandHistory* history = nullptr;

    // Tells the operator `text` and returns it as a failure at `step`.
    Outcome fail(std::string text, Outcome::Step step = Outcome::Step::Command,
                 PromptIcon icon = PromptIcon::Information) const;
    // A transfer job with the runner's flags and timings.
    TransferJob job() const { return TransferJob(runner.flags(), runner.timings()); }
};

namespace detail {

// Watches the transfers of a command: one that reached a projector (it answered, refused, or
// broke off after the connection was made) makes the command one to record. A projector that
// took no connection was never reached.
class ReachRunner : public TransferRunner {
  public:
    explicit ReachRunner(TransferRunner& inner)
        : TransferRunner(inner.flags(), inner.timings()), inner_(inner) {}
    bool run(TransferJob& job, TransferKind kind) override;
    bool reached() const { return reached_; }

  private:
    TransferRunner& inner_;
    bool reached_ = false;
};

// Passes everything on and keeps the last text the command told: what the operator read at
// its end ("Complete.", or that the message was stored before the cancel came).
class LastTextPrompt : public Prompt {
  public:
    explicit LastTextPrompt(Prompt& inner) : inner_(inner) {}
    void inform(const std::string& text, PromptIcon icon) override {
        last_ = text;
        inner_.inform(text, icon);
    }
    PromptAnswer ask(const std::string& text, PromptButtons buttons, PromptIcon icon) override {
        return inner_.ask(text, buttons, icon);
    }
    const std::string& last() const { return last_; }

  private:
    Prompt& inner_;
    std::string last_;
};

}  // namespace detail

// Runs `command` (taking a CommandContext and returning an Outcome) and records it in the
// context's history with `record`, which the command may fill in as it goes (a send its
// message). The command runs with a context without history, so that the commands it calls
// are not recorded again.
template <typename Command>
Outcome recordedCommand(const CommandContext& context, CommandRecord& record, Command&& command) {
    if (context.history == nullptr) {
        return command(context);
    }
    detail::ReachRunner watched(context.runner);
    detail::LastTextPrompt told(context.prompt);
    const CommandContext inner{context.target, told, watched, context.projector, nullptr};
    Outcome outcome = command(inner);
    if (watched.reached()) {
        Outcome recorded = outcome;
        if (recorded.text.empty()) {
            recorded.text = told.last();
        }
        context.history->record(context.target, record, recorded);
    }
    return outcome;
}

// Control codes.
inline constexpr std::uint16_t kCtrlStateQuery = 0x0F01;
inline constexpr std::uint16_t kCtrlCapabilities = 0x0F02;
inline constexpr std::uint16_t kCtrlProjectorValue = 0x3532;
inline constexpr std::uint16_t kCtrlDisplay = 0x3510;
inline constexpr std::uint16_t kCtrlClearAll = 0x3511;
inline constexpr std::uint16_t kCtrlClearQuick = 0x3512;
inline constexpr std::uint16_t kCtrlClearByList = 0x3513;  // + index of the Clear list
inline constexpr std::uint16_t kCtrlMute = 0x2002;
inline constexpr std::uint16_t kCtrlSlotCheck = 0x3530;
inline constexpr std::uint16_t kCtrlSlotCheckResult = 0x3531;
inline constexpr std::uint16_t kCtrlErrorStatus = 0x6020;
inline constexpr std::uint16_t kCtrlMessageStatus = 0x3534;
inline constexpr std::uint16_t kCtrlAlarmStatus = 0x3535;

}  // namespace orvanta
