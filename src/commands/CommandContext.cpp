#include "commands/CommandContext.h"
#include "protocol/CommandExchange.h"

namespace orvanta::detail {

bool ReachRunner::run(TransferJob& job, TransferKind kind) {
    const bool ok = inner_.run(job, kind);
    const TransferOutcome& outcome = job.outcome;
    const bool noConnection = outcome.end == TransferEnd::Failure &&
                              (outcome.resultCode == toCode(ExchangeError::Socket) ||
                               outcome.resultCode == toCode(ExchangeError::Connect));
    // The bounded reads report a projector that took no connection as this value.
    const bool unreachable =
        ok && (kind == TransferKind::CtrlRead || kind == TransferKind::CtrlStateQuery) &&
        job.control.value == kUnreachableValue;
    if (!noConnection && !unreachable) {
        reached_ = true;
    }
    return ok;
}

}  // namespace orvanta::detail
