// Sending a message template (see TemplateSend.h).

#include "commands/TemplateSend.h"

#include <utility>

#include "platform/TextCodec.h"
#include "projectors/ProjectorRegistry.h"

namespace orvanta {

namespace {

// A projector of each character set: what a send is checked against before any projector has
// told its own kind.
constexpr ProjectorCapabilities kWideProjector{4, 0x7u};
constexpr ProjectorCapabilities kNarrowProjector{4, 0x3u};

}  // namespace

TemplateSend templateSendNow(MessageTemplate tmpl, FieldValues values) {
    SendFacts now;
    stampSendTime(now);
    TemplateSend send;
    send.tmpl = std::move(tmpl);
    send.values = std::move(values);
    send.date = now.date;
    send.time = now.time;
    return send;
}

SendFacts templateFacts(const TemplateSend& send, const ManyProjectorTarget& target) {
    return {target.name, formatAddress(target.target.address), send.group, send.date, send.time};
}

TemplateResult<> checkTemplateSend(const TemplateSend& send,
                                   const std::vector<ManyProjectorTarget>& targets) {
    for (const ManyProjectorTarget& target : targets) {
        const SendFacts facts = templateFacts(send, target);
        auto wide = fillTemplate(send.tmpl, send.values, facts, kWideProjector);
        if (!wide && !fillTemplate(send.tmpl, send.values, facts, kNarrowProjector)) {
            return wide.failure();
        }
    }
    return {};
}

Outcome sendTemplateToProjector(const CommandContext& context, const TemplateSend& send,
                                const SendFacts& facts) {
    EncodeSettings settings;
    settings.purpose = EncodePurpose::Send;
    settings.optionsFromFile = true;
    return sendMessageInManyProjectorRun(
        context,
        [&](const ProjectorCapabilities& capabilities) {
            RowMessage row;
            auto filled = fillTemplate(send.tmpl, send.values, facts, capabilities);
            if (!filled) {
                row.refusal = filled.error();
                return row;
            }
            row.message = std::move(filled).value().message;
            row.record.templateName = send.tmpl.name;
            row.record.templateValues = describeValuesJson(send.values);
            return row;
        },
        settings, send.slot, send.startupMinutes);
}

ManyProjectorOperation templateSendOperation(std::shared_ptr<const TemplateSend> send,
                                             const std::vector<ManyProjectorTarget>& targets) {
    std::map<std::uint32_t, std::string> names;  // read-only once the rows run
    for (const ManyProjectorTarget& t : targets) {
        names[t.target.address] = t.name;
    }
    return [send = std::move(send), names = std::move(names)](const CommandContext& c) {
        const auto name = names.find(c.target.address);
        const ManyProjectorTarget row{c.target, name == names.end() ? std::string() : name->second,
                                      false};
        return sendTemplateToProjector(c, *send, templateFacts(*send, row));
    };
}

}  // namespace orvanta
