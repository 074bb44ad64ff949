#include "service/Service.h"

#include "service/ServiceLog.h"

namespace orvanta::service {

Service::~Service() {
    stop();
}

void Service::add(std::string name, std::function<Result<>()> start, std::function<void()> stop) {
    parts_.push_back({std::move(name), std::move(start), std::move(stop)});
}

Result<> Service::start() {
    for (; started_ < parts_.size(); ++started_) {
        Part& part = parts_[started_];
        if (Result<> started = part.start(); !started) {
            const std::string text = part.name + ": " + started.error();
            stop();
            return fail(text);
        }
    }
    return {};
}

void Service::stop() {
    while (started_ > 0) {
        --started_;
        parts_[started_].stop();
    }
}

}  // namespace orvanta::service
