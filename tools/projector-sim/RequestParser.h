#pragma once
// Splitting the byte stream of one connection into requests.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace orvanta::sim {

// Longest request line we wait for; a client that sends more without CR LF is not talking
// our protocol.
inline constexpr std::size_t kMaxLineLength = 512;

struct ParsedRequest {
    std::string digest;              // the 32 characters in front of the verb, or empty
    std::string verb;                // "PUT", "TEXT", ... (empty when unknown)
    std::vector<std::string> lines;  // request lines without CR LF, digest removed
    std::string body;                // PUT body
    std::size_t consumed = 0;        // bytes of the stream this request took
};

enum class ParseState {
    Incomplete,  // wait for more bytes
    Complete,    // `out` holds a request
    Malformed,   // framing is lost; `out` holds what could be read (verb may be known)
};

ParseState parseRequest(std::string_view stream, ParsedRequest& out);

}  // namespace orvanta::sim
