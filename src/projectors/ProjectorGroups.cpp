#include "projectors/ProjectorGroups.h"

#include <algorithm>
#include <cctype>
#include <chrono>

#include "platform/AtomicFile.h"
#include "platform/Blanks.h"
#include "platform/FileLock.h"
#include "platform/TextCodec.h"
#include "text/LanguageText.h"

namespace orvanta {

namespace {

constexpr std::string_view kGroupKey = "Group";
constexpr std::string_view kMemberKey = "Member";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

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
        case GroupProblem::TooMany:
            key = Text::GroupsTooMany;
            break;
    }
    std::string text = key == Text::GroupsTooMany
                           ? formatText(key, {static_cast<long long>(kMaxLoadedGroups),
                                              static_cast<long long>(kMaxLoadedGroupMembers)})
                           : languageText(key);
    if (!detail.empty()) {
        text += " (" + detail + ")";
    }
    return fail(problem, std::move(text));
}

bool keyIs(std::string_view key, std::string_view expected) {
    return key.size() == expected.size() &&
           std::equal(key.begin(), key.end(), expected.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) ==
                      std::tolower(static_cast<unsigned char>(b));
           });
}

// Groups.txt as lines, so that a change rewrites only the lines it changes: comments, blank
// lines and lines of forms this program does not use stay where the writer put them, with the
// file's byte order mark and line ends.
struct GroupsDocument {
    struct Line {
        enum class Kind { Other, Group, Member };
        std::string text;  // without its line end
        Kind kind = Kind::Other;
        std::size_t group = 0;      // Group and Member: index into groups
        std::uint32_t address = 0;  // Member
    };
    bool byteOrderMark = false;
    std::string lineEnd = "\n";
    std::vector<Line> lines;
    ProjectorGroups groups;

    std::vector<std::string> keys;  // each group's name as names are compared

    std::optional<std::size_t> indexOf(std::string_view name) const {
        const auto it = std::find(keys.begin(), keys.end(), compatibilityForm(name));
        if (it == keys.end()) {
            return std::nullopt;
        }
        return static_cast<std::size_t>(it - keys.begin());
    }

    std::string bytes() const {
        std::string out = byteOrderMark ? std::string(kByteOrderMark) : std::string();
        for (const Line& l : lines) {
            out.append(l.text).append(lineEnd);
        }
        return out;
    }

    // The line after the last line of group `g` (its header when it has no members).
    std::size_t endOf(std::size_t g) const {
        std::size_t end = lines.size();
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (lines[i].kind != Line::Kind::Other && lines[i].group == g) {
                end = i + 1;
            }
        }
        return end;
    }
};

// Reads `bytes` as people write it by hand: a byte order mark, CR LF, blanks around "=" and
// at either end of a line, keys in any letter case. A file that holds what the program could
// not keep in full - a group name it cannot use, more groups or members than it loads - is
// refused with the line that says so.
Result<GroupsDocument, GroupProblem> readGroupsDocument(std::string_view bytes) {
    GroupsDocument doc;
    if (bytes.starts_with(kByteOrderMark)) {
        doc.byteOrderMark = true;
        bytes.remove_prefix(kByteOrderMark.size());
    }
    const std::size_t firstEnd = bytes.find('\n');
    if (firstEnd != std::string_view::npos && firstEnd > 0 && bytes[firstEnd - 1] == '\r') {
        doc.lineEnd = "\r\n";
    }
    std::optional<std::size_t> current;
    std::size_t pos = 0;
    std::size_t number = 0;
    while (pos < bytes.size()) {
        std::size_t end = bytes.find('\n', pos);
        if (end == std::string_view::npos) {
            end = bytes.size();
        }
        std::string_view text = bytes.substr(pos, end - pos);
        pos = end + 1;
        ++number;
        if (!text.empty() && text.back() == '\r') {
            text.remove_suffix(1);
        }
        GroupsDocument::Line line{std::string(text)};
        const std::size_t equals = text.find('=');
        const std::string_view key = trimmedBlanks(text.substr(0, std::min(equals, text.size())));
        const std::string_view value = equals == std::string_view::npos
                                           ? std::string_view()
                                           : trimmedBlanks(text.substr(equals + 1));
        const std::string where = formatText(Text::GroupsLine, {static_cast<long long>(number)});
        if (equals != std::string_view::npos && keyIs(key, kGroupKey)) {
            if (!isValidGroupName(value)) {
                return refusal(GroupProblem::Unreadable, where + languageText(Text::GroupBadName));
            }
            current = doc.indexOf(value);
            if (!current) {
                if (doc.groups.groups.size() >= kMaxLoadedGroups) {
                    return refusal(GroupProblem::TooMany, where);
                }
                doc.groups.groups.push_back({std::string(value), {}});
                doc.keys.push_back(compatibilityForm(value));
                current = doc.groups.groups.size() - 1;
            }
            line.kind = GroupsDocument::Line::Kind::Group;
            line.group = *current;
        } else if (equals != std::string_view::npos && keyIs(key, kMemberKey) && current) {
            // A member that is no address, or one given twice, stays in the file as it is.
            const auto address = parseAddress(value);
            auto& members = doc.groups.groups[*current].addresses;
            if (address && std::find(members.begin(), members.end(), *address) == members.end()) {
                if (members.size() >= kMaxLoadedGroupMembers) {
                    return refusal(GroupProblem::TooMany, where);
                }
                members.push_back(*address);
                line.kind = GroupsDocument::Line::Kind::Member;
                line.group = *current;
                line.address = *address;
            }
        }
        doc.lines.push_back(std::move(line));
    }
    return doc;
}

