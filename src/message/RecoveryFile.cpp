#include "message/RecoveryFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "platform/AtomicFile.h"

namespace orvanta {
namespace {

constexpr std::string_view kMagic = "orvanta-recovery 1";
constexpr std::size_t kMaxDraftBytes = 8u << 20;

// A path or name on one line: backslash, line ends and other control characters escaped.
std::string escapeLine(std::string_view text) {
    std::string out;
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\\') {
            out += "\\\\";
        } else if (u < 0x20) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", u);
            out += hex;
        } else {
            out += c;
        }
    }
    return out;
}

bool unescapeLine(std::string_view text, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == '\\') {
            out += '\\';
            ++i;
        } else if (i + 3 < text.size() && text[i + 1] == 'x') {
            const std::string hex(text.substr(i + 2, 2));
            char* end = nullptr;
            const long value = std::strtol(hex.c_str(), &end, 16);
            if (*end != '\0') {
                return false;
            }
            out += static_cast<char>(value);
            i += 3;
        } else {
            return false;
        }
    }
    return true;
}

// "<count>" then one line per run: "RRGGBB RRGGBB" and the run's UTF-16 units as 4 hex digits.
void writeRichText(std::string& out, const char* name, const RichText& text) {
    char line[64];
    std::snprintf(line, sizeof line, "%s %zu\n", name, text.size());
    out += line;
    std::size_t i = 0;
    while (i < text.size()) {
        const RichUnit& first = text.units[i];
        std::snprintf(line, sizeof line, "%06X %06X ", first.color & 0xFFFFFF,
                      first.background & 0xFFFFFF);
        out += line;
        for (; i < text.size() && text.units[i].color == first.color &&
               text.units[i].background == first.background;
             ++i) {
            std::snprintf(line, sizeof line, "%04X", static_cast<unsigned>(text.units[i].ch));
            out += line;
        }
        out += '\n';
    }
}

class LineReader {
  public:
    explicit LineReader(std::string_view bytes) : bytes_(bytes) {}
    bool next(std::string_view& line) {
        if (pos_ >= bytes_.size()) {
            return false;
        }
        const std::size_t end = bytes_.find('\n', pos_);
        if (end == std::string_view::npos) {
            return false;  // an incomplete last line is no line
        }
        line = bytes_.substr(pos_, end - pos_);
        pos_ = end + 1;
        return true;
    }
    bool atEnd() const { return pos_ >= bytes_.size(); }

  private:
    std::string_view bytes_;
    std::size_t pos_ = 0;
};

bool parseNumber(std::string_view text, std::int64_t& value, int base = 10) {
    const std::string copy(text);
    if (copy.empty()) {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    value = std::strtoll(copy.c_str(), &end, base);
    return *end == '\0' && errno == 0;
}

bool readRichText(LineReader& lines, std::string_view header, std::string_view name,
                  RichText& text) {
    if (header.substr(0, name.size() + 1) != std::string(name) + " ") {
        return false;
    }
    std::int64_t count = 0;
    if (!parseNumber(header.substr(name.size() + 1), count) || count < 0 ||
        count > static_cast<std::int64_t>(kMaxDraftBytes)) {
        return false;
    }
    text.units.clear();
    while (static_cast<std::int64_t>(text.size()) < count) {
        std::string_view line;
        if (!lines.next(line) || line.size() < 14 || line[6] != ' ' || line[13] != ' ' ||
            (line.size() - 14) % 4 != 0 || line.size() == 14) {
            return false;
        }
        std::int64_t color = 0;
        std::int64_t background = 0;
        if (!parseNumber(line.substr(0, 6), color, 16) ||
            !parseNumber(line.substr(7, 6), background, 16)) {
            return false;
        }
        for (std::size_t p = 14; p < line.size(); p += 4) {
            std::int64_t unit = 0;
            if (!parseNumber(line.substr(p, 4), unit, 16)) {
                return false;
            }
            text.units.push_back({static_cast<char16_t>(unit), static_cast<Rgb>(color),
                                  static_cast<Rgb>(background)});
        }
    }
    return static_cast<std::int64_t>(text.size()) == count;
}

}  // namespace

std::string recoveryPath(const std::string& programFolder, const std::string& user) {
    std::string name;
    for (const char c : user) {
        name += c == '/' || static_cast<unsigned char>(c) < 0x20 ? '_' : c;
    }
    return programFolder + "recovery-" + name + ".draft";
}

