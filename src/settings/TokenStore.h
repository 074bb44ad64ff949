#pragma once
// The API's tokens: named, with rights, made and revoked by `orvanta-cli tokens` and checked by
// orvanta-service. A token is shown once, when it is made; the file keeps only a salted hash of
// it, so a copy of the program folder gives nobody a working token.
//
// tokens.txt in the program folder, one token a line:
//   NAME <TAB> RIGHTS <TAB> CREATED <TAB> SALT <TAB> HASH
// RIGHTS is "read,control,send" (any of them), CREATED milliseconds since 1970 UTC, SALT and
// HASH hexadecimal (BLAKE2b-256 of the token keyed with the salt). Changes hold the lock of the
// file and write it whole to a new file first, so the command line and a running service never
// see half a file.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Result.h"

namespace orvanta {

enum TokenRight : unsigned {
    kRightRead = 1,     // fleet, projectors, groups, templates, history
    kRightControl = 2,  // show, hide, clear, mute
    kRightSend = 4,     // send
};
inline constexpr unsigned kAllRights = kRightRead | kRightControl | kRightSend;

// "read,control,send" (any order, each once) to rights; nothing when a word is no right.
std::optional<unsigned> parseTokenRights(std::string_view text);
// Rights as "read,control,send" (in that order).
std::string tokenRightsText(unsigned rights);

struct TokenEntry {
    std::string name;
    unsigned rights = 0;
    std::int64_t created = 0;  // milliseconds since 1970-01-01 UTC
    std::string salt;          // raw bytes
    std::string hash;          // raw bytes
};

// Names are what history records and logs show: 1 to 64 characters of letters, digits and
// "-_.@", so that none can be mistaken for another or smuggle a line break into a log.
bool validTokenName(std::string_view name);

enum class TokenProblem { Failed, Exists, Unknown, BadName };

std::string tokensPath(const std::string& programFolder);

class TokenStore {
  public:
    explicit TokenStore(std::string path) : path_(std::move(path)) {}
    const std::string& path() const { return path_; }

    // Makes a token; returns it (the only time it is ever seen).
    Result<std::string, TokenProblem> add(const std::string& name, unsigned rights) const;
    // Removes the token of that name: it stops working at the service's next request.
    Result<void, TokenProblem> revoke(const std::string& name) const;
    // Every token, in the order made; a missing file has none. Damaged lines are skipped.
    Result<std::vector<TokenEntry>> list() const;

  private:
    std::string path_;
};

// The entry `token` belongs to, compared in constant time against every entry; nothing when
// it belongs to none.
std::optional<TokenEntry> matchToken(const std::vector<TokenEntry>& entries,
                                     std::string_view token);

}  // namespace orvanta
