#include "message/Payload.h"

#include <algorithm>

#include "message/TextUnits.h"
#include "platform/TextCodec.h"
#include "text/LanguageText.h"

namespace orvanta {

namespace {

constexpr char16_t kAreaFill = 0xFFFF;

// The body under construction: a fixed buffer pre-filled with 0xFF, written item by item.
class BodyWriter {
  public:
    BodyWriter() { buffer_.fill(0xFF); }

    std::size_t offset() const { return offset_; }
    void seek(std::size_t offset) { offset_ = offset; }
    void unit(char16_t u) {
        buffer_[offset_++] = static_cast<std::uint8_t>(u >> 8);
        buffer_[offset_++] = static_cast<std::uint8_t>(u & 0xFF);
    }
    void escape(const EscapeColors& c) {
        unit(kEscape);
        buffer_[offset_++] = c.fgMode;
        buffer_[offset_++] = c.fg;
        buffer_[offset_++] = c.bgMode;
        buffer_[offset_++] = c.bg;
    }
    // A part ending in a unit whose bytes are both non-zero gets an explicit end.
    void terminateIfNeeded(std::size_t partStart) {
        if (offset_ >= partStart + 2 && buffer_[offset_ - 2] != 0 && buffer_[offset_ - 1] != 0) {
            unit(kNul);
        }
    }
    std::vector<std::uint8_t> bytes(std::size_t length) const {
        return {buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(length)};
    }