std::string composeDraft(const Draft& draft) {
    std::string out(kMagic);
    out += '\n';
    out += "owner " + escapeLine(draft.owner) + "\n";
    out += "pid " + std::to_string(draft.pid) + "\n";
    out += "time " + std::to_string(draft.time) + "\n";
    out += "source " + escapeLine(draft.source) + "\n";
    out += "display-mode " + std::string(draft.characterDisplayMode ? "1" : "0") + "\n";
    const Message& m = draft.message;
    out += "options";
    for (int i = 0; i < MessageOptions::kCount; ++i) {
        out += ' ' + std::to_string(m.options[i]);
    }
    out += '\n';
    out += "icon " + std::to_string(m.icon) + "\n";
    out += "colors " + std::to_string(m.backgroundColor) + ' ' + std::to_string(m.characterColor) +
           ' ' + std::to_string(m.characterBackgroundColor) + "\n";
    writeRichText(out, "title", m.title);
    writeRichText(out, "body", m.body);
    out += "end\n";
    return out;
}

Result<Draft, DraftProblem> parseDraft(std::string_view bytes) {
    const auto damaged = [] { return fail(DraftProblem::Damaged, "not a complete recovery file"); };
    LineReader lines(bytes);
    std::string_view line;
    if (!lines.next(line) || line != kMagic) {
        return damaged();
    }
    Draft draft;
    // The header lines in their order.
    const auto field = [&](std::string_view key, std::string_view& value) {
        if (!lines.next(line) || line.substr(0, key.size() + 1) != std::string(key) + " ") {
            return false;
        }
        value = line.substr(key.size() + 1);
        return true;
    };
    std::string_view value;
    std::int64_t number = 0;
    if (!field("owner", value) || !unescapeLine(value, draft.owner)) {
        return damaged();
    }
    if (!field("pid", value) || !parseNumber(value, draft.pid)) {
        return damaged();
    }
    if (!field("time", value) || !parseNumber(value, draft.time)) {
        return damaged();
    }
    if (!field("source", value) || !unescapeLine(value, draft.source)) {
        return damaged();
    }
    if (!field("display-mode", value) || (value != "0" && value != "1")) {
        return damaged();
    }
    draft.characterDisplayMode = value == "1";
    if (!field("options", value)) {
        return damaged();
    }
    {
        std::istringstream numbers{std::string(value)};
        for (int i = 0; i < MessageOptions::kCount; ++i) {
            int option = -1;
            if (!(numbers >> option) || option < 0 || option > 255) {
                return damaged();
            }
            draft.message.options[i] = static_cast<std::uint8_t>(option);
        }
    }
    if (!field("icon", value) || !parseNumber(value, number) || number < 0 ||
        number >= kIconCount) {
        return damaged();
    }
    draft.message.icon = static_cast<std::uint8_t>(number);
    if (!field("colors", value)) {
        return damaged();
    }
    {
        std::istringstream numbers{std::string(value)};
        int colors[3] = {-1, -1, -1};
        for (int& c : colors) {
            if (!(numbers >> c) || c < 0 || c > 255) {
                return damaged();
            }
        }
        draft.message.backgroundColor = static_cast<std::uint8_t>(colors[0]);
        draft.message.characterColor = static_cast<std::uint8_t>(colors[1]);
        draft.message.characterBackgroundColor = static_cast<std::uint8_t>(colors[2]);
    }
    if (!lines.next(line) || !readRichText(lines, line, "title", draft.message.title)) {
        return damaged();
    }
    if (!lines.next(line) || !readRichText(lines, line, "body", draft.message.body)) {
        return damaged();
    }
    if (!lines.next(line) || line != "end" || !lines.atEnd()) {
        return damaged();
    }
    return draft;
}

Result<> writeDraft(const std::string& path, const Draft& draft) {
    return writeOwnFileAtomically(path, composeDraft(draft), 0600);
}

