#pragma once
// How a file or registry function ends: with its value, or with a text that says what went
// wrong. Callers that must tell failures apart (a busy registry from a full one, a missing file
// from a foreign one) read the reason, an enum of the function's own; everyone else reads only
// ok() and error().
//
//   Result<std::string> read = readWholeFile(path);
//   if (!read) { report(read.error()); }
//
// `fail(text)` or `fail(reason, text)` converts to any Result with that reason type, so a
// function can hand on a failure it met without spelling out its own type.

#include <cassert>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>

namespace orvanta {

// The reason of a failure that needs no other name than "failed".
enum class Failure { Failed };

template <typename Reason>
struct [[nodiscard]] Failed {
    Reason reason;
    std::string text;
};

inline Failed<Failure> fail(std::string text) {
    return {Failure::Failed, std::move(text)};
}
template <typename Reason>
Failed<Reason> fail(Reason reason, std::string text) {
    return {reason, std::move(text)};
}

struct Done {};  // the value of a Result<void>

template <typename T = void, typename Reason = Failure>
class [[nodiscard]] Result {
    using Stored = std::conditional_t<std::is_void_v<T>, Done, T>;

  public:
    Result() requires std::is_void_v<T> : value_(Done{}) {}
    Result(Stored value) requires(!std::is_void_v<T>) : value_(std::move(value)) {}
    Result(Failed<Reason> failed) : reason_(failed.reason), error_(std::move(failed.text)) {}

    bool ok() const { return value_.has_value(); }
    explicit operator bool() const { return ok(); }

    // Only on success.
    const Stored& value() const& requires(!std::is_void_v<T>) {
        assert(ok());
        return *value_;
    }
    Stored& value() & requires(!std::is_void_v<T>) {
        assert(ok());
        return *value_;
    }
    Stored&& value() && requires(!std::is_void_v<T>) {
        assert(ok());
        return std::move(*value_);
    }
    // The value, or `fallback` on failure.
    Stored valueOr(Stored fallback) const requires(!std::is_void_v<T>) {
        return ok() ? *value_ : std::move(fallback);
    }

    // Only on failure: what went wrong, for the operator or a log.
    const std::string& error() const { return error_; }
    Reason reason() const { return reason_; }

    // The failure, for handing on.
    Failed<Reason> failure() const { return {reason_, error_}; }

  private:
    std::optional<Stored> value_;
    Reason reason_{};
    std::string error_;
};

}  // namespace orvanta
