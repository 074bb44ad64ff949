#pragma once
// Sending a message into a projector slot: the PUT with its checks, the wait until the
// projector has saved it, and the whole "Send" of a saved message file (with the state
// query's capabilities and the startup display follow-up) that the Main page and
// `orvanta-cli send` run.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "commands/CommandContext.h"
#include "message/MessageFile.h"
#include "message/Payload.h"

namespace orvanta {

// STAT polling until the projector has saved `slot`. A cancelled poll (a cancel carried over
// from the PUT, or one asked for during the wait) sends CANCEL on the same job; then, when
// `sent` names the payload that went out, the slot is asked what it holds: the message sent
// (the save ended before the CANCEL) makes the send done, with cancelOverruled set so that
// it says so; anything else ends Cancelled ("Cancel complete.", or that the projector did
// not say). The result text of a failure is shown.
Outcome waitForSave(const CommandContext& context, std::uint8_t slot,
                    const MessagePayload* sent = nullptr);

// What a send that went through tells the operator: "    Complete.", or that the message was
// already stored when the operator's cancel came (a short message is not taken back).
std::string sendCompleteText(const TransferFlags& flags);

// The send checks and the PUT for a payload that is already built: the Pop on line count
// question (`displayLines` from countDisplayLines; No cancels), the Picture Side check against
// `capabilities`, then a Put run.
Outcome sendPayloadToProjector(const CommandContext& context, const MessagePayload& payload,
                               int displayLines, const ProjectorCapabilities& capabilities,
                               std::uint8_t slot);

// Encodes `message` for sending (questions through the prompt), then sendPayloadToProjector
// with settings.capabilities. `encoded` (if given) receives the encoder's result, so that a
// caller can show the unsupported-character list it asks for.
Outcome sendMessageToProjector(const CommandContext& context, Message& message,
                               const EncodeSettings& settings, std::uint8_t slot,
                               std::optional<EncodeResult>* encoded = nullptr);
// The same, recorded in the history with `record` (its command and slot are "send" and `slot`;
// a send from a template names the template and its values there).
Outcome sendMessageToProjector(const CommandContext& context, Message& message,
                               const EncodeSettings& settings, std::uint8_t slot,
                               CommandRecord record);

// A message file read once for a send to any number of projectors: the message as read
// for projectors without and with the extended options.
struct SendFile {
    Result<> read;  // how reading the file ended: a file that failed is not sent
    Message plain;
    Message extended;

    const Message& forProjector(bool extendedOptions) const {
        return extendedOptions ? extended : plain;
    }
};
std::shared_ptr<const SendFile> readSendFile(const std::string& path);

struct SendRequest {
    std::string path;       // the message file (".ovx", or ".txt" to import)
    std::uint8_t slot = 0;  // 0 Quick, 1..12
    // The "Startup Display" check box and the text of its display-time list.
    bool startupChecked = false;
    std::string displayTimeText;
};

// "Send": send lock, file read with the chosen projector's capabilities (a file without
// message text is refused with "Please input Message"), startup time check, error-status
// pre-check, fatal check, encode with the file's own options, PUT, save wait (with CANCEL
// after a cancel), startup display follow-up, "    Complete.". The context's projector
// information is the chosen projector's (refreshProjectorInfo); the follow-up updates its
// startup word. A cancel asked for before the PUT (see TransferFlags) ends the send
// Cancelled before anything is sent; one asked for during the PUT or the save wait sends
// CANCEL. A failure of the startup display follow-up fails at Step::FollowUp: the message is
// on the projector then.
Outcome sendMessageFile(const CommandContext& context, const SendRequest& request, bool sendLocked);
// The same with the file as readSendFile read it (request.path only names it), for a send to
// many projectors that reads the file once.
Outcome sendMessageFile(const CommandContext& context, const SendRequest& request,
                        const SendFile& file, bool sendLocked);

// "Send" of a saved message file to a projector not yet asked: the state query (the file is
// read with this projector's capabilities; a query that fails stops the send), then
// sendMessageFile. Refused while the send lock is on at this moment (the settings file is
// read: a retry obeys a lock set since the first try). Recorded as one command whenever the
// projector was reached, the first query's failure and a cancel before the PUT included.
Outcome sendFileToProjector(const CommandContext& context, const SendRequest& request,
                            const SendFile& file);

struct ComposedSendOptions {
    // Ask the projector's state first and encode with its capabilities (a projector not
    // asked before, as in a send to many); else the settings' capabilities are used.
    bool queryState = false;
    // Poll until the projector has saved the message.
    bool waitForSave = false;
    // Receives the encoder's result (the unsupported-character list), if given.
    std::optional<EncodeResult>* encoded = nullptr;
};
// What a row sends when the message depends on the projector (a template filled with its
// name, checked against its capabilities): made once the state query has told the
// capabilities, with the record the history keeps, or the refusal the row ends with before
// anything is sent.
struct RowMessage {
    Message message;
    CommandRecord record;
    std::string refusal;  // not empty: nothing is sent
};
using RowMessageFor = std::function<RowMessage(const ProjectorCapabilities& capabilities)>;

// The Edit page's Send of the message being written: (state query,) error status and fatal
// check, encoding with `settings` (questions through the prompt), PUT, the startup display
// for `slot` when `startupMinutes` is given, "    Complete.". One record for the whole;
// refused while the send lock is on at this moment.
Outcome sendComposedMessage(const CommandContext& context, const Message& message,
                            EncodeSettings settings, std::uint8_t slot,
                            std::optional<int> startupMinutes, ComposedSendOptions options = {});
// The same with the message made for the projector once its capabilities are known; the
// row's record (a template and its values) is what the history keeps.
Outcome sendComposedMessage(const CommandContext& context, const RowMessageFor& messageFor,
                            EncodeSettings settings, std::uint8_t slot,
                            std::optional<int> startupMinutes, ComposedSendOptions options = {});

namespace detail {
// The CANCEL that tells the projector to abandon a transfer the operator cancelled, run on
// the job whose run was cancelled.
void sendCancel(TransferJob& job, const CommandContext& context);
}  // namespace detail

}  // namespace orvanta
