#include "app/StopFlags.h"

namespace orvanta {

StopFlags& processStopFlags() {
    static StopFlags flags;
    return flags;
}

}  // namespace orvanta
