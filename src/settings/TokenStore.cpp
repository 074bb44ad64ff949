#include "settings/TokenStore.h"

#include <sodium.h>

#include <algorithm>
#include <charconv>
#include <chrono>

#include "platform/AtomicFile.h"
#include "platform/FileLock.h"

namespace orvanta {
namespace {

constexpr std::size_t kSaltBytes = 16;
constexpr std::size_t kHashBytes = 32;
constexpr std::size_t kSecretBytes = 32;  // 256 random bits
constexpr std::string_view kTokenPrefix = "ovt_";
constexpr std::size_t kMaxTokenFileBytes = 1u << 20;
constexpr std::chrono::seconds kLockPatience{5};

const std::pair<unsigned, std::string_view> kRightNames[] = {
    {kRightRead, "read"}, {kRightControl, "control"}, {kRightSend, "send"}};

bool sodiumReady() {
    static const bool ready = sodium_init() >= 0;
    return ready;
}

std::string toHex(std::string_view bytes) {
    std::string out(bytes.size() * 2 + 1, '\0');
    sodium_bin2hex(out.data(), out.size(), reinterpret_cast<const unsigned char*>(bytes.data()),
                   bytes.size());
    out.pop_back();
    return out;
}

std::optional<std::string> fromHex(std::string_view hex, std::size_t bytes) {
    std::string out(bytes, '\0');
    std::size_t length = 0;
    if (hex.size() != bytes * 2 ||
        sodium_hex2bin(reinterpret_cast<unsigned char*>(out.data()), out.size(), hex.data(),
                       hex.size(), nullptr, &length, nullptr) != 0 ||
        length != bytes) {
        return std::nullopt;
    }
    return out;
}

std::string tokenHash(std::string_view token, std::string_view salt) {
    std::string out(kHashBytes, '\0');
    crypto_generichash(reinterpret_cast<unsigned char*>(out.data()), out.size(),
                       reinterpret_cast<const unsigned char*>(token.data()), token.size(),
                       reinterpret_cast<const unsigned char*>(salt.data()), salt.size());
    return out;
}

std::vector<std::string_view> splitTabs(std::string_view line) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t tab = line.find('\t', start);
        parts.push_back(line.substr(start, tab == std::string_view::npos ? tab : tab - start));
        if (tab == std::string_view::npos) {
            return parts;
        }
        start = tab + 1;
    }
}

std::optional<TokenEntry> parseLine(std::string_view line) {
    const std::vector<std::string_view> parts = splitTabs(line);
    if (parts.size() != 5 || !validTokenName(parts[0])) {
        return std::nullopt;
    }
    TokenEntry entry;
    entry.name = std::string(parts[0]);
    const std::optional<unsigned> rights = parseTokenRights(parts[1]);
    const auto [end, error] =
        std::from_chars(parts[2].data(), parts[2].data() + parts[2].size(), entry.created);
    std::optional<std::string> salt = fromHex(parts[3], kSaltBytes);
    std::optional<std::string> hash = fromHex(parts[4], kHashBytes);
    if (!rights || error != std::errc{} || end != parts[2].data() + parts[2].size() || !salt ||
        !hash) {
        return std::nullopt;
    }
    entry.rights = *rights;
    entry.salt = std::move(*salt);
    entry.hash = std::move(*hash);
    return entry;
}

std::string formatLine(const TokenEntry& e) {
    return e.name + '\t' + tokenRightsText(e.rights) + '\t' + std::to_string(e.created) + '\t' +
           toHex(e.salt) + '\t' + toHex(e.hash) + '\n';
}

Result<std::vector<TokenEntry>> readEntries(const std::string& path) {
    Result<std::string, ReadProblem> read = readRegularFile(path, kMaxTokenFileBytes);
    if (!read) {
        if (read.reason() == ReadProblem::Missing) {
            return std::vector<TokenEntry>{};
        }
        return fail(path + ": " + read.error());
    }
    std::vector<TokenEntry> entries;
    std::string_view rest = read.value();
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (std::optional<TokenEntry> entry = parseLine(line)) {
            entries.push_back(std::move(*entry));
        }
    }
    return entries;
}

