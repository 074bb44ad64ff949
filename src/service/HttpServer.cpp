#include "service/HttpServer.h"

#include <arpa/inet.h>
#include <microhttpd.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <mutex>
#include <thread>

namespace orvanta::service {

// What a connection's request keeps between the calls libmicrohttpd makes for it.
struct HttpServer::Connection {
    HttpRequest request;
    std::mutex mutex;
    bool handedOver = false;
    bool suspended = false;
    bool answered = false;
    HttpResponse response;
    MHD_Connection* connection = nullptr;
};

struct HttpServer::Daemon {
    MHD_Daemon* daemon = nullptr;
    std::string certificate;  // kept alive while the daemon runs
    std::string key;
};

namespace {

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

MHD_Result collectHeader(void* cls, MHD_ValueKind kind, const char* key, const char* value) {
    auto* request = static_cast<HttpRequest*>(cls);
    if (key != nullptr) {
        const std::string text = value != nullptr ? value : "";
        if (kind == MHD_HEADER_KIND) {
            request->headers[lower(key)] = text;
        } else if (kind == MHD_GET_ARGUMENT_KIND) {
            request->query[key] = text;
        }
    }
    return MHD_YES;
}

std::string clientAddress(MHD_Connection* connection) {
    const MHD_ConnectionInfo* info =
        MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
    if (info == nullptr || info->client_addr == nullptr) {
        return "-";
    }
    char text[INET6_ADDRSTRLEN] = {};
    const sockaddr* address = info->client_addr;
    if (address->sa_family == AF_INET) {
        sockaddr_in in{};
        std::memcpy(&in, address, sizeof in);
        inet_ntop(AF_INET, &in.sin_addr, text, sizeof text);
    } else if (address->sa_family == AF_INET6) {
        sockaddr_in6 in6{};
        std::memcpy(&in6, address, sizeof in6);
        inet_ntop(AF_INET6, &in6.sin6_addr, text, sizeof text);
    }
    return text;
}

MHD_Result queue(MHD_Connection* connection, const HttpResponse& answer) {
    MHD_Response* response = MHD_create_response_from_buffer(
        answer.body.size(), const_cast<char*>(answer.body.data()), MHD_RESPMEM_MUST_COPY);
    if (response == nullptr) {
        return MHD_NO;
    }
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, answer.contentType.c_str());
    MHD_add_response_header(response, "Cache-Control", "no-store");
    for (const auto& [name, value] : answer.headers) {
        MHD_add_response_header(response, name.c_str(), value.c_str());
    }
    const MHD_Result queued =
        MHD_queue_response(connection, static_cast<unsigned>(answer.status), response);
    MHD_destroy_response(response);
    return queued;
}

}  // namespace

// libmicrohttpd's entry points, with the server as their closure.
struct HttpServerAccess {
    static MHD_Result access(void* cls, MHD_Connection* connection, const char* url,
                             const char* method, const char*, const char* uploadData,
                             std::size_t* uploadSize, void** slot) {
        auto* server = static_cast<HttpServer*>(cls);
        auto* state = static_cast<HttpServer::Connection*>(*slot);
        if (state == nullptr) {
            state = new HttpServer::Connection;
            *slot = state;
            state->connection = connection;
            HttpRequest& r = state->request;
            r.method = method;
            r.path = url;
            r.client = clientAddress(connection);
            MHD_get_connection_values(connection, MHD_HEADER_KIND, collectHeader, &r);
            MHD_get_connection_values(connection, MHD_GET_ARGUMENT_KIND, collectHeader, &r);
            // A body announced as too large is refused before a byte of it is read.
            const std::string length = r.header("content-length");
            if (!length.empty() &&
                (length.size() > 12 ||
                 std::strtoull(length.c_str(), nullptr, 10) > server->limits_.maxBody)) {
                r.bodyTooLarge = true;
            }
            if (r.bodyTooLarge) {
                state->handedOver = true;
                HttpResponse tooLarge;
                tooLarge.status = 413;
                tooLarge.body = R"({"error":"The request body is larger than 64 KiB."})";
                return queue(connection, tooLarge);
            }
            return MHD_YES;
        }
        if (*uploadSize != 0) {
            HttpRequest& r = state->request;
            // Chunked bodies say their size only as they come: past the limit the rest is
            // read and dropped, and the answer is 413.
            if (!r.bodyTooLarge && r.body.size() + *uploadSize <= server->limits_.maxBody) {
                r.body.append(uploadData, *uploadSize);
            } else {
                r.bodyTooLarge = true;
                r.body.clear();
            }
            *uploadSize = 0;
            return MHD_YES;
        }
        std::unique_lock lock(state->mutex);
        if (state->answered) {
            state->answered = false;
            return queue(connection, state->response);
        }
        if (state->handedOver) {
            // Woken without an answer (cannot happen: resume follows the answer).
            return MHD_YES;
        }
        state->handedOver = true;
        lock.unlock();
        server->handler_(state->request, [state](HttpResponse response) {
            std::lock_guard guard(state->mutex);
            state->response = std::move(response);
            state->answered = true;
            if (state->suspended) {
                state->suspended = false;
                MHD_resume_connection(state->connection);
            }
        });
        lock.lock();
        if (state->answered) {
            state->answered = false;
            return queue(connection, state->response);
        }
        state->suspended = true;
        MHD_suspend_connection(connection);
        return MHD_YES;
    }

