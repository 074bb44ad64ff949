#include "commands/StoredMessageList.h"

#include "protocol/CommandExchange.h"

namespace orvanta {
namespace {

SlotListEvent eventForDigit(int digit) {
    switch (digit) {
        case 0:
            return SlotListEvent::InUse;
        case 1:
            return SlotListEvent::NotUsed;
        case 2:
            return SlotListEvent::Saving;
        case 3:
            return SlotListEvent::Busy;
        case 8:
            return SlotListEvent::TimeOut;
        case 9:
            return SlotListEvent::Error;
        default:
            break;
    }
    return SlotListEvent::Failed;
}

}  // namespace

std::string_view slotStatusWord(int digit) {
    switch (digit) {
        case 0:
            return "in use";
        case 1:
            return "not used";
        case 2:
            return "Saving...";
        case 3:
            return "PROJECTOR busy";
        case 8:
            return "Time out";
        default:
            break;
    }
    return "error";
}

std::string slotLabel(int slot) {
    return slot == 0 ? std::string("Quick") : std::to_string(slot);
}

void runStoredMessageList(std::uint32_t address, const std::string& password,
                          const std::atomic<bool>& stop, const EventSink<SlotReport>& sink,
                          const SlotListTimings& timings) {
    ExchangeTimings exchangeTimings;
    exchangeTimings.greetingWait = timings.greetingWait;
    exchangeTimings.replyStep = timings.replyStep;
    exchangeTimings.replyPolls = timings.replyPolls + 1;  // the first check does not wait

    for (int slot = 0; slot < kStoredSlotCount && !stop.load(); ++slot) {
        CommandExchange exchange(exchangeTimings);
        std::string digest;
        // Listing needs the greeting: a projector that sends none cannot be listed.
        if (!exchange.open(address, ConnectMode::Plain, &stop).ok() ||
            !exchange.readGreeting(password, kInfoReceiveSize, digest).ok() || digest.empty()) {
            sink({SlotListEvent::ConnectFailed, slot, {}});
            return;
        }
        Reply reply;
        if (!exchange.sendRequest(digest, buildInfoRequest(static_cast<std::uint8_t>(slot))).ok() ||
            !exchange.waitReply(CancelBehaviour::NoResponse, &stop).ok() ||
            !exchange.receiveReply(kInfoReceiveSize, reply).ok()) {
            if (!stop.load()) {  // a closed list wants no more news
                sink({SlotListEvent::Failed, slot, {}});
            }
            return;
        }
        exchange.close();
        const int digit = classify(reply.bytes(), Verb::Info);
        sink({eventForDigit(digit), slot, std::string(slotStatusWord(digit))});
    }
}

}  // namespace orvanta
