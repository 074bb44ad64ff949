#include "projectors/ProjectorGroups.h"

#include <algorithm>
#include <chrono>

#include "platform/AtomicFile.h"
#include "platform/FileLock.h"
#include "platform/TextCodec.h"
#include "text/LanguageText.h"

namespace orvanta {

namespace {

constexpr std::string_view kGroupKey = "Group=";
constexpr std::string_view kMemberKey = "Member=";

using Refusal = std::optional<GroupProblem>;

Failed<GroupProblem> refusal(GroupProblem problem, const std::string& detail = {}) {
    Text key = Text::GroupsUnreadable;
    switch (problem) {
        case GroupProblem::Unreadable:
            key = Text::GroupsUnreadable;
            break;
        case GroupProblem::Busy:
            key = Text::RegistryBusy;
            break;
        case GroupProblem::WriteFailed:
            key = Text::GroupsCannotBeWritten;
            break;
        case GroupProblem::BadName:
            key = Text::GroupBadName;
            break;
        case GroupProblem::SameName:
            key = Text::GroupSameName;
            break;
        case GroupProblem::NoSuchGroup:
            key = Text::GroupNotFound;
            break;
        case GroupProblem::NotRegistered:
            key = Text::GroupNeedsRegistered;
            break;
        case GroupProblem::AlreadyMember:
            key = Text::GroupAlreadyMember;
            break;
        case GroupProblem::NotMember:
            key = Text::GroupNotMember;
            break;
    }
    std::string text = languageText(key);
    if (!detail.empty()) {
        text += " (" + detail + ")";
    }
    return fail(problem, std::move(text));
}

ProjectorGroup* findMutable(ProjectorGroups& groups, std::string_view name) {
    for (ProjectorGroup& g : groups.groups) {
        if (g.name == name) {
            return &g;
        }
    }
    return nullptr;
}

Result<ProjectorGroups, GroupProblem> readGroupsFile(const std::string& path) {
    Result<std::string, ReadProblem> bytes = readWholeFile(path);
    if (!bytes) {
        if (bytes.reason() == ReadProblem::Missing) {
            return ProjectorGroups{};
        }
        return refusal(GroupProblem::Unreadable, bytes.error());
    }
    return parseProjectorGroups(bytes.value());
}

// Runs `change` on the file's current groups with the registry locked and writes the result
// when it refuses nothing. `registry` is read inside the lock only for changes that need it.
template <typename Change>
GroupResult changeGroups(const std::string& folder, bool needsRegistry, Change change) {
    const auto lock =
        FileLock::acquire(registryPath(folder), std::chrono::milliseconds(kRegistryLockPatienceMs));
    if (!lock) {
        // A folder we cannot write in is no other program's doing.
        return lock.reason() == LockProblem::Unopenable
                   ? refusal(GroupProblem::WriteFailed, lock.error())
                   : refusal(GroupProblem::Busy);
    }
    const std::string path = groupsPath(folder);
    Result<ProjectorGroups, GroupProblem> groups = readGroupsFile(path);
    if (!groups) {
        // Writing would replace what we could not read.
        return groups.failure();
    }
    ProjectorList registry;
    if (needsRegistry) {
        Result<ProjectorList, RegistryProblem> read = readProjectorList(folder);
        if (!read) {
            return fail(GroupProblem::Unreadable, read.error());
        }
        registry = std::move(read).value();
    }
    if (const Refusal refused = change(groups.value(), registry)) {
        return refusal(*refused);
    }
    if (Result<> saved = writeFileAtomically(path, formatProjectorGroups(groups.value())); !saved) {
        return refusal(GroupProblem::WriteFailed, saved.error());
    }
    return {};
}

}  // namespace

const ProjectorGroup* ProjectorGroups::find(std::string_view name) const {
    for (const ProjectorGroup& g : groups) {
        if (g.name == name) {
            return &g;
        }
    }
    return nullptr;
}

std::string groupsPath(const std::string& programFolder) {
    return programFolder + kGroupsFileName;
}

bool isValidGroupName(std::string_view name) {
    if (name.empty() || name.size() > kMaxGroupNameBytes || name.front() == ' ' ||
        name.back() == ' ') {
        return false;
    }
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            return false;
        }
    }
    return decodeUtf8Strict(name).has_value();
}

