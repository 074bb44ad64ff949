#pragma once
// The per-user settings store (section PJOrvantaPass under TAVRIX/PJOrvanta).

namespace orvanta {

// "Lock" equals "1".
bool readSendLocked();
// Writes "Lock" as "0" or "1".
void writeSendLocked(bool locked);

}  // namespace orvanta
