#pragma once
// Named groups of registered projectors ("Hall A", "Floor 2"), kept in Groups.txt beside the
// registry (LastPj.txt, which other readers expect exactly as it is and so holds no groups).
// A projector may be in any number of groups. A group keeps an address that is no longer
// registered; it is shown as missing until it is registered again or removed from the group.
//
// Layout: UTF-8 text, one entry a line, LF or CR LF, an optional byte order mark:
//   Group=<name>            starts a group; its members follow
//   Member=<dotted address> a member of the group above, in the order added
// Blanks around "=" and at either end of a line are allowed, keys in any letter case, as
// people write the file by hand. Comments, blank lines, lines of any other form, members
// before the first group, malformed addresses and repeats mean nothing to the groups but
// stay in the file: a change rewrites only the lines it changes. A name that comes twice
// (compared as names are, below) adds its members to the first group of that name. A file
// with a group name that cannot be used, or more groups or members than are loaded, is
// refused with the line that says so, and never rewritten.
//
// Names are compared after Unicode compatibility normalisation (NFKC), so names that differ
// only in how their characters are composed are one name; they are written composed (NFC).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Result.h"
#include "projectors/ProjectorRegistry.h"

namespace orvanta {

inline constexpr const char* kGroupsFileName = "Groups.txt";  // beside LastPj.txt
// The longest name, in bytes of UTF-8.
inline constexpr std::size_t kMaxGroupNameBytes = 64;
// The most groups, and members of one group, that a file can make us load.
inline constexpr std::size_t kMaxLoadedGroups = 1024;
inline constexpr std::size_t kMaxLoadedGroupMembers = 4096;

struct ProjectorGroup {
    std::string name;                      // unique after normalisation, not empty
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
    BadName,        // empty, too long, not UTF-8, spaces at either end, control or invisible
                    // characters (line and paragraph separators, zero-width, direction marks)
    SameName,       // another group has this name
    NoSuchGroup,    // no group has this name
    NotRegistered,  // only registered projectors can be added
    AlreadyMember,  // the projector is in the group already
    NotMember,      // the projector is not in the group
    TooMany,        // more groups, or members of one group, than are loaded
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
std::vector<GroupMember> groupMembers(const ProjectorGroup& group,
                                      const ProjectorRegistry& registry);

}  // namespace orvanta