ProjectorGroups parseProjectorGroups(std::string_view bytes) {
    ProjectorGroups groups;
    ProjectorGroup* current = nullptr;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        std::size_t end = bytes.find('\n', pos);
        if (end == std::string_view::npos) {
            end = bytes.size();
        }
        std::string_view line = bytes.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (line.starts_with(kGroupKey)) {
            const std::string_view name = line.substr(kGroupKey.size());
            if (!isValidGroupName(name)) {
                current = nullptr;  // its members must not join the group before it
                continue;
            }
            current = findMutable(groups, name);
            if (current == nullptr && groups.groups.size() < kMaxLoadedGroups) {
                groups.groups.push_back({std::string(name), {}});
                current = &groups.groups.back();
            }
        } else if (line.starts_with(kMemberKey) && current != nullptr) {
            const auto address = parseAddress(line.substr(kMemberKey.size()));
            auto& members = current->addresses;
            if (address && members.size() < kMaxLoadedGroupMembers &&
                std::find(members.begin(), members.end(), *address) == members.end()) {
                members.push_back(*address);
            }
        }
    }
    return groups;
}

std::string formatProjectorGroups(const ProjectorGroups& groups) {
    std::string out;
    for (const ProjectorGroup& g : groups.groups) {
        out.append(kGroupKey).append(g.name).append("\n");
        for (const std::uint32_t a : g.addresses) {
            out.append(kMemberKey).append(formatAddress(a)).append("\n");
        }
    }
    return out;
}

Result<ProjectorGroups, GroupProblem> readProjectorGroups(const std::string& programFolder) {
    return readGroupsFile(groupsPath(programFolder));
}

GroupResult createGroup(const std::string& folder, const std::string& name) {
    if (!isValidGroupName(name)) {
        return refusal(GroupProblem::BadName);
    }
    return changeGroups(folder, false,
                        [&](ProjectorGroups& groups, const ProjectorList&) -> Refusal {
                            if (groups.find(name) != nullptr) {
                                return GroupProblem::SameName;
                            }
                            groups.groups.push_back({name, {}});
                            return std::nullopt;
                        });
}

GroupResult renameGroup(const std::string& folder, const std::string& from, const std::string& to) {
    if (!isValidGroupName(to)) {
        return refusal(GroupProblem::BadName);
    }
    return changeGroups(folder, false,
                        [&](ProjectorGroups& groups, const ProjectorList&) -> Refusal {
                            ProjectorGroup* group = findMutable(groups, from);
                            if (group == nullptr) {
                                return GroupProblem::NoSuchGroup;
                            }
                            if (from != to && groups.find(to) != nullptr) {
                                return GroupProblem::SameName;
                            }
                            group->name = to;
                            return std::nullopt;
                        });
}

GroupResult deleteGroup(const std::string& folder, const std::string& name) {
    return changeGroups(
        folder, false, [&](ProjectorGroups& groups, const ProjectorList&) -> Refusal {
            const auto it = std::find_if(groups.groups.begin(), groups.groups.end(),
                                         [&](const ProjectorGroup& g) { return g.name == name; });
            if (it == groups.groups.end()) {
                return GroupProblem::NoSuchGroup;
            }
            groups.groups.erase(it);
            return std::nullopt;
        });
}

GroupResult addToGroup(const std::string& folder, const std::string& name, std::uint32_t address) {
    return changeGroups(
        folder, true, [&](ProjectorGroups& groups, const ProjectorList& registry) -> Refusal {
            ProjectorGroup* group = findMutable(groups, name);
            if (group == nullptr) {
                return GroupProblem::NoSuchGroup;
            }
            if (!registry.findAddress(address)) {
                return GroupProblem::NotRegistered;
            }
            auto& members = group->addresses;
            if (std::find(members.begin(), members.end(), address) != members.end()) {
                return GroupProblem::AlreadyMember;
            }
            members.push_back(address);
            return std::nullopt;
        });
}

GroupResult removeFromGroup(const std::string& folder, const std::string& name,
                            std::uint32_t address) {
    return changeGroups(folder, false,
                        [&](ProjectorGroups& groups, const ProjectorList&) -> Refusal {
                            ProjectorGroup* group = findMutable(groups, name);
                            if (group == nullptr) {
                                return GroupProblem::NoSuchGroup;
                            }
                            auto& members = group->addresses;
                            const auto it = std::find(members.begin(), members.end(), address);
                            if (it == members.end()) {
                                return GroupProblem::NotMember;
                            }
                            members.erase(it);
                            return std::nullopt;
                        });
}

std::vector<GroupMember> groupMembers(const ProjectorGroup& group, const ProjectorList& registry) {
    std::vector<GroupMember> members;
    members.reserve(group.addresses.size());
    for (const std::uint32_t a : group.addresses) {
        GroupMember m{a, std::nullopt};
        if (const auto row = registry.findAddress(a)) {
            m.record = registry.records[*row];
        }
        members.push_back(std::move(m));
    }
    return members;
}

}  // namespace orvanta
