#pragma once
// The command sequences of the Main tab, without the page: sending a saved message file,
// display on/off, clear, mute, the startup display setting and the projector status texts.
// The Main tab page and the command-line front end both call these; the page keeps its
// controls and passes what they hold as plain values (slot, startup choice, clear code).
//
// Every function tells the operator through `prompt` as the page would (failure texts with
// their replacements, "    Complete." where the page shows it) and returns whether the
// command did what it was asked.

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "commands/Operations.h"
#include "message/MessageFile.h"
#include "message/MessageOptions.h"
#include "protocol/CommandExchange.h"
#include "protocol/Transfer.h"
#include "settings/SendLockStore.h"
#include "text/Prompt.h"

namespace orvanta {

// ---------------------------------------------------------------------------------------------
// Projector information as the Main tab keeps it for the chosen projector.

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

struct MainProjectorInfo {
    // Level, capability flags and startup word of the last state query (kept from before
    // when a query fails).
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

// The state query that runs when a projector is chosen. On failure its text is shown and
// `info` keeps its earlier values.
bool refreshProjectorInfo(const ProjectorTarget& target, Prompt& prompt, TransferRunner& runner,
                          MainProjectorInfo& info);
// The same for a query run elsewhere (prepareStateQuery): what its ended run does to `info`.
bool takeProjectorInfo(const TransferJob& job, MainProjectorInfo& info);

// What the startup area shows: "Saved number:" and "Display time:" values ("-" when the
// projector cannot say, "None" and "-" when the startup display is off, "Repeat" for 0).
struct StartupAreaTexts {
    std::string savedNumber;
    std::string displayTime;
    bool minutes = false;  // the "min" after the display time applies
};
StartupAreaTexts startupAreaTexts(bool valid, const StartupDisplay& startup);

// The display-time text of the Main tab's "Startup Display" list at Send: 1..127, or
// "Repeat" (0). Nothing for anything else.
std::optional<int> parseSendDisplayTime(std::string_view text);
// The "Startup Display Edit" dialog's rule: 1..127, or "Repeat" or empty (0).
std::optional<int> parseEditDisplayTime(std::string_view text);

// ---------------------------------------------------------------------------------------------
// Commands

// Sets the startup display, as the follow-up of a Send does on both pages. A projector that
// takes no connection for it is a failure told as a connection error: the message may be
// stored, but the startup display was not set. On success `info` keeps the new word.
bool setStartupDisplay(const StartupDisplay& startup, const ProjectorTarget& target, Prompt& prompt,
                       TransferRunner& runner, MainProjectorInfo& info);

// The error-status pre-check and the fatal check that every Main tab command starts with.
bool checkBeforeCommand(const ProjectorTarget& target, Prompt& prompt, TransferRunner& runner,
                        ProjectorStateValues& values);

// A message file read once for a send to any number of projectors: the message as read
// for projectors without and with the extended options.
struct SendFile {
    MessageFileError error = MessageFileError::None;
    Message plain;
    Message extended;

