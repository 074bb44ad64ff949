#include "message/MessageFile.h"

#include <sys/stat.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <vector>

#include "message/ProjectorText.h"
#include "message/Rtf.h"
#include "platform/AtomicFile.h"
#include "platform/TextCodec.h"
#include "text/LanguageText.h"

namespace orvanta {

namespace {

constexpr int kOptionCount = 10;
constexpr int kTitleLine = 11;
constexpr int kMessageLine = 12;
constexpr std::size_t kMinimumLines = 15;
constexpr std::size_t kOptionLineReadUnits = 15;
constexpr std::size_t kRecordBytes = 32;

bool endsWith(std::string_view s, std::string_view end) {
    return s.size() >= end.size() && s.substr(s.size() - end.size()) == end;
}

// What the editor gives text that carries no colors of its own: white on color 8.
Rgb defaultColor() {
    return rgbFromColorCode(kColorWhite);
}
Rgb defaultBackground() {
    return rgbFromColorCode(kColorHalfTransparent);
}

void appendLine(std::string& out, const char* format, unsigned value) {
    std::array<char, 32> line{};
    std::snprintf(line.data(), line.size(), format, value);
    out += line.data();
}

// What the operator is told: "This file format is not supported." for a file whose content
// is not a message, texts of their own for a file that cannot be read, is no file or is too
// large.
Failed<MessageFileProblem> refusal(MessageFileProblem problem) {
    switch (problem) {
        case MessageFileProblem::Unreadable:
            return fail(problem, languageText(Text::FileCannotBeRead));
        case MessageFileProblem::NotRegular:
            return fail(problem, languageText(Text::NotAFile));
        case MessageFileProblem::TooLarge:
            return fail(problem, languageText(Text::FileTooLarge));
        case MessageFileProblem::NotRichText:
        case MessageFileProblem::TooFewLines:
        case MessageFileProblem::WrongLayout:
        case MessageFileProblem::BadOptionLine:
            break;
    }
    return fail(problem, languageText(Text::FileFormatNotSupported));
}

// The first `limit` bytes of an ordinary file.
Result<std::string, MessageFileProblem> readFilePrefix(const std::string& path, std::size_t limit) {
    // Only ordinary files: a directory reads as nothing, and a pipe would never end.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return refusal(MessageFileProblem::Unreadable);
    }
    if (!S_ISREG(st.st_mode)) {
        return refusal(MessageFileProblem::NotRegular);
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return refusal(MessageFileProblem::Unreadable);
    }
    std::string bytes;
    std::array<char, 65536> chunk{};
    while (bytes.size() < limit) {
        in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        if (in.bad()) {
            return refusal(MessageFileProblem::Unreadable);
        }
        const auto got = static_cast<std::size_t>(in.gcount());
        bytes.append(chunk.data(), std::min(got, limit - bytes.size()));
        if (got < chunk.size()) {
            break;
        }
    }
    return bytes;
}

void dropNul(RichText& text) {
    std::erase_if(text.units, [](const RichUnit& u) { return u.ch == u'\0'; });
}

// A paragraph as ASCII for the option lines; anything else cannot match and becomes '?'.
std::string asciiOf(const RichText& paragraph, std::size_t maxUnits) {
    std::string out;
    for (std::size_t i = 0; i < paragraph.size() && i < maxUnits; ++i) {
        const char16_t c = paragraph.units[i].ch;
        out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    }
    return out;
}

std::optional<std::uint8_t> hexPair(char hi, char lo) {
    const int h = hexDigitValue(hi);
    const int l = hexDigitValue(lo);
    if (h < 0 || l < 0) {
        return std::nullopt;
    }
    return static_cast<std::uint8_t>(h * 16 + l);
}

// The number after the first "=" of a layout line (leading blanks and a sign allowed, trailing
// text ignored, as a C library conversion reads it).
std::optional<int> layoutValue(const std::string& line) {
    const auto eq = line.find('=');
    if (eq == std::string::npos) {
        return std::nullopt;
    }
    std::size_t i = eq + 1;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) {
        ++i;
    }
    bool negative = false;
    if (i < line.size() && (line[i] == '+' || line[i] == '-')) {
        negative = line[i] == '-';
        ++i;
    }
    int value = 0;
    bool any = false;
    while (i < line.size() && line[i] >= '0' && line[i] <= '9' && value < 100000) {
        value = value * 10 + (line[i] - '0');
        any = true;
        ++i;
    }
    if (!any) {
        return std::nullopt;
    }
    return negative ? -value : value;
}

void append(RichText& out, const RichText& part) {
    out.units.insert(out.units.end(), part.units.begin(), part.units.end());
}

}  // namespace

bool isTextFileName(std::string_view path) {
    return endsWith(path, ".txt");
}

bool hasMessageFileEnding(std::string_view path) {
    return endsWith(path, ".ovx");
}

std::string proposedSaveName(std::string_view currentName) {
    if (isTextFileName(currentName)) {
        currentName.remove_suffix(4);
    }
    return std::string(currentName);
}

