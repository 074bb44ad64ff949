// Exchanges against the projector simulator and against a tiny in-test peer that records
// the bytes it receives.  Every test uses its own loopback address in 127.0.10.0/24 so that
// tests can run in parallel.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/Md5.h"
#include "protocol/CommandExchange.h"
#include "support/ExchangeStops.h"
#include "support/HostilePeers.h"
#include "support/LoopbackPeer.h"
#include "support/SimProcess.h"
#include "support/WaitUntil.h"

namespace orvanta {
namespace {

using std::chrono::milliseconds;
using testsupport::ipv4;
using testsupport::SimProcess;

// How an exchange ended, as the tables below name it.
enum class Kind { Ok, Failed, Unreachable, Cancelled };

Kind kindOf(const ExchangeStatus& status) {
    if (status) {
        return Kind::Ok;
    }
    switch (status.reason().kind) {
        case ExchangeStop::Kind::Failed:
            return Kind::Failed;
        case ExchangeStop::Kind::Unreachable:
            return Kind::Unreachable;
        case ExchangeStop::Kind::Cancelled:
            break;
    }
    return Kind::Cancelled;
}

// Reply wait of 10 checks 20 ms apart, so "no reply" shows within a fifth of a second.
ExchangeTimings shortTimings() {
    ExchangeTimings t;
    t.replyStep = milliseconds(20);
    t.replyPolls = 10;
    return t;
}

ExchangeRequest ctrlRequest(const char* address, std::uint16_t code, const std::string& password) {
    ExchangeRequest r;
    r.address = ipv4(address);
    r.password = password;
    r.verb = Verb::Ctrl;
    r.text = buildCtrlRequest(code, 2, 0);
    return r;
}

// A body with a correct checksum in header bytes 14 and 15, short header form.
struct Payload {
    std::array<std::uint8_t, 32> header{};
    std::string body;
};

Payload makePayload(std::size_t length) {
    Payload p;
    for (std::size_t i = 0; i < length; ++i) {
        p.body.push_back(static_cast<char>(i * 7 + 1));
    }
    unsigned sum = 0;
    for (char c : p.body) {
        sum += static_cast<unsigned char>(c);
    }
    const unsigned checksum = (0x10000 - (sum & 0xFFFF)) & 0xFFFF;
    p.header[14] = static_cast<std::uint8_t>(checksum >> 8);
    p.header[15] = static_cast<std::uint8_t>(checksum);
    return p;
}

ExchangeRequest putRequest(const char* address, std::uint8_t slot, const Payload& p) {
    ExchangeRequest r;
    r.address = ipv4(address);
    r.verb = Verb::Put;
    r.text = buildPutRequest(p.header, slot, p.body.size());
    r.body = p.body;
    r.cancelBehaviour = CancelBehaviour::Ignore;
    return r;
}

ExchangeRequest slotRequest(const char* address, Verb verb, std::uint8_t slot) {
    ExchangeRequest r;
    r.address = ipv4(address);
    r.verb = verb;
    r.greetingSize = verb == Verb::Text ? kTextBufferSize : kInfoReceiveSize;
    r.replySize = kInfoReceiveSize;
    r.text = verb == Verb::Text   ? buildTextRequest(slot)
             : verb == Verb::Info ? buildInfoRequest(slot)
                                  : buildStatRequest(slot);
    r.cancelBehaviour = verb == Verb::Text ? CancelBehaviour::Cancel : CancelBehaviour::NoResponse;
    return r;
}

TEST(Exchange, AnswersTheGreetingWithTheDigestOfThePassword) {
    // A non-ASCII password goes through the same low-byte rule on both sides.
    SimProcess sim({"--address", "127.0.10.2", "--password", "p\xC3\xA4ss"});
    ASSERT_TRUE(sim.ready()) << sim.output();

    ExchangeResult ok = runExchange(ctrlRequest("127.0.10.2", 0x6020, "p\xC3\xA4ss"));
    ASSERT_EQ(kindOf(ok.status), Kind::Ok) << ok.code;
    EXPECT_EQ(ok.code, 0);
    EXPECT_EQ(ok.reply.bytes(), "CTRL 0\r\nValue:0\r\n");
    EXPECT_EQ(ok.digest.size(), 32u);
    EXPECT_TRUE(sim.waitForLine("CTRL 6020 | digest ok | CTRL 0")) << sim.output();

    // A wrong password: the projector closes without a reply.
    ExchangeResult wrong = runExchange(ctrlRequest("127.0.10.2", 0x6020, "pass"));
    EXPECT_EQ(stopOf(wrong.status), ExchangeStop::failed(ExchangeError::Receive));
    EXPECT_TRUE(sim.waitForLine("CTRL 6020 | digest wrong | closed without reply"));
}

TEST(Exchange, WithoutGreetingTheRequestStartsWithTheVerb) {
    SimProcess sim({"--address", "127.0.10.3", "--no-greeting", "--level", "3"});
    ASSERT_TRUE(sim.ready()) << sim.output();
    ExchangeResult r = runExchange(ctrlRequest("127.0.10.3", 0x0F01, "ignored"));
    ASSERT_EQ(kindOf(r.status), Kind::Ok);
    EXPECT_TRUE(r.digest.empty());
    EXPECT_EQ(r.reply.bytes(), "CTRL 0\r\nValue:3\r\n");
    EXPECT_TRUE(sim.waitForLine("CTRL 0F01 | no digest | CTRL 0"));
}

// One simulator switch, the request it disturbs and the outcome it must give.
struct FaultCase {
    const char* name;
    const char* address;
    std::vector<std::string> switches;
    Verb verb;
    Kind kind;
    int code;
};

class ExchangeFault : public ::testing::TestWithParam<FaultCase> {};

TEST_P(ExchangeFault, EndsWithItsCode) {
    const FaultCase& c = GetParam();
    std::vector<std::string> args = {"--address", c.address};
    args.insert(args.end(), c.switches.begin(), c.switches.end());
    SimProcess sim(args);
    ASSERT_TRUE(sim.ready()) << sim.output();

    ExchangeRequest request;
    if (c.verb == Verb::Put) {
        request = putRequest(c.address, 1, makePayload(40));
    } else if (c.verb == Verb::Cancel) {
        request.address = ipv4(c.address);
        request.verb = Verb::Cancel;
        request.text = buildCancelRequest();
        request.replySize = kInfoReceiveSize;
    } else {
        request = ctrlRequest(c.address, 0x6020, "");
    }
    const ExchangeResult r = runExchange(request, shortTimings());
    EXPECT_EQ(kindOf(r.status), c.kind) << sim.output();
    EXPECT_EQ(r.code, c.code) << sim.output();
}

INSTANTIATE_TEST_SUITE_P(
    Switches, ExchangeFault,
    ::testing::Values(
        FaultCase{"HangUp", "127.0.10.10", {"--hang-up"}, Verb::Ctrl, Kind::Failed, 14},
        FaultCase{
            "SlowReply", "127.0.10.12", {"--reply-delay", "3000"}, Verb::Ctrl, Kind::Failed, 17},
        FaultCase{"Drop", "127.0.10.13", {"--drop"}, Verb::Ctrl, Kind::Failed, 18},
        FaultCase{"Garbage", "127.0.10.14", {"--garbage"}, Verb::Ctrl, Kind::Failed, 19},
        FaultCase{"PutExtraByte", "127.0.10.15", {"--trailing-byte"}, Verb::Put, Kind::Failed, 19},
        FaultCase{
            "CancelExtraByte", "127.0.10.16", {"--trailing-byte"}, Verb::Cancel, Kind::Failed, 19},
        FaultCase{"CtrlExtraByte", "127.0.10.17", {"--trailing-byte"}, Verb::Ctrl, Kind::Ok, 0},
        FaultCase{"Busy", "127.0.10.18", {"--busy"}, Verb::Put, Kind::Ok, 2},
        FaultCase{
            "ForcedDigit", "127.0.10.19", {"--reply-digit", "CTRL=8"}, Verb::Ctrl, Kind::Ok, 8},
        FaultCase{"ShortGreeting",
                  "127.0.10.20",
                  {"--short-greeting", "--password", "any"},
                  Verb::Ctrl,
                  Kind::Ok,
                  0}),
    [](const ::testing::TestParamInfo<FaultCase>& fault) { return fault.param.name; });

TEST(Exchange, ProjectorResettingWhileTheRequestArrives) {
    SimProcess sim({"--address", "127.0.10.21", "--reset-on-request"});
    ASSERT_TRUE(sim.ready()) << sim.output();
    // A small request is sent whole before the reset; the reset then spoils the receive.
    ExchangeRequest request = ctrlRequest("127.0.10.21", 0x6020, "");
    EXPECT_EQ(stopOf(runExchange(request).status), ExchangeStop::failed(ExchangeError::Receive));
    // One larger than all socket buffers together is still being sent when the reset comes.
    request.body.assign(16u << 20, 'x');
    EXPECT_EQ(stopOf(runExchange(request).status), ExchangeStop::failed(ExchangeError::Send));
}

TEST(Exchange, RefusedConnect) {
    // Nothing listens on this address.
    ExchangeRequest request = ctrlRequest("127.0.10.30", 0x6020, "");
    EXPECT_EQ(stopOf(runExchange(request).status), ExchangeStop::failed(ExchangeError::Connect));
    request.mode = ConnectMode::Bounded;
    EXPECT_EQ(stopOf(runExchange(request).status), ExchangeStop::unreachable());
}

TEST(Exchange, BoundedConnectWaitsForTheProjectorUntilItsLimit) {
    // No connection taken, which is what a switched-off projector on the network looks like.
    const std::uint32_t address = ipv4("127.0.10.31");
    testsupport::UnansweredAddress projector("127.0.10.31");
    ASSERT_TRUE(projector.ok());
    {
        SCOPED_TRACE("never accepts: the bounded limit, not the plain one, ends the wait");
        ExchangeTimings timings;
        timings.plainConnectLimit = std::chrono::hours(1);
        CommandExchange exchange(timings);
        EXPECT_EQ(stopOf(exchange.open(address, ConnectMode::Bounded)),
                  ExchangeStop::unreachable());
        EXPECT_FALSE(exchange.isOpen());
    }
    {
        SCOPED_TRACE("accepts while the connect waits: it is not given up before its limit");
        ExchangeTimings timings;
        timings.connectLimit = std::chrono::hours(1);
        CommandExchange exchange(timings);
        ExchangeStatus opened = stopped(ExchangeStop::failed(ExchangeError::Connect));
        std::thread connecting([&] { opened = exchange.open(address, ConnectMode::Bounded); });
        const bool pending = test::waitUntil([&] { return testsupport::connectPending(address); },
                                             std::chrono::minutes(1));
        projector.makeRoom();
        connecting.join();
        EXPECT_TRUE(pending);
        EXPECT_TRUE(opened.ok()) << errorCode(opened);
        EXPECT_TRUE(exchange.isOpen());
    }
}

TEST(Exchange, StepsOnAClosedExchangeFailWithTheirCodes) {
    CommandExchange exchange;
    std::string digest;
    Reply reply;
    EXPECT_EQ(errorCode(exchange.readGreeting("", 1024, digest)), 15);
    EXPECT_EQ(errorCode(exchange.sendRequest("", "CANCEL\r\n")), 16);
    EXPECT_EQ(errorCode(exchange.waitReply(CancelBehaviour::Ignore, nullptr)), 17);
    EXPECT_EQ(errorCode(exchange.receiveReply(1024, reply)), 18);
}

TEST(Exchange, CancelDuringTheReplyWait) {
    SimProcess sim({"--address", "127.0.10.32", "--reply-delay", "5000"});
    ASSERT_TRUE(sim.ready()) << sim.output();
    std::atomic<bool> cancel{true};
    const struct {
        CancelBehaviour behaviour;
        ExchangeStop expected;
    } cases[] = {
        {CancelBehaviour::NoResponse, ExchangeStop::failed(ExchangeError::NoResponse)},
        {CancelBehaviour::Cancel, ExchangeStop::cancelled()},
        // PUT ignores the flag and runs into the end of the (short) wait.
        {CancelBehaviour::Ignore, ExchangeStop::failed(ExchangeError::NoResponse)},
    };
    for (const auto& c : cases) {
        ExchangeRequest request = ctrlRequest("127.0.10.32", 0x6020, "");
        request.cancelBehaviour = c.behaviour;
        request.cancel = &cancel;
        ExchangeTimings timings = shortTimings();
        timings.replyPolls = c.behaviour == CancelBehaviour::Ignore ? 10 : 1000;
        EXPECT_EQ(stopOf(runExchange(request, timings).status), c.expected);
    }
}

TEST(Exchange, ReplyWaitKeepsItsTwelveSecondBound) {
    // Real timings: a reply that comes after 8 s is still taken, one after 16 s is lost
    // (4 s either side of the twelve, for a loaded machine).
    struct Case {
        const char* address;
        const char* delayMs;
        std::optional<ExchangeStop> expected;  // nothing: the reply is taken
    };
    const Case cases[] = {
        {"127.0.10.33", "16000", ExchangeStop::failed(ExchangeError::NoResponse)},
        {"127.0.10.36", "8000", std::nullopt},
    };
    std::vector<std::unique_ptr<SimProcess>> sims;
    for (const Case& c : cases) {
        sims.push_back(std::make_unique<SimProcess>(
            std::vector<std::string>{"--address", c.address, "--reply-delay", c.delayMs}));
        ASSERT_TRUE(sims.back()->ready()) << sims.back()->output();
    }
    // Side by side: the two waits overlap instead of adding up.
    std::vector<std::optional<ExchangeStop>> got(std::size(cases));
    std::vector<std::thread> waits;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        waits.emplace_back([&, i] {
            got[i] = stopOf(runExchange(ctrlRequest(cases[i].address, 0x6020, "")).status);
        });
    }
    for (std::thread& t : waits) {
        t.join();
    }
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(got[i], cases[i].expected) << cases[i].address;
    }
}