    const Message& forProjector(bool extendedOptions) const {
        return extendedOptions ? extended : plain;
    }
};
std::shared_ptr<const SendFile> readSendFile(const std::string& path);

struct MainSendRequest {
    std::string path;       // the message file (".ovx", or ".txt" to import)
    std::uint8_t slot = 0;  // 0 Quick, 1..12
    // The "Startup Display" check box and the text of its display-time list.
    bool startupChecked = false;
    std::string displayTimeText;
};

enum class MainSendResult {
    Complete,       // sent, saved, startup display followed up; "    Complete." was shown
    Failed,         // refused or failed before or while sending; the reason was shown
    StartupFailed,  // the message is on the projector, but setting the startup display failed
    Cancelled,      // the operator cancelled; nothing is stored (a CANCEL followed the PUT)
};

// "Send": send lock, file read with the chosen projector's capabilities (a file without
// message text is refused with "Please input Message"), startup time check, error-status
// pre-check, fatal check, encode with the file's own options, PUT, save wait (with CANCEL
// after a cancel), startup display follow-up, "    Complete.". `info` is the chosen
// projector's information (RefreshProjectorInfo); the follow-up updates its startup word.
// A cancel asked for before the PUT (see TransferFlags) ends the send with Cancelled before
// anything is sent; one asked for during the PUT or the save wait sends CANCEL.
MainSendResult sendMessageFile(const MainSendRequest& request, const ProjectorTarget& target,
                               bool sendLocked, Prompt& prompt, TransferRunner& runner,
                               MainProjectorInfo& info);
// The same with the file as readSendFile read it (request.path only names it), for a send to
// many projectors that reads the file once.
MainSendResult sendMessageFile(const MainSendRequest& request, const SendFile& file,
                               const ProjectorTarget& target, bool sendLocked, Prompt& prompt,
                               TransferRunner& runner, MainProjectorInfo& info);

enum class DisplayCommand { DisplayOn, DisplayOff, PowerOnAndDisplayOn };
// Pre-check, fatal check, slot check, then the display command for `slot`.
bool runDisplayCommand(DisplayCommand command, std::uint8_t slot, const ProjectorTarget& target,
                       Prompt& prompt, TransferRunner& runner, ProjectorStateValues& values);

// "Clear": asks "You clicked [Clear]. Are you sure?", then pre-check, fatal check and the
// clear command with `code` (see clearCode).
bool runClear(std::uint16_t code, const ProjectorTarget& target, Prompt& prompt,
              TransferRunner& runner, ProjectorStateValues& values);

// "Mute": pre-check, fatal check, mute.
bool runMute(const ProjectorTarget& target, Prompt& prompt, TransferRunner& runner,
             ProjectorStateValues& values);

// OK of "Startup Display Edit": `savedNumberEntry` 0 ("None") or 1..12, and the text of the
// display-time list. "Display time : Invalid value" for a bad time; then pre-check, fatal
// check and the set command. On success `shown` is what the startup area shows next.
bool applyStartupEdit(int savedNumberEntry, std::string_view displayTimeText,
                      const ProjectorTarget& target, Prompt& prompt, TransferRunner& runner,
                      MainProjectorInfo& info, StartupDisplay& shown);

// ---------------------------------------------------------------------------------------------
// Projector status

inline constexpr std::uint16_t kCtrlMessageStatus = 0x3534;
inline constexpr std::uint16_t kCtrlAlarmStatus = 0x3535;

enum class PollEvent {
    MessageStatus,  // value: the answer
    AlarmStatus,    // value: the answer
    Reply1,
    Reply2,
    Reply3,
    Reply8,
    Reply9,
    Error,  // value: 0 (no connection or unknown answer), 11, 14, 15, 16, 17, 18
};

struct PollResult {
    PollEvent event = PollEvent::Error;
    int value = 0;
};

// One exchange of the status poller for `code` (0x3534 or 0x3535): bounded connect, greeting
// with digest when one comes, the request, a reply wait that ends early when `stop` is set.
PollResult runPollExchange(const ProjectorTarget& target, std::uint16_t code,
                           const std::atomic<bool>& stop, const ExchangeTimings& timings = {});
// What the reply of such an exchange says.
PollResult pollResultFromReply(std::uint16_t code, const Reply& reply);

// The two fields of the "Message:" or "Alarm     :" line.
struct StatusFields {
    std::string first = "-";
    std::string second = "-";
    bool firstEnabled = false;
    bool secondEnabled = false;
    bool muteEnabled = false;  // alarm line only

    bool operator==(const StatusFields&) const = default;
};
StatusFields messageStatusFields(int value);
StatusFields alarmStatusFields(int value);
// What a poll result does to a line: the answer's texts, all "-" for the failures, nothing
// (the fields stay as they were) for a busy answer "CTRL 8".
std::optional<StatusFields> statusFieldsAfterPoll(const PollResult& result);

}  // namespace orvanta
