// orvanta-cli projectors: the registered projectors of LastPj.txt, with the rules of the
// Discovery tab (at most 64, no address twice) and its texts.

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "cli/CliCommands.h"
#include "cli/CliSupport.h"
#include "platform/ProfileFile.h"
#include "platform/TextCodec.h"
#include "projectors/ProjectorRegistry.h"
#include "text/LanguageText.h"

namespace orvanta::cli {
namespace {

constexpr const char* kProjectorsUsage =
    "usage: orvanta-cli projectors list\n"
    "       orvanta-cli projectors add ADDR [--mac M] [--password P]\n"
    "       orvanta-cli [--yes] projectors remove ADDR\n"
    "       orvanta-cli projectors password ADDR P\n"
    "\n"
    "The registered projectors (LastPj.txt in the program folder):\n"
    "  list       one line per projector: NAME  MAC  ADDR (- for an empty name or MAC)\n"
    "  add        registers a projector by hand (at most 64, each address once); M is six\n"
    "             parts of up to two characters separated by - or :\n"
    "  remove     removes it; asks first, so without --yes nothing is removed\n"
    "  password   changes the password kept for it (at most 32 characters)\n";

constexpr std::size_t kMaxPasswordCharacters = 32;

int failWith(const std::string& text) {
    std::fprintf(stderr, "%s\n", text.c_str());
    return kExitFailed;
}

// Characters as the password box counts them (UTF-16 units).
std::size_t passwordLength(const std::string& utf8) {
    std::size_t units = 0;
    for (unsigned char c : utf8) {
        if ((c & 0xC0) != 0x80) {
            units += c >= 0xF0 ? 2 : 1;
        }
    }
    return units;
}

// The six MAC boxes joined by "-", each as typed (up to two characters).
std::optional<std::string> macText(const std::string& typed) {
    std::vector<std::string> parts(1);
    for (char c : typed) {
        if (c == '-' || c == ':') {
            parts.emplace_back();
        } else {
            parts.back().push_back(c);
        }
    }
    if (parts.size() != 6) {
        return std::nullopt;
    }
    std::string out;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (parts[i].size() > 2) {
            return std::nullopt;
        }
        out += (i == 0 ? "" : "-") + parts[i];
    }
    return out;
}

// A name or MAC address as a projector or a hand-edited file gave it: shown, never obeyed.
std::string orDash(const std::string& text) {
    return text.empty() ? "-" : visibleText(text);
}

int list(const CliContext& context) {
    const Result<ProjectorRegistry, RegistryProblem> read = readRegistry(context.programFolder);
    if (!read) {
        return failWith(read.error());
    }
    const ProjectorRegistry& registered = read.value();
    for (const ProjectorRecord& r : registered.records) {
        std::printf("%s  %s  %s\n", orDash(r.name).c_str(), orDash(r.mac).c_str(),
                    formatAddress(r.address).c_str());
    }
    return kExitOk;
}

int add(const CliContext& context, std::uint32_t address, const ParsedArgs& args) {
    ProjectorRecord record;
    record.address = address;
    record.authentication = 1;  // the dialog's hidden check box starts checked
    record.mac = "-----";       // six empty boxes
    if (const auto mac = args.value("--mac")) {
        const auto text = macText(*mac);
        if (!text) {
            return usageError("projectors", "not a MAC address: " + *mac, kProjectorsUsage);
        }
        record.mac = *text;
    }
    record.password = args.value("--password").value_or("");
    if (passwordLength(record.password) > kMaxPasswordCharacters) {
        return usageError("projectors", "a password has at most 32 characters", kProjectorsUsage);
    }
    if (address == 0) {
        return failWith(languageText(Text::PleaseInputIpAddress));
    }
    // Appended as a section of its own, so that the rest of the file (the adaptor chosen for
    // discovery) stays as it is; the limit and the address are checked on the file as it is
    // when the lock is held.
    const RegistryResult added = registerProjector(context.programFolder, record);
    return added ? kExitOk : failWith(added.error());
}

int remove(const CliContext& context, std::uint32_t address, bool assumeYes) {
    const Result<ProjectorRegistry, RegistryProblem> read = readRegistry(context.programFolder);
    if (!read) {
        return failWith(read.error());
    }
    const ProjectorRegistry& registered = read.value();
    if (!registered.findAddress(address)) {
        return failWith(languageText(Text::PleaseSelectAProjector));
    }
    CliPrompt prompt(assumeYes);
    const std::string question =
        formatText(Text::ConfirmDeleteAddress,
                   {address >> 24, (address >> 16) & 0xFF, (address >> 8) & 0xFF, address & 0xFF});
    if (prompt.ask(question, PromptButtons::YesNo) != PromptAnswer::Yes) {
        prompt.print(stderr);
        return kExitFailed;
    }
    const RegistryResult removed = unregisterProjector(context.programFolder, address);
    return removed ? kExitOk : failWith(removed.error());
}

int changePassword(const CliContext& context, std::uint32_t address, const std::string& password) {
    if (passwordLength(password) > kMaxPasswordCharacters) {
        return usageError("projectors", "a password has at most 32 characters", kProjectorsUsage);
    }
    const Result<ProjectorRegistry, RegistryProblem> read = readRegistry(context.programFolder);
    if (!read) {
        return failWith(read.error());
    }
    const ProjectorRegistry& registered = read.value();
    const auto row = registered.findAddress(address);
    if (!row) {
        return failWith(languageText(Text::PleaseSelectAProjector));
    }
    const RegistryResult changed = setProjectorCredentials(
        context.programFolder, address, registered.records[*row].authentication, password);
    return changed ? kExitOk : failWith(changed.error());
}

}  // namespace

int runProjectorsCommand(const CliContext& context, const std::vector<std::string>& args) {
    ParsedArgs parsed;
    if (const auto status =
            parseCommandArgs(args, {{"--mac", true}, {"--password", true}, kYesOption},
                             "projectors", kProjectorsUsage, parsed)) {
        return *status;
    }
    const std::vector<std::string>& p = parsed.positional;
    if (p.empty()) {
        return usageError("projectors", "list, add, remove or password?", kProjectorsUsage);
    }
    const std::string& action = p.front();
    const std::size_t wanted = action == "list"                        ? 1
                               : action == "password"                  ? 3
                               : action == "add" || action == "remove" ? 2
                                                                       : 0;
    if (wanted == 0) {
        return usageError("projectors", "unknown action " + action, kProjectorsUsage);
    }
    if (p.size() != wanted) {
        return usageError("projectors", "wrong number of arguments for " + action,
                          kProjectorsUsage);
    }
    const bool takesOptions = action == "add";
    if (!takesOptions && (parsed.has("--mac") || parsed.has("--password"))) {
        return usageError("projectors", "--mac and --password go with add", kProjectorsUsage);
    }
    if (action == "list") {
        return list(context);
    }
    const auto address = parseAddress(p[1]);
    if (!address) {
        return usageError("projectors", "not an IPv4 address: " + p[1], kProjectorsUsage);
    }
    if (action == "add") {
        return add(context, *address, parsed);
    }
    if (action == "remove") {
        return remove(context, *address, context.assumeYes || parsed.has("--yes"));
    }
    return changePassword(context, *address, p[2]);
}

}  // namespace orvanta::cli