Result<Draft, DraftProblem> readDraft(const std::string& path) {
    Result<std::string, ReadProblem> bytes = readOwnFile(path, kMaxDraftBytes);
    if (!bytes) {
        DraftProblem problem = DraftProblem::Unreadable;
        if (bytes.reason() == ReadProblem::Missing) {
            problem = DraftProblem::Missing;
        } else if (bytes.reason() == ReadProblem::Foreign) {
            problem = DraftProblem::Foreign;
        }
        return fail(problem, bytes.error());
    }
    return parseDraft(bytes.value());
}

namespace {

// Held by the running copy whose draft a file is, for as long as it runs; the kernel lets go
// when it ends however it ends.
std::string claimPath(const std::string& draftPath) {
    return draftPath + ".lock";
}

}  // namespace

DraftClaim::~DraftClaim() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

DraftClaim::DraftClaim(DraftClaim&& other) noexcept
    : path_(std::move(other.path_)), fd_(other.fd_) {
    other.fd_ = -1;
}

DraftClaim DraftClaim::claim(const std::string& programFolder, const std::string& user) {
    const std::string shared = recoveryPath(programFolder, user);
    // The first copy keeps the usual name; a second one on the same folder gets one of its own.
    for (const std::string& path :
         {shared, draftPathOfProcess(programFolder, user, static_cast<std::int64_t>(::getpid()))}) {
        const int fd =
            ::open(claimPath(path).c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0) {
            continue;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            DraftClaim claim;
            claim.path_ = path;
            claim.fd_ = fd;
            claim.perProcess_ = path != shared;
            return claim;
        }
        ::close(fd);
    }
    // No lock to be had (a folder we cannot write in): the draft cannot be kept either, and
    // writing it will say so.
    DraftClaim claim;
    claim.path_ = shared;
    return claim;
}

std::string draftPathOfProcess(const std::string& programFolder, const std::string& user,
                               std::int64_t pid) {
    std::string path = recoveryPath(programFolder, user);
    path.insert(path.size() - std::string_view(".draft").size(), "-" + std::to_string(pid));
    return path;
}

std::vector<std::string> abandonedDrafts(const std::string& programFolder, const std::string& user,
                                         const std::string& ownPath) {
    const std::string shared = recoveryPath(programFolder, user);
    const std::string folder = programFolder.empty() ? std::string(".") : programFolder;
    const std::string stem =
        shared.substr(programFolder.size(),
                      shared.size() - programFolder.size() - std::string_view(".draft").size());
    std::vector<std::pair<std::int64_t, std::string>> found;
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        return {};
    }
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name(entry->d_name);
        if (!name.starts_with(stem) || !name.ends_with(".draft")) {
            continue;
        }
        const std::string_view middle =
            name.substr(stem.size(), name.size() - stem.size() - std::string_view(".draft").size());
        const bool numbered = middle.size() > 1 && middle.front() == '-' &&
                              middle.find_first_not_of("0123456789", 1) == std::string_view::npos;
        if (!middle.empty() && !numbered) {
            continue;
        }
        const std::string path = programFolder + std::string(name);
        // A copy that still runs holds its claim: its draft is its own business. This copy's
        // own file was left by a run that ended without ending normally (it got the claim).
        const int fd = ::open(claimPath(path).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (fd >= 0) {
            const bool held = path != ownPath && ::flock(fd, LOCK_EX | LOCK_NB) != 0;
            ::close(fd);
            if (held) {
                continue;
            }
        }
        struct stat st {};
        ::lstat(path.c_str(), &st);
        found.emplace_back(static_cast<std::int64_t>(st.st_mtime), path);
    }
    ::closedir(dir);
    std::sort(found.begin(), found.end(),
              [](const auto& a, const auto& b) { return a.first > b.first; });
    std::vector<std::string> paths;
    for (auto& f : found) {
        paths.push_back(std::move(f.second));
    }
    return paths;
}

Result<> removeDraft(const std::string& path) {
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
        return fail(path + ": " + std::strerror(errno));
    }
    return {};
}

Result<std::string> setDraftAside(const std::string& path, std::int64_t timeMs) {
    const std::string aside = path + ".damaged-" + std::to_string(timeMs);
    if (::rename(path.c_str(), aside.c_str()) != 0) {
        return fail(path + ": " + std::strerror(errno));
    }
    return aside;
}

bool recoveryEnabled() {
    const char* off = std::getenv("ORVANTA_NO_RECOVERY");
    return off == nullptr || *off == '\0' || std::string_view(off) == "0";
}

}  // namespace orvanta
