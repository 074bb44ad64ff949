#pragma once
// The control units of a message's UTF-16 text, by name: what the encoder writes, the line
// breaker measures and the preview draws.

namespace orvanta {

inline constexpr char16_t kNul = 0x0000;
inline constexpr char16_t kTab = 0x0009;
inline constexpr char16_t kLf = 0x000A;
inline constexpr char16_t kFf = 0x000C;
inline constexpr char16_t kCr = 0x000D;
inline constexpr char16_t kEscape = 0x001B;  // starts a color escape
inline constexpr char16_t kSpace = 0x0020;

}  // namespace orvanta