TEST(Exchange, SplitReplyIsReadAsFarAsItArrived) {
    SimProcess sim({"--address", "127.0.10.34", "--split", "10", "--level", "4"});
    ASSERT_TRUE(sim.ready()) << sim.output();
    const ExchangeResult r = runExchange(ctrlRequest("127.0.10.34", 0x0F01, ""));
    ASSERT_EQ(kindOf(r.status), Kind::Ok);
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.reply.received, 10u);
    EXPECT_EQ(r.reply.at(14), 0);  // the value had not arrived yet
}

TEST(Exchange, StateQueryFollowUpsShareTheConnectionAndDigest) {
    SimProcess sim({"--address", "127.0.10.35", "--password", "pw", "--level", "5", "--caps", "3",
                    "--startup-word", "1234"});
    ASSERT_TRUE(sim.ready()) << sim.output();
    CommandExchange exchange;
    ExchangeRequest request = ctrlRequest("127.0.10.35", 0x0F01, "pw");
    request.mode = ConnectMode::Bounded;
    ExchangeResult first = runExchangeKeepOpen(exchange, request);
    ASSERT_EQ(kindOf(first.status), Kind::Ok);
    EXPECT_EQ(first.reply.bytes(), "CTRL 0\r\nValue:5\r\n");
    ASSERT_TRUE(exchange.isOpen());

    const struct {
        std::uint16_t code;
        const char* reply;
    } followUps[] = {{0x0F02, "CTRL 0\r\nValue:3\r\n"}, {0x3532, "CTRL 0\r\nValue:1234\r\n"}};
    for (const auto& f : followUps) {
        ExchangeResult r =
            followUp(exchange, first.digest, Verb::Ctrl, buildCtrlRequest(f.code, 2, 0),
                     kSmallReceiveSize, CancelBehaviour::NoResponse, nullptr);
        ASSERT_EQ(kindOf(r.status), Kind::Ok);
        EXPECT_EQ(r.reply.bytes(), f.reply);
    }
    exchange.close();
    EXPECT_TRUE(sim.waitForLine("CTRL 3532 | digest ok | CTRL 0")) << sim.output();
}

