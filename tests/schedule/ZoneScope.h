#pragma once
// Runs a test in a time zone of its choosing (TZ), and puts the zone back after.

#include <cstdlib>
#include <ctime>
#include <string>

namespace orvanta {

// Sets TZ for the test's life, and back after.
class ZoneScope {
  public:
    explicit ZoneScope(const char* zone) {
        if (const char* old = std::getenv("TZ")) {
            old_ = old;
        }
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ZoneScope() {
        if (old_.empty()) {
            unsetenv("TZ");
        } else {
            setenv("TZ", old_.c_str(), 1);
        }
        tzset();
    }

  private:
    std::string old_;
};

}  // namespace orvanta
