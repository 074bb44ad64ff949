#pragma once
// What a command asks a projector before (or besides) acting: its state, its error status,
// whether a slot holds a message. Each reports failures to the operator and as its outcome.

#include <cstdint>

#include "commands/CommandContext.h"

namespace orvanta {

// The job of a state query for `target`, and what its ended run says: for callers that run the
// query without waiting for it (the pages, whose window must not stop while a projector is
// slow to answer).
void prepareStateQuery(TransferJob& job, const ProjectorTarget& target);
// Success: level, flags and third value into `values`; else false and `values` unchanged.
bool takeStateQuery(const TransferJob& job, ProjectorStateValues& values);
// The same for the projector information kept by a page (see refreshProjectorInfo).
bool takeProjectorInfo(const TransferJob& job, ProjectorInfo& info);

// CtrlStateQuery 0x0F01 (bounded connect, with its follow-ups). Done: level, flags and third
// value into `values` (an unreachable projector gives level 0xF000).
Outcome queryProjectorState(const CommandContext& context, ProjectorStateValues& values);

// The state query that runs when a projector is chosen: on success the context's projector
// information takes the answer (its capabilities only from a usable level); on failure it
// keeps its earlier values.
Outcome refreshProjectorInfo(const CommandContext& context);

// CtrlRead 0x3532 with `value` as parameter; `answer` receives the number the projector
// returns (0xF000 for a projector that took no connection).
Outcome readProjectorValue(const CommandContext& context, std::uint16_t value, int& answer);

// Ctrl 0x6020; the status character goes to the projector's values.status. `silent` runs it
// without a visible dialog.
Outcome readErrorStatus(const CommandContext& context, bool silent = false);
// True for the status characters of a fatal projector error ("1" to "4").
bool isFatalStatus(char status);
// readErrorStatus, then "Projector has the fatal error." for a fatal status: the check every
// command, send and read-back starts with. Its failures count as Step::Checks.
Outcome checkProjectorReady(const CommandContext& context);

// Ctrl 0x3530 then 0x3531: fails (after telling the operator) when a step fails or the slot
// holds no message ("No Message Data."). Each step's status character goes to values.status.
Outcome checkStoredMessage(const CommandContext& context, std::uint8_t slot);

namespace detail {
// One Ctrl run on `job`; the failure text, "from" shown as "to" where a command says so, is
// told to the operator.
Outcome runCtrl(TransferJob& job, const CommandContext& context, std::uint16_t code,
                std::uint8_t count, std::uint16_t value, int replaceFrom = 0, int replaceTo = 0);
// A transfer record's failure text and the one shown for it where a command says so.
void replaceText(std::string& text, int from, int to);
}  // namespace detail

}  // namespace orvanta