// Stores a message with PUT, reads it back with INFO and TEXT, and sees the TEXT receive
// errors when the projector stops half-way.
class TextReadBack : public ::testing::Test {
  protected:
    // Size of the TEXT reply the client expects from INFO: replyLength + length - 39.
    static int expectedTextSize(const ExchangeResult& info) {
        const std::string_view bytes = info.reply.bytes();
        const bool longForm = info.reply.at(37) == '2' && info.reply.at(38) == '0';
        const std::size_t lengthLine = longForm ? 92 : 60;
        const int length = std::stoi(std::string(bytes.substr(lengthLine + 7, 5)));
        const int replyLength = static_cast<int>(bytes.size()) - (longForm ? 32 : 0);
        return replyLength + length - 39;
    }
};

TEST_F(TextReadBack, InfoGivesTheSizeThatTextDelivers) {
    SimProcess sim({"--address", "127.0.10.40"});
    ASSERT_TRUE(sim.ready()) << sim.output();
    for (std::uint8_t byte11 : {0x00, 0x20}) {
        Payload payload = makePayload(300);
        payload.header[11] = byte11;
        ASSERT_EQ(runExchange(putRequest("127.0.10.40", 3, payload)).code, 0);

        const ExchangeResult info = runExchange(slotRequest("127.0.10.40", Verb::Info, 3));
        ASSERT_EQ(kindOf(info.status), Kind::Ok);
        ExchangeRequest text = slotRequest("127.0.10.40", Verb::Text, 3);
        text.expectedTextSize = expectedTextSize(info);
        EXPECT_EQ(text.expectedTextSize, 35 + 300);
        const ExchangeResult r = runExchange(text);
        ASSERT_EQ(kindOf(r.status), Kind::Ok) << r.code;
        EXPECT_EQ(r.reply.received, 335u);
        EXPECT_EQ(r.reply.bytes().substr(33, 300), payload.body);
    }
}

