#include "RequestParser.h"

#include <array>

namespace orvanta::sim {
namespace {

constexpr std::array<std::string_view, 6> kVerbs = {"PUT",  "TEXT", "CTRL",
                                                    "INFO", "STAT", "CANCEL"};

bool isHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// The verb a line starts with (followed by a space or the line's end), or empty.
std::string_view verbOf(std::string_view line) {
    for (std::string_view v : kVerbs) {
        if (line.substr(0, v.size()) == v && (line.size() == v.size() || line[v.size()] == ' ')) {
            return v;
        }
    }
    return {};
}

bool allDigits(std::string_view text) {
    if (text.empty()) {
        return false;
    }
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return true;
}

// Reads the line starting at `pos`; false when its CR LF has not arrived yet.
bool nextLine(std::string_view stream, std::size_t& pos, std::string& line) {
    const std::size_t end = stream.find("\r\n", pos);
    if (end == std::string_view::npos) {
        return false;
    }
    line.assign(stream.substr(pos, end - pos));
    pos = end + 2;
    return true;
}

}  // namespace

ParseState parseRequest(std::string_view stream, ParsedRequest& out) {
    out = ParsedRequest{};
    std::size_t pos = 0;
    std::string line;
    if (!nextLine(stream, pos, line)) {
        return stream.size() > kMaxLineLength ? ParseState::Malformed : ParseState::Incomplete;
    }
    if (line.size() > kMaxLineLength) {
        return ParseState::Malformed;
    }
    bool digest = line.size() > 32;
    for (std::size_t i = 0; digest && i < 32; ++i) {
        digest = isHex(line[i]);
    }
    if (digest && !verbOf(std::string_view(line).substr(32)).empty()) {
        out.digest = line.substr(0, 32);
        line.erase(0, 32);
    }
    out.verb = std::string(verbOf(line));
    out.lines.push_back(line);
    if (out.verb.empty()) {
        return ParseState::Malformed;
    }

    std::size_t further = 0;
    if (out.verb == "PUT") {
        further = 3;  // Save-ID, Length, the empty line
    } else if (out.verb == "CTRL") {
        further = 1;  // the count, and the value when the count is 1
    }
    while (out.lines.size() < 1 + further) {
        if (!nextLine(stream, pos, line)) {
            return stream.size() - pos > kMaxLineLength ? ParseState::Malformed
                                                        : ParseState::Incomplete;
        }
        out.lines.push_back(line);
        if (out.verb == "CTRL" && out.lines.size() == 2) {
            if (!allDigits(line) || line.size() > 3) {
                return ParseState::Malformed;
            }
            if (line == "1") {
                further = 2;
            }
        }
    }
    if (out.verb == "PUT") {
        const std::string& length = out.lines[2];
        if (length.substr(0, 7) != "Length:" || length.size() > 12 ||
            !allDigits(std::string_view(length).substr(7)) || !out.lines[3].empty()) {
            return ParseState::Malformed;
        }
        const std::size_t bodyLength = std::stoul(length.substr(7));
        if (stream.size() - pos < bodyLength) {
            return ParseState::Incomplete;
        }
        out.body.assign(stream.substr(pos, bodyLength));
        pos += bodyLength;
    }
    out.consumed = pos;
    return ParseState::Complete;
}

}  // namespace orvanta::sim
