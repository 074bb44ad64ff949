#include "history/History.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>

#include "platform/AtomicFile.h"
#include "platform/FileLock.h"
#include "platform/TextCodec.h"

namespace orvanta {
namespace {

void appendJsonString(std::string& out, std::string_view raw) {
    // A record is JSON, which is UTF-8: bytes from a projector or a file that are not become
    // U+FFFD rather than a line no JSON reader takes.
    const std::string text = validUtf8(raw);
    out += '"';
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (u < 0x20 || u == 0x7F) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", u);
                    out += escaped;
                } else {
                    out += c;  // UTF-8 passes as it is
                }
        }
    }
    out += '"';
}

void appendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// A reader of the one shape of object the history writes: string and integer values (others
// are skipped over when they are simple), no nesting.
class FlatJsonReader {
  public:
    explicit FlatJsonReader(std::string_view text) : text_(text) {}

    // Strings and numbers by key; nothing when the line is not such an object.
    std::optional<std::map<std::string, std::string, std::less<>>> read() {
        std::map<std::string, std::string, std::less<>> values;
        skipSpace();
        if (!take('{')) {
            return std::nullopt;
        }
        skipSpace();
        if (take('}')) {
            return finish(values);
        }
        for (;;) {
            skipSpace();
            std::string key;
            if (!readString(key)) {
                return std::nullopt;
            }
            skipSpace();
            if (!take(':')) {
                return std::nullopt;
            }
            skipSpace();
            std::string value;
            if (peek() == '"') {
                if (!readString(value)) {
                    return std::nullopt;
                }
            } else if (!readBare(value)) {
                return std::nullopt;
            }
            values[key] = std::move(value);
            skipSpace();
            if (take('}')) {
                return finish(values);
            }
            if (!take(',')) {
                return std::nullopt;
            }
        }
    }

  private:
    std::optional<std::map<std::string, std::string, std::less<>>> finish(
        std::map<std::string, std::string, std::less<>>& values) {
        skipSpace();
        if (pos_ != text_.size()) {
            return std::nullopt;
        }
        return std::move(values);
    }
    char peek() const { return pos_ < text_.size() ? text_[pos_] : '\0'; }
    bool take(char c) {
        if (peek() != c || pos_ >= text_.size()) {
            return false;
        }
        ++pos_;
        return true;
    }
    void skipSpace() {
        while (pos_ < text_.size() &&
               (text_[pos_] == ' ' || text_[pos_] == '\t' || text_[pos_] == '\r')) {
            ++pos_;
        }
    }
    bool readHex4(std::uint32_t& value) {
        if (pos_ + 4 > text_.size()) {
            return false;
        }
        value = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = text_[pos_++];
            value <<= 4;
            if (c >= '0' && c <= '9') {
                value |= static_cast<std::uint32_t>(c - '0');
            } else if (c >= 'a' && c <= 'f') {
                value |= static_cast<std::uint32_t>(c - 'a' + 10);
            } else if (c >= 'A' && c <= 'F') {
                value |= static_cast<std::uint32_t>(c - 'A' + 10);
            } else {
                return false;
            }
        }
        return true;
    }
    bool readString(std::string& out) {
        if (!take('"')) {
            return false;
        }
        while (pos_ < text_.size()) {
            const char c = text_[pos_++];
            if (c == '"') {
                return true;
            }
            if (c != '\\') {
                out += c;
                continue;
            }
            if (pos_ >= text_.size()) {
                return false;
            }
            const char e = text_[pos_++];
            switch (e) {
                case '"':
                case '\\':
                case '/':
                    out += e;
                    break;
                case 'n':
                    out += '\n';
                    break;
                case 'r':
                    out += '\r';
                    break;
                case 't':
                    out += '\t';
                    break;
                case 'b':
                    out += '\b';
                    break;
                case 'f':
                    out += '\f';
                    break;
                case 'u': {
                    std::uint32_t cp = 0;
                    if (!readHex4(cp)) {
                        return false;
                    }
                    if (cp >= 0xD800 && cp < 0xDC00 && text_.substr(pos_, 2) == "\\u") {
                        pos_ += 2;
                        std::uint32_t low = 0;
                        if (!readHex4(low) || low < 0xDC00 || low > 0xDFFF) {
                            return false;
                        }
                        cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                    }
                    appendUtf8(out, cp);
                    break;
                }
                default:
                    return false;
            }
        }
        return false;  // the line ended inside the string
    }
    // A number, true, false or null: kept as its text.
    bool readBare(std::string& out) {
        const std::size_t start = pos_;
        while (pos_ < text_.size() && text_[pos_] != ',' && text_[pos_] != '}' &&
               text_[pos_] != ' ') {
            ++pos_;
        }
        out = std::string(text_.substr(start, pos_ - start));
        return !out.empty();
    }

    std::string_view text_;
    std::size_t pos_ = 0;
};