Result<GroupsDocument, GroupProblem> readGroupsFile(const std::string& path) {
    Result<std::string, ReadProblem> bytes = readWholeFile(path);
    if (!bytes) {
        if (bytes.reason() == ReadProblem::Missing) {
            return GroupsDocument{};
        }
        return refusal(GroupProblem::Unreadable, bytes.error());
    }
    return readGroupsDocument(bytes.value());
}

// Runs `change` on the file's current lines with the registry locked and writes the result
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
    Result<GroupsDocument, GroupProblem> doc = readGroupsFile(path);
    if (!doc) {
        // Writing would replace what we could not read.
        return doc.failure();
    }
    ProjectorRegistry registry;
    if (needsRegistry) {
        Result<ProjectorRegistry, RegistryProblem> read = readRegistry(folder);
        if (!read) {
            return fail(GroupProblem::Unreadable, read.error());
        }
        registry = std::move(read).value();
    }
    if (const Refusal refused = change(doc.value(), registry)) {
        return refusal(*refused);
    }
    if (Result<> saved = writeFileAtomically(path, doc.value().bytes()); !saved) {
        return refusal(GroupProblem::WriteFailed, saved.error());
    }
    return {};
}

using Line = GroupsDocument::Line;

std::string groupLine(std::string_view name) {
    return std::string(kGroupKey) + "=" + std::string(name);
}

}  // namespace

