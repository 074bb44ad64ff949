#pragma once
// Idempotency-Key: the answer to a command is kept with the key its client gave, so that a
// retry (a panel that did not hear the answer) gets the first answer and nothing is sent twice.
// Kept on disk (idempotency.jsonl in the program folder: one answer a line, appended and
// flushed before the answer goes out), so it holds across a restart; answers older than a day
// are dropped when the service starts. Keys are per token: one client cannot read another's.

#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <utility>

#include "platform/Result.h"
#include "service/HttpServer.h"

namespace orvanta::service {

// 1 to 255 visible ASCII characters.
bool validIdempotencyKey(const std::string& key);

class IdempotencyStore {
  public:
    explicit IdempotencyStore(std::string path,
                              std::chrono::milliseconds keep = std::chrono::hours(24));

    // Reads the answers kept on disk and writes back those still young enough.
    Result<> load();

    enum class Claim {
        New,       // first time: carry it out, then finish()
        Running,   // the first request with this key is still under way
        Answered,  // `answer` holds the first answer
        Mismatch,  // the key was used for a different request
    };
    // `fingerprint` names the request (method, path and body).
    Claim claim(const std::string& token, const std::string& key, const std::string& fingerprint,
                HttpResponse& answer);
    // Keeps the answer of a claimed key (on disk first).
    void finish(const std::string& token, const std::string& key, const HttpResponse& answer);
    // Forgets a claimed key whose request did nothing (refused for a passing reason).
    void abandon(const std::string& token, const std::string& key);

  private:
    struct Entry {
        std::string fingerprint;
        std::int64_t time = 0;
        bool done = false;
        int status = 0;
        std::string body;
    };
    std::string path_;
    std::chrono::milliseconds keep_;
    std::mutex mutex_;
    std::map<std::pair<std::string, std::string>, Entry> entries_;  // guarded by mutex_
};

}  // namespace orvanta::service