// Runs `change` on the entries under the file's lock and writes what it leaves.
template <typename Change>
Result<void, TokenProblem> changeEntries(const std::string& path, Change&& change) {
    Result<FileLock, LockProblem> lock = FileLock::acquire(path, kLockPatience);
    if (!lock) {
        return fail(TokenProblem::Failed, path + ": " + lock.error());
    }
    Result<std::vector<TokenEntry>> entries = readEntries(path);
    if (!entries) {
        return fail(TokenProblem::Failed, entries.error());
    }
    if (Result<void, TokenProblem> changed = change(entries.value()); !changed) {
        return changed;
    }
    std::string content;
    for (const TokenEntry& e : entries.value()) {
        content += formatLine(e);
    }
    // Hashes only, but nobody else has any business reading which tokens exist.
    if (Result<> written = writeFileAtomically(path, content, 0600); !written) {
        return fail(TokenProblem::Failed, written.error());
    }
    return {};
}

}  // namespace

std::optional<unsigned> parseTokenRights(std::string_view text) {
    unsigned rights = 0;
    for (bool more = !text.empty(); more;) {
        const std::size_t comma = text.find(',');
        const std::string_view word = text.substr(0, comma);
        more = comma != std::string_view::npos;
        text.remove_prefix(more ? comma + 1 : text.size());
        const auto* it = std::find_if(std::begin(kRightNames), std::end(kRightNames),
                                      [word](const auto& r) { return r.second == word; });
        if (it == std::end(kRightNames) || (rights & it->first) != 0) {
            return std::nullopt;
        }
        rights |= it->first;
    }
    if (rights == 0) {
        return std::nullopt;
    }
    return rights;
}

std::string tokenRightsText(unsigned rights) {
    std::string out;
    for (const auto& [right, name] : kRightNames) {
        if ((rights & right) != 0) {
            out += out.empty() ? "" : ",";
            out += name;
        }
    }
    return out;
}

bool validTokenName(std::string_view name) {
    return !name.empty() && name.size() <= 64 && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '-' || c == '_' || c == '.' || c == '@';
    });
}

std::string tokensPath(const std::string& programFolder) {
    return programFolder + "tokens.txt";
}

Result<std::string, TokenProblem> TokenStore::add(const std::string& name, unsigned rights) const {
    if (!validTokenName(name)) {
        return fail(TokenProblem::BadName,
                    "a token name is 1 to 64 letters, digits, '-', '_', '.' or '@': " + name);
    }
    if (!sodiumReady()) {
        return fail(TokenProblem::Failed, "the random number source could not be opened");
    }
    std::string secret(kSecretBytes, '\0');
    randombytes_buf(secret.data(), secret.size());
    std::string token = std::string(kTokenPrefix) + toHex(secret);
    TokenEntry entry;
    entry.name = name;
    entry.rights = rights & kAllRights;
    entry.created = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::system_clock::now().time_since_epoch())
                        .count();
    entry.salt.assign(kSaltBytes, '\0');
    randombytes_buf(entry.salt.data(), entry.salt.size());
    entry.hash = tokenHash(token, entry.salt);
    Result<void, TokenProblem> added =
        changeEntries(path_, [&](std::vector<TokenEntry>& entries) -> Result<void, TokenProblem> {
            if (std::any_of(entries.begin(), entries.end(),
                            [&](const TokenEntry& e) { return e.name == name; })) {
                return fail(TokenProblem::Exists, "a token of that name exists already: " + name);
            }
            entries.push_back(entry);
            return {};
        });
    if (!added) {
        return added.failure();
    }
    return token;
}

Result<void, TokenProblem> TokenStore::revoke(const std::string& name) const {
    return changeEntries(
        path_, [&](std::vector<TokenEntry>& entries) -> Result<void, TokenProblem> {
            const auto before = entries.size();
            std::erase_if(entries, [&](const TokenEntry& e) { return e.name == name; });
            if (entries.size() == before) {
                return fail(TokenProblem::Unknown, "no token of that name: " + name);
            }
            return {};
        });
}

Result<std::vector<TokenEntry>> TokenStore::list() const {
    return readEntries(path_);
}

std::optional<TokenEntry> matchToken(const std::vector<TokenEntry>& entries,
                                     std::string_view token) {
    if (!sodiumReady() || token.size() > 256) {
        return std::nullopt;
    }
    std::optional<TokenEntry> found;
    // Every entry is compared, so the time taken says nothing about which one matched.
    for (const TokenEntry& e : entries) {
        const std::string hash = tokenHash(token, e.salt);
        if (hash.size() == e.hash.size() &&
            sodium_memcmp(hash.data(), e.hash.data(), hash.size()) == 0 && !found) {
            found = e;
        }
    }
    return found;
}

}  // namespace orvanta