TEST_F(TextReadBack, GathersAReplyThatArrivesInPieces) {
    SimProcess sim({"--address", "127.0.10.44", "--split", "50"});
    ASSERT_TRUE(sim.ready()) << sim.output();
    const Payload payload = makePayload(300);
    ASSERT_EQ(runExchange(putRequest("127.0.10.44", 12, payload)).code, 0);
    ExchangeRequest text = slotRequest("127.0.10.44", Verb::Text, 12);
    text.expectedTextSize = 335;
    const ExchangeResult r = runExchange(text);
    ASSERT_EQ(kindOf(r.status), Kind::Ok) << r.code;
    EXPECT_EQ(r.reply.bytes().substr(0, 33), "TEXT 0\r\nSave-ID:C\r\nLength:00300\r\n");
    EXPECT_EQ(r.reply.bytes().substr(33, 300), payload.body);
}

TEST(Simulator, RepliesAtTheOffsetsTheClientReads) {
    SimProcess sim({"--address", "127.0.10.45", "--save-polls", "1"});
    ASSERT_TRUE(sim.ready()) << sim.output();
    const char* a = "127.0.10.45";
    Payload payload = makePayload(300);
    payload.header[11] = 0x20;  // long header form
    const std::string put = buildPutRequest(payload.header, 11, 300);
    ASSERT_EQ(runExchange(putRequest(a, 11, payload)).code, 0);

    const ExchangeResult info = runExchange(slotRequest(a, Verb::Info, 11));
    ASSERT_EQ(info.reply.received, 106u);
    EXPECT_EQ(info.reply.bytes().substr(15, 64), put.substr(4, 64));
    EXPECT_EQ(info.reply.at(37), '2');
    EXPECT_EQ(info.reply.at(38), '0');
    EXPECT_EQ(info.reply.at(89), 'B');
    EXPECT_EQ(info.reply.bytes().substr(92, 12), "Length:00300");

    const ExchangeResult saving = runExchange(slotRequest(a, Verb::Stat, 11));
    const ExchangeResult saved = runExchange(slotRequest(a, Verb::Stat, 11));
    EXPECT_EQ(saving.reply.at(26), '1');
    EXPECT_EQ(saved.reply.at(26), '0');
    EXPECT_EQ(saved.reply.received, 29u);

    const struct {
        std::uint16_t code;
        std::uint8_t count;
        std::uint16_t value;
        const char* reply;
    } controls[] = {
        {0x6020, 2, 0, "CTRL 0\r\nValue:0\r\n"},  // one character: CR at offset 15
        {0x3530, 1, 11 << 8, "CTRL 0\r\nValue:0\r\n"},
        {0x3531, 2, 0, "CTRL 0\r\nValue:1\r\n"},
        {0x3510, 1, (11 << 8) | 1, "CTRL 0\r\nValue:0\r\n"},
        {0x3534, 2, 0, "CTRL 0\r\nValue:2817\r\n"},
        {0x351E, 6, 0, "CTRL 0\r\nValue:0\r\n"},  // clears saved number 11
        {0x3531, 2, 0, "CTRL 0\r\nValue:0\r\n"},
        {0x3510, 1, (11 << 8) | 1, "CTRL 1\r\n"},  // nothing left to show
        {0x3535, 2, 0, "CTRL 0\r\nValue:0\r\n"},
        {0x7777, 2, 0, "CTRL 1\r\n"},
    };
    for (const auto& c : controls) {
        ExchangeRequest request = ctrlRequest(a, c.code, "");
        request.text = buildCtrlRequest(c.code, c.count, c.value);
        EXPECT_EQ(runExchange(request).reply.bytes(), c.reply) << std::hex << c.code;
    }
    EXPECT_EQ(runExchange(slotRequest(a, Verb::Info, 11)).reply.bytes(), "INFO 1\r\n");
}

