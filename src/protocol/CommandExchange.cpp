#include "protocol/CommandExchange.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <thread>

#include "platform/EnumWords.h"
#include "platform/Md5.h"
#include "text/LanguageText.h"

namespace orvanta {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Outcome of a readiness wait.
enum class Ready { Yes, Timeout, Error };

// Waits up to `timeout` for `events` on `fd`, restarting after signals with the time that
// is left.  Any of POLLIN/POLLOUT, POLLHUP or POLLERR counts as ready: the following call
// then returns at once with data, end of stream or the error.
Ready waitFor(int fd, short events, milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
        pollfd p{fd, events, 0};
        const int r = ::poll(&p, 1, static_cast<int>(std::max<milliseconds::rep>(0, left.count())));
        if (r > 0) {
            if (p.revents & POLLNVAL) {
                return Ready::Error;
            }
            return Ready::Yes;
        }
        if (r == 0) {
            return Ready::Timeout;
        }
        if (errno != EINTR) {
            return Ready::Error;
        }
    }
}

ssize_t receiveOnce(int fd, char* data, std::size_t size) {
    ssize_t n;
    do {
        n = ::recv(fd, data, size, 0);
    } while (n < 0 && errno == EINTR);
    return n;
}

bool cancelSet(const std::atomic<bool>* cancel) {
    return cancel != nullptr && cancel->load();
}

std::string formatted(const char* format, unsigned a, unsigned b = 0) {
    std::array<char, 32> text{};
    const int n = std::snprintf(text.data(), text.size(), format, a, b);
    return std::string(text.data(), static_cast<std::size_t>(std::max(0, n)));
}

// Reply digits each command knows.
std::span<const int> knownDigits(Verb verb) {
    static constexpr int kPut[] = {0, 1, 2, 3, 5, 9};
    static constexpr int kQuery[] = {0, 1, 2, 3, 8, 9};
    static constexpr int kStat[] = {0, 1, 9};
    static constexpr int kCancel[] = {0, 1, 3, 4, 8, 9};
    switch (verb) {
        case Verb::Put:
            return kPut;
        case Verb::Stat:
            return kStat;
        case Verb::Cancel:
            return kCancel;
        case Verb::Text:
        case Verb::Ctrl:
        case Verb::Info:
            break;
    }
    return kQuery;
}

}  // namespace

std::optional<Text> exchangeErrorTextKey(int code) {
    switch (code) {
        case 11:
        case 21:
        case 22:
            return Text::SocketErrorBracket;
        case 12:
            return Text::ConnectionErrorBracket;
        case 14:
            return Text::AuthenticationErrorBracket;
        case 15:
        case 17:
            return Text::NoResponseBracket;
        case 16:
            return Text::SendErrorBracket;
        case 18:
        case 23:
            return Text::ReceiveErrorBracket;
        case 19:
            return Text::UnexpectedErrorBracket;
        default:
            return std::nullopt;
    }
}

std::string exchangeErrorText(int code) {
    const std::optional<Text> key = exchangeErrorTextKey(code);
    return key ? languageText(*key) : std::string();
}

std::string_view verbWord(Verb verb) {
    static constexpr EnumWord<Verb> kWords[] = {
        {Verb::Put, "PUT"},   {Verb::Text, "TEXT"}, {Verb::Ctrl, "CTRL"},
        {Verb::Info, "INFO"}, {Verb::Stat, "STAT"}, {Verb::Cancel, "CANCEL"},
    };
    return wordOf(kWords, verb);
}

std::string buildPutRequest(std::span<const std::uint8_t, 32> header, std::uint8_t slot,
                            std::size_t bodyLength) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    const std::size_t headerBytes = header[11] == 0x20 ? 32 : 16;
    std::string text = "PUT ";
    for (std::size_t i = 0; i < headerBytes; ++i) {
        text.push_back(kDigits[header[i] >> 4]);
        text.push_back(kDigits[header[i] & 0x0F]);
    }
    text += "\r\n";
    text += formatted("Save-ID:%X\r\n", slot);
    text += formatted("Length:%05u\r\n\r\n", static_cast<unsigned>(bodyLength));
    return text;
}

