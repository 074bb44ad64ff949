#pragma once
// One TCP conversation with a projector on its command port: connect, answer the greeting
// with the challenge digest, send one request, wait for and receive its reply, classify the
// reply's first line, close.  Everything here is blocking and meant for a worker thread.
//
// Results are values: every step returns an ExchangeStatus; a step that did not go on says
// why, and failures carry the exchange error code (11..23) that a transfer reports as its
// TransferResult.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/Result.h"
#include "text/TextId.h"

namespace orvanta {

// The projector command port.
inline constexpr std::uint16_t kProjectorPort = 9719;

// Receive sizes used by the commands.
inline constexpr std::size_t kSmallReceiveSize = 1024;  // PUT and CTRL greeting and reply
inline constexpr std::size_t kInfoReceiveSize = 3966;   // INFO, STAT, CANCEL
inline constexpr std::size_t kTextBufferSize = 4500;    // TEXT greeting and gathered reply

// Codes with which an exchange fails.  They share one number space with the reply digits
// 0..9 (a TransferResult is 0, a digit or one of these).
enum class ExchangeError : int {
    Socket = 11,           // socket could not be created
    Connect = 12,          // connect failed
    Authentication = 14,   // greeting signalled, but receiving it failed or gave 0 bytes
    GreetingWait = 15,     // the greeting wait itself failed
    Send = 16,             // send failed
    NoResponse = 17,       // no reply in time, or a CTRL/INFO/STAT/CANCEL cancel
    Receive = 18,          // the reply receive failed or gave 0 bytes
    Unexpected = 19,       // the reply's first line is not one the command knows
    TextReceive = 21,      // a receive of a TEXT reply failed
    TextClosed = 22,       // the projector closed before the whole TEXT reply arrived
    TextSizeRefused = 23,  // the expected TEXT size lies outside 0..kTextBufferSize
};

constexpr int toCode(ExchangeError e) {
    return static_cast<int>(e);
}

// The text key of an exchange error code (Text::SocketErrorBracket ...); nothing for a code
// that is no exchange error.
std::optional<Text> exchangeErrorTextKey(int code);
// The text itself in the interface language (empty for a code that is no exchange error).
std::string exchangeErrorText(int code);

// Why a step did not go on.  Unreachable (bounded connect failed) and Cancelled (TEXT cancel)
// are ordinary endings that callers tell apart from errors.
struct ExchangeStop {
    enum class Kind { Failed, Unreachable, Cancelled };
    Kind kind = Kind::Failed;
    int code = 0;  // the ExchangeError code when kind is Failed, else 0

    static ExchangeStop failed(ExchangeError e) { return {Kind::Failed, toCode(e)}; }
    static ExchangeStop unreachable() { return {Kind::Unreachable, 0}; }
    static ExchangeStop cancelled() { return {Kind::Cancelled, 0}; }

    friend bool operator==(const ExchangeStop&, const ExchangeStop&) = default;
};

// How a step ended: done, or stopped for its reason.  The error() text is left empty: the
// words for the operator come from the code (exchangeErrorText), in the language of the
// moment the failure is shown.
using ExchangeStatus = Result<void, ExchangeStop>;

inline ExchangeStatus stopped(ExchangeStop stop) {
    return fail(stop, {});
}

// The ExchangeError code of a step that failed; 0 for one that went on, was cancelled or
// found the projector unreachable.
inline int errorCode(const ExchangeStatus& status) {
    return status ? 0 : status.reason().code;
}

// Whether the step stopped for `kind` (never for one that went on).
inline bool stoppedFor(const ExchangeStatus& status, ExchangeStop::Kind kind) {
    return !status && status.reason().kind == kind;
}

enum class ConnectMode {
    Plain,    // blocking connect; failure is error 12
    Bounded,  // connect limited to ExchangeTimings::connectLimit; failure is Unreachable
};

// What the reply wait does with a set cancel flag.
enum class CancelBehaviour {
    Ignore,      // PUT
    Cancel,      // TEXT: ends with the Cancelled outcome
    NoResponse,  // CTRL, INFO, STAT, CANCEL: ends with error 17
};

enum class Verb { Put, Text, Ctrl, Info, Stat, Cancel };

// The word of a verb as it stands on the wire ("PUT", "CANCEL", ...).
std::string_view verbWord(Verb verb);

// Waits of an exchange.  The defaults are the protocol's; tests shorten them.
struct ExchangeTimings {
    std::chrono::milliseconds connectLimit{500};  // bounded connect
    // Plain connect: a projector whose address answers no connection attempt at all would
    // otherwise hold the command for the kernel's two minutes of retries.
    std::chrono::milliseconds plainConnectLimit{5000};
    std::chrono::milliseconds greetingWait{1000};  // silence that means "no greeting"
    std::chrono::milliseconds replyStep{200};      // cancel granularity of the reply wait
    int replyPolls = 61;  // readability checks of the reply wait, replyStep apart (~12 s)
    // A TEXT reply as a whole may take this many reply waits, however it trickles in.
    int textReplyWaits = 5;
};

// A received reply: `buffer` is the zero-filled receive buffer (its size is the receive
// size), of which the first `received` bytes came from the projector.  Reading a fixed
// offset beyond what arrived yields zeros, as the readers of the replies expect.
struct Reply {
    std::string buffer;
    std::size_t received = 0;

