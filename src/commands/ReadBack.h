#pragma once
// Reading a stored message back from a projector: the Edit page's Get and `orvanta-cli get`.

#include <cstdint>
#include <string>
#include <vector>

#include "commands/CommandContext.h"

namespace orvanta {

// What INFO says about a stored message.
struct SlotQuery {
    std::string headerHex;   // 64 characters (long form) or 32 + CR LF (short form)
    int messageLength = 0;   // body length of the stored message
    int replyLength = 0;     // for the TEXT that reads it back
    char slotCharacter = 0;  // the slot as the reply names it
};
Outcome querySlot(const CommandContext& context, std::uint8_t slot, SlotQuery& query);

// TEXT for `slot` with the lengths of the preceding querySlot. Done: `body` holds the
// 4500-byte body buffer (the message first, zeros after) and `length` the message length.
// Otherwise `body` is emptied; a cancelled read-back sends CANCEL on the same job first and
// ends Cancelled.
Outcome readBackMessage(const CommandContext& context, std::uint8_t slot, const SlotQuery& query,
                        std::vector<std::uint8_t>& body, int& length);

// A whole read-back: status check, querySlot, readBackMessage, waitForSave. Stops at the
// first failure (already shown).
struct StoredMessage {
    SlotQuery query;
    std::vector<std::uint8_t> body;
    int length = 0;
};
Outcome readStoredMessage(const CommandContext& context, std::uint8_t slot, StoredMessage& stored);

}  // namespace orvanta
