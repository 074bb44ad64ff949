#pragma once
// Named groups of registered projectors ("Hall A", "Floor 2"), kept in Groups.txt beside the
// registry (LastPj.txt, which other readers expect exactly as it is and so holds no groups).
// A projector may be in any number of groups. A group keeps an address that is no longer
// registered; it is shown as missing until it is registered again or removed from the group.
//
// Layout: UTF-8 text, one entry a line, LF (a CR before it is ignored):
//   Group=<name>            starts a group; its members follow
//   Member=<dotted address> a member of the group above, in the order added
// Lines of any other form, members before the first group, malformed addresses and repeats
// are skipped when read; a name that comes twice adds its members to the first group of
// that name. Every change writes the whole file anew.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Result.h"
#include "projectors/ProjectorList.h"

namespace orvanta {

inline constexpr const char* kGroupsFileName = "Groups.txt";  // beside LastPj.txt
// The longest name, in bytes of UTF-8.
inline constexpr std::size_t kMaxGroupNameBytes = 64;
// The most groups, and members of one group, that a file can make us load.
inline constexpr std::size_t kMaxLoadedGroups = 1024;
inline constexpr std::size_t kMaxLoadedGroupMembers = 4096;

struct ProjectorGroup {
    std::string name;                      // unique, compared exactly, not empty
    std::vector<std::uint32_t> addresses;  // in the order added, no duplicates
    bool operator==(const ProjectorGroup&) const = default;
};

struct ProjectorGroups {
    std::vector<ProjectorGroup> groups;  // in the order created
    const ProjectorGroup* find(std::string_view name) const;
};

// Why a read or change of the groups failed; the error text says it in the interface language.
enum class GroupProblem {
    Unreadable,     // Groups.txt exists but cannot be read (or is no ordinary file)
    Busy,           // another program kept the registry locked too long
    WriteFailed,    // the new file could not be written; the old one is as it was
    BadName,        // empty, too long, not UTF-8, control characters or spaces at either end
    SameName,       // another group has this name
    NoSuchGroup,    // no group has this name
    NotRegistered,  // only registered projectors can be added
    AlreadyMember,  // the projector is in the group already
    NotMember,      // the projector is not in the group
};
using GroupResult = Result<void, GroupProblem>;

// programFolder + "Groups.txt" (the folder ends with '/').
std::string groupsPath(const std::string& programFolder);

// The groups of the file; a missing file gives none.
Result<ProjectorGroups, GroupProblem> readProjectorGroups(const std::string& programFolder);
// The groups of a file's bytes, read as readProjectorGroups reads the file.
ProjectorGroups parseProjectorGroups(std::string_view bytes);
// The bytes readProjectorGroups reads back as `groups`.
std::string formatProjectorGroups(const ProjectorGroups& groups);

// Whether `name` may name a group (see GroupProblem::BadName).
bool isValidGroupName(std::string_view name);

// The changes. Each takes the registry lock (the one every change of LastPj.txt takes, so the
// desktop program and any number of command-line runs can change both at the same time),
// reads the file again inside it, writes it atomically and lets go. On failure the file is as
// it was.
GroupResult createGroup(const std::string& folder, const std::string& name);
GroupResult renameGroup(const std::string& folder, const std::string& from, const std::string& to);
GroupResult deleteGroup(const std::string& folder, const std::string& name);
// Only a registered projector (read from LastPj.txt inside the lock) can be added.
GroupResult addToGroup(const std::string& folder, const std::string& name, std::uint32_t address);
// Works for missing members too: that is how they leave a group.
GroupResult removeFromGroup(const std::string& folder, const std::string& name,
                            std::uint32_t address);

// A group's members against the registry: registered ones carry their record, others are
// missing (kept in the group, shown as missing).
struct GroupMember {
    std::uint32_t address = 0;
    std::optional<ProjectorRecord> record;
};
std::vector<GroupMember> groupMembers(const ProjectorGroup& group, const ProjectorList& registry);

}  // namespace orvanta
