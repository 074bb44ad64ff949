#pragma once
// The routes of the HTTP API (version 1): who may call them, what they read and what they
// send. Every request is checked here, on the HTTP thread, only as far as its token; what
// reads files or talks to projectors runs on the service's own threads and answers from
// there.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "commands/ProjectorTurns.h"
#include "platform/WorkerPool.h"
#include "service/ApiRequest.h"
#include "service/HttpServer.h"
#include "settings/TokenStore.h"

namespace orvanta {
struct HistoryRecord;
class HistoryWriterThread;
class ManyProjectorRun;
}  // namespace orvanta

namespace orvanta::service {

class FleetCache;
class IdempotencyStore;

// The answers every route gives: a JSON body, and {"error": text, "field": name} with a status.
HttpResponse jsonResponse(int status, const nlohmann::json& body);
HttpResponse problem(int status, const std::string& field, const std::string& text);

struct ApiSettings {
    std::string programFolder;  // with a trailing '/'
    std::string listen;         // "127.0.0.1:9720", as health reports it
    bool tls = false;
    // Listening beyond loopback without TLS: said at start, in the log and in health.
    bool plainTextRemote = false;
    std::size_t commandThreads = 8;
    std::size_t queuedCommands = 32;
    std::chrono::milliseconds exchangeLimit{0};  // 0: the projectors' usual reply waits
};

class Api {
  public:
    // `history` may be null (history turned off). `turns`: shared with the other parts of the
    // process that talk to projectors (the schedule), so that they take turns with the API's
    // commands; null: the API's commands take turns among themselves only.
    Api(ApiSettings settings, FleetCache& fleet, IdempotencyStore& idempotency,
        HistoryWriterThread* history, ProjectorTurns* turns = nullptr);
    ~Api();
    Api(const Api&) = delete;
    Api& operator=(const Api&) = delete;

    // The HTTP handler.
    void handle(HttpRequest request, Responder respond);
    // Refuses new commands, cancels those under way (a projector that already got a message
    // is told to drop it) and returns once each has answered.
    void shutdown();

    struct Caller {
        std::string token;  // the token's name
        unsigned rights = 0;
        std::string client;
    };

  private:
    struct Throttle {
        int failures = 0;
        std::chrono::steady_clock::time_point until{};
        std::chrono::steady_clock::time_point last{};
    };

    std::optional<TokenEntry> findToken(const std::string& token);
    // Seconds the client must still wait after failed attempts; 0 when it may try.
    long throttled(const std::string& client);
    void noteFailure(const std::string& client);
    // `settled`: written before returning (off the HTTP thread), else queued.
    void writeHistory(HistoryRecord record, bool settled);
    void recordRequest(const HttpRequest& request, const Caller& caller, int status,
                       const std::string& text, bool toHistory, bool settled);
    void answer(const HttpRequest& request, const Caller& caller, const Responder& respond,
                HttpResponse response, bool toHistory = true, bool settled = false);

    HttpResponse health() const;
    HttpResponse fleet() const;
    HttpResponse projectors() const;
    HttpResponse groups() const;
    HttpResponse templates() const;
    HttpResponse history(const HttpRequest& request) const;
    HttpResponse command(ApiVerb verb, const HttpRequest& request, const Caller& caller);

    ApiSettings settings_;
    FleetCache& fleet_;
    IdempotencyStore& idempotency_;
    HistoryWriterThread* history_;
    TokenStore tokens_;

    std::mutex tokenMutex_;
    std::string tokenSignature_;          // guarded by tokenMutex_
    std::vector<TokenEntry> tokenCache_;  // guarded by tokenMutex_

    std::mutex throttleMutex_;
    std::map<std::string, Throttle> throttles_;  // guarded by throttleMutex_

    std::atomic<bool> stopping_{false};
    std::mutex runsMutex_;
    std::set<ManyProjectorRun*> runs_;  // guarded by runsMutex_: commands under way

    // One exchange at a time per projector: two requests for the same one run in turn.
    std::unique_ptr<ProjectorTurns> ownTurns_;
    ProjectorTurns& turns_;

    // Commands and reads run on pools of their own, so that reads answer while every command
    // thread waits on a hung projector. Each takes a bounded number of requests (running and
    // waiting); more are refused at once rather than left to pile up.
    struct Lane {
        std::size_t limit;
        std::atomic<std::size_t> taken{0};
        WorkerPool pool;  // last: joined before the count its tasks touch goes
        Lane(std::size_t threads, std::size_t waiting) : limit(threads + waiting), pool(threads) {}
        // False when the lane is full or no thread can run the task.
        bool submit(std::function<void()> task);
    };
    Lane commands_;
    Lane reads_;

    friend struct ApiCommandRun;
};

}  // namespace orvanta::service
