#pragma once
// Waiting on a condition another thread makes true: checked every few milliseconds until it
// holds or `limit` has passed (a generous limit: a loaded machine is slow, never wrong).

#include <chrono>
#include <functional>
#include <thread>

namespace orvanta::test {

inline bool waitUntil(const std::function<bool()>& done,
                      std::chrono::steady_clock::duration limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done() && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return done();
}

}  // namespace orvanta::test
