#include "service/Idempotency.h"

#include <fcntl.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "platform/AtomicFile.h"
#include "service/ServiceLog.h"

namespace orvanta::service {
namespace {

constexpr std::size_t kMaxFileBytes = 64u << 20;

std::int64_t nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::string entryLine(const std::string& token, const std::string& key, std::int64_t time,
                      const std::string& fingerprint, int status, const std::string& body) {
    const nlohmann::json line = {{"token", token},         {"key", key},       {"time", time},
                                 {"request", fingerprint}, {"status", status}, {"body", body}};
    return line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

}  // namespace

bool validIdempotencyKey(const std::string& key) {
    if (key.empty() || key.size() > 255) {
        return false;
    }
    for (const char c : key) {
        if (c < 0x21 || c > 0x7E) {
            return false;
        }
    }
    return true;
}

IdempotencyStore::IdempotencyStore(std::string path, std::chrono::milliseconds keep)
    : path_(std::move(path)), keep_(keep) {}

Result<> IdempotencyStore::load() {
    Result<std::string, ReadProblem> read = readRegularFile(path_, kMaxFileBytes);
    if (!read && read.reason() != ReadProblem::Missing) {
        return fail(path_ + ": " + read.error());
    }
    const std::string bytes = read ? read.value() : std::string();
    const std::int64_t oldest = nowMs() - keep_.count();
    std::string kept;
    std::lock_guard lock(mutex_);
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        if (end == std::string::npos) {
            break;  // cut short by a crash: that answer never went out
        }
        const nlohmann::json line =
            nlohmann::json::parse(bytes.begin() + static_cast<std::ptrdiff_t>(start),
                                  bytes.begin() + static_cast<std::ptrdiff_t>(end), nullptr, false);
        start = end + 1;
        if (!line.is_object() || !line.contains("token") || !line["token"].is_string() ||
            !line.contains("key") || !line["key"].is_string() || !line.contains("time") ||
            !line["time"].is_number_integer() || !line.contains("request") ||
            !line["request"].is_string() || !line.contains("status") ||
            !line["status"].is_number_integer() || !line.contains("body") ||
            !line["body"].is_string()) {
            continue;
        }
        Entry e;
        e.time = line["time"].get<std::int64_t>();
        if (e.time < oldest) {
            continue;
        }
        e.fingerprint = line["request"].get<std::string>();
        e.done = true;
        e.status = line["status"].get<int>();
        e.body = line["body"].get<std::string>();
        const std::string token = line["token"].get<std::string>();
        const std::string key = line["key"].get<std::string>();
        kept += entryLine(token, key, e.time, e.fingerprint, e.status, e.body);
        entries_[{token, key}] = std::move(e);
    }
    return writeFileAtomically(path_, kept, 0600);
}

IdempotencyStore::Claim IdempotencyStore::claim(const std::string& token, const std::string& key,
                                                const std::string& fingerprint,
                                                HttpResponse& answer) {
    std::lock_guard lock(mutex_);
    const auto it = entries_.find({token, key});
    if (it == entries_.end()) {
        Entry e;
        e.fingerprint = fingerprint;
        e.time = nowMs();
        entries_[{token, key}] = std::move(e);
        return Claim::New;
    }
    if (it->second.fingerprint != fingerprint) {
        return Claim::Mismatch;
    }
    if (!it->second.done) {
        return Claim::Running;
    }
    answer.status = it->second.status;
    answer.body = it->second.body;
    return Claim::Answered;
}

void IdempotencyStore::finish(const std::string& token, const std::string& key,
                              const HttpResponse& answer) {
    std::lock_guard lock(mutex_);
    Entry& e = entries_[{token, key}];
    e.done = true;
    e.status = answer.status;
    e.body = answer.body;
    const std::string line = entryLine(token, key, e.time, e.fingerprint, e.status, e.body);
    const int fd = ::open(path_.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    bool written = fd >= 0;
    if (written) {
        written = ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size()) &&
                  ::fdatasync(fd) == 0;
        ::close(fd);
    }
    if (!written) {
        logLine(LogPriority::Warning,
                "the answer for Idempotency-Key " + key + " could not be kept on disk: " + path_);
    }
}

void IdempotencyStore::abandon(const std::string& token, const std::string& key) {
    std::lock_guard lock(mutex_);
    entries_.erase({token, key});
}

}  // namespace orvanta::service