std::string buildTextRequest(std::uint8_t slot) {
    return formatted("TEXT %X\r\n", slot);
}

std::string buildInfoRequest(std::uint8_t slot) {
    return formatted("INFO %X\r\n", slot);
}

std::string buildStatRequest(std::uint8_t slot) {
    return formatted("STAT %X\r\n", slot);
}

std::string buildCtrlRequest(std::uint16_t code, std::uint8_t count, std::uint16_t value) {
    std::string text = formatted("CTRL %02X%02X\r\n", code >> 8, code & 0xFF);
    text += formatted("%u\r\n", count);
    if (count == 1) {
        text += formatted("%u\r\n", value);
    }
    return text;
}

std::string buildCancelRequest() {
    return "CANCEL\r\n";
}

int classify(std::string_view reply, Verb verb) {
    // The reply's start is copied into a zero-filled work area and compared with each known
    // line including the line's terminating zero.  For PUT and CANCEL that zero lies inside
    // the copied bytes, so anything after the line makes the reply unknown; for the others
    // only the 8 line bytes are copied, so data may follow.
    const std::size_t copied = verb == Verb::Cancel ? 12 : 8;
    std::array<char, 12> area{};
    reply.substr(0, copied).copy(area.data(), copied);
    const std::string_view word = verbWord(verb);
    const std::size_t compared = verb == Verb::Put ? 8 : verb == Verb::Cancel ? 11 : 9;
    for (int digit : knownDigits(verb)) {
        std::string line(word);
        line += ' ';
        line += static_cast<char>('0' + digit);
        line += "\r\n";
        line.push_back('\0');
        if (line.size() == compared && std::memcmp(area.data(), line.data(), compared) == 0) {
            return digit;
        }
    }
    return toCode(ExchangeError::Unexpected);
}

CommandExchange::CommandExchange(ExchangeTimings timings) : timings_(timings) {}

CommandExchange::~CommandExchange() {
    close();
}

void CommandExchange::close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

ExchangeStatus CommandExchange::fail(ExchangeError e) {
    close();
    return stopped(ExchangeStop::failed(e));
}

ExchangeStatus CommandExchange::open(std::uint32_t address, ConnectMode mode,
                                     const std::atomic<bool>* cancel) {
    close();
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0) {
        return stopped(ExchangeStop::failed(ExchangeError::Socket));
    }
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(kProjectorPort);
    target.sin_addr.s_addr = htonl(address);
    const auto* sa = reinterpret_cast<const sockaddr*>(&target);

    const bool bounded = mode == ConnectMode::Bounded;
    auto failed = [&] {
        close();
        return bounded ? stopped(ExchangeStop::unreachable())
                       : stopped(ExchangeStop::failed(ExchangeError::Connect));
    };
    // Every connect runs in the background and is waited for with a limit: blocking until
    // the kernel gives up would take minutes.
    const int flags = ::fcntl(fd_, F_GETFL, 0);
    if (flags < 0 || ::fcntl(fd_, F_SETFL, flags | O_NONBLOCK) < 0) {
        return failed();
    }
    bool connected = ::connect(fd_, sa, sizeof target) == 0;
    if (!connected && (errno == EINPROGRESS || errno == EINTR)) {
        const milliseconds limit = bounded ? timings_.connectLimit : timings_.plainConnectLimit;
        const auto deadline = Clock::now() + limit;
        for (;;) {
            const auto left = std::chrono::duration_cast<milliseconds>(
                std::max(deadline - Clock::now(), Clock::duration::zero()));
            const Ready ready = waitFor(fd_, POLLOUT, std::min(left, timings_.replyStep));
            if (ready == Ready::Yes) {
                int error = 0;
                socklen_t length = sizeof error;
                connected =
                    ::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
                break;
            }
            if (ready == Ready::Error || left.count() == 0 || cancelSet(cancel)) {
                break;
            }
        }
    }
    if (!connected || ::fcntl(fd_, F_SETFL, flags) < 0) {
        return failed();
    }
    return {};
}

