#pragma once
// The projector commands that the pages (and the command line) call.  Each runs one or two
// transfers through a TransferRunner, and tells the operator about failures through the
// prompt, with the text replacements each command makes.  Results are plain values: true (or
// 0 for the send) when the command did what it was asked.

#include <cstdint>
#include <string>
#include <vector>

#include "message/MessageOptions.h"
#include "message/Payload.h"
#include "protocol/Transfer.h"
#include "text/Prompt.h"

namespace orvanta {

// The projector a command talks to.
struct ProjectorTarget {
    std::uint32_t address = 0;  // IPv4, host order
    std::string password;       // UTF-8
};

// What the state queries and status reads return, kept by the caller for the whole program
// (each query overwrites it): the encoder and the send checks read the capabilities.
struct ProjectorStateValues {
    int level = 1;             // firmware level (also where ReadProjectorValue puts its value)
    int capabilityFlags = -1;  // second state value; -1 when the projector did not say
    int stateWord = -1;        // third state value (startup display word); -1 when not said
    char status = '0';         // projector status character (error status, slot check)

    // Level and flags as the message code reads them (-1 reads as all 16 bits set).
    ProjectorCapabilities capabilities() const;
};

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

// The job of a state query for `target`, and what its ended run says: for callers that run the
// query without waiting for it (the pages, whose window must not stop while a projector is
// slow to answer).
void prepareStateQuery(TransferJob& job, const ProjectorTarget& target);
// Success: level, flags and third value into `values`; else false and `values` unchanged.
bool takeStateQuery(const TransferJob& job, ProjectorStateValues& values);

// CtrlStateQuery 0x0F01 (bounded connect, with its follow-ups).  Success: level, flags and
// third value into `values` (an unreachable projector gives level 0xF000).
bool queryProjectorState(const ProjectorTarget& target, Prompt& prompt, TransferRunner& runner,
                         ProjectorStateValues& values);

// CtrlRead 0x3532 with `value` as parameter; the returned number goes to values.level.
bool readProjectorValue(const ProjectorTarget& target, std::uint16_t value, Prompt& prompt,
                        TransferRunner& runner, ProjectorStateValues& values);

// Ctrl 0x3510: show the message of `slot` (0 Quick, 1..12), switching the projector on first
// when `powerOn`.  A refusal "Illegal Request." is shown as "No message on display.".
bool showStoredMessage(const ProjectorTarget& target, std::uint8_t slot, bool powerOn,
                       Prompt& prompt, TransferRunner& runner);
// Ctrl 0x3510 with bit 0 clear.
bool hideStoredMessage(const ProjectorTarget& target, std::uint8_t slot, Prompt& prompt,
                       TransferRunner& runner);

// Ctrl 0x3530 then 0x3531: false (after telling the operator) when a step fails or the slot
// holds no message ("No Message Data.").  Each step's status character goes to values.status.
bool checkStoredMessage(const ProjectorTarget& target, std::uint8_t slot, Prompt& prompt,
                        TransferRunner& runner, ProjectorStateValues& values);

// Ctrl 0x6020; the status character goes to values.status.  `silent` runs it without a
// visible dialog.
bool readErrorStatus(const ProjectorTarget& target, bool silent, Prompt& prompt,
                     TransferRunner& runner, ProjectorStateValues& values);
// True for the status characters of a fatal projector error ("1" to "4").
bool isFatalStatus(char status);
// ReadErrorStatus, then "Projector has the fatal error." for a fatal status: the check every
// send and read-back starts with.
bool checkProjectorReady(const ProjectorTarget& target, Prompt& prompt, TransferRunner& runner,
                         ProjectorStateValues& values);

// The Clear choice of the Main tab: All, Quick, or "Saved number" with the list index
// (0 "ALL", 1..12).
enum class ClearScope { All, Quick, SavedNumber };
std::uint16_t clearCode(ClearScope scope, int listIndex = 0);
// Ctrl `code` (count 6): "    Complete." on success.
bool clearStoredMessages(const ProjectorTarget& target, std::uint16_t code, Prompt& prompt,
                         TransferRunner& runner);

// Ctrl 0x2002 value 1: "    Complete." on success.
bool muteProjector(const ProjectorTarget& target, Prompt& prompt, TransferRunner& runner);

// What INFO says about a stored message.
struct SlotQuery {
    std::string headerHex;   // 64 characters (long form) or 32 + CR LF (short form)
    int messageLength = 0;   // body length of the stored message
    int replyLength = 0;     // for the TEXT that reads it back
    char slotCharacter = 0;  // the slot as the reply names it
};
bool querySlot(const ProjectorTarget& target, std::uint8_t slot, Prompt& prompt,
               TransferRunner& runner, SlotQuery& query);

// TEXT for `slot` with the lengths of the preceding QuerySlot.  Success: `body` holds the
// 4500-byte body buffer (the message first, zeros after) and `length` the message length.
// Failure: `body` is emptied; a cancelled read-back sends CANCEL on the same job first.
bool readBackMessage(const ProjectorTarget& target, std::uint8_t slot, const SlotQuery& query,
                     Prompt& prompt, TransferRunner& runner, std::vector<std::uint8_t>& body,
                     int& length);

// STAT polling until the projector has saved `slot`; a cancelled poll (a cancel carried over
// from the PUT, or one asked for during the wait) sends CANCEL on the same job and sets
// `cancelled` when given.  The result text of a failure is shown.
bool waitForSave(const ProjectorTarget& target, std::uint8_t slot, Prompt& prompt,
                 TransferRunner& runner, bool* cancelled = nullptr);

// A whole read-back as the Edit tab runs it: status check, QuerySlot, ReadBackMessage,
// WaitForSave.  Stops at the first failure (already shown).
struct StoredMessage {
    SlotQuery query;
    std::vector<std::uint8_t> body;
    int length = 0;
};
bool readStoredMessage(const ProjectorTarget& target, std::uint8_t slot, Prompt& prompt,
                       TransferRunner& runner, ProjectorStateValues& values, StoredMessage& stored);

// The send checks and the PUT for a payload that is already built: the Pop on line count
// question (`displayLines` from countDisplayLines), the Picture Side check against
// `capabilities`, then a Put run.  0 when the projector took the message, 1 otherwise (the
// reason has been shown).
int sendPayloadToProjector(const MessagePayload& payload, int displayLines,
                           const ProjectorCapabilities& capabilities, const ProjectorTarget& target,
                           std::uint8_t slot, Prompt& prompt, TransferRunner& runner);

// What a send that went through tells the operator: "    Complete.", or that the message was
// already stored when the operator's cancel came (a short message is not taken back).
std::string sendCompleteText(const TransferFlags& flags);

// The whole send operation: encodes `message` for sending (questions through `prompt`), then
// SendPayloadToProjector with settings.capabilities.  `encoded` (if given) receives the
// encoder's result, so that a caller can show the unsupported-character list it asks for.
int sendMessageToProjector(Message& message, const EncodeSettings& settings,
                           const ProjectorTarget& target, std::uint8_t slot, Prompt& prompt,
                           TransferRunner& runner, EncodeResult* encoded = nullptr);

}  // namespace orvanta
