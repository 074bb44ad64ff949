#pragma once
// Who a command to many projectors goes to, read from the registry (LastPj.txt) and the groups
// (Groups.txt) at the moment it is sent: the command line, another window or the service may
// have changed either since a page last showed them, and a projector removed from the
// registry must not be sent to.

#include <string>
#include <vector>

#include "commands/ManyProjectorRun.h"
#include "platform/Result.h"

namespace orvanta {

enum class RecipientScope { AllRegistered, Group };

// Why the projectors of a choice could not be named.
enum class RecipientProblem {
    Unreadable,   // the registry or the groups file could not be read
    NoSuchGroup,  // the group is gone
};
using Recipients = Result<std::vector<ManyProjectorTarget>, RecipientProblem>;

struct RecipientChoice {
    RecipientScope scope = RecipientScope::AllRegistered;
    std::string group;  // the group's name for RecipientScope::Group
};

// The projectors of `choice` in the order of the registry or the group, with their registered
// names and passwords; members of a group that are no longer registered come as missing rows
// (they fail at once and are never sent to). Fails with the reason when a file cannot be read
// or the group no longer exists. Never waits for the registry lock: each file is replaced whole
// by a rename, so a read sees one version of it either way.
Recipients resolveRecipients(const std::string& programFolder, const RecipientChoice& choice);

}  // namespace orvanta
