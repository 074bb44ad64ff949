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
                          const std::atomic<bool>& stop, SlotListSink& sink,
                          const SlotListTimings& timings) {
    ExchangeTimings exchangeTimings;
    exchangeTimings.greetingWait = timings.greetingWait;
    exchangeTimings.replyStep = timings.replyStep;
    exchangeTimings.replyPolls = timings.replyPolls + 1;  // the first check does not wait
    const std::string unchanged;

    for (int slot = 0; slot < kStoredSlotCount && !stop.load(); ++slot) {
        CommandExchange exchange(exchangeTimings);
        std::string digest;
        // Listing needs the greeting: a projector that sends none cannot be listed.
        if (!exchange.open(address, ConnectMode::Plain, &stop).isOk() ||
            !exchange.readGreeting(password, kInfoReceiveSize, digest).isOk() || digest.empty()) {
            sink.slotEvent(SlotListEvent::ConnectFailed, slot, unchanged);
            return;
        }
        Reply reply;
        if (!exchange.sendRequest(digest, buildInfoRequest(static_cast<std::uint8_t>(slot)))
                 .isOk() ||
            !exchange.waitReply(CancelBehaviour::NoResponse, &stop).isOk() ||
            !exchange.receiveReply(kInfoReceiveSize, reply).isOk()) {
            if (!stop.load()) {  // a closed list wants no more news
                sink.slotEvent(SlotListEvent::Failed, slot, unchanged);
            }
            return;
        }
        exchange.close();
        const int digit = classify(reply.bytes(), Verb::Info);
        sink.slotEvent(eventForDigit(digit), slot, std::string(slotStatusWord(digit)));
    }
}

}  // namespace orvanta
