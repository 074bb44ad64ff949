#pragma once
// How an exchange step ended, in a form tests compare and print: nothing for a step that went
// on, else why it stopped.

#include <optional>
#include <ostream>

#include "protocol/CommandExchange.h"

namespace orvanta {

inline std::optional<ExchangeStop> stopOf(const ExchangeStatus& status) {
    return status ? std::nullopt : std::optional(status.reason());
}

inline void PrintTo(const ExchangeStop& stop, std::ostream* out) {
    switch (stop.kind) {
        case ExchangeStop::Kind::Failed:
            *out << "failed with " << stop.code;
            return;
        case ExchangeStop::Kind::Unreachable:
            *out << "unreachable";
            return;
        case ExchangeStop::Kind::Cancelled:
            *out << "cancelled";
            return;
    }
}

}  // namespace orvanta