ExchangeStatus CommandExchange::readGreeting(std::string_view password, std::size_t greetingSize,
                                             std::string& digest) {
    digest.clear();
    if (fd_ < 0) {
        return stopped(ExchangeStop::failed(ExchangeError::GreetingWait));
    }
    switch (waitFor(fd_, POLLIN, timings_.greetingWait)) {
        case Ready::Timeout:
            return {};  // the projector asks for no authentication
        case Ready::Error:
            return fail(ExchangeError::GreetingWait);
        case Ready::Yes:
            break;
    }
    std::string greeting(greetingSize, '\0');
    const ssize_t n = receiveOnce(fd_, greeting.data(), greeting.size());
    if (n < 1) {
        return fail(ExchangeError::Authentication);
    }
    greeting.resize(static_cast<std::size_t>(n));
    digest = challengeDigest(greeting, password);
    return {};
}

ExchangeStatus CommandExchange::sendRequest(std::string_view digest, std::string_view requestText,
                                            std::string_view body) {
    if (fd_ < 0) {
        return stopped(ExchangeStop::failed(ExchangeError::Send));
    }
    std::string request;
    request.reserve(digest.size() + requestText.size() + body.size());
    request.append(digest).append(requestText).append(body);
    std::size_t sent = 0;
    while (sent < request.size()) {
        // MSG_NOSIGNAL: a projector that has gone away gives an error value, not SIGPIPE.
        const ssize_t n = ::send(fd_, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return fail(ExchangeError::Send);
        }
        sent += static_cast<std::size_t>(n);
    }
    return {};
}

ExchangeStatus CommandExchange::waitReply(CancelBehaviour behaviour,
                                          const std::atomic<bool>* cancel) {
    if (fd_ < 0) {
        return stopped(ExchangeStop::failed(ExchangeError::NoResponse));
    }
    // The first check does not wait; each further one waits up to one step, so a reply is
    // seen the moment it arrives while cancel is still looked at once per step.
    for (int check = 1;; ++check) {
        const auto stepStart = Clock::now();
        const milliseconds wait = check == 1 ? milliseconds(0) : timings_.replyStep;
        const Ready ready = waitFor(fd_, POLLIN, wait);
        if (ready == Ready::Yes) {
            return {};
        }
        if (ready == Ready::Error) {
            // Keep the pace of the wait even when the readiness check itself fails.
            std::this_thread::sleep_until(stepStart + wait);
        }
        if (check > 1 && behaviour != CancelBehaviour::Ignore && cancelSet(cancel)) {
            if (behaviour == CancelBehaviour::Cancel) {
                close();
                return stopped(ExchangeStop::cancelled());
            }
            return fail(ExchangeError::NoResponse);
        }
        if (check >= timings_.replyPolls) {
            return fail(ExchangeError::NoResponse);
        }
    }
}

ExchangeStatus CommandExchange::receiveReply(std::size_t size, Reply& reply) {
    reply.buffer.assign(size, '\0');
    reply.received = 0;
    if (fd_ < 0) {
        return stopped(ExchangeStop::failed(ExchangeError::Receive));
    }
    const ssize_t n = receiveOnce(fd_, reply.buffer.data(), reply.buffer.size());
    if (n < 1) {
        return fail(ExchangeError::Receive);
    }
    reply.received = static_cast<std::size_t>(n);
    return {};
}

