#pragma once
// MD5 (RFC 1321) as the projector protocol and the send lock use it.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace orvanta {

using Md5Value = std::array<std::uint8_t, 16>;

Md5Value md5(std::string_view bytes);

// The 16 bytes as 32 upper-case hexadecimal characters, first byte first.
std::string toHexUpper(const Md5Value& value);

// MD5 of `bytes` as 32 upper-case hexadecimal characters.
std::string md5Hex(std::string_view bytes);

// The password as the projector sees it: the low 8 bits of each UTF-16 code unit of the
// UTF-8 `password` (an ASCII password gives its own bytes).
std::string passwordLowBytes(std::string_view password);

// Digest with which a request answers a greeting: MD5 over the first 8 greeting bytes
// followed by the password's low bytes, the input ending at the first zero byte of that
// concatenation (a greeting shorter than 8 bytes counts as padded with zeros, so its
// digest ignores the password).  32 upper-case hexadecimal characters.
std::string challengeDigest(std::string_view greeting, std::string_view password);

}  // namespace orvanta
