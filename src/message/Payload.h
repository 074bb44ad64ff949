#pragma once
// The binary form of a message as projectors take it: a 32-byte option header and a body of
// UTF-16 big-endian text with color escapes (a 128-byte title area, then the message).
// encodeMessage builds both from a Message; the decoders read back what a projector returns.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "message/MessageOptions.h"
#include "message/ProjectorText.h"
#include "platform/Result.h"
#include "text/Prompt.h"

namespace orvanta {

inline constexpr std::size_t kHeaderBytes = 32;
inline constexpr std::size_t kReadBackHeaderBytes = 21;
inline constexpr std::size_t kTitleAreaBytes = 128;
inline constexpr std::size_t kMaxBodyBytes = 3968;
inline constexpr std::size_t kBodyBufferBytes = 4500;
// No item may start beyond this offset, so an escape, a character and a terminator always fit.
inline constexpr std::size_t kLastItemOffset = 4490;
// What a projector returns: title units 0..63, message units 64..1999.
inline constexpr std::size_t kReadBackBodyUnits = 2000;

struct MessageHeader {
    std::array<std::uint8_t, kHeaderBytes> bytes;

    MessageHeader() { bytes.fill(0xFF); }
    std::uint8_t& operator[](std::size_t i) { return bytes[i]; }
    std::uint8_t operator[](std::size_t i) const { return bytes[i]; }
    // Byte 11 = 0x20: the projector takes all 32 bytes (alarm bytes included), else 16.
    bool extended() const { return bytes[11] == 0x20; }
    std::uint16_t checksum() const {
        return static_cast<std::uint16_t>((bytes[14] << 8) | bytes[15]);
    }

    bool operator==(const MessageHeader&) const = default;
};

struct MessagePayload {
    MessageHeader header;
    std::vector<std::uint8_t> body;  // at most kMaxBodyBytes

    bool operator==(const MessagePayload&) const = default;
};

// 0 send, 1 and 2 check only (no header, no body), 3 save (no per-style masking).
enum class EncodePurpose : int { Send = 0, Check = 1, BackgroundCheck = 2, Save = 3 };

struct EncodeSettings {
    EncodePurpose purpose = EncodePurpose::Send;
    ProjectorCapabilities capabilities;  // extendedOptions and extendedCharacterSet
    // Transparent message background: header byte 4 = 0x40 (plus blink) and every character
    // background transparent. Not used with optionsFromFile.
    bool characterDisplayMode = false;
    // The options come from a message file being sent (its icon is options.iconNumber):
    // the per-style masking is applied whatever the purpose.
    bool optionsFromFile = false;
};

// Why a message could not be encoded.
enum class EncodeFailure {
    TitleCancelled,         // title over the limit and the operator chose Cancel
    UnsupportedCharacters,  // see EncodeProblem::unsupported
    TooManyCharacters,      // the items do not fit into the working buffer (or the title area)
    BodyTooLong,            // body over kMaxBodyBytes
};

struct EncodeProblem {
    EncodeFailure kind = EncodeFailure::TitleCancelled;
    // With UnsupportedCharacters: what the operator answered and what was found. ShowList asks
    // the caller to show found.listText in the "Not Supported Character" dialog and, when that
    // ends with "Auto Del", to deleteUnits(message.body, found.positions).
    UnsupportedOutcome unsupported = UnsupportedOutcome::None;
    UnsupportedCharacters found;
    // With BodyTooLong: the length the body would have had.
    std::size_t bodyLength = 0;
};

struct EncodedMessage {
    std::size_t bodyLength = 0;
    // Filled for Send and Save.
    std::optional<MessagePayload> payload;
};

// The error() text of a failure is for the operator (TooManyCharacters, BodyTooLong); it is
// empty when the operator already answered a question about it. reportEncodeFailure shows it.
using EncodeResult = Result<EncodedMessage, EncodeProblem>;

// Encodes `message`. Questions (title too long, unsupported characters) are asked through
// `prompt`; failures come back as values with their text. The message body changes only when
// the operator lets the unsupported characters be deleted. TAB units are not expanded here:
// callers run replaceTabs on the texts first, as the editor does after every change.
EncodeResult encodeMessage(Message& message, const EncodeSettings& settings, Prompt& prompt);

// How many of the first units of `inserted`, put into the message body in place of its units
// [from, to), keep the encoded body within kMaxBodyBytes: what a paste may bring. Tabs count as
// the spaces they become and the title as the encoder cuts it; nothing is asked, and
// unsupported characters are left to the encoding that follows.
std::size_t unitsThatFit(const Message& message, std::size_t from, std::size_t to,
                         const RichText& inserted, const EncodeSettings& settings);

// Shows the failure text of a failed `result` (if any) in an information box.
void reportEncodeFailure(const EncodeResult& result, Prompt& prompt);

// Two's complement of the byte sum of `body`: byte sum plus checksum is 0 modulo 65536.
std::uint16_t bodyChecksum(std::span<const std::uint8_t> body);

// The header as the PUT request line carries it: upper-case hexadecimal, 64 characters when
// byte 11 is 0x20, else the first 16 bytes as 32 characters.
std::string headerToHex(const MessageHeader& header);
// The reverse for exactly 32 or 64 hexadecimal characters (either case); bytes not given are
// 0xFF. Nothing for any other text.
std::optional<MessageHeader> headerFromHex(std::string_view hex);

// Header bytes 0..20 from the header text a projector returns for a stored message: 64 hex
// digits (long form) or 32 digits followed by anything else (short form, which has no alarm
// bytes: bytes 16..20 read as 0xFF). Nothing when the first 32 characters are not hex digits.
std::optional<std::array<std::uint8_t, kReadBackHeaderBytes>> parseReadBackHeader(
    std::string_view headerHex);

// Title and message from a body returned by a projector: escapes become color runs (mode 1
// reads as code 8, mode 2 as code 9; a background of code 9 is shown as 8), LF reads as a
// space and a NUL ends a part; the title also ends at the 0xFFFF fill of its area.
struct DecodedBody {
    RichText title;
    RichText message;
};
DecodedBody decodeMessageBody(std::span<const std::uint8_t> body);

// Replaces each FF of a decoded message by the page-feed mark and CR, as the editor shows it.
void pageFeedsToMarks(RichText& text);

// Puts what a projector returned for a slot into `message`: options from the header (the
// alarm options only with extendedOptions), icon, background color, title and text.
// `characterDisplayMode` is set when the message background is transparent (the editor then
// shows color 8). False, with `message` unchanged, when the header text is not readable.
bool applyReadBack(Message& message, std::string_view headerHex, std::span<const std::uint8_t> body,
                   bool extendedOptions, bool& characterDisplayMode);

}  // namespace orvanta