TEST_F(TextReadBack, ReceiveErrorsAndRefusedSizes) {
    const struct {
        const char* address;
        const char* fault;
        int expected;
        ExchangeStop status;
    } cases[] = {
        {"127.0.10.41", "--close-after", 335, ExchangeStop::failed(ExchangeError::TextClosed)},
        {"127.0.10.42", "--reset-after", 335, ExchangeStop::failed(ExchangeError::TextReceive)},
        {"127.0.10.43", "--split", 4501, ExchangeStop::failed(ExchangeError::TextSizeRefused)},
        {"127.0.10.43", "--split", -1, ExchangeStop::failed(ExchangeError::TextSizeRefused)},
    };
    for (const auto& c : cases) {
        SimProcess sim({"--address", c.address, c.fault, "20"});
        ASSERT_TRUE(sim.ready()) << sim.output();
        // The PUT reply is 7 bytes, so it survives the fault of 20 bytes.
        ASSERT_EQ(runExchange(putRequest(c.address, 3, makePayload(300))).code, 0);
        ExchangeRequest text = slotRequest(c.address, Verb::Text, 3);
        text.expectedTextSize = c.expected;
        EXPECT_EQ(stopOf(runExchange(text).status), c.status) << c.fault << " " << c.expected;
    }
}

// Accepts connections on one address, greets with a given text (maybe none), records the
// request until it has `expect` bytes (and whatever follows within 100 ms), then answers.
class RecordingPeer {
  public:
    explicit RecordingPeer(const char* address) {
        fd_ = testsupport::listenOn(address, 4);
        listening_ = fd_ >= 0;
    }
    ~RecordingPeer() {
        if (thread_.joinable()) {
            thread_.join();
        }
        ::close(fd_);
    }