Result<std::string> readIfThere(const std::string& path) {
    Result<std::string, ReadProblem> read = readRegularFile(path, 64u << 20);
    if (!read) {
        if (read.reason() == ReadProblem::Missing) {
            return std::string();
        }
        return fail(path + ": " + read.error());
    }
    return std::move(read).value();
}

void addLines(const std::string& bytes, HistoryFile::Contents& into) {
    std::size_t start = 0;
    while (start < bytes.size()) {
        const std::size_t end = bytes.find('\n', start);
        if (end == std::string::npos) {
            // Cut off by a crash during its write: not a record yet.
            ++into.skippedLines;
            break;
        }
        const std::string_view line(bytes.data() + start, end - start);
        if (line.size() > kMaxHistoryRecordBytes) {
            // No record of ours is this long: a forged or damaged line is not shown.
            ++into.skippedLines;
        } else if (!line.empty()) {
            if (std::optional<HistoryRecord> record = parseHistoryLine(line)) {
                into.records.push_back(std::move(*record));
            } else {
                ++into.skippedLines;
            }
        }
        start = end + 1;
    }
}

std::string systemError(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

}  // namespace

std::string historyLine(const HistoryRecord& r) {
    std::string out = "{\"time\":" + std::to_string(r.time);
    const auto field = [&out](const char* key, const std::string& value) {
        out += ",\"";
        out += key;
        out += "\":";
        appendJsonString(out, value);
    };
    field("user", r.user);
    field("address", r.address);
    field("projector", r.projector);
    field("command", r.command);
    out += ",\"slot\":" + (r.slot < 0 ? std::string("null") : std::to_string(r.slot));
    field("detail", r.detail);
    field("result", r.result);
    field("text", r.text);
    field("title", r.title);
    field("message", r.message);
    field("source", r.source);
    if (!r.templateName.empty()) {
        field("template", r.templateName);
        field("template_values", r.templateValues);
    }
    if (!r.token.empty() || !r.client.empty()) {
        field("token", r.token);
        field("client", r.client);
    }
    out += '}';
    return out;
}

std::optional<HistoryRecord> parseHistoryLine(std::string_view line) {
    auto values = FlatJsonReader(line).read();
    if (!values) {
        return std::nullopt;
    }
    const auto get = [&values](std::string_view key) {
        const auto it = values->find(key);
        return it == values->end() ? std::string() : it->second;
    };
    HistoryRecord r;
    const std::string time = get("time");
    char* end = nullptr;
    r.time = std::strtoll(time.c_str(), &end, 10);
    if (time.empty() || *end != '\0' || get("command").empty()) {
        return std::nullopt;
    }
    const std::string slot = get("slot");
    const long number =
        slot.empty() || slot == "null" ? -1 : std::strtol(slot.c_str(), nullptr, 10);
    // Kept as the file says, within what an int holds: "Send again" refuses what no slot is.
    r.slot = static_cast<int>(std::clamp<long>(number, -1, 0xFFFF));
    // Every field but the message is a line of text: a forged record cannot make one that
    // takes the window or the terminal seconds to lay out.
    const auto field = [&get](std::string_view key) {
        std::string value = get(key);
        if (value.size() > kMaxHistoryFieldBytes) {
            std::size_t cut = kMaxHistoryFieldBytes;
            while (cut > 0 && (static_cast<unsigned char>(value[cut]) & 0xC0) == 0x80) {
                --cut;  // not inside a UTF-8 sequence
            }
            value.resize(cut);
            value += "\u2026";
        }
        return value;
    };
    r.user = field("user");
    r.address = field("address");
    r.projector = field("projector");
    r.command = field("command");
    r.detail = field("detail");
    r.result = field("result");
    r.text = field("text");
    r.title = field("title");
    r.message = get("message");
    r.source = field("source");
    r.templateName = field("template");
    r.templateValues = get("template_values");
    r.token = field("token");
    r.client = field("client");
    return r;
}