std::string messageFileOptionText(const MessageHeader& header, bool extendedOptions) {
    std::string out;
    appendLine(out, "OPTNUM=%02d\n", kOptionCount);
    appendLine(out, "TITLE=%02d\n", kTitleLine);
    appendLine(out, "MSG=%02d\n", kMessageLine);
    if (extendedOptions) {
        // Alarm volume, sound, (unused), loop, interval in front of the style.
        for (std::size_t i = 16; i <= 20; ++i) {
            appendLine(out, "%02x", header[i]);
        }
    }
    appendLine(out, "ST%02x\n", header[0]);
    appendLine(out, "VPOS=%02x\n", header[1]);
    // One digit each for Lapped over picture and the horizontal position; both are small
    // values, and a stray high half would only push the other digit out of the line.
    appendLine(out, "HPOS=%01x", header[10] & 0x0Fu);
    appendLine(out, "%01x\n", header[2] & 0x0Fu);
    appendLine(out, "CHRSIZE=%02x\n", header[3]);
    appendLine(out, "DISPAR=%02x\n", header[4]);
    appendLine(out, "DISPLVL=%02x\n", header[5]);
    appendLine(out, "TITLEATT=%02x\n", header[6]);
    appendLine(out, "SCRLLNUM=%02x\n", header[7]);
    appendLine(out, "SCRLLSPD=%02x\n", header[8]);
    appendLine(out, "DISPTIME=%02x\n", header[9]);
    return out;
}

std::string composeMessageFile(const Message& message, const MessageHeader& header,
                               bool extendedOptions) {
    RichText document;
    for (char c : messageFileOptionText(header, extendedOptions)) {
        document.units.push_back(
            {c == '\n' ? u'\r' : static_cast<char16_t>(c), defaultColor(), defaultBackground()});
    }
    // The title is one paragraph; a line end inside it would shift the message by a line.
    for (RichUnit u : message.title.units) {
        if (u.ch == u'\r' || u.ch == u'\n') {
            u.ch = u' ';
        }
        document.units.push_back(u);
    }
    document.units.push_back({u'\r', defaultColor(), defaultBackground()});
    append(document, message.body);
    // The message's own paragraph end, which the reader removes again.
    document.units.push_back({u'\r', defaultColor(), defaultBackground()});
    return writeRtf(document);
}

Result<void, SaveProblem> saveMessageFile(const std::string& path, const Message& message,
                                          const MessageHeader& header,
                                          const ProjectorCapabilities& capabilities,
                                          Prompt& prompt) {
    const int limit =
        titleLimit(message.options.characterSize, capabilities.extendedCharacterSet());
    if (message.title.size() > static_cast<std::size_t>(limit)) {
        std::string text = formatText(Text::TitleTooLongCharacters, {limit});
        prompt.inform(text);
        return fail(SaveProblem::TitleTooLong, std::move(text));
    }
    const std::string content = composeMessageFile(message, header, capabilities.extendedOptions());
    if (Result<> written = writeFileAtomically(path, content); !written) {
        prompt.inform(path + ": " + written.error(), PromptIcon::Error);
        return fail(SaveProblem::WriteFailed, written.error());
    }
    return {};
}

