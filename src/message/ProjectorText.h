#pragma once
// From the editor's rich text to what the projector shows: tabs become spaces, lines are broken
// where the projector's font would overflow the screen, each character's colors become the
// four values of a color escape, and characters the narrow font cannot show are found and,
// if the operator wants, removed.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "message/MessageOptions.h"
#include "message/RichText.h"
#include "text/Prompt.h"

namespace orvanta {

// The mark the "Page feed" button inserts; it travels as a page feed.
inline constexpr char16_t kPageFeedMark = 0x25BC;

// The "Page feed" button puts a line end after its mark. The page feed starts the new page by
// itself, so the one CR or LF right after a mark is neither sent nor shown; any other unit
// after a mark is text like any other.
inline bool isLineEndAfterPageMark(char16_t previous, char16_t unit) {
    return previous == kPageFeedMark && (unit == u'\r' || unit == u'\n');
}
// Removes those line ends from `text`: what the encoder writes and the preview draws.
void dropLineEndsAfterPageMarks(RichText& text);
// Units of text fetched from one editor (including the terminating NUL).
inline constexpr std::size_t kFetchUnits = 4500;

// Widest line in pixels: 614 for Standard size, 588 for Double size (whose widths count twice).
int lineWidthLimit(int characterSize);

// Replaces every TAB by four spaces with the tab's colors; returns how many were replaced.
std::size_t replaceTabs(RichText& text);
std::size_t replaceTabs(std::u16string& text);

// What differs between the three users of the line breaking (the encoder, the line count and
// the preview): the widest line in pixels, the size factor of the widths, the width table, and
// whether a line without any space is cut in front of the unit that overflows.
struct LineBreakRule {
    int limit = 614;
    int factor = 1;                     // 2 at Double size
    bool extendedCharacterSet = false;  // width table B instead of table A
    bool insertWhenNoSpace = false;     // cut a word without spaces (the text grows by an LF)
    // False: no space becomes LF, only cuts are made, and an LF already there ends a line too
    // (a second walk that cuts what is still too wide after the encoder's breaks).
    bool useSpaces = true;
};

// The one line-breaking walk, in place over the first `count` units of `text`: where a line
// reaches the limit the last space at or before that point (never the first unit, never before
// the start of the current line) becomes LF. CR and FF start a new line. With table B and no
// cutting, a unit without width stops all breaking until the next CR or FF; with cutting it
// counts 12 pixels. Returns the positions (in the result) of the LF units it inserted.
std::vector<std::size_t> breakProjectorLines(std::u16string& text, std::size_t count,
                                             const LineBreakRule& rule);
// The same over rich text; an inserted LF takes the colors of the unit it stands in front of.
std::vector<std::size_t> breakProjectorLines(RichText& text, std::size_t count,
                                             const LineBreakRule& rule);

// Automatic line breaking of one part, in place, over its first `count` units: where a line
// reaches the width limit the last space at or before that point (never the first unit)
// becomes LF; without a space nothing is inserted. With the wide character set a unit without
// width stops all breaking until the next CR or FF. Only the units change, never the colors.
void breakLines(std::u16string& text, std::size_t count, int characterSize,
                bool extendedCharacterSet);
void breakLines(RichText& text, std::size_t count, int characterSize, bool extendedCharacterSet);

// Estimated number of display lines of one part (its whole text, at most 4499 units): like
// breakLines, but a line without a space is broken in front of the unit that overflows and a
// unit without width in the wide set counts 12 pixels. Lines end at LF, CR and page-feed marks.
int countDisplayLines(std::u16string_view text, int characterSize, bool extendedCharacterSet);
// Title plus message, with the message's character size.
int countDisplayLines(const Message& message, bool extendedCharacterSet);

// The four values of a color escape: mode 0 opaque, 1 half transparent, 2 transparent.
struct EscapeColors {
    std::uint8_t fgMode = 0;
    std::uint8_t fg = 0;
    std::uint8_t bgMode = 0;
    std::uint8_t bg = 0;

    bool operator==(const EscapeColors&) const = default;
};

// Escape values of one character from its RGB colors, the message's `background` option and
// the "Character display mode" switch (transparent message background).
EscapeColors characterColors(const RichUnit& unit, std::uint8_t backgroundOption,
                             bool characterDisplayMode);

// True for the units the narrow character set shows (or that are handled on the way).
bool isSupportedUnit(char16_t unit);

// The characters of a message that the narrow character set cannot show.
struct UnsupportedCharacters {
    std::vector<std::size_t> positions;  // unit indices, ascending (both halves of a pair)
    int count = 0;                       // characters found (a surrogate pair is one)
    std::string listText;                // UTF-8, one "Line n : [c]" line (CR LF) per character

    bool empty() const { return positions.empty(); }
};

// Walks `text` up to its first NUL. Line numbers count paragraphs from 1.
UnsupportedCharacters findUnsupported(const RichText& text);
UnsupportedCharacters findUnsupported(std::u16string_view text);

// Removes the units at `positions` (any order), the last one first.
void deleteUnits(RichText& text, const std::vector<std::size_t>& positions);

// What came of asking the operator about unsupported characters.
enum class UnsupportedOutcome {
    None,       // nothing unsupported was found
    Deleted,    // Yes: the characters were removed from the text
    ShowList,   // No: the caller shows the list dialog (and deletes when it says so)
    Cancelled,  // Cancel: nothing changed
};

// Finds the unsupported characters of `message` and, when there are any, asks the
// Yes/No/Cancel question. `found` receives what was found (positions as before any deletion).
UnsupportedOutcome resolveUnsupported(RichText& message, Prompt& prompt,
                                      UnsupportedCharacters& found);

}  // namespace orvanta
