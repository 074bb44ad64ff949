#pragma once
// How every operator command ends: done, failed with the text the operator was told, or
// cancelled (by the operator's answer, or a cancel asked for while it ran). Commands tell the
// operator through their Prompt as they go; the outcome says the same to the caller, so that a
// page or the command line decides what comes next without looking at numbers.

#include <string>
#include <utility>

namespace orvanta {

struct Outcome {
    enum class Kind { Done, Failed, Cancelled };
    // How far a failed command got: the checks before it (send lock, input, error status,
    // fatal error, slot check), the command itself, or a follow-up after the command took
    // effect (the startup display after a stored message). Pages restart the status watch
    // only after a command that got past its checks.
    enum class Step { Checks, Command, FollowUp };

    Kind kind = Kind::Done;
    std::string text;  // what the operator was told; empty when done or when nothing was said
    Step step = Step::Command;

    static Outcome success() { return {}; }
    static Outcome failure(std::string text, Step step = Step::Command) {
        return {Kind::Failed, std::move(text), step};
    }
    static Outcome cancellation(std::string text = {}) {
        return {Kind::Cancelled, std::move(text), Step::Command};
    }

    bool ok() const { return kind == Kind::Done; }
    bool failed() const { return kind == Kind::Failed; }
    bool cancelled() const { return kind == Kind::Cancelled; }
    // The command went past its checks (done, cancelled, or failed in or after the command).
    bool pastChecks() const { return ok() || step != Step::Checks; }

    // The same outcome, a failure counted at `where` (a check that calls a command).
    Outcome at(Step where) && {
        step = where;
        return std::move(*this);
    }
};

}  // namespace orvanta