    static void completed(void*, MHD_Connection*, void** slot, MHD_RequestTerminationCode) {
        delete static_cast<HttpServer::Connection*>(*slot);
        *slot = nullptr;
    }
};

HttpServer::HttpServer(HttpHandler handler, HttpLimits limits)
    : handler_(std::move(handler)), limits_(limits) {}

HttpServer::~HttpServer() {
    stop();
}

bool HttpServer::tlsAvailable() {
    return MHD_is_feature_supported(MHD_FEATURE_TLS) == MHD_YES;
}

Result<> HttpServer::start(const HttpListen& listen) {
    sockaddr_storage storage{};
    socklen_t length = 0;
    unsigned flags = MHD_USE_EPOLL_INTERNAL_THREAD | MHD_ALLOW_SUSPEND_RESUME | MHD_USE_ITC;
    in_addr v4{};
    in6_addr v6{};
    if (inet_pton(AF_INET, listen.address.c_str(), &v4) == 1) {
        sockaddr_in in{};
        in.sin_family = AF_INET;
        in.sin_port = htons(static_cast<std::uint16_t>(listen.port));
        in.sin_addr = v4;
        std::memcpy(&storage, &in, sizeof in);
        length = sizeof in;
    } else if (inet_pton(AF_INET6, listen.address.c_str(), &v6) == 1) {
        sockaddr_in6 in6{};
        in6.sin6_family = AF_INET6;
        in6.sin6_port = htons(static_cast<std::uint16_t>(listen.port));
        in6.sin6_addr = v6;
        std::memcpy(&storage, &in6, sizeof in6);
        length = sizeof in6;
        flags |= MHD_USE_IPv6;
    } else {
        return fail("not an IP address to listen on: " + listen.address);
    }
    (void)length;
    daemon_ = std::make_unique<Daemon>();
    const bool tls = !listen.certificatePem.empty() || !listen.keyPem.empty();
    if (tls) {
        if (!tlsAvailable()) {
            return fail("this libmicrohttpd was built without TLS");
        }
        flags |= MHD_USE_TLS;
        daemon_->certificate = listen.certificatePem;
        daemon_->key = listen.keyPem;
    }
    std::vector<MHD_OptionItem> options = {
        {MHD_OPTION_SOCK_ADDR, 0, &storage},
        {MHD_OPTION_CONNECTION_LIMIT, static_cast<intptr_t>(limits_.maxConnections), nullptr},
        {MHD_OPTION_PER_IP_CONNECTION_LIMIT, static_cast<intptr_t>(limits_.maxConnectionsPerClient),
         nullptr},
        {MHD_OPTION_CONNECTION_TIMEOUT, static_cast<intptr_t>(limits_.idleTimeout.count()),
         nullptr},
        {MHD_OPTION_CONNECTION_MEMORY_LIMIT, static_cast<intptr_t>(limits_.connectionMemory),
         nullptr},
        {MHD_OPTION_NOTIFY_COMPLETED, reinterpret_cast<intptr_t>(&HttpServerAccess::completed),
         nullptr},
        {MHD_OPTION_LISTENING_ADDRESS_REUSE, 1, nullptr},
    };
    if (tls) {
        options.push_back({MHD_OPTION_HTTPS_MEM_CERT, 0, daemon_->certificate.data()});
        options.push_back({MHD_OPTION_HTTPS_MEM_KEY, 0, daemon_->key.data()});
    }
    options.push_back({MHD_OPTION_END, 0, nullptr});
    daemon_->daemon = MHD_start_daemon(flags, 0, nullptr, nullptr, &HttpServerAccess::access, this,
                                       MHD_OPTION_ARRAY, options.data(), MHD_OPTION_END);
    if (daemon_->daemon == nullptr) {
        daemon_.reset();
        return fail("cannot listen on " + listen.address + ":" + std::to_string(listen.port) +
                    (tls ? " (or the certificate and key are not a usable pair)" : "") + ": " +
                    std::strerror(errno));
    }
    const MHD_DaemonInfo* info = MHD_get_daemon_info(daemon_->daemon, MHD_DAEMON_INFO_BIND_PORT);
    port_ = info != nullptr ? info->port : listen.port;
    return {};
}

void HttpServer::quiesce() {
    if (daemon_ && daemon_->daemon != nullptr) {
        const MHD_socket socket = MHD_quiesce_daemon(daemon_->daemon);
        if (socket != MHD_INVALID_SOCKET) {
            ::close(socket);
        }
    }
}

void HttpServer::drain(std::chrono::milliseconds limit) {
    if (!daemon_ || daemon_->daemon == nullptr) {
        return;
    }
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        const MHD_DaemonInfo* info =
            MHD_get_daemon_info(daemon_->daemon, MHD_DAEMON_INFO_CURRENT_CONNECTIONS);
        if (info == nullptr || info->num_connections == 0) {
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

void HttpServer::stop() {
    if (daemon_ && daemon_->daemon != nullptr) {
        MHD_stop_daemon(daemon_->daemon);
        daemon_->daemon = nullptr;
    }
    daemon_.reset();
}

}  // namespace orvanta::service
