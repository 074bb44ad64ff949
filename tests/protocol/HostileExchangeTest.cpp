// Exchanges with projectors that never let them finish: each must still end, with its error.
// Addresses 127.0.90.1 .. 127.0.90.9.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>

#include "protocol/CommandExchange.h"
#include "support/ExchangeStops.h"
#include "support/HostilePeers.h"

namespace orvanta {
namespace {

using std::chrono::milliseconds;
using testsupport::ipv4;

// "Ends at all": far beyond every limit under test, far below what the kernel or a trickle
// would take without them.
constexpr auto kNoHang = std::chrono::seconds(40);

template <typename F>
ExchangeStatus endsWithin(F run) {
    auto done = std::async(std::launch::async, run);
    if (done.wait_for(kNoHang) != std::future_status::ready) {
        ADD_FAILURE() << "the exchange did not end";
        done.wait();
    }
    return done.get();
}

TEST(HostileExchange, ConnectsToASilentAddressEndOrCancel) {
    testsupport::UnansweredAddress silent("127.0.90.1");
    ASSERT_TRUE(silent.ok());
    ExchangeTimings shortLimit;
    shortLimit.plainConnectLimit = milliseconds(300);
    ExchangeTimings longLimit;
    longLimit.plainConnectLimit = std::chrono::hours(1);
    std::atomic<bool> noCancel{false};
    std::atomic<bool> cancel{true};
    const struct {
        const char* what;
        ExchangeTimings timings;
        std::atomic<bool>* cancel;
    } cases[] = {
        {"plain connect runs into its limit", shortLimit, &noCancel},
        {"a cancel ends a plain connect", longLimit, &cancel},
    };
    for (const auto& c : cases) {
        const ExchangeStatus status = endsWithin([&] {
            CommandExchange exchange(c.timings);
            return exchange.open(ipv4("127.0.90.1"), ConnectMode::Plain, c.cancel);
        });
        EXPECT_EQ(stopOf(status), ExchangeStop::failed(ExchangeError::Connect)) << c.what;
    }
}

TEST(HostileExchange, ATrickledTextReplyEndsWithNoResponse) {
    testsupport::TricklePeer peer("127.0.90.2", "TEXT 0\r\n", milliseconds(40));
    ASSERT_TRUE(peer.ok());
    ExchangeTimings timings;
    timings.replyStep = milliseconds(20);
    timings.replyPolls = 10;  // each byte comes well within one reply wait
    const ExchangeStatus status = endsWithin([&] {
        ExchangeRequest request;
        request.address = ipv4("127.0.90.2");
        request.verb = Verb::Text;
        request.text = buildTextRequest(1);
        request.greetingSize = kTextBufferSize;
        request.expectedTextSize = static_cast<int>(kTextBufferSize);  // 3 minutes of trickle
        request.cancelBehaviour = CancelBehaviour::Cancel;
        return runExchange(request, timings).status;
    });
    EXPECT_EQ(stopOf(status), ExchangeStop::failed(ExchangeError::NoResponse));
}

}  // namespace
}  // namespace orvanta
