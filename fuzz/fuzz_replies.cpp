// Arbitrary bytes as a projector's reply, through every reader of replies: the first-line
// classification of each verb, the INFO, TEXT and status-poll readers. None may crash or read
// outside what arrived; what they report must stay within its field.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "commands/StatusWatch.h"
#include "protocol/CommandExchange.h"
#include "protocol/Transfer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace orvanta;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    for (Verb verb : {Verb::Put, Verb::Text, Verb::Ctrl, Verb::Info, Verb::Stat, Verb::Cancel}) {
        const int code = classify(input, verb);
        if (code != toCode(ExchangeError::Unexpected) && (code < 0 || code > 9)) {
            std::abort();
        }
    }
    // As received into the zero-filled buffer of its size, cut where a receive would cut it.
    Reply reply;
    reply.buffer.assign(kInfoReceiveSize, '\0');
    reply.received = std::min(size, reply.buffer.size());
    input.substr(0, reply.received).copy(reply.buffer.data(), reply.received);

    InfoRecord info;
    readInfoReply(reply, info);
    if (info.headerHexText().size() > info.headerHex.size() || info.messageLength < 0) {
        std::abort();
    }

    MessageTransferRecord text;
    std::string whole(kTextBufferSize, '\0');
    input.substr(0, whole.size()).copy(whole.data(), whole.size());
    if (readTextReply(whole, text) &&
        (text.length < 0 || static_cast<std::size_t>(text.length) > text.body.size())) {
        std::abort();
    }

    for (std::uint16_t code : {kCtrlMessageStatus, kCtrlAlarmStatus}) {
        const PollResult poll = pollResultFromReply(code, reply);
        if (poll.value < 0 || poll.value > 9999) {
            std::abort();
        }
        statusFieldsAfterPoll(poll);
    }
    return 0;
}
