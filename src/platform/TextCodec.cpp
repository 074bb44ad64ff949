#include "platform/TextCodec.h"

#include <unicode/uchar.h>
#include <unicode/unorm2.h>

#include <iconv.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace orvanta {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

void appendCodePoint(std::u16string& out, char32_t cp) {
    if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
    } else {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
}

// Decodes one sequence at `i`; returns the code point, or nothing for a malformed sequence
// (then `i` has moved past the offending byte only).
std::optional<char32_t> nextCodePoint(std::string_view s, size_t& i) {
    const auto b0 = static_cast<unsigned char>(s[i++]);
    if (b0 < 0x80) {
        return b0;
    }
    int extra = 0;
    char32_t cp = 0;
    char32_t min = 0;
    if ((b0 & 0xE0) == 0xC0) {
        extra = 1, cp = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        extra = 2, cp = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        extra = 3, cp = b0 & 0x07, min = 0x10000;
    } else {
        return std::nullopt;
    }
    size_t j = i;
    for (int k = 0; k < extra; ++k, ++j) {
        if (j >= s.size() || (static_cast<unsigned char>(s[j]) & 0xC0) != 0x80) {
            return std::nullopt;
        }
        cp = (cp << 6) | (static_cast<unsigned char>(s[j]) & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        return std::nullopt;
    }
    i = j;
    return cp;
}

}  // namespace

std::u16string utf8ToUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        auto cp = nextCodePoint(text, i);
        appendCodePoint(out, cp.value_or(kReplacement));
    }
    return out;
}

std::optional<std::u16string> decodeUtf8Strict(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    size_t i = 0;
    while (i < bytes.size()) {
        auto cp = nextCodePoint(bytes, i);
        if (!cp) {
            return std::nullopt;
        }
        appendCodePoint(out, *cp);
    }
    return out;
}

std::string utf16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = kReplacement;
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

std::u16string decodeWindows1252(std::string_view bytes) {
    // 0x80..0x9F differ from Latin-1; the rest is identical.
    static constexpr std::array<char16_t, 32> kHigh = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    std::u16string out;
    out.reserve(bytes.size());
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        out.push_back(b >= 0x80 && b < 0xA0 ? kHigh[b - 0x80] : static_cast<char16_t>(b));
    }
    return out;
}

namespace {

std::vector<std::string> iconvNames(int codePage) {
    switch (codePage) {
        case 936:
            return {"CP936", "GBK"};
        case 950:
            return {"CP950", "BIG5"};
        case 932:
            return {"CP932", "WINDOWS-31J", "SHIFT_JIS"};
        case 10000:
            return {"MACINTOSH"};
        case 1361:
            return {"JOHAB"};
        case 65001:
            return {"UTF-8"};
        default:
            return {"CP" + std::to_string(codePage), "WINDOWS-" + std::to_string(codePage)};
    }
}

iconv_t invalidConverter() {
    return reinterpret_cast<iconv_t>(-1);
}

void appendUtf16le(const char* data, size_t n, std::u16string& out) {
    for (size_t i = 0; i + 1 < n; i += 2) {
        out.push_back(static_cast<char16_t>(static_cast<unsigned char>(data[i]) |
                                            (static_cast<unsigned char>(data[i + 1]) << 8)));
    }
}

}  // namespace

CodePageDecoder::~CodePageDecoder() {
    for (auto& [codePage, cd] : open_) {
        if (cd != invalidConverter()) {
            iconv_close(cd);
        }
    }
}

void* CodePageDecoder::converter(int codePage) {
    if (const auto it = open_.find(codePage); it != open_.end()) {
        return it->second;
    }
    iconv_t cd = invalidConverter();
    for (const auto& name : iconvNames(codePage)) {
        cd = iconv_open("UTF-16LE", name.c_str());
        if (cd != invalidConverter()) {
            break;
        }
    }
    open_.emplace(codePage, cd);
    return cd;
}

void CodePageDecoder::decode(int codePage, std::string_view bytes, std::u16string& out) {
    iconv_t cd = codePage == 1252 || codePage <= 0 ? invalidConverter() : converter(codePage);
    if (cd == invalidConverter()) {
        out += decodeWindows1252(bytes);
        return;
    }
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    std::string input(bytes);
    char* in = input.data();
    size_t inLeft = input.size();
    std::array<char, 512> buffer{};
    while (inLeft > 0) {
        char* outPtr = buffer.data();
        size_t outLeft = buffer.size();
        const size_t r = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        const int err = errno;
        appendUtf16le(buffer.data(), buffer.size() - outLeft, out);
        if (r != static_cast<size_t>(-1)) {
            break;
        }
        if (err == E2BIG) {
            continue;
        }
        // A byte that is no character of the code page, or a lead byte without its trail.
        out.push_back(kReplacement);
        ++in;
        --inLeft;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
}

std::u16string decodeCodePage(int codePage, std::string_view bytes) {
    CodePageDecoder decoder;
    std::u16string out;
    decoder.decode(codePage, bytes, out);
    return out;
}

namespace {

void appendUtf8(std::string& out, char32_t cp) {
    std::u16string units;
    appendCodePoint(units, cp);
    out += utf16ToUtf8(units);
}

}  // namespace

bool isControlOrInvisible(char32_t c) {
    const auto cp = static_cast<UChar32>(c);
    switch (u_charType(cp)) {
        case U_CONTROL_CHAR:
        case U_FORMAT_CHAR:
        case U_LINE_SEPARATOR:
        case U_PARAGRAPH_SEPARATOR:
        case U_SURROGATE:
            return true;
        default:
            return u_hasBinaryProperty(cp, UCHAR_DEFAULT_IGNORABLE_CODE_POINT) != 0;
    }
}

namespace {

// `text` in the form `normalizer` makes; as it is when the normalizer cannot be had.
std::string normalized(std::string_view text, const UNormalizer2* (*normalizer)(UErrorCode*)) {
    const std::u16string in = utf8ToUtf16(text);
    UErrorCode status = U_ZERO_ERROR;
    const UNormalizer2* form = normalizer(&status);
    if (U_FAILURE(status)) {
        return std::string(text);
    }
    std::u16string out(in.size() * 3 + 8, u'\0');
    const int32_t n = unorm2_normalize(form, in.data(), static_cast<int32_t>(in.size()), out.data(),
                                       static_cast<int32_t>(out.size()), &status);
    if (U_FAILURE(status)) {
        return std::string(text);
    }
    out.resize(static_cast<std::size_t>(n));
    return utf16ToUtf8(out);
}

}  // namespace

std::string compatibilityForm(std::string_view text) {
    return normalized(text, unorm2_getNFKCInstance);
}

std::string composedForm(std::string_view text) {
    return normalized(text, unorm2_getNFCInstance);
}

std::string visibleText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t start = i;
        const auto cp = nextCodePoint(text, i);
        char shown[16];
        if (!cp) {
            i = start + 1;
            std::snprintf(shown, sizeof shown, "<%02X>", static_cast<unsigned char>(text[start]));
            out += shown;
        } else if (isControlOrInvisible(*cp)) {
            std::snprintf(shown, sizeof shown, "<U+%04X>", static_cast<unsigned>(*cp));
            out += shown;
        } else {
            out.append(text.substr(start, i - start));
        }
    }
    return out;
}

std::string validUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t start = i;
        if (nextCodePoint(text, i)) {
            out.append(text.substr(start, i - start));
        } else {
            i = start + 1;
            appendUtf8(out, kReplacement);
        }
    }
    return out;
}

}  // namespace orvanta