// Milliseconds since 1970 of a local date or date and time.
std::optional<std::int64_t> parseHistoryTime(const std::string& text) {
    for (const char* format : {"%Y-%m-%dT%H:%M:%S", "%Y-%m-%dT%H:%M", "%Y-%m-%d %H:%M:%S",
                               "%Y-%m-%d %H:%M", "%Y-%m-%d"}) {
        std::tm parts{};
        const char* end = ::strptime(text.c_str(), format, &parts);
        if (end != nullptr && *end == '\0') {
            parts.tm_isdst = -1;
            const std::time_t seconds = std::mktime(&parts);
            if (seconds == static_cast<std::time_t>(-1)) {
                return std::nullopt;
            }
            return static_cast<std::int64_t>(seconds) * 1000;
        }
    }
    return std::nullopt;
}

std::string historyLocalTime(std::int64_t ms) {
    const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
    std::tm parts{};
    ::localtime_r(&seconds, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &parts);
    return text;
}

std::string historyPath(const std::string& programFolder) {
    return programFolder + "history.jsonl";
}

std::string HistoryFile::rotatedPath() const {
    const std::size_t dot = path_.rfind('.');
    const std::size_t slash = path_.rfind('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return path_ + ".1";
    }
    return path_.substr(0, dot) + ".1" + path_.substr(dot);
}

Result<> HistoryFile::append(const HistoryRecord& record) const {
    return append(std::vector<HistoryRecord>{record});
}

Result<> HistoryFile::append(const std::vector<HistoryRecord>& records) const {
    std::string line;
    for (const HistoryRecord& record : records) {
        line += historyLine(record);
        line += '\n';
    }
    if (line.empty()) {
        return {};
    }
    Result<FileLock, LockProblem> lock = FileLock::acquire(path_, std::chrono::seconds(10));
    if (!lock) {
        return fail(path_ + ": " + lock.error());
    }
    struct stat info {};
    if (::stat(path_.c_str(), &info) == 0 && info.st_size > 0 &&
        static_cast<std::size_t>(info.st_size) + line.size() > maxBytes_) {
        if (::rename(path_.c_str(), rotatedPath().c_str()) != 0) {
            return fail(systemError(path_));
        }
    }
    // Never through a link, and never into a file another user made (in a folder others can
    // write in, it could be one they read).
    const int fd =
        ::open(path_.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        return fail(errno == ELOOP ? path_ + ": is a link, which is not followed here"
                                   : systemError(path_));
    }
    struct stat opened {};
    if (::fstat(fd, &opened) != 0 || opened.st_uid != ::geteuid() || !S_ISREG(opened.st_mode)) {
        ::close(fd);
        return fail(path_ + ": not an ordinary file of this user, so it is left alone");
    }
    // A record that a crash cut off ends on a line of its own, so that this one stays whole.
    if (const off_t end = ::lseek(fd, 0, SEEK_END); end > 0) {
        char last = '\n';
        if (::pread(fd, &last, 1, end - 1) == 1 && last != '\n') {
            line.insert(line.begin(), '\n');
        }
    }
    std::size_t written = 0;
    while (written < line.size()) {
        const ssize_t n = ::write(fd, line.data() + written, line.size() - written);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            const std::string problem = systemError(path_);
            ::close(fd);
            return fail(problem);
        }
        written += static_cast<std::size_t>(n);
    }
    const bool synced = ::fdatasync(fd) == 0;
    const std::string problem = synced ? std::string() : systemError(path_);
    ::close(fd);
    if (!synced) {
        return fail(problem);
    }
    return {};
}

Result<HistoryFile::Contents> HistoryFile::read() const {
    Contents contents;
    // Under the lock, so that a rotation cannot fall between the two reads; a lock that
    // cannot be had does not keep the history from being read.
    const Result<FileLock, LockProblem> lock = FileLock::acquire(path_, std::chrono::seconds(2));
    for (const std::string& path : {rotatedPath(), path_}) {
        Result<std::string> bytes = readIfThere(path);
        if (!bytes) {
            return bytes.failure();
        }
        addLines(bytes.value(), contents);
    }
    return contents;
}

std::string currentUserName() {
    // Records are made on many threads at once (a many-projector run), and getpwuid's answer
    // lives in storage that the next call overwrites: the reentrant form, with a buffer of
    // this call's own.
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_name != nullptr) {
        return found->pw_name;
    }
    if (const char* user = std::getenv("USER"); user != nullptr && *user != '\0') {
        return user;
    }
    return std::to_string(::getuid());
}

}  // namespace orvanta