const ProjectorGroup* ProjectorGroups::find(std::string_view name) const {
    const std::string wanted = compatibilityForm(name);
    for (const ProjectorGroup& g : groups) {
        if (compatibilityForm(g.name) == wanted) {
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
    const std::optional<std::u16string> units = decodeUtf8Strict(name);
    if (!units) {
        return false;
    }
    // Controls and characters that show as nothing make names that look alike, forge lines or
    // turn the text around them; a name of only such characters cannot be seen at all.
    for (std::size_t i = 0; i < units->size(); ++i) {
        char32_t c = (*units)[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units->size()) {
            c = 0x10000 + ((c - 0xD800) << 10) + ((*units)[i + 1] - 0xDC00);
            ++i;
        }
        if (isControlOrInvisible(c)) {
            return false;
        }
    }
    return true;
}

ProjectorGroups parseProjectorGroups(std::string_view bytes) {
    Result<GroupsDocument, GroupProblem> doc = readGroupsDocument(bytes);
    return doc ? std::move(doc).value().groups : ProjectorGroups{};
}

std::string formatProjectorGroups(const ProjectorGroups& groups) {
    std::string out;
    for (const ProjectorGroup& g : groups.groups) {
        out.append(groupLine(g.name)).append("\n");
        for (const std::uint32_t a : g.addresses) {
            out.append(kMemberKey).append("=").append(formatAddress(a)).append("\n");
        }
    }
    return out;
}

Result<ProjectorGroups, GroupProblem> readProjectorGroups(const std::string& programFolder) {
    Result<GroupsDocument, GroupProblem> doc = readGroupsFile(groupsPath(programFolder));
    if (!doc) {
        return doc.failure();
    }
    return std::move(doc).value().groups;
}

GroupResult createGroup(const std::string& folder, const std::string& name) {
    if (!isValidGroupName(name)) {
        return refusal(GroupProblem::BadName);
    }
    return changeGroups(folder, false,
                        [&](GroupsDocument& doc, const ProjectorRegistry&) -> Refusal {
                            if (doc.indexOf(name)) {
                                return GroupProblem::SameName;
                            }
                            if (doc.groups.groups.size() >= kMaxLoadedGroups) {
                                return GroupProblem::TooMany;
                            }
                            doc.lines.push_back({groupLine(composedForm(name))});
                            return std::nullopt;
                        });
}

GroupResult renameGroup(const std::string& folder, const std::string& from, const std::string& to) {
    if (!isValidGroupName(to)) {
        return refusal(GroupProblem::BadName);
    }
    return changeGroups(folder, false,
                        [&](GroupsDocument& doc, const ProjectorRegistry&) -> Refusal {
                            const auto g = doc.indexOf(from);
                            if (!g) {
                                return GroupProblem::NoSuchGroup;
                            }
                            if (const auto other = doc.indexOf(to); other && *other != *g) {
                                return GroupProblem::SameName;
                            }
                            for (Line& l : doc.lines) {
                                if (l.kind == Line::Kind::Group && l.group == *g) {
                                    l.text = groupLine(composedForm(to));
                                }
                            }
                            return std::nullopt;
                        });
}

GroupResult deleteGroup(const std::string& folder, const std::string& name) {
    return changeGroups(folder, false,
                        [&](GroupsDocument& doc, const ProjectorRegistry&) -> Refusal {
                            const auto g = doc.indexOf(name);
                            if (!g) {
                                return GroupProblem::NoSuchGroup;
                            }
                            std::erase_if(doc.lines, [&](const Line& l) {
                                return l.kind != Line::Kind::Other && l.group == *g;
                            });
                            return std::nullopt;
                        });
}

GroupResult addToGroup(const std::string& folder, const std::string& name, std::uint32_t address) {
    return changeGroups(
        folder, true, [&](GroupsDocument& doc, const ProjectorRegistry& registry) -> Refusal {
            const auto g = doc.indexOf(name);
            if (!g) {
                return GroupProblem::NoSuchGroup;
            }
            if (!registry.findAddress(address)) {
                return GroupProblem::NotRegistered;
            }
            const auto& members = doc.groups.groups[*g].addresses;
            if (std::find(members.begin(), members.end(), address) != members.end()) {
                return GroupProblem::AlreadyMember;
            }
            if (members.size() >= kMaxLoadedGroupMembers) {
                return GroupProblem::TooMany;
            }
            const auto at = doc.lines.begin() + static_cast<std::ptrdiff_t>(doc.endOf(*g));
            doc.lines.insert(at, {std::string(kMemberKey) + "=" + formatAddress(address),
                                  Line::Kind::Member, *g, address});
            return std::nullopt;
        });
}

GroupResult removeFromGroup(const std::string& folder, const std::string& name,
                            std::uint32_t address) {
    return changeGroups(
        folder, false, [&](GroupsDocument& doc, const ProjectorRegistry&) -> Refusal {
            const auto g = doc.indexOf(name);
            if (!g) {
                return GroupProblem::NoSuchGroup;
            }
            const std::size_t before = doc.lines.size();
            std::erase_if(doc.lines, [&](const Line& l) {
                return l.kind == Line::Kind::Member && l.group == *g && l.address == address;
            });
            return doc.lines.size() == before ? Refusal(GroupProblem::NotMember) : std::nullopt;
        });
}

std::vector<GroupMember> groupMembers(const ProjectorGroup& group,
                                      const ProjectorRegistry& registry) {
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