    std::string_view bytes() const { return std::string_view(buffer).substr(0, received); }
    // Byte at `offset` of the buffer, 0 beyond its end.
    unsigned char at(std::size_t offset) const {
        return offset < buffer.size() ? static_cast<unsigned char>(buffer[offset]) : 0;
    }
};

// Request texts, exactly as the projector expects them (no digest; the exchange puts the
// digest in front).  The PUT header is the 32-byte message header: 64 hex characters when
// header byte 11 is 0x20, else the first 16 bytes as 32 characters.
std::string buildPutRequest(std::span<const std::uint8_t, 32> header, std::uint8_t slot,
                            std::size_t bodyLength);
std::string buildTextRequest(std::uint8_t slot);
std::string buildInfoRequest(std::uint8_t slot);
std::string buildStatRequest(std::uint8_t slot);
// "CTRL %02X%02X\r\n", "%d\r\n" with the count and, only when the count is 1, "%d\r\n" value.
std::string buildCtrlRequest(std::uint16_t code, std::uint8_t count, std::uint16_t value);
std::string buildCancelRequest();

// Digit (0..9) of the reply's first line when it is one that `verb` knows, else 19.
// PUT and CANCEL must be exactly their line (7 and 10 bytes, nothing but zeros after it);
// the others compare only the first 8 bytes, whatever follows.
int classify(std::string_view reply, Verb verb);

// The exchange itself.  Not copyable; closes its socket when destroyed.
class CommandExchange {
  public:
    explicit CommandExchange(ExchangeTimings timings = {});
    ~CommandExchange();
    CommandExchange(const CommandExchange&) = delete;
    CommandExchange& operator=(const CommandExchange&) = delete;

    // Creates the socket and connects to `address` (IPv4, host order) on the command port,
    // within connectLimit (bounded) or plainConnectLimit, looking at `cancel` (may be null)
    // every replyStep. Errors 11, 12; Unreachable for a failed bounded connect; a set cancel
    // flag ends it as a failed connect would.  Closes on failure.
    ExchangeStatus open(std::uint32_t address, ConnectMode mode,
                        const std::atomic<bool>* cancel = nullptr);

    // Waits for the greeting; if one arrives, `digest` becomes the 32-character challenge
    // digest for `password` (UTF-8), else it is left empty.  Errors 14, 15.
    ExchangeStatus readGreeting(std::string_view password, std::size_t greetingSize,
                                std::string& digest);

    // Sends digest + request text + body as one request, all of it.  Error 16.
    ExchangeStatus sendRequest(std::string_view digest, std::string_view requestText,
                               std::string_view body = {});

    // Waits until the reply is readable, looking at `cancel` (may be null) every replyStep.
    // Error 17, or Cancelled for CancelBehaviour::Cancel.
    ExchangeStatus waitReply(CancelBehaviour behaviour, const std::atomic<bool>* cancel);

    // One receive of up to `size` bytes into a zero-filled buffer of that size.  Error 18.
    ExchangeStatus receiveReply(std::size_t size, Reply& reply);

    // Gathers a TEXT reply of `expected` bytes over as many receives as it takes, into a
    // zero-filled buffer of kTextBufferSize bytes.  Each receive waits as the reply wait
    // does, so a projector that stops sending ends with 17 instead of hanging, and the whole
    // reply gets textReplyWaits reply waits, so one that trickles ends with 17 as well; a set
    // `cancel` between receives gives Cancelled.  Errors 21, 22, 17, 23 (size refused).
    ExchangeStatus receiveText(int expected, const std::atomic<bool>* cancel, Reply& reply);

    // Closes the socket (safe to call more than once).
    void close();

    bool isOpen() const { return fd_ >= 0; }
    const ExchangeTimings& timings() const { return timings_; }

  private:
    ExchangeStatus fail(ExchangeError e);

    ExchangeTimings timings_;
    int fd_ = -1;
};

// What one request-reply round gave.  Exactly one of: a classified reply (`status` done,
// `code` the digit), a failure (stopped Failed, `code` the error), Unreachable, Cancelled.
struct ExchangeResult {
    ExchangeStatus status;
    int code = 0;        // reply digit when status is done, error code when Failed, else 0
    Reply reply;         // the reply as received (also when classify gave 19)
    std::string digest;  // the digest used (empty without greeting), for follow-ups
};

// Everything one exchange needs.
struct ExchangeRequest {
    std::uint32_t address = 0;  // host order
    std::string password;       // UTF-8
    ConnectMode mode = ConnectMode::Plain;
    Verb verb = Verb::Ctrl;
    std::string text;  // request lines from a build*Request function
    std::string body;  // PUT body
    std::size_t greetingSize = kSmallReceiveSize;
    std::size_t replySize = kSmallReceiveSize;
    // Verb::Text only: the reply is gathered with receiveText up to this many bytes
    // instead of one receive of replySize.
    int expectedTextSize = 0;
    CancelBehaviour cancelBehaviour = CancelBehaviour::NoResponse;
    const std::atomic<bool>* cancel = nullptr;
};

// Runs open, greeting, send, wait, receive and classify on `exchange` and leaves the
// connection open after a classified reply so that follow-up requests can use it; it is
// closed on every other ending.  A reply that classify does not know ends Failed with 19.
ExchangeResult runExchangeKeepOpen(CommandExchange& exchange, const ExchangeRequest& request);

// Sends a further request on an exchange left open by runExchangeKeepOpen, prefixed with
// the same digest, then waits, receives and classifies.  Closes the connection on failure.
ExchangeResult followUp(CommandExchange& exchange, std::string_view digest, Verb verb,
                        std::string_view text, std::size_t replySize,
                        CancelBehaviour cancelBehaviour, const std::atomic<bool>* cancel);

// One whole exchange, always closed at the end.
ExchangeResult runExchange(const ExchangeRequest& request, ExchangeTimings timings = {});

}  // namespace orvanta
