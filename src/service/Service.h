#pragma once
// The long-lived parts of orvanta-service, started in the order added and stopped in the
// reverse order: the history writer, the fleet watch, the API with its HTTP server, and
// whatever else runs inside the service. A part that fails to start stops those before it.

#include <functional>
#include <string>
#include <vector>

#include "platform/Result.h"

namespace orvanta::service {

class Service {
  public:
    Service() = default;
    ~Service();
    Service(const Service&) = delete;
    Service& operator=(const Service&) = delete;

    // `start` may fail with a text; `stop` must end what `start` began and return once it has.
    void add(std::string name, std::function<Result<>()> start, std::function<void()> stop);

    Result<> start();
    void stop();

  private:
    struct Part {
        std::string name;
        std::function<Result<>()> start;
        std::function<void()> stop;
    };
    std::vector<Part> parts_;
    std::size_t started_ = 0;
};

}  // namespace orvanta::service