  private:
    std::array<std::uint8_t, kBodyBufferBytes> buffer_;
    std::size_t offset_ = 0;
};

// Writes `count` units of `part` from `start`. False when an item would start beyond the
// working buffer's last safe offset.
bool encodePart(BodyWriter& out, const RichText& part, std::size_t count, std::size_t start,
                std::uint8_t backgroundOption, bool characterDisplayMode) {
    out.seek(start);
    std::optional<EscapeColors> current;
    for (std::size_t i = 0; i < count; ++i) {
        const RichUnit& u = part.units[i];
        if (out.offset() > kLastItemOffset) {
            return false;
        }
        if (u.ch == kNul) {
            // End of a title cut to its limit: written without colors.
            out.unit(kNul);
            continue;
        }
        const EscapeColors colors = characterColors(u, backgroundOption, characterDisplayMode);
        if (!current || *current != colors) {
            out.escape(colors);
            current = colors;
        }
        if (u.ch == kPageFeedMark) {
            out.unit(kFf);
        } else {
            out.unit(u.ch);
        }
    }
    out.terminateIfNeeded(start);
    return true;
}

void fillHeader(MessageHeader& h, const Message& message, const EncodeSettings& settings) {
    const MessageOptions& o = message.options;
    const std::uint8_t icon = settings.optionsFromFile ? o.iconNumber : message.icon;
    const bool extendedOptions = settings.capabilities.extendedOptions();

    h[0] = o.style;
    h[1] = o.verticalPosition;
    h[2] = o.horizontalPosition;
    h[3] = o.characterSize;
    std::uint8_t display =
        (settings.characterDisplayMode && !settings.optionsFromFile) ? 0x40 : o.background;
    display = o.blink == 1 ? (display | 0x80) : (display & 0x7F);
    h[4] = display;
    h[5] = o.level;
    h[6] = static_cast<std::uint8_t>(o.titlePosition * 64 + (icon & 0x3F));
    h[7] = o.scrollCount;
    h[8] = o.scrollSpeed;
    h[9] = static_cast<std::uint8_t>(o.displayMinutes | ((o.displayHalfMinute & 1) << 7));
    h[10] = o.lappedOverPicture;
    h[11] = extendedOptions ? 0x20 : 0xFF;

    if (settings.purpose != EncodePurpose::Save || settings.optionsFromFile) {
        // Options a style does not use are sent as "not set" so the projector ignores them.
        switch (o.style) {
            case 0:
                h[2] = 0xFF;
                h[9] = 0x00;
                h[10] = 0xFF;
                break;
            case 1:
            case 2:
                h[2] = 0xFF;
                h[7] = 0xFF;
                h[8] = 0xFF;
                h[10] = 0xFF;
                break;
            case 3:
                h[1] = 0xFF;
                h[3] = 0x00;
                h[7] = 0xFF;
                h[8] = 0xFF;
                break;
            default:
                break;
        }
    }

    if (extendedOptions) {
        if (o.alarmSound != 0) {
            h[16] = o.alarmVolume;
            h[17] = o.alarmSound;
            h[19] = o.alarmLoop;
            h[20] = o.alarmInterval;
        } else {
            h[17] = 0x00;
        }
    }
}

// Bytes from pairs of hex digits; false at the first character that is not a hex digit.
bool hexToBytes(std::string_view hex, std::uint8_t* out, std::size_t count) {
    if (hex.size() < count * 2) {
        return false;
    }
    for (std::size_t i = 0; i < count; ++i) {
        const int hi = hexDigitValue(hex[2 * i]);
        const int lo = hexDigitValue(hex[2 * i + 1]);
        if (hi < 0 || lo < 0) {
            return false;
        }
        out[i] = static_cast<std::uint8_t>(hi * 16 + lo);
    }
    return true;
}

// Color code of an escape's foreground or background unit.
int escapeColorCode(char16_t u) {
    switch (u >> 8) {
        case 1:
            return kColorHalfTransparent;
        case 2:
            return kColorTransparent;
        default:
            return u & 0xFF;
    }
}

RichText decodePart(std::span<const std::uint8_t> body, std::size_t firstUnit, std::size_t endUnit,
                    bool endAtAreaFill) {
    RichText part;
    auto unitAt = [&](std::size_t i) -> char16_t {
        return static_cast<char16_t>((body[2 * i] << 8) | body[2 * i + 1]);
    };
    int fg = kColorWhite;
    int bg = kColorHalfTransparent;
    for (std::size_t i = firstUnit; i < endUnit; ++i) {
        char16_t u = unitAt(i);
        if (u == kNul || (endAtAreaFill && u == kAreaFill)) {
            break;
        }
        if (u == kEscape) {
            if (i + 2 >= endUnit) {
                break;  // an escape cut off by the end of the part
            }
            fg = escapeColorCode(unitAt(i + 1));
            bg = escapeColorCode(unitAt(i + 2));
            i += 2;
            continue;
        }
        if (u == kLf) {
            u = u' ';
        }
        const int shownBg = bg == kColorTransparent ? kColorHalfTransparent : bg;
        part.units.push_back({u, rgbFromColorCode(fg), rgbFromColorCode(shownBg)});
    }
    return part;
}

// A title over `limit` cut to it, with the terminator the cut title carries.
RichText cutTitle(const RichText& title, std::size_t limit) {
    if (title.size() <= limit) {
        return title;
    }
    RichText cut;
    cut.units.assign(title.units.begin(), title.units.begin() + static_cast<std::ptrdiff_t>(limit));
    cut.units.push_back({kNul, 0, 0});
    return cut;
}

// Writes the title (already cut to its limit) and the message into `out`: the body length,
// or nothing when the items do not fit the working buffer or the title area.
std::optional<std::size_t> writeParts(BodyWriter& out, RichText title, RichText body,
                                      const MessageOptions& o, bool wide, bool displayMode) {
    if (body.units.size() > kFetchUnits - 1) {
        body.units.resize(kFetchUnits - 1);
    }
    breakLines(title, title.size(), o.characterSize, wide);
    breakLines(body, body.size(), o.characterSize, wide);
    dropLineEndsAfterPageMarks(title);
    dropLineEndsAfterPageMarks(body);
    if (title.empty()) {
        out.unit(kNul);
    } else if (!encodePart(out, title, title.size(), 0, o.background, displayMode)) {
        return std::nullopt;
    }
    if (out.offset() > kTitleAreaBytes) {
        // A title of many color runs would run into the message.
        return std::nullopt;
    }
    if (body.empty()) {
        return out.offset();
    }
    if (!encodePart(out, body, body.size(), kTitleAreaBytes, o.background, displayMode)) {
        return std::nullopt;
    }
    return out.offset();
}

void dropNuls(RichText& text) {
    // A NUL inside the text would end it for the projector and for every read back: whatever
    // came after it would be lost.
    std::erase_if(text.units, [](const RichUnit& u) { return u.ch == kNul; });
}

// A failed encoding: `text` for the operator (empty after a question they answered).
Failed<EncodeProblem> refusal(EncodeFailure kind, std::string text, std::size_t bodyLength = 0) {
    EncodeProblem problem;
    problem.kind = kind;
    problem.bodyLength = bodyLength;
    return fail(std::move(problem), std::move(text));
}

}  // namespace

EncodeResult encodeMessage(Message& message, const EncodeSettings& settings, Prompt& prompt) {
    dropNuls(message.title);
    dropNuls(message.body);
    const MessageOptions& o = message.options;
    const bool wide = settings.capabilities.extendedCharacterSet();
    // A message file sent from the list has no display-mode switch: its stored options rule.
    const bool displayMode = settings.characterDisplayMode && !settings.optionsFromFile;

    // Title pass: a title over the limit is cut, if the operator agrees.
    const std::size_t limit = static_cast<std::size_t>(titleLimit(o.characterSize, wide));
    if (message.title.size() > limit &&
        prompt.ask(formatText(Text::TitleMayNotBeDisplayed, {static_cast<long long>(limit)}),
                   PromptButtons::OkCancel, PromptIcon::Information) != PromptAnswer::Ok) {
        return refusal(EncodeFailure::TitleCancelled, {});
    }

    // Message pass: characters the narrow font lacks stop the encoding.
    if (!wide) {
        EncodeProblem problem;
        problem.kind = EncodeFailure::UnsupportedCharacters;
        problem.unsupported = resolveUnsupported(message.body, prompt, problem.found);
        if (problem.unsupported != UnsupportedOutcome::None) {
            return fail(std::move(problem), {});
        }
    }

    BodyWriter out;
    const std::optional<std::size_t> written =
        writeParts(out, cutTitle(message.title, limit), message.body, o, wide, displayMode);
    if (!written) {
        return refusal(EncodeFailure::TooManyCharacters, languageText(Text::TooManyCharacters));
    }
    const std::size_t length = *written;
    if (length > kMaxBodyBytes) {
        return refusal(EncodeFailure::BodyTooLong,
                       formatText(Text::MessageTooLongBytes, {static_cast<long long>(length)}),
                       length);
    }
    EncodedMessage result;
    result.bodyLength = length;
    if (settings.purpose == EncodePurpose::Check ||
        settings.purpose == EncodePurpose::BackgroundCheck) {
        return result;
    }

    MessagePayload payload;
    payload.body = out.bytes(length);
    fillHeader(payload.header, message, settings);
    const std::uint16_t sum = bodyChecksum(payload.body);
    payload.header[14] = static_cast<std::uint8_t>(sum >> 8);
    payload.header[15] = static_cast<std::uint8_t>(sum & 0xFF);
    result.payload = std::move(payload);
    return result;
}

std::size_t unitsThatFit(const Message& message, std::size_t from, std::size_t to,
                         const RichText& inserted, const EncodeSettings& settings) {
    const bool wide = settings.capabilities.extendedCharacterSet();
    const bool displayMode = settings.characterDisplayMode && !settings.optionsFromFile;
    RichText title = message.title;
    dropNuls(title);
    replaceTabs(title);
    title =
        cutTitle(title, static_cast<std::size_t>(titleLimit(message.options.characterSize, wide)));
    to = std::min(to, message.body.size());
    from = std::min(from, to);
    const auto fits = [&](std::size_t count) {
        RichText body;
        body.units.reserve(message.body.size() - (to - from) + count);
        body.units.insert(body.units.end(), message.body.units.begin(),
                          message.body.units.begin() + static_cast<std::ptrdiff_t>(from));
        body.units.insert(body.units.end(), inserted.units.begin(),
                          inserted.units.begin() + static_cast<std::ptrdiff_t>(count));
        body.units.insert(body.units.end(),
                          message.body.units.begin() + static_cast<std::ptrdiff_t>(to),
                          message.body.units.end());
        dropNuls(body);
        replaceTabs(body);
        BodyWriter out;
        const auto length =
            writeParts(out, title, std::move(body), message.options, wide, displayMode);
        return length && *length <= kMaxBodyBytes;
    };
    // Every unit takes at least two bytes: nothing beyond that bound can fit, so the search
    // never encodes more than a message's worth of text however large the paste.
    std::size_t low = 0;
    std::size_t high = std::min(inserted.size(), kMaxBodyBytes / 2);
    if (fits(high)) {
        return high;
    }
    if (!fits(0)) {
        return 0;
    }
    while (high - low > 1) {  // fits(low), !fits(high)
        const std::size_t middle = low + (high - low) / 2;
        (fits(middle) ? low : high) = middle;
    }
    return low;
}

void reportEncodeFailure(const EncodeResult& result, Prompt& prompt) {
    if (!result && !result.error().empty()) {
        prompt.inform(result.error(), PromptIcon::Information);
    }
}

std::uint16_t bodyChecksum(std::span<const std::uint8_t> body) {
    std::uint32_t sum = 0;
    for (std::uint8_t b : body) {
        sum += b;
    }
    return static_cast<std::uint16_t>(0x10000u - (sum & 0xFFFFu));
}

std::string headerToHex(const MessageHeader& header) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    const std::size_t count = header.extended() ? kHeaderBytes : kHeaderBytes / 2;
    std::string hex;
    hex.reserve(count * 2);
    for (std::size_t i = 0; i < count; ++i) {
        hex.push_back(kDigits[header[i] >> 4]);
        hex.push_back(kDigits[header[i] & 0x0F]);
    }
    return hex;
}

