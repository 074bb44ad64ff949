// orvanta-cli groups: the projector groups of Groups.txt, with the rules of the Discovery tab
// (a name at most once, only registered projectors join, a member once per group) and its
// texts. Every change holds the registry lock, so it may run beside the desktop program.

#include <cstdio>
#include <string>
#include <vector>

#include "cli/CliCommands.h"
#include "cli/CliSupport.h"
#include "platform/TextCodec.h"
#include "projectors/ProjectorGroups.h"
#include "projectors/ProjectorRegistry.h"
#include "text/LanguageText.h"

namespace orvanta::cli {
namespace {

constexpr const char* kGroupsUsage =
    "usage: orvanta-cli groups list\n"
    "       orvanta-cli groups add NAME [ADDR...]\n"
    "       orvanta-cli groups remove NAME ADDR...\n"
    "       orvanta-cli groups rename NAME NEW-NAME\n"
    "       orvanta-cli [--yes] groups delete NAME\n"
    "\n"
    "Named groups of registered projectors (Groups.txt in the program folder), for --group\n"
    "NAME of the commands that talk to projectors:\n"
    "  list       each group on a line of its own, then its members indented: ADDR  NAME (- for\n"
    "             an empty name), or ADDR and why it is missing when no longer registered\n"
    "  add        makes the group when there is none of that name, and adds the registered\n"
    "             projectors ADDR to it\n"
    "  remove     takes projectors out of the group (registered or not); they stay registered\n"
    "  rename     gives the group a new name\n"
    "  delete     deletes the group; asks first, so without --yes nothing is deleted\n"
    "A name is at most 64 bytes and does not start or end with a blank. Exit status 1 when a\n"
    "change failed (the reason, per projector, on standard error).\n";

int list(const CliContext& context) {
    const Result<ProjectorGroups, GroupProblem> groups = readProjectorGroups(context.programFolder);
    if (!groups) {
        std::fprintf(stderr, "%s\n", groups.error().c_str());
        return kExitFailed;
    }
    const ProjectorRegistry registered = loadRegistry(context.programFolder);
    for (const ProjectorGroup& group : groups.value().groups) {
        std::printf("%s\n", visibleText(group.name).c_str());
        for (const GroupMember& m : groupMembers(group, registered)) {
            const std::string what = !m.record ? languageText(Text::ProjectorNoLongerRegistered)
                                     : m.record->name.empty() ? std::string("-")
                                                              : visibleText(m.record->name);
            std::printf("  %s  %s\n", formatAddress(m.address).c_str(), what.c_str());
        }
    }
    return kExitOk;
}

// The addresses of p[2...]; nothing (after a usage error) when one is malformed.
std::optional<std::vector<std::uint32_t>> addressesOf(const std::vector<std::string>& p) {
    std::vector<std::uint32_t> addresses;
    for (std::size_t i = 2; i < p.size(); ++i) {
        const auto address = parseAddress(p[i]);
        if (!address) {
            usageError("groups", "not an IPv4 address: " + p[i], kGroupsUsage);
            return std::nullopt;
        }
        addresses.push_back(*address);
    }
    return addresses;
}

// Applies `change` to every address; each failure is told with its address.
template <class Change>
int changeMembers(const std::vector<std::uint32_t>& addresses, Change change) {
    int status = kExitOk;
    for (std::uint32_t address : addresses) {
        if (const GroupResult done = change(address); !done) {
            std::fprintf(stderr, "%s: %s\n", formatAddress(address).c_str(), done.error().c_str());
            status = kExitFailed;
        }
    }
    return status;
}

int failWith(const GroupResult& result) {
    if (result) {
        return kExitOk;
    }
    std::fprintf(stderr, "%s\n", result.error().c_str());
    return kExitFailed;
}

}  // namespace

int runGroupsCommand(const CliContext& context, const std::vector<std::string>& args) {
    ParsedArgs parsed;
    if (const auto status = parseCommandArgs(args, {kYesOption}, "groups", kGroupsUsage, parsed)) {
        return *status;
    }
    const std::vector<std::string>& p = parsed.positional;
    if (p.empty()) {
        return usageError("groups", "list, add, remove, rename or delete?", kGroupsUsage);
    }
    const std::string& action = p.front();
    const bool known = action == "list" || action == "add" || action == "remove" ||
                       action == "rename" || action == "delete";
    if (!known) {
        return usageError("groups", "unknown action " + action, kGroupsUsage);
    }
    const bool rightCount = action == "list"     ? p.size() == 1
                            : action == "add"    ? p.size() >= 2
                            : action == "remove" ? p.size() >= 3
                            : action == "rename" ? p.size() == 3
                                                 : p.size() == 2;
    if (!rightCount) {
        return usageError("groups", "wrong number of arguments for " + action, kGroupsUsage);
    }
    if (action == "list") {
        return list(context);
    }
    const std::string& folder = context.programFolder;
    const std::string& name = p[1];
    if (action == "rename") {
        return failWith(renameGroup(folder, name, p[2]));
    }
    if (action == "delete") {
        CliPrompt prompt(context.assumeYes || parsed.has("--yes"));
        if (prompt.ask(languageText(Text::GroupsDeleteQuestion), PromptButtons::YesNo) !=
            PromptAnswer::Yes) {
            prompt.print(stderr);
            return kExitFailed;
        }
        return failWith(deleteGroup(folder, name));
    }
    const auto addresses = addressesOf(p);
    if (!addresses) {
        return kExitUsage;
    }
    if (action == "remove") {
        return changeMembers(*addresses,
                             [&](std::uint32_t a) { return removeFromGroup(folder, name, a); });
    }
    // add: the group is made when there is none of the name; naming an existing group without
    // projectors is the mistake of making it twice.
    const GroupResult made = createGroup(folder, name);
    const bool exists = !made && made.reason() == GroupProblem::SameName;
    if (!made && (!exists || addresses->empty())) {
        return failWith(made);
    }
    return changeMembers(*addresses, [&](std::uint32_t a) { return addToGroup(folder, name, a); });
}

}  // namespace orvanta::cli
