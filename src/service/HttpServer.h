#pragma once
// The HTTP side of orvanta-service, on libmicrohttpd: one polling thread serves every
// connection (epoll), so a slow or idle client costs a socket, never a thread, and cannot hold
// up the answers of others. A request is handed over once its body is complete; its answer may
// be given at once (on the polling thread: cheap requests such as health and fleet) or later
// from any thread (commands that talk to projectors), the connection waiting suspended.

#include <chrono>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/Result.h"

namespace orvanta::service {

struct HttpRequest {
    std::string method;  // GET, POST, ...
    std::string path;    // without the query
    std::map<std::string, std::string> query;
    std::map<std::string, std::string> headers;  // names in lower case
    std::string body;
    std::string client;  // the peer's address
    bool bodyTooLarge = false;

    std::string header(const std::string& lowerName) const {
        const auto it = headers.find(lowerName);
        return it == headers.end() ? std::string() : it->second;
    }
};

struct HttpResponse {
    int status = 200;
    std::string body;
    std::string contentType = "application/json";
    std::vector<std::pair<std::string, std::string>> headers;
};

// Gives the answer; called once, from any thread.
using Responder = std::function<void(HttpResponse)>;
using HttpHandler = std::function<void(HttpRequest request, Responder respond)>;

struct HttpLimits {
    std::size_t maxBody = 64 * 1024;
    unsigned maxConnections = 256;
    unsigned maxConnectionsPerClient = 64;
    std::chrono::seconds idleTimeout{10};
    // Memory of one connection for its request line and headers.
    std::size_t connectionMemory = 32 * 1024;
};

struct HttpListen {
    std::string address = "127.0.0.1";  // IPv4 or IPv6 literal
    unsigned port = 9720;
    std::string certificatePem;  // TLS when both are given
    std::string keyPem;
};

class HttpServer {
  public:
    HttpServer(HttpHandler handler, HttpLimits limits = {});
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    Result<> start(const HttpListen& listen);
    // Stops taking new connections; requests under way still get their answers.
    void quiesce();
    // Waits until every connection has closed, at most `limit` (answers under way go out).
    void drain(std::chrono::milliseconds limit);
    // Closes everything. Every suspended request must have been answered before.
    void stop();
    unsigned port() const { return port_; }

    // Whether this libmicrohttpd was built with TLS.
    static bool tlsAvailable();

    struct Connection;

  private:
    friend struct HttpServerAccess;
    struct Daemon;
    HttpHandler handler_;
    HttpLimits limits_;
    std::unique_ptr<Daemon> daemon_;
    unsigned port_ = 0;
};

}  // namespace orvanta::service
