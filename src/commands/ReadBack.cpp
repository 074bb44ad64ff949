#include "commands/ReadBack.h"

#include "commands/ProjectorState.h"
#include "commands/SendCommand.h"
#include "text/LanguageText.h"

namespace orvanta {

Outcome querySlot(const CommandContext& context, std::uint8_t slot, SlotQuery& query) {
    TransferJob job = context.job();
    job.info.address = context.target.address;
    job.info.password = context.target.password;
    job.info.slot = slot;
    if (!context.runner.run(job, TransferKind::Info)) {
        return context.fail(job.outcome.resultText);
    }
    query.headerHex = std::string(job.info.headerHexText());
    query.messageLength = job.info.messageLength;
    query.replyLength = job.info.replyLength;
    query.slotCharacter = static_cast<char>(job.info.slot);
    return Outcome::success();
}

Outcome readBackMessage(const CommandContext& context, std::uint8_t slot, const SlotQuery& query,
                        std::vector<std::uint8_t>& body, int& length) {
    TransferJob job = context.job();
    job.message.address = context.target.address;
    job.message.password = context.target.password;
    job.message.slot = slot;
    job.message.length = query.messageLength;
    job.message.infoLength = query.replyLength;
    if (context.runner.run(job, TransferKind::Text)) {
        body.assign(job.message.body.begin(), job.message.body.end());
        length = job.message.length;
        return Outcome::success();
    }
    body.clear();
    length = 0;
    if (job.outcome.resultText == languageText(Text::CancelComplete)) {
        detail::sendCancel(job, context);
        detail::replaceText(job.outcome.resultText, int(Text::NoMessageData),
                            int(Text::CancelComplete));
        context.prompt.inform(job.outcome.resultText);
        return Outcome::cancellation(job.outcome.resultText);
    }
    return context.fail(job.outcome.resultText);
}

Outcome readStoredMessage(const CommandContext& context, std::uint8_t slot, StoredMessage& stored) {
    if (Outcome ready = checkProjectorReady(context); !ready.ok()) {
        return ready;
    }
    if (Outcome o = querySlot(context, slot, stored.query); !o.ok()) {
        return o;
    }
    if (Outcome o = readBackMessage(context, slot, stored.query, stored.body, stored.length);
        !o.ok()) {
        return o;
    }
    return waitForSave(context, slot);
}

}  // namespace orvanta
