#include "commands/Recipients.h"

#include <chrono>

#include "platform/FileLock.h"
#include "projectors/ProjectorGroups.h"
#include "projectors/ProjectorRegistry.h"
#include "text/LanguageText.h"

namespace orvanta {

Recipients resolveRecipients(const std::string& programFolder, const RecipientChoice& choice) {
    // Taken when free so that both files come from between two changes; a change in progress
    // is not waited for (the caller may be a window).
    const auto lock = FileLock::acquire(registryPath(programFolder), std::chrono::milliseconds(0));
    Result<ProjectorRegistry, RegistryProblem> registry = readRegistry(programFolder);
    if (!registry) {
        return fail(RecipientProblem::Unreadable, registry.error());
    }
    std::vector<ManyProjectorTarget> out;
    if (choice.scope == RecipientScope::AllRegistered) {
        for (const ProjectorRecord& r : registry.value().records) {
            out.push_back({{r.address, r.password}, r.name, false});
        }
        return out;
    }
    const Result<ProjectorGroups, GroupProblem> groups = readProjectorGroups(programFolder);
    if (!groups) {
        return fail(RecipientProblem::Unreadable, groups.error());
    }
    const ProjectorGroup* group = groups.value().find(choice.group);
    if (group == nullptr) {
        return fail(RecipientProblem::NoSuchGroup,
                    languageText(Text::GroupNotFound) + " (" + choice.group + ")");
    }
    for (const GroupMember& m : groupMembers(*group, registry.value())) {
        out.push_back(
            m.record ? ManyProjectorTarget{{m.address, m.record->password}, m.record->name, false}
                     : ManyProjectorTarget{{m.address, {}}, {}, true});
    }
    return out;
}

}  // namespace orvanta