    bool listening() const { return listening_; }

    // Serves one connection on a thread of its own.
    void serveOnce(std::string greeting, std::size_t expect, std::string reply) {
        received_.clear();
        thread_ = std::thread([this, greeting, expect, reply] {
            const int c = ::accept(fd_, nullptr, nullptr);
            if (c < 0) {
                return;
            }
            ::send(c, greeting.data(), greeting.size(), MSG_NOSIGNAL);
            char chunk[2048];
            int wait = 3000;
            for (;;) {
                if (received_.size() >= expect) {
                    wait = 100;  // anything beyond the request (zero padding, say) shows here
                }
                pollfd p{c, POLLIN, 0};
                if (::poll(&p, 1, wait) <= 0) {
                    break;
                }
                const ssize_t n = ::recv(c, chunk, sizeof chunk, 0);
                if (n <= 0) {
                    break;
                }
                received_.append(chunk, static_cast<std::size_t>(n));
            }
            ::send(c, reply.data(), reply.size(), MSG_NOSIGNAL);
            ::close(c);
        });
    }

    // What the client sent; waits for the connection to end first.
    const std::string& received() {
        if (thread_.joinable()) {
            thread_.join();
        }
        return received_;
    }

  private:
    int fd_ = -1;
    bool listening_ = false;
    std::thread thread_;
    std::string received_;
};

