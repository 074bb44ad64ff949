#pragma once
// Helpers for the transfer and operation tests: short waits, a message payload the simulator
// accepts, and a look at what the simulator logged.

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "commands/SendCommand.h"
#include "commands/StoredMessageList.h"
#include "message/Payload.h"
#include "protocol/Transfer.h"
#include "support/ScriptedPrompt.h"
#include "support/SimProcess.h"
#include "support/WaitUntil.h"

namespace orvanta::testsupport {

// Silence this long means "no greeting". The simulator greets at once, but a process slowed by
// a sanitizer on a busy machine can take far longer than a projector to do so; only the tests of
// a projector without greeting wait this out, once each.
inline constexpr std::chrono::milliseconds kTestGreetingWait{3000};

// Reply waits short enough that a test of a missing reply ends in about a second.
inline TransferTimings quickTimings() {
    TransferTimings t;
    t.exchange.greetingWait = kTestGreetingWait;
    t.exchange.replyStep = std::chrono::milliseconds(20);
    t.exchange.replyPolls = 50;
    t.statInterval = std::chrono::milliseconds(10);
    return t;
}

// The stored-message list with the same short waits.
inline SlotListTimings quickListTimings() {
    SlotListTimings t;
    t.greetingWait = kTestGreetingWait;
    t.replyStep = std::chrono::milliseconds(50);
    t.replyPolls = 20;
    return t;
}

// A payload of `bodyBytes` bytes whose checksum is right; header byte 11 chooses the long
// (0x20) or the short form of the PUT line.  Style 0xFF is none that the send checks look at.
inline MessagePayload testPayload(std::size_t bodyBytes, bool longForm, std::uint8_t style = 0xFF) {
    MessagePayload payload;
    for (std::size_t i = 0; i < kHeaderBytes; ++i) {
        payload.header[i] = static_cast<std::uint8_t>(0x30 + i);
    }
    payload.header[0] = style;
    payload.header[3] = 0;
    payload.header[11] = longForm ? 0x20 : 0x10;
    payload.body.resize(bodyBytes);
    for (std::size_t i = 0; i < bodyBytes; ++i) {
        payload.body[i] = static_cast<std::uint8_t>((i * 7 + 3) % 251);
    }
    const std::uint16_t sum = bodyChecksum(payload.body);
    payload.header[14] = static_cast<std::uint8_t>(sum >> 8);
    payload.header[15] = static_cast<std::uint8_t>(sum & 0xFF);
    return payload;
}

// Number of simulator log lines that contain `text`.
inline int countLines(const SimProcess& sim, std::string_view text) {
    int n = 0;
    for (const std::string& line : sim.lines()) {
        n += line.find(text) != std::string::npos ? 1 : 0;
    }
    return n;
}

// Waits until `count` log lines contain `text` (the log is read on another thread), then tells
// whether exactly so many do; false if they never come.
inline bool waitForCount(const SimProcess& sim, std::string_view text, int count) {
    test::waitUntil([&] { return countLines(sim, text) >= count; }, std::chrono::minutes(1));
    return countLines(sim, text) == count;
}

// A listener on `address`:9719 whose backlog is full, so that a further connect hangs as it
// does for a projector that is switched off.  Closes its sockets when destroyed.
class StalledListener {
  public:
    explicit StalledListener(const char* address) {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(kProjectorPort);
        a.sin_addr.s_addr = htonl(ipv4(address));
        ok_ = ::bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
              ::listen(listener_, 0) == 0;
        // One connection fills the queue of a backlog of 0.
        filler_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        ok_ = ok_ && ::connect(filler_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    }
    ~StalledListener() {
        ::close(filler_);
        ::close(listener_);
    }
    StalledListener(const StalledListener&) = delete;
    StalledListener& operator=(const StalledListener&) = delete;
    bool ok() const { return ok_; }

  private:
    int listener_ = -1;
    int filler_ = -1;
    bool ok_ = false;
};

// Stores a 50-byte test message (long header form) into each of `slotNumbers` of a level-4
// projector.
inline bool storeTestMessages(const ProjectorTarget& target,
                              std::initializer_list<std::uint8_t> slotNumbers) {
    TransferFlags flags;
    BlockingTransferRunner runner(flags, quickTimings());
    ScriptedPrompt prompt;
    ProjectorInfo projector;
    const CommandContext context{target, prompt, runner, projector};
    for (std::uint8_t slot : slotNumbers) {
        if (!sendPayloadToProjector(context, testPayload(50, true), 0, {4, 7}, slot).ok()) {
            return false;
        }
    }
    return true;
}

}  // namespace orvanta::testsupport
