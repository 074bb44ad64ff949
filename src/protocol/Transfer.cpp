#include "protocol/Transfer.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <iterator>
#include <mutex>

#include "platform/WorkerPool.h"
#include "text/LanguageText.h"

namespace orvanta {
namespace {

bool isCtrlKind(TransferKind kind) {
    return kind == TransferKind::Ctrl || kind == TransferKind::CtrlRead ||
           kind == TransferKind::CtrlStateQuery;
}

Text startedLine(TransferKind kind) {
    switch (kind) {
        case TransferKind::Put:
            return Text::NowSending;
        case TransferKind::Text:
            return Text::NowGetting;
        case TransferKind::Info:
            return Text::NowGetInformation;
        case TransferKind::Stat:
            return Text::NowGetStatus;
        case TransferKind::Cancel:
            return Text::StatusCancel;
        case TransferKind::Ctrl:
        case TransferKind::CtrlRead:
        case TransferKind::CtrlStateQuery:
            break;
    }
    return Text::NowControlling;
}

// Result text of a refused request (reply digit other than 0).  The digits a verb cannot
// receive (its reply would not have been recognised) read as "Other error".
Text refusalText(TransferKind kind, int digit) {
    const bool ctrl = isCtrlKind(kind);
    switch (digit) {
        case 1:
            if (kind == TransferKind::Put) {
                return Text::TransferFailure;
            }
            return ctrl ? Text::IllegalRequest : Text::NoMessageData;
        case 2:
        case 3:
            return Text::ProjectorBusy;
        case 4:
            return kind == TransferKind::Cancel ? Text::TransferError : Text::OtherError;
        case 5:
            return kind == TransferKind::Put ? Text::DataSizeOver : Text::OtherError;
        case 8:
            return Text::TimeoutError;
        case 9:
            return kind == TransferKind::Info ? Text::NoMessageData : Text::OtherError;
        default:
            break;
    }
    return Text::OtherError;
}

TransferEnd endWith(TransferOutcome& outcome, TransferEnd end) {
    outcome.end = end;
    return end;
}

TransferEnd applyReply(TransferKind kind, int digit, TransferOutcome& outcome) {
    const bool plainSuccess = kind == TransferKind::Put || kind == TransferKind::Cancel;
    if (digit == 0 || (digit == 1 && kind == TransferKind::Cancel)) {
        outcome.resultCode = 0;
        if (!plainSuccess) {
            outcome.resultText = languageText(Text::RequestOk);
        }
        return endWith(outcome, TransferEnd::Success);
    }
    outcome.statusLine = std::string(transferVerbWord(kind)) + static_cast<char>('0' + digit);
    outcome.resultCode = digit;
    outcome.resultText = languageText(refusalText(kind, digit));
    return endWith(outcome, TransferEnd::Failure);
}

TransferEnd applySaveStatus(char status, TransferOutcome& outcome) {
    outcome.saveStatus = status;
    switch (status) {
        case '0':
            outcome.statusLine = languageText(Text::StatusComplete);
            return endWith(outcome, TransferEnd::Success);
        case '1':
            outcome.statusLine = languageText(Text::StatusSave);
            return TransferEnd::Running;
        case '2':
            outcome.statusLine = languageText(Text::StatusRetry);
            return TransferEnd::Running;
        case '3':
            outcome.statusLine = languageText(Text::StatusProjectorBusy);
            return TransferEnd::Running;
        case '4':
            outcome.statusLine = languageText(Text::StatusTransferFailure);
            outcome.resultText = languageText(Text::TransferFailure);
            return endWith(outcome, TransferEnd::Failure);
        case '5':
            outcome.statusLine = languageText(Text::StatusWaiting);
            return TransferEnd::Running;
        default:
            break;
    }
    outcome.statusLine = languageText(Text::StatusUndefinedError);
    outcome.resultText = languageText(Text::OtherError);
    return endWith(outcome, TransferEnd::Failure);
}

bool isBusySaveStatus(char status) {
    return status == '1' || status == '2' || status == '3' || status == '5';
}

// The decimal number that starts at `offset` (digits up to the first non-digit; 0 when there
// is none).  Bounded so that a long run of digits cannot overflow.
long numberAt(std::string_view bytes, std::size_t offset,
              std::size_t end = std::string_view::npos) {
    end = std::min(end, bytes.size());
    long value = 0;
    for (std::size_t i = offset; i < end; ++i) {
        const char c = bytes[i];
        if (c < '0' || c > '9') {
            break;
        }
        if (value < 100000000L) {
            value = value * 10 + (c - '0');
        }
    }
    return value;
}

// ---------------------------------------------------------------------------------------------
// Workers

struct WorkerContext {
    TransferFlags& flags;
    const TransferTimings& timings;
    const TransferEventSink& sink;