std::optional<MessageHeader> headerFromHex(std::string_view hex) {
    if (hex.size() != kHeaderBytes && hex.size() != kHeaderBytes * 2) {
        return std::nullopt;
    }
    MessageHeader header;
    if (!hexToBytes(hex, header.bytes.data(), hex.size() / 2)) {
        return std::nullopt;
    }
    return header;
}

std::optional<std::array<std::uint8_t, kReadBackHeaderBytes>> parseReadBackHeader(
    std::string_view headerHex) {
    std::array<std::uint8_t, kReadBackHeaderBytes> bytes;
    bytes.fill(0xFF);
    if (!hexToBytes(headerHex, bytes.data(), 16)) {
        return std::nullopt;
    }
    // The short form ends after 32 digits (CR LF follow): its alarm bytes are not set.
    std::array<std::uint8_t, kReadBackHeaderBytes - 16> alarm;
    if (hexToBytes(headerHex.substr(32), alarm.data(), alarm.size())) {
        std::copy(alarm.begin(), alarm.end(), bytes.begin() + 16);
    }
    return bytes;
}

DecodedBody decodeMessageBody(std::span<const std::uint8_t> body) {
    const std::size_t units = std::min(body.size() / 2, kReadBackBodyUnits);
    const std::size_t titleUnits = kTitleAreaBytes / 2;
    DecodedBody decoded;
    decoded.title = decodePart(body, 0, std::min(units, titleUnits), true);
    if (units > titleUnits) {
        decoded.message = decodePart(body, titleUnits, units, false);
    }
    return decoded;
}