ExchangeStatus CommandExchange::receiveText(int expected, const std::atomic<bool>* cancel,
                                            Reply& reply) {
    reply.buffer.assign(kTextBufferSize, '\0');
    reply.received = 0;
    if (expected < 0 || static_cast<std::size_t>(expected) > kTextBufferSize) {
        return fail(ExchangeError::TextSizeRefused);
    }
    if (fd_ < 0) {
        return stopped(ExchangeStop::failed(ExchangeError::TextReceive));
    }
    const auto wanted = static_cast<std::size_t>(expected);
    const auto deadline =
        Clock::now() + timings_.replyStep * timings_.replyPolls * timings_.textReplyWaits;
    while (reply.received < wanted) {
        if (Clock::now() >= deadline) {
            return fail(ExchangeError::NoResponse);
        }
        // A projector that sends less than announced and keeps the connection open would
        // otherwise block this receive for ever.
        const ExchangeStatus waited = waitReply(CancelBehaviour::Cancel, cancel);
        if (!waited) {
            return waited;
        }
        const ssize_t n =
            receiveOnce(fd_, reply.buffer.data() + reply.received, wanted - reply.received);
        if (n < 0) {
            return fail(ExchangeError::TextReceive);
        }
        if (n == 0) {
            return fail(ExchangeError::TextClosed);
        }
        reply.received += static_cast<std::size_t>(n);
        if (cancelSet(cancel)) {
            close();
            return stopped(ExchangeStop::cancelled());
        }
    }
    return {};
}

namespace {

ExchangeResult ended(ExchangeStatus status) {
    ExchangeResult result;
    result.status = status;
    result.code = errorCode(status);
    return result;
}

// Send, wait, receive and classify on an open exchange.
ExchangeResult requestOnOpen(CommandExchange& exchange, std::string_view digest, Verb verb,
                             std::string_view text, std::string_view body, std::size_t replySize,
                             int expectedTextSize, CancelBehaviour cancelBehaviour,
                             const std::atomic<bool>* cancel) {
    ExchangeResult result;
    result.digest = std::string(digest);
    ExchangeStatus status = exchange.sendRequest(digest, text, body);
    if (status) {
        status = exchange.waitReply(cancelBehaviour, cancel);
    }
    if (status) {
        status = verb == Verb::Text ? exchange.receiveText(expectedTextSize, cancel, result.reply)
                                    : exchange.receiveReply(replySize, result.reply);
    }
    if (!status) {
        exchange.close();
        result.status = status;
        result.code = errorCode(status);
        return result;
    }
    result.code = classify(result.reply.bytes(), verb);
    if (result.code == toCode(ExchangeError::Unexpected)) {
        exchange.close();
        result.status = stopped(ExchangeStop::failed(ExchangeError::Unexpected));
    }
    return result;
}

}  // namespace

ExchangeResult runExchangeKeepOpen(CommandExchange& exchange, const ExchangeRequest& request) {
    // A cancel during the connect ends the exchange as it would end the reply wait.
    const bool cancellable = request.cancelBehaviour != CancelBehaviour::Ignore;
    ExchangeStatus status =
        exchange.open(request.address, request.mode, cancellable ? request.cancel : nullptr);
    if (!status) {
        if (cancellable && cancelSet(request.cancel)) {
            status = request.cancelBehaviour == CancelBehaviour::Cancel
                         ? stopped(ExchangeStop::cancelled())
                         : stopped(ExchangeStop::failed(ExchangeError::NoResponse));
        }
        return ended(status);
    }
    std::string digest;
    status = exchange.readGreeting(request.password, request.greetingSize, digest);
    if (!status) {
        exchange.close();
        return ended(status);
    }
    return requestOnOpen(exchange, digest, request.verb, request.text, request.body,
                         request.replySize, request.expectedTextSize, request.cancelBehaviour,
                         request.cancel);
}

ExchangeResult followUp(CommandExchange& exchange, std::string_view digest, Verb verb,
                        std::string_view text, std::size_t replySize,
                        CancelBehaviour cancelBehaviour, const std::atomic<bool>* cancel) {
    return requestOnOpen(exchange, digest, verb, text, {}, replySize, 0, cancelBehaviour, cancel);
}

ExchangeResult runExchange(const ExchangeRequest& request, ExchangeTimings timings) {
    CommandExchange exchange(timings);
    ExchangeResult result = runExchangeKeepOpen(exchange, request);
    exchange.close();
    return result;
}

}  // namespace orvanta
