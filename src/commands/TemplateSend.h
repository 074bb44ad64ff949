#pragma once
// Sending a message template to one projector or many: the values are checked for every
// projector before any is asked, then the template is filled for each one with its own name,
// address and group, against its own capabilities, and sent as the Edit page sends a message.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "commands/ManyProjectorRun.h"
#include "templates/Template.h"

namespace orvanta {

struct TemplateSend {
    MessageTemplate tmpl;
    FieldValues values;  // as the operator gave them; defaults fill the rest
    std::uint8_t slot = 0;
    std::optional<int> startupMinutes;  // the startup display for `slot`, when given
    std::string group;                  // the group sent to, for {group}; empty otherwise
    std::string date;                   // the moment of the send, for {date} and {time}
    std::string time;
};

// A send stamped with the local date and time now.
TemplateSend templateSendNow(MessageTemplate tmpl, FieldValues values);

// What the program fills for `target`.
SendFacts templateFacts(const TemplateSend& send, const ManyProjectorTarget& target);

// The check before any connection: the template filled for every target as a projector of
// either character set would take it. A refusal that holds for both (a missing or wrong
// value, a message too long) refuses the whole send. What depends on the projector's kind
// (characters only the wide set shows) is refused per projector once its state query has
// told its kind, still before any message is sent.
TemplateResult<> checkTemplateSend(const TemplateSend& send,
                                   const std::vector<ManyProjectorTarget>& targets);

// The work of one row: state query, checks, the template filled for this projector (a
// refusal ends the row with the field's name and reason), the PUT, the save wait and the
// startup display. The history names the template and its values.
Outcome sendTemplateToProjector(const CommandContext& context, const TemplateSend& send,
                                const SendFacts& facts);

// The operation a many-projector run gives each row: sendTemplateToProjector with the facts of
// that row's projector among `targets` (its registered name found by address).
ManyProjectorOperation templateSendOperation(std::shared_ptr<const TemplateSend> send,
                                             const std::vector<ManyProjectorTarget>& targets);

}  // namespace orvanta
