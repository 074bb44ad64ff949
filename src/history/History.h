#pragma once
// The history of what was sent to projectors: one JSON object per line in history.jsonl of the
// program folder, appended under a file lock so that the desktop program and any number of
// command-line runs at once lose nothing. The file is bounded: once it would grow past its
// limit it becomes history.1.jsonl (replacing the one before) and a new one starts. A crash
// in the middle of a write leaves at most one incomplete last line, which readers skip.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Result.h"

namespace orvanta {

struct HistoryRecord {
    std::int64_t time = 0;  // milliseconds since 1970-01-01 UTC
    std::string user;       // the login name of whoever ran the command
    std::string address;    // dotted IPv4
    std::string projector;  // the registered name; empty when it has none
    std::string command;    // send, display-on, display-off, power-on-display-on, clear-all,
                            // clear-quick, clear-saved, startup, mute
    int slot = -1;          // 0 Quick, 1..12; -1 when the command has none
    std::string detail;     // what else the command said (startup: "on 3" or "off")
    std::string result;     // done, failed or cancelled
    std::string text;       // the program's own text of the result
    // Sends only: the title as plain text, the message as a message file (.ovx content) and
    // the file it was sent from, if any.
    std::string title;
    std::string message;
    std::string source;
    // Sends from a template: its name and the values the operator gave, as a JSON object
    // (written only when there is a template, so older readers see the lines they know).
    std::string templateName = {};
    std::string templateValues = {};
    // Commands and requests that came through orvanta-service: the name of the API token
    // (never the token) and the address the request came from. Empty otherwise, and then not
    // written.
    std::string token;
    std::string client;

    bool operator==(const HistoryRecord&) const = default;
};

// One line of JSON without its line end; parseHistoryLine reads it back (nothing for a line
// that is not a record).
std::string historyLine(const HistoryRecord& record);
std::optional<HistoryRecord> parseHistoryLine(std::string_view line);

// The history file of a program folder ("<folder>history.jsonl").
std::string historyPath(const std::string& programFolder);

// How large history.jsonl may grow before it is rotated out; with the one rotated file the
// history takes at most twice this.
inline constexpr std::size_t kHistoryFileBytes = 2u << 20;
// The longest line read as a record (a message file and its fields fit many times over), and
// the most bytes one text field keeps when read (longer ones are cut, ending in an ellipsis).
inline constexpr std::size_t kMaxHistoryRecordBytes = 256u << 10;
inline constexpr std::size_t kMaxHistoryFieldBytes = 1024;

class HistoryFile {
  public:
    explicit HistoryFile(std::string path, std::size_t maxBytes = kHistoryFileBytes)
        : path_(std::move(path)), maxBytes_(maxBytes) {}

    const std::string& path() const { return path_; }
    std::string rotatedPath() const;

    // Appends one record under the lock (waiting for it up to a few seconds), rotating first
    // when the record would take the file past its limit. A record is written with one write
    // and flushed to disk before the lock goes.
    Result<> append(const HistoryRecord& record) const;
    // The same for several records at once: one lock, one write, one flush (a command to many
    // projectors, recorded when every projector has ended).
    Result<> append(const std::vector<HistoryRecord>& records) const;

    struct Contents {
        std::vector<HistoryRecord> records;  // oldest first
        std::size_t skippedLines = 0;        // damaged or incomplete lines
    };
    // The rotated file, then the current one. Missing files are an empty history.
    Result<Contents> read() const;

  private:
    std::string path_;
    std::size_t maxBytes_;
};

// Milliseconds since 1970 of a local date or date and time (YYYY-MM-DD, YYYY-MM-DDTHH:MM or
// YYYY-MM-DDTHH:MM:SS; a blank may stand for the T); nothing when the text is none of these.
std::optional<std::int64_t> parseHistoryTime(const std::string& text);
// "YYYY-MM-DD HH:MM:SS" in local time.
std::string historyLocalTime(std::int64_t ms);

// The name of the user running this process.
std::string currentUserName();

}  // namespace orvanta
