#pragma once
// Conversions between the encodings the program meets: UTF-8 (our files, the terminal,
// the language table), UTF-16 (rich text and projector text) and Windows-1252 (old files).

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace orvanta {

// Invalid UTF-8 sequences become U+FFFD; code points above U+FFFF become surrogate pairs.
std::u16string utf8ToUtf16(std::string_view text);
// Unpaired surrogates become U+FFFD.
std::string utf16ToUtf8(std::u16string_view text);
// Strict decoding: nothing when the bytes are not well-formed UTF-8.
std::optional<std::u16string> decodeUtf8Strict(std::string_view bytes);
// Windows-1252, byte by byte (the five undefined bytes map to their C1 controls).
std::u16string decodeWindows1252(std::string_view bytes);

// Characters that change how the text around them shows, or show as nothing: C0 and C1
// controls and DEL, line and paragraph separators, zero-width characters and joiners, the
// marks, embeddings, overrides and isolates of bidirectional text, the byte order mark and
// the other format characters of that kind.
bool isControlOrInvisible(char32_t c);
// Unicode normalisation of UTF-8 text: canonical composition (NFC), and compatibility
// composition (NFKC), under which names that look the same compare equal.
std::string composedForm(std::string_view text);
std::string compatibilityForm(std::string_view text);
// `text` for a terminal or a one-line field: each such character shown as <U+XXXX>, each
// byte that is not part of well-formed UTF-8 as <XX>. What comes from a projector or a file
// can then neither move the cursor, set the title, forge a line nor reorder what follows.
std::string visibleText(std::string_view text);
// Well-formed UTF-8: every byte that is not part of a well-formed sequence becomes U+FFFD.
std::string validUtf8(std::string_view text);
// Text in a Windows code page (932 Japanese, 936 Simplified Chinese, 1252 Western European,
// ...) to UTF-16. Converters are opened on first use and closed with the decoder; one decoder
// is used by one thread at a time.
class CodePageDecoder {
  public:
    CodePageDecoder() = default;
    CodePageDecoder(const CodePageDecoder&) = delete;
    CodePageDecoder& operator=(const CodePageDecoder&) = delete;
    ~CodePageDecoder();

    // Appends the UTF-16 units of `bytes`; bytes that do not convert give U+FFFD, and a code
    // page the system cannot convert is read as Windows-1252.
    void decode(int codePage, std::string_view bytes, std::u16string& out);

  private:
    void* converter(int codePage);
    std::map<int, void*> open_;  // iconv descriptors by code page
};

// The same for one text.
std::u16string decodeCodePage(int codePage, std::string_view bytes);

// Value of one hexadecimal digit (either letter case), -1 for any other character.
constexpr int hexDigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

}  // namespace orvanta