Result<Message, MessageFileProblem> parseMessageFile(std::string_view bytes, bool extendedOptions,
                                                     Message message) {
    if (bytes.size() > kMaxMessageFileBytes) {
        return refusal(MessageFileProblem::TooLarge);
    }
    const Result<RichText, RtfError> rtf = readRtf(bytes, {defaultColor(), defaultBackground()});
    if (!rtf) {
        return refusal(MessageFileProblem::NotRichText);
    }
    const RichText& document = rtf.value();
    const std::vector<RichText> paragraphs = splitParagraphs(document);
    if (paragraphs.size() < kMinimumLines) {
        return refusal(MessageFileProblem::TooFewLines);
    }

    const auto optionCount = layoutValue(asciiOf(paragraphs[0], kOptionLineReadUnits * 4));
    const auto titleLine = layoutValue(asciiOf(paragraphs[1], kOptionLineReadUnits * 4));
    const auto messageLine = layoutValue(asciiOf(paragraphs[2], kOptionLineReadUnits * 4));
    if (!optionCount || !titleLine || !messageLine || (*optionCount != 10 && *optionCount != 11) ||
        (*titleLine != 11 && *titleLine != 12) || (*messageLine != 12 && *messageLine != 13)) {
        return refusal(MessageFileProblem::WrongLayout);
    }

    std::array<std::uint8_t, kRecordBytes> record{};
    record.fill(0xFF);
    for (int j = 3; j <= *optionCount + 2; ++j) {
        const std::string line =
            asciiOf(paragraphs[static_cast<std::size_t>(j)], kOptionLineReadUnits);
        if (line.size() < 2) {
            return refusal(MessageFileProblem::BadOptionLine);
        }
        const auto value = hexPair(line[line.size() - 2], line[line.size() - 1]);
        if (!value) {
            return refusal(MessageFileProblem::BadOptionLine);
        }
        record[static_cast<std::size_t>(j - 3)] = *value;
    }

    if (extendedOptions) {
        const std::string style = asciiOf(paragraphs[3], kOptionLineReadUnits);
        // Files from before the alarm field, whether "STYLE=" or a plain "ST" line, carry no
        // alarm: they read as "no sound".
        std::array<std::uint8_t, 5> alarm{0xFF, 0x00, 0xFF, 0xFF, 0xFF};
        if (style.rfind("STYLE", 0) != 0 && style.size() >= 10) {
            std::array<std::uint8_t, 5> digits{};
            bool valid = true;
            for (std::size_t k = 0; k < digits.size() && valid; ++k) {
                const auto v = hexPair(style[2 * k], style[2 * k + 1]);
                valid = v.has_value();
                digits[k] = v.value_or(0);
            }
            if (valid) {
                alarm = digits;
            }
        }
        std::copy(alarm.begin(), alarm.end(), record.begin() + 16);
    }

    if (*optionCount == 11 && *titleLine == 12 && *messageLine == 13) {
        // The older layout kept Lapped over picture on a line of its own.
        record[2] = static_cast<std::uint8_t>((record[2] & 0x0F) + 16 * record[10]);
    }

    // Title: the paragraph after the option lines. Message: everything after it, less the
    // paragraph end that closes it in the file.
    const auto titleIndex = static_cast<std::size_t>(*titleLine + 2);
    std::size_t start = 0;
    for (std::size_t p = 0; p < titleIndex; ++p) {
        start += paragraphs[p].size() + 1;
    }
    RichText title = paragraphs[titleIndex];
    start += title.size() + 1;
    RichText body;
    if (start < document.size()) {
        body.units.assign(document.units.begin() + static_cast<std::ptrdiff_t>(start),
                          document.units.end());
    }
    if (!body.empty() && body.units.back().ch == u'\r') {
        body.units.pop_back();
    }

    applyHeaderOptions(message.options, std::span<const std::uint8_t>(record.data(), 21),
                       extendedOptions);
    if (message.options.characterSize > 1) {
        message.options.characterSize = 1;
    }
    dropNul(title);
    dropNul(body);
    message.title = std::move(title);
    message.body = std::move(body);
    // An icon number the list does not have shows no icon.
    message.icon = message.options.iconNumber < kIconCount ? message.options.iconNumber : 0;
    message.backgroundColor = unpackBackground(message.options.background);
    return message;
}

void importTextFile(std::string_view bytes, Message& message) {
    const bool truncated = bytes.size() > kTextImportBytes;
    bytes = bytes.substr(0, kTextImportBytes);
    std::u16string text;
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
            text.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                                 (static_cast<unsigned char>(bytes[i + 1]) << 8)));
        }
    } else {
        std::string_view utf8 = bytes;
        if (utf8.substr(0, 3) == "\xEF\xBB\xBF") {
            utf8.remove_prefix(3);
        }
        auto decoded = decodeUtf8Strict(utf8);
        // The cut at kTextImportBytes may split the last character of a UTF-8 file.
        for (std::size_t cut = 1; !decoded && truncated && cut <= 3 && cut <= utf8.size(); ++cut) {
            decoded = decodeUtf8Strict(utf8.substr(0, utf8.size() - cut));
        }
        text = decoded ? std::move(*decoded) : decodeWindows1252(bytes);
    }
    // A NUL ends the text, as it ends the string the editor is given.
    if (const auto nul = text.find(u'\0'); nul != std::u16string::npos) {
        text.resize(nul);
    }
    // CR LF, CR and LF all end a paragraph.
    std::u16string lines;
    lines.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
            continue;
        }
        lines.push_back(text[i] == u'\n' ? u'\r' : text[i]);
    }

    message.options.characterSize = 0;
    message.title = {};
    message.body = RichText(lines, defaultColor(), defaultBackground());
    replaceTabs(message.body);
}

Result<std::string, MessageFileProblem> readMessageFileBytes(const std::string& path) {
    if (isTextFileName(path)) {
        // One byte more than is imported tells the importer that the text goes on.
        return readFilePrefix(path, kTextImportBytes + 1);
    }
    Result<std::string, MessageFileProblem> bytes = readFilePrefix(path, kMaxMessageFileBytes + 1);
    if (bytes && bytes.value().size() > kMaxMessageFileBytes) {
        return refusal(MessageFileProblem::TooLarge);
    }
    return bytes;
}

Result<Message, MessageFileProblem> messageFromFileBytes(const std::string& path,
                                                         std::string_view bytes,
                                                         bool extendedOptions, Message base) {
    if (isTextFileName(path)) {
        importTextFile(bytes, base);
        return base;
    }
    return parseMessageFile(bytes, extendedOptions, std::move(base));
}

Result<Message, MessageFileProblem> readMessageFile(const std::string& path, bool extendedOptions,
                                                    Message base) {
    const Result<std::string, MessageFileProblem> bytes = readMessageFileBytes(path);
    if (!bytes) {
        return bytes.failure();
    }
    return messageFromFileBytes(path, bytes.value(), extendedOptions, std::move(base));
}

}  // namespace orvanta
