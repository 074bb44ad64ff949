#include "service/FleetCache.h"

#include "platform/WorkerPool.h"
#include "service/FileSignature.h"

namespace orvanta::service {

FleetCache::FleetCache(std::string programFolder, std::chrono::milliseconds interval)
    : programFolder_(std::move(programFolder)), interval_(interval), poller_([interval] {
          FleetWatchTimings timings;
          timings.interval = interval;
          return timings;
      }()) {}

FleetCache::~FleetCache() {
    stop();
}

Result<> FleetCache::start() {
    reloadRegistry();
    Result<std::thread> started = startThread([this] { loop(); });
    if (!started) {
        return fail(started.error());
    }
    thread_ = std::move(started).value();
    return {};
}

void FleetCache::stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) {
        thread_.join();
    }
    poller_.stop();
}

void FleetCache::reloadRegistry() {
    const std::string signature = fileSignature(registryPath(programFolder_));
    if (signature == registrySignature_) {
        return;
    }
    registrySignature_ = signature;
    const ProjectorRegistry registry = loadRegistry(programFolder_);
    std::vector<ProjectorTarget> members;
    for (const ProjectorRecord& r : registry.records) {
        members.push_back({r.address, r.password});
    }
    {
        std::lock_guard lock(mutex_);
        registered_ = registry.records;
        std::map<std::uint32_t, FleetStatus> kept;
        for (const ProjectorRecord& r : registered_) {
            if (const auto it = statuses_.find(r.address); it != statuses_.end()) {
                kept.insert(*it);
            }
        }
        statuses_ = std::move(kept);
    }
    if (members.empty()) {
        poller_.stop();
        return;
    }
    poller_.start(std::move(members), [this](const FleetStatus& status) {
        std::lock_guard lock(mutex_);
        statuses_[status.address] = status;
    });
}

void FleetCache::loop() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        wake_.wait_for(lock, interval_, [this] { return stopping_; });
        if (stopping_) {
            break;
        }
        lock.unlock();
        reloadRegistry();
        lock.lock();
    }
}

std::vector<FleetCache::Row> FleetCache::rows() const {
    std::lock_guard lock(mutex_);
    std::vector<Row> out;
    out.reserve(registered_.size());
    for (const ProjectorRecord& r : registered_) {
        Row row{r, std::nullopt};
        if (const auto it = statuses_.find(r.address); it != statuses_.end()) {
            row.status = it->second;
        }
        out.push_back(std::move(row));
    }
    return out;
}

std::optional<FleetStatus> FleetCache::status(std::uint32_t address) const {
    std::lock_guard lock(mutex_);
    if (const auto it = statuses_.find(address); it != statuses_.end()) {
        return it->second;
    }
    return std::nullopt;
}

}  // namespace orvanta::service
