#pragma once
// Rich text files in the dialect of the Windows rich edit control: what message files are made
// of, and what the editors of the old program left on disk. The writer produces a small,
// conservative subset (one font, a color table, \cf, \highlight, \fs, \par, \uN) that word
// processors open with text and colors intact; the reader takes that subset back and also the
// files the rich edit control itself writes, including Japanese and Chinese ones whose text is
// stored as code page bytes (\ansicpg932, \ansicpg936 and their fonts' \fcharset).

#include <string>
#include <string_view>
#include <vector>

#include "message/RichText.h"
#include "platform/Result.h"

namespace orvanta {

// Why a document was refused.
enum class RtfError {
    NotRtf,     // does not start with "{\rtf"
    Truncated,  // ends inside a group, a control word or binary data
    TooDeep,    // groups nested deeper than kRtfMaxDepth
    Malformed,  // a control word or hexadecimal escape that cannot be read
};

// Short English description for logs and the command-line front end; also the error() text
// of a refused read.
const char* describeRtfError(RtfError error);

inline constexpr int kRtfMaxDepth = 200;

// The colors a character gets when the file gives none, or gives the color table's "auto"
// entry (\cf0 with an empty first entry, \highlight0): the rich edit control shows such text in
// its own default character format, so the caller passes the defaults of the editor the text
// is meant for.
struct RtfDefaults {
    Rgb color = 0xFFFFFF;
    Rgb background = 0xC0C0C0;
};

// The text of the document, or why it was refused (a refused document gives no text at all).
// Paragraph ends are CR. Like the rich edit control, the reader treats a \par that ends the
// document as the document's own final paragraph mark and does not return it, so writing a
// text and reading it back gives the same units.
Result<RichText, RtfError> readRtf(std::string_view rtf, const RtfDefaults& defaults = {});

// Writes `text` with the font "Arial Unicode MS" at `fontHalfPoints` (the rich edit control's
// 176 twips are \fs18). Colors go into the color table, text colors as \cf and backgrounds
// as \highlight and \chcbpat. Every CR becomes \par; the document ends with one more \par, its
// final paragraph mark, which readRtf drops again. Characters outside printable ASCII are written
// as \uN with a '?' fallback.
std::string writeRtf(const RichText& text, int fontHalfPoints = 18);

// The paragraphs of a text without their CR; a text with n CR has n + 1 paragraphs.
std::vector<RichText> splitParagraphs(const RichText& text);

}  // namespace orvanta
