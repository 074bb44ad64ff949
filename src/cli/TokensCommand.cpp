// orvanta-cli tokens: the tokens other programs use to reach orvanta-service. A token is
// printed once, when it is made; only its hash is kept.

#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "cli/CliCommands.h"
#include "cli/CliSupport.h"
#include "history/History.h"
#include "settings/TokenStore.h"

namespace orvanta::cli {
namespace {

constexpr const char* kTokensUsage =
    "usage: orvanta-cli tokens add NAME --rights read,control,send\n"
    "       orvanta-cli tokens list\n"
    "       orvanta-cli tokens revoke NAME\n"
    "\n"
    "The tokens of orvanta-service's HTTP API (tokens.txt in the program folder):\n"
    "  add      makes a token called NAME with the rights given: read (fleet, projectors,\n"
    "           groups, templates, history), control (show, hide, clear, mute), send. The\n"
    "           token is printed alone on the last line, and only this once: the file keeps a\n"
    "           salted hash of it. A NAME is 1 to 64 letters, digits, '-', '_', '.' or '@'.\n"
    "  list     each token's name, rights and when it was made (never the token)\n"
    "  revoke   removes the token; a running service refuses it from its next request on\n"
    "Exit status 1 when the change failed (the reason on standard error).\n";

}  // namespace

int runTokensCommand(const CliContext& context, const std::vector<std::string>& args) {
    ParsedArgs parsed;
    if (const auto status =
            parseCommandArgs(args, {{"--rights", true}}, "tokens", kTokensUsage, parsed)) {
        return *status;
    }
    const std::vector<std::string>& p = parsed.positional;
    const std::string verb = p.empty() ? std::string() : p.front();
    const TokenStore store(tokensPath(context.programFolder));
    if (verb == "list" && p.size() == 1) {
        const Result<std::vector<TokenEntry>> entries = store.list();
        if (!entries) {
            std::fprintf(stderr, "%s\n", entries.error().c_str());
            return kExitFailed;
        }
        for (const TokenEntry& e : entries.value()) {
            std::printf("%s  %s  %s\n", e.name.c_str(), tokenRightsText(e.rights).c_str(),
                        historyLocalTime(e.created).c_str());
        }
        return kExitOk;
    }
    if (verb == "add" && p.size() == 2) {
        const std::optional<std::string> rightsText = parsed.value("--rights");
        if (!rightsText) {
            return usageError("tokens", "which rights? (--rights read,control,send)", kTokensUsage);
        }
        const std::optional<unsigned> rights = parseTokenRights(*rightsText);
        if (!rights) {
            return usageError("tokens", "rights are read, control and send: " + *rightsText,
                              kTokensUsage);
        }
        const Result<std::string, TokenProblem> token = store.add(p[1], *rights);
        if (!token) {
            std::fprintf(stderr, "%s\n", token.error().c_str());
            return kExitFailed;
        }
        std::printf("Token \"%s\" (%s). It is shown only now; keep it somewhere safe:\n%s\n",
                    p[1].c_str(), tokenRightsText(*rights).c_str(), token.value().c_str());
        return kExitOk;
    }
    if (verb == "revoke" && p.size() == 2) {
        if (const Result<void, TokenProblem> revoked = store.revoke(p[1]); !revoked) {
            std::fprintf(stderr, "%s\n", revoked.error().c_str());
            return kExitFailed;
        }
        return kExitOk;
    }
    return usageError("tokens", verb.empty() ? "list, add or revoke?" : "cannot " + verb + " so",
                      kTokensUsage);
}

}  // namespace orvanta::cli