void pageFeedsToMarks(RichText& text) {
    std::vector<RichUnit> out;
    out.reserve(text.units.size());
    for (const RichUnit& u : text.units) {
        if (u.ch == kFf) {
            out.push_back({kPageFeedMark, u.color, u.background});
            out.push_back({kCr, u.color, u.background});
        } else {
            out.push_back(u);
        }
    }
    text.units = std::move(out);
}

bool applyReadBack(Message& message, std::string_view headerHex, std::span<const std::uint8_t> body,
                   bool extendedOptions, bool& characterDisplayMode) {
    const auto header = parseReadBackHeader(headerHex);
    if (!header) {
        return false;
    }
    applyHeaderOptions(message.options, *header, extendedOptions);
    DecodedBody decoded = decodeMessageBody(body);
    pageFeedsToMarks(decoded.message);
    message.title = std::move(decoded.title);
    message.body = std::move(decoded.message);
    message.icon = message.options.iconNumber < kIconCount ? message.options.iconNumber : 0;
    characterDisplayMode = backgroundIsTransparent(message.options.background);
    message.backgroundColor = characterDisplayMode
                                  ? static_cast<std::uint8_t>(kColorHalfTransparent)
                                  : unpackBackground(message.options.background);
    return true;
}

}  // namespace orvanta