TEST(Exchange, SendsExactlyTheRequestBytes) {
    const Payload payload = makePayload(21);
    const struct {
        const char* greeting;
        Verb verb;
        std::string text;
        std::string body;
        const char* reply;
    } cases[] = {
        {"4F1A09C2\r\n", Verb::Put, buildPutRequest(payload.header, 10, 21), payload.body,
         "PUT 0\r\n"},
        {"4F1A09C2\r\n", Verb::Text, "TEXT 5\r\n", "", "TEXT 1\r\n"},
        {"4F1A09C2\r\n", Verb::Ctrl, "CTRL 3510\r\n1\r\n33537\r\n", "", "CTRL 0\r\n"},
        {"4F1A09C2\r\n", Verb::Info, "INFO C\r\n", "", "INFO 1\r\n"},
        {"4F1A09C2\r\n", Verb::Stat, "STAT 1\r\n", "", "STAT 1\r\n"},
        {"4F1A09C2\r\n", Verb::Cancel, "CANCEL\r\n", "", "CANCEL 1\r\n"},
        {"", Verb::Ctrl, "CTRL 6020\r\n2\r\n", "", "CTRL 0\r\n"},
    };
    RecordingPeer peer("127.0.10.50");
    ASSERT_TRUE(peer.listening());
    for (const auto& c : cases) {
        // The digest comes straight from MD5 over greeting start and password.
        const std::string digest = *c.greeting ? md5Hex(std::string(c.greeting, 8) + "pw") : "";
        const std::string expected = digest + c.text + c.body;
        peer.serveOnce(c.greeting, expected.size(), c.reply);

        ExchangeRequest request;
        request.address = ipv4("127.0.10.50");
        request.password = "pw";
        request.verb = c.verb;
        request.text = c.text;
        request.body = c.body;
        request.expectedTextSize = 8;
        const ExchangeResult r = runExchange(request);
        EXPECT_EQ(peer.received(), expected) << verbWord(c.verb);
        EXPECT_EQ(kindOf(r.status), Kind::Ok) << verbWord(c.verb) << " " << r.code;
    }
}

}  // namespace
}  // namespace orvanta