    void post(TransferEventType type, int value = 0) { sink({type, value}); }
    const std::atomic<bool>* cancel() const { return &flags.cancelRequested; }

    // Posts the final event of an exchange that did not end with a classified reply.
    void postEnding(const ExchangeResult& result) {
        if (result.status) {
            post(TransferEventType::ReplyReceived, result.code);
            return;
        }
        switch (result.status.reason().kind) {
            case ExchangeStop::Kind::Failed:
                post(TransferEventType::TransferFailed, result.code);
                return;
            case ExchangeStop::Kind::Cancelled:
                post(TransferEventType::TransferCancelled);
                return;
            case ExchangeStop::Kind::Unreachable:
                post(TransferEventType::ProjectorUnreachable);
                return;
        }
    }
};

ExchangeRequest requestFor(std::uint32_t address, const std::string& password, Verb verb,
                           std::string text, std::size_t size, CancelBehaviour cancelBehaviour,
                           const WorkerContext& context) {
    ExchangeRequest request;
    request.address = address;
    request.password = password;
    request.verb = verb;
    request.text = std::move(text);
    request.greetingSize = size;
    request.replySize = size;
    request.cancelBehaviour = cancelBehaviour;
    request.cancel = context.cancel();
    return request;
}

void putWorker(MessageTransferRecord& record, WorkerContext& context) {
    // The body must lie within the record; anything else cannot be sent as it stands.
    if (record.length < 0 || record.length > static_cast<std::int32_t>(kTransferBodyBytes)) {
        context.post(TransferEventType::TransferFailed, toCode(ExchangeError::Socket));
        return;
    }
    const auto length = static_cast<std::size_t>(record.length);
    ExchangeRequest request = requestFor(record.address, record.password, Verb::Put,
                                         buildPutRequest(record.header, record.slot, length),
                                         kSmallReceiveSize, CancelBehaviour::Ignore, context);
    request.body.assign(reinterpret_cast<const char*>(record.body.data()), length);
    const ExchangeResult result = runExchange(request, context.timings.exchange);
    if (result.status && result.code == 0) {
        TransferFlags& flags = context.flags;
        if (flags.cancelRequested.load()) {
            flags.cancelPending = true;
        }
        // A short message is taken as complete: the cancel is forgotten.
        if (record.length < kCancelCarryOverLength) {
            flags.cancelOverruled = flags.cancelRequested.load();
            flags.cancelRequested = false;
            flags.cancelPending = false;
        }
    }
    context.postEnding(result);
}

// Gathers the TEXT reply: first its line, so that a refusal (which carries no data) is seen
// without waiting for bytes that will never come, then the rest of the expected size.
void textWorker(MessageTransferRecord& record, WorkerContext& context) {
    const long long expected = static_cast<long long>(record.infoLength) + record.length - 39;
    if (expected < 0 || expected > static_cast<long long>(kTextBufferSize)) {
        // Nothing is asked: the reply would not fit the buffer.
        context.post(TransferEventType::TransferFailed, toCode(ExchangeError::TextSizeRefused));
        return;
    }
    const int size = static_cast<int>(expected);
    const std::atomic<bool>* cancel = context.cancel();
    CommandExchange exchange(context.timings.exchange);
    std::string digest;
    ExchangeStatus status = exchange.open(record.address, ConnectMode::Plain, cancel);
    if (!status && cancel->load()) {
        status = stopped(ExchangeStop::cancelled());
    }
    if (status) {
        status = exchange.readGreeting(record.password, kTextBufferSize, digest);
    }
    if (status) {
        status = exchange.sendRequest(digest, buildTextRequest(record.slot));
    }
    if (status) {
        status = exchange.waitReply(CancelBehaviour::Cancel, cancel);
    }
    const int lineSize = std::min(size, 8);
    Reply head;
    if (status) {
        status = exchange.receiveText(lineSize, cancel, head);
    }
    ExchangeResult result;
    result.status = status;
    result.code = errorCode(status);
    if (!status) {
        context.postEnding(result);
        return;
    }
    const int digit = classify(head.bytes(), Verb::Text);
    if (digit != 0) {
        result.status = digit == toCode(ExchangeError::Unexpected)
                            ? stopped(ExchangeStop::failed(ExchangeError::Unexpected))
                            : ExchangeStatus();
        result.code = digit;
        context.postEnding(result);
        return;
    }
    Reply rest;
    status = exchange.receiveText(size - lineSize, cancel, rest);
    exchange.close();
    if (!status) {
        result.status = status;
        result.code = errorCode(status);
        context.postEnding(result);
        return;
    }
    std::string reply(kTextBufferSize, '\0');
    std::memcpy(reply.data(), head.buffer.data(), static_cast<std::size_t>(lineSize));
    std::memcpy(reply.data() + lineSize, rest.buffer.data(), rest.received);
    if (!readTextReply(reply, record)) {
        context.post(TransferEventType::TransferFailed, toCode(ExchangeError::Unexpected));
        return;
    }
    context.post(TransferEventType::ReplyReceived, 0);
}

void ctrlWorker(ControlRecord& record, WorkerContext& context) {
    const ExchangeResult result =
        runExchange(requestFor(record.address, record.password, Verb::Ctrl,
                               buildCtrlRequest(record.code, record.count, record.value),
                               kSmallReceiveSize, CancelBehaviour::NoResponse, context),
                    context.timings.exchange);
    if (result.status && result.code == 0) {
        // A one-character status stands at offset 14, closed by CR at 15.
        record.value = result.reply.at(15) == '\r' ? result.reply.at(14) : '0';
    }
    context.postEnding(result);
}

void ctrlReadWorker(ControlRecord& record, WorkerContext& context, bool stateQuery) {
    // The follow-ups repeat the first request with another code; `value` is overwritten below.
    const std::uint16_t sentValue = record.value;
    ExchangeRequest request = requestFor(record.address, record.password, Verb::Ctrl,
                                         buildCtrlRequest(record.code, record.count, record.value),
                                         kSmallReceiveSize, CancelBehaviour::NoResponse, context);
    request.mode = ConnectMode::Bounded;
    CommandExchange exchange(context.timings.exchange);
    ExchangeResult result = runExchangeKeepOpen(exchange, request);
    if (stoppedFor(result.status, ExchangeStop::Kind::Unreachable)) {
        record.value = kUnreachableValue;
        exchange.close();
        context.post(TransferEventType::ProjectorUnreachable);
        return;
    }
    if (!result.status || result.code > 1) {
        exchange.close();
        context.postEnding(result);
        return;
    }
    const std::string_view bytes = result.reply.buffer;
    record.value = static_cast<std::uint16_t>(numberAt(bytes, 14));
    if (stateQuery && result.code == 0) {
        record.extra1 = -1;
        record.extra2 = -1;
        if (record.value > 2) {
            auto ask = [&](std::uint16_t code, int maxDigit) -> std::int16_t {
                if (!exchange.isOpen()) {
                    return -1;
                }
                const ExchangeResult answer =
                    followUp(exchange, result.digest, Verb::Ctrl,
                             buildCtrlRequest(code, record.count, sentValue), kSmallReceiveSize,
                             CancelBehaviour::NoResponse, context.cancel());
                if (!answer.status || answer.code > maxDigit) {
                    return -1;
                }
                return static_cast<std::int16_t>(
                    static_cast<std::uint16_t>(numberAt(answer.reply.buffer, 14)));
            };
            record.extra1 = ask(0x0F02, 0);
            record.extra2 = ask(0x3532, 1);
        }
    }
    exchange.close();
    context.post(TransferEventType::ReplyReceived, 0);
}

void infoWorker(InfoRecord& record, WorkerContext& context) {
    const ExchangeResult result = runExchange(
        requestFor(record.address, record.password, Verb::Info, buildInfoRequest(record.slot),
                   kInfoReceiveSize, CancelBehaviour::NoResponse, context),
        context.timings.exchange);
    if (result.status && result.code == 0) {
        readInfoReply(result.reply, record);
    }
    context.postEnding(result);
}

void statWorker(InfoRecord& record, WorkerContext& context) {
    if (context.flags.cancelPending.load()) {
        context.post(TransferEventType::TransferCancelled);
        return;
    }
    record.saveStatus = 0;
    for (int busyRounds = 0;;) {
        const ExchangeResult result = runExchange(
            requestFor(record.address, record.password, Verb::Stat, buildStatRequest(record.slot),
                       kInfoReceiveSize, CancelBehaviour::NoResponse, context),
            context.timings.exchange);
        if (!result.status || result.code != 0) {
            // A wait the operator cut short is a cancel, which the projector must be told of.
            if (context.flags.cancelAsked()) {
                context.post(TransferEventType::TransferCancelled);
            } else {
                context.postEnding(result);
            }
            return;
        }
        const char status = static_cast<char>(result.reply.at(26));
        record.saveStatus = status;
        context.post(TransferEventType::SaveStatus, static_cast<unsigned char>(status));
        if (!isBusySaveStatus(status)) {
            return;  // "0" ended the run with success, anything else with failure
        }
        if (++busyRounds >= kStatMaxBusyRounds) {
            context.post(TransferEventType::TransferFailed, toCode(ExchangeError::Socket));
            return;
        }
        std::this_thread::sleep_for(context.timings.statInterval);
        if (context.flags.cancelAsked()) {
            context.post(TransferEventType::TransferCancelled);
            return;
        }
    }
}

void cancelWorker(MessageTransferRecord& record, WorkerContext& context) {
    ExchangeResult result =
        runExchange(requestFor(record.address, record.password, Verb::Cancel, buildCancelRequest(),
                               kInfoReceiveSize, CancelBehaviour::NoResponse, context),
                    context.timings.exchange);
    if (result.status && result.code == 1) {
        result.code = 0;  // nothing left to cancel is as good as cancelled
    }
    context.postEnding(result);
}

}  // namespace

void readInfoReply(const Reply& reply, InfoRecord& record) {
    const std::string_view bytes = reply.buffer;
    const auto received = static_cast<std::int32_t>(reply.received);
    // Header byte 11 (characters 22 and 23 of the hex text) tells the two forms apart.
    const bool longForm = reply.at(37) == '2' && reply.at(38) == '0';
    record.headerHex.fill('\0');
    const std::size_t headerChars = longForm ? 64 : 34;
    if (bytes.size() > 15) {
        bytes.substr(15, headerChars).copy(record.headerHex.data(), headerChars);
    }
    record.slot = reply.at(longForm ? 89 : 57);
    const std::size_t line = longForm ? 92 : 60;
    const std::size_t lineEnd = std::min(bytes.find('\r', line), line + 255);
    record.messageLength = static_cast<std::int32_t>(numberAt(bytes, line + 7, lineEnd));
    record.replyLength = longForm ? received - 32 : received;
}

bool readTextReply(std::string_view reply, MessageTransferRecord& record) {
    // "Length:" stands at offset 19 and its number at 26; the message follows the line end.
    const std::size_t cr = reply.find('\r', 19);
    const long length = numberAt(reply, 26);
    if (cr == std::string::npos || cr + 2 + static_cast<std::size_t>(length) > reply.size() ||
        static_cast<std::size_t>(length) > record.body.size()) {
        return false;
    }
    std::memcpy(record.body.data(), reply.data() + cr + 2, static_cast<std::size_t>(length));
    record.length = static_cast<std::int32_t>(length);
    return true;
}

std::string_view transferVerbWord(TransferKind kind) {
    // By the kind's number; every CTRL kind goes out as a CTRL.
    constexpr Verb kVerbs[] = {Verb::Put,  Verb::Text,   Verb::Ctrl, Verb::Info,
                               Verb::Stat, Verb::Cancel, Verb::Ctrl, Verb::Ctrl};
    const auto index = static_cast<std::size_t>(kind);
    return verbWord(index < std::size(kVerbs) ? kVerbs[index] : Verb::Ctrl);
}

TransferFlags& processTransferFlags() {
    static TransferFlags flags;
    return flags;
}

std::string_view InfoRecord::headerHexText() const {
    const std::string_view all(headerHex.data(), headerHex.size());
    return all.substr(0, all.find('\0'));
}

std::string communicationErrorText(int code) {
    return languageText(Text::CommunicationError) + "\n : " + exchangeErrorText(code);
}

TransferEnd applyTransferEvent(TransferKind kind, const TransferEvent& event,
                               TransferOutcome& outcome) {
    switch (event.type) {
        case TransferEventType::TransferStarted:
            outcome.statusLine = languageText(startedLine(kind));
            return TransferEnd::Running;
        case TransferEventType::ReplyReceived:
            return applyReply(kind, event.value, outcome);
        case TransferEventType::TransferFailed:
            outcome.statusLine = languageText(Text::StatusError);
            outcome.resultCode = event.value;
            outcome.resultText = communicationErrorText(event.value);
            return endWith(outcome, TransferEnd::Failure);
        case TransferEventType::SaveStatus:
            return applySaveStatus(static_cast<char>(event.value), outcome);
        case TransferEventType::TransferCancelled:
            outcome.statusLine = languageText(Text::StatusCancelled);
            outcome.resultCode = 0;
            outcome.resultText = languageText(Text::CancelComplete);
            return endWith(outcome, TransferEnd::Failure);
        case TransferEventType::ProjectorUnreachable:
            outcome.resultCode = 0;
            outcome.resultText = languageText(Text::RequestOk);
            return endWith(outcome, TransferEnd::Success);
    }
    return outcome.end;
}

void runTransferWorker(TransferKind kind, MessageTransferRecord& message, ControlRecord& control,
                       InfoRecord& info, TransferFlags& flags, const TransferTimings& timings,
                       const TransferEventSink& sink) {
    WorkerContext context{flags, timings, sink};
    context.post(TransferEventType::TransferStarted);
    switch (kind) {
        case TransferKind::Put:
            putWorker(message, context);
            return;
        case TransferKind::Text:
            textWorker(message, context);
            return;
        case TransferKind::Ctrl:
            ctrlWorker(control, context);
            return;
        case TransferKind::Info:
            infoWorker(info, context);
            return;
        case TransferKind::Stat:
            statWorker(info, context);
            return;
        case TransferKind::Cancel:
            cancelWorker(message, context);
            return;
        case TransferKind::CtrlRead:
            ctrlReadWorker(control, context, false);
            return;
        case TransferKind::CtrlStateQuery:
            ctrlReadWorker(control, context, true);
            return;
    }
    // A kind byte outside the table: nothing can be run.
    context.post(TransferEventType::TransferFailed, toCode(ExchangeError::Socket));
}

// ---------------------------------------------------------------------------------------------

TransferJob::TransferJob(TransferFlags& flags, TransferTimings timings)
    : flags_(flags), timings_(timings) {}

TransferJob::~TransferJob() {
    join();
}

void TransferJob::join() {
    if (worker_.joinable()) {
        worker_.join();
    }
}

void TransferJob::prepare(TransferKind kind) {
    join();
    kind_ = kind;
    outcome.end = TransferEnd::Running;
    flags_.cancelRequested = false;
    if (kind == TransferKind::Put) {
        flags_.cancelOverruled = false;
    }
    if (kind != TransferKind::Stat && kind != TransferKind::Cancel) {
        flags_.cancelPending = false;
    }
}

bool TransferJob::runHere(TransferKind kind) {
    prepare(kind);
    bool ended = false;
    runTransferWorker(kind, message, control, info, flags_, timings_,
                      [this, &ended](const TransferEvent& event) {
                          if (!ended) {
                              ended = handle(event);
                          }
                      });
    return outcome.succeeded();
}

void TransferJob::start(TransferKind kind, TransferEventSink sink) {
    prepare(kind);
    Result<std::thread> worker = startThread([this, kind, sink] {
        runTransferWorker(kind, message, control, info, flags_, timings_, sink);
    });
    if (worker) {
        worker_ = std::move(worker).value();
    } else {
        // No thread to be had: the run ends as a worker that could not start its exchange.
        sink({TransferEventType::TransferStarted, 0});
        sink({TransferEventType::TransferFailed, toCode(ExchangeError::Socket)});
    }
}

bool TransferJob::handle(const TransferEvent& event) {
    if (ended()) {
        return true;
    }
    const bool ends = applyTransferEvent(kind_, event, outcome) != TransferEnd::Running;
    // These kinds give up their wait with "no response" when the operator cancels: the
    // projector was asked nothing it acted on, and the operator reads that, not a fault.
    const bool cancellableWait =
        isCtrlKind(kind_) || kind_ == TransferKind::Info || kind_ == TransferKind::Cancel;
    if (ends && cancellableWait && event.type == TransferEventType::TransferFailed &&
        event.value == toCode(ExchangeError::NoResponse) && flags_.cancelAsked()) {
        outcome.statusLine = languageText(Text::StatusCancelled);
        outcome.resultText = languageText(Text::RequestCancelled);
    }
    return ends;
}

namespace {

// Hands events from the worker thread to the thread that runs the job, in order.
class EventQueue {
  public:
    void post(const TransferEvent& event) {
        {
            std::lock_guard lock(mutex_);
            events_.push_back(event);
        }
        ready_.notify_one();
    }
    TransferEvent take() {
        std::unique_lock lock(mutex_);
        ready_.wait(lock, [this] { return !events_.empty(); });
        const TransferEvent event = events_.front();
        events_.pop_front();
        return event;
    }

  private:
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<TransferEvent> events_;
};

}  // namespace

bool BlockingTransferRunner::run(TransferJob& job, TransferKind kind) {
    EventQueue queue;
    job.start(kind, [&queue](const TransferEvent& event) { queue.post(event); });
    bool ended = false;
    while (!ended) {
        const TransferEvent event = queue.take();
        ended = job.handle(event);
        if (observer_) {
            observer_(job, event);
        }
    }
    // The worker ends right after its final event; the queue must outlive it.
    job.join();
    return job.outcome.succeeded();
}

bool InlineTransferRunner::run(TransferJob& job, TransferKind kind) {
    return job.runHere(kind);
}

}  // namespace orvanta
