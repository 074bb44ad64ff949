#pragma once
// The Save and Open commands of the Edit page (and `orvanta-cli get`'s save): the checks and
// questions around the message file readers and writers of message/MessageFile.h.

#include <optional>
#include <string>

#include "commands/Outcome.h"
#include "message/MessageFile.h"
#include "text/Prompt.h"

namespace orvanta {

// The checks of the Save command before its dialog: an empty message is refused with "Please
// input Message", then the message is encoded with purpose check (whose questions and failures
// go to the operator). Done when the dialog may be shown. When the operator asked to see the
// unsupported characters (the reason's `unsupported` is ShowList), `encoded` holds the list for
// the "Not Supported Character" dialog.
Outcome checkBeforeSave(Message& message, const EncodeSettings& settings, Prompt& prompt,
                        std::optional<EncodeResult>* encoded = nullptr);

// The Save command after its dialog chose `path`: a name without the ".ovx" ending is refused
// with ".ovx extension is only valid."; the message is encoded with purpose save and written
// by saveMessageFile; success is told with "    Complete.".
Outcome saveMessageAs(const std::string& path, Message& message, const EncodeSettings& settings,
                      Prompt& prompt);

// The editor's open: as readMessageFile, and any failure is told with its text (for a file
// not in the format "This file format is not supported.") and the error icon; `message` is
// then unchanged.
Outcome openMessageFile(const std::string& path, bool extendedOptions, Message& message,
                        Prompt& prompt);

}  // namespace orvanta
