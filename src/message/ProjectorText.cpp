#include "message/ProjectorText.h"

#include <algorithm>

#include "message/TextUnits.h"
#include "message/WidthTables.h"
#include "platform/TextCodec.h"
#include "text/LanguageText.h"

namespace orvanta {

namespace {

constexpr int kUnmeasuredLineWidth = 12;

int widthFactor(int characterSize) {
    return characterSize == 1 ? 2 : 1;
}

LineBreakRule encoderRule(int characterSize, bool extendedCharacterSet, bool insertWhenNoSpace) {
    return {lineWidthLimit(characterSize), widthFactor(characterSize), extendedCharacterSet,
            insertWhenNoSpace};
}

int countLines(std::u16string_view text) {
    int lines = 0;
    std::size_t pos = 0;
    while (pos < text.size() && text[pos] != 0) {
        std::size_t q = pos;
        while (q < text.size() && text[q] != 0 && text[q] != kLf && text[q] != kCr &&
               text[q] != kPageFeedMark) {
            ++q;
        }
        ++lines;
        if (q >= text.size() || text[q] == 0) {
            break;
        }
        pos = q + 1;
        if (pos < text.size() && text[q] == kPageFeedMark) {
            // The mark takes the unit after it along: the line end the "Page feed" button puts
            // there, or whatever was typed in its place.
            ++pos;
        }
    }
    return lines;
}

bool isHighSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool isLowSurrogate(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

// Mode of a character color that follows the message background (code 9): half transparent
// for option 0x20, transparent for 0x40, else opaque.
std::uint8_t backgroundMode(std::uint8_t backgroundOption) {
    if ((backgroundOption & 0x40) != 0) {
        return 2;
    }
    return (backgroundOption & 0x20) != 0 ? 1 : 0;
}

}  // namespace

int lineWidthLimit(int characterSize) {
    return characterSize == 1 ? 588 : 614;
}

std::vector<std::size_t> breakProjectorLines(std::u16string& text, std::size_t count,
                                             const LineBreakRule& rule) {
    std::vector<std::size_t> inserted;
    count = std::min(count, text.size());
    int running = 0;
    bool unmeasured = false;
    std::size_t lineStart = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const char16_t c = text[i];
        int w = 0;
        if (!rule.extendedCharacterSet) {
            w = narrowCharacterWidth(c);
        } else if (rule.insertWhenNoSpace) {
            w = wideCharacterWidth(c);
            if (w == kNoWidth) {
                w = kUnmeasuredLineWidth;
            }
        } else {
            w = wideCharacterWidth(c);
            if (w <= 0) {
                // A character the wide font does not know: the projector's line is unknown
                // until the next paragraph or page, so no break is placed there.
                running = 0;
                unmeasured = true;
                w = 0;
            }
        }
        running += w * rule.factor;
        if (c == kCr || c == kFf || (c == kLf && !rule.useSpaces)) {
            running = 0;
            unmeasured = false;
            lineStart = i + 1;
        }
        if (unmeasured || running < rule.limit) {
            continue;
        }
        running = 0;
        // A space of an earlier line is not the place to break this one.
        const std::size_t lowest = std::max<std::size_t>(1, lineStart);
        bool found = false;
        for (std::size_t j = i + 1; rule.useSpaces && j-- > lowest;) {
            if (text[j] == kSpace) {
                text[j] = kLf;
                i = j;  // the walk goes on right after the new line end
                lineStart = j + 1;
                found = true;
                break;
            }
        }
        if (!found && rule.insertWhenNoSpace && i > lineStart) {
            text.insert(text.begin() + static_cast<std::ptrdiff_t>(i), kLf);
            inserted.push_back(i);
            ++count;
            lineStart = i + 1;  // the overflowing unit starts the next line
        }
    }
    return inserted;
}

std::vector<std::size_t> breakProjectorLines(RichText& text, std::size_t count,
                                             const LineBreakRule& rule) {
    std::u16string plain = text.text();
    const std::vector<std::size_t> inserted = breakProjectorLines(plain, count, rule);
    std::vector<RichUnit> out;
    out.reserve(plain.size());
    std::size_t from = 0;  // next unit of the original text
    auto next = inserted.begin();
    for (std::size_t i = 0; i < plain.size(); ++i) {
        if (next != inserted.end() && *next == i) {
            ++next;
            RichUnit lf = from < text.units.size() ? text.units[from] : RichUnit{};
            lf.ch = plain[i];
            out.push_back(lf);
            continue;
        }
        RichUnit u = text.units[from++];
        u.ch = plain[i];
        out.push_back(u);
    }
    text.units = std::move(out);
    return inserted;
}

void dropLineEndsAfterPageMarks(RichText& text) {
    std::vector<RichUnit> kept;
    kept.reserve(text.units.size());
    char16_t previous = 0;
    for (const RichUnit& u : text.units) {
        if (!isLineEndAfterPageMark(previous, u.ch)) {
            kept.push_back(u);
        }
        previous = u.ch;
    }
    text.units = std::move(kept);
}

std::size_t replaceTabs(RichText& text) {
    std::size_t replaced = 0;
    std::vector<RichUnit> out;
    out.reserve(text.units.size());
    for (const RichUnit& u : text.units) {
        if (u.ch == kTab) {
            ++replaced;
            for (int k = 0; k < 4; ++k) {
                out.push_back({kSpace, u.color, u.background});
            }
        } else {
            out.push_back(u);
        }
    }
    if (replaced != 0) {
        text.units = std::move(out);
    }
    return replaced;
}

std::size_t replaceTabs(std::u16string& text) {
    std::size_t replaced = 0;
    std::size_t pos = 0;
    while ((pos = text.find(kTab, pos)) != std::u16string::npos) {
        text.replace(pos, 1, u"    ");
        pos += 4;
        ++replaced;
    }
    return replaced;
}

void breakLines(std::u16string& text, std::size_t count, int characterSize,
                bool extendedCharacterSet) {
    breakProjectorLines(text, count, encoderRule(characterSize, extendedCharacterSet, false));
}

void breakLines(RichText& text, std::size_t count, int characterSize, bool extendedCharacterSet) {
    // The encoder only turns spaces into LF, so the colors stay where they are.
    breakProjectorLines(text, count, encoderRule(characterSize, extendedCharacterSet, false));
}

int countDisplayLines(std::u16string_view text, int characterSize, bool extendedCharacterSet) {
    std::u16string fetched(text.substr(0, std::min(text.size(), kFetchUnits - 1)));
    const std::size_t nul = fetched.find(char16_t{0});
    if (nul != std::u16string::npos) {
        fetched.resize(nul);
    }
    breakProjectorLines(fetched, fetched.size(),
                        encoderRule(characterSize, extendedCharacterSet, true));
    return countLines(fetched);
}

int countDisplayLines(const Message& message, bool extendedCharacterSet) {
    const int size = message.options.characterSize;
    return countDisplayLines(message.title.text(), size, extendedCharacterSet) +
           countDisplayLines(message.body.text(), size, extendedCharacterSet);
}

EscapeColors characterColors(const RichUnit& unit, std::uint8_t backgroundOption,
                             bool characterDisplayMode) {
    EscapeColors e;
    const std::uint8_t followColor = backgroundOption & 0x1F;

    const std::uint8_t fg = colorCodeFromRgb(unit.color);
    if (fg <= kColorWhite) {
        e.fgMode = 0;
        e.fg = fg;
    } else if (fg == kColorHalfTransparent) {
        e.fgMode = 1;
        e.fg = 0;
    } else {
        e.fg = followColor;
        e.fgMode = characterDisplayMode ? 2 : backgroundMode(backgroundOption);
    }

    if (characterDisplayMode) {
        e.bgMode = 2;
        e.bg = 0;
        return e;
    }
    const std::uint8_t bg = colorCodeFromRgb(unit.background);
    if (bg <= kColorWhite) {
        e.bgMode = 0;
        e.bg = bg;
    } else if (bg == kColorHalfTransparent) {
        e.bgMode = 1;
        e.bg = 0;
    } else {
        e.bg = followColor;
        e.bgMode = backgroundMode(backgroundOption);
    }
    return e;
}

bool isSupportedUnit(char16_t unit) {
    if ((unit >= 0x0020 && unit <= 0x007E) || (unit >= 0x00A0 && unit <= 0x00FF)) {
        return true;
    }
    switch (unit) {
        case 0x0000:
        case 0x0009:
        case 0x000A:
        case 0x000C:
        case 0x000D:
        case 0x001B:
        case kPageFeedMark:
        case 0xFFFF:
            return true;
        default:
            return false;
    }
}

UnsupportedCharacters findUnsupported(std::u16string_view text) {
    UnsupportedCharacters found;
    int line = 1;
    for (std::size_t i = 0; i < text.size() && text[i] != 0; ++i) {
        const char16_t c = text[i];
        if (c == kCr || (c == kLf && (i == 0 || text[i - 1] != kCr))) {
            ++line;
            continue;
        }
        if (isSupportedUnit(c)) {
            continue;
        }
        std::u16string shown(1, c);
        found.positions.push_back(i);
        if (isHighSurrogate(c) && i + 1 < text.size() && isLowSurrogate(text[i + 1])) {
            // One character in two units: listed once, both units go when deleting.
            shown.push_back(text[i + 1]);
            found.positions.push_back(++i);
        }
        ++found.count;
        found.listText += formatText(Text::LineNumber, {line});
        found.listText += "[" + utf16ToUtf8(shown) + "]\r\n";
    }
    return found;
}

UnsupportedCharacters findUnsupported(const RichText& text) {
    return findUnsupported(text.text());
}

void deleteUnits(RichText& text, const std::vector<std::size_t>& positions) {
    std::vector<std::size_t> order = positions;
    std::sort(order.begin(), order.end());
    order.erase(std::unique(order.begin(), order.end()), order.end());
    for (auto it = order.rbegin(); it != order.rend(); ++it) {
        if (*it < text.units.size()) {
            text.units.erase(text.units.begin() + static_cast<std::ptrdiff_t>(*it));
        }
    }
}

UnsupportedOutcome resolveUnsupported(RichText& message, Prompt& prompt,
                                      UnsupportedCharacters& found) {
    found = findUnsupported(message);
    if (found.empty()) {
        return UnsupportedOutcome::None;
    }
    const std::string question =
        formatText(Text::UnsupportedCount, {found.count}) + languageText(Text::ExecuteAutoDelete);
    switch (prompt.ask(question, PromptButtons::YesNoCancel, PromptIcon::Information)) {
        case PromptAnswer::Yes:
            deleteUnits(message, found.positions);
            return UnsupportedOutcome::Deleted;
        case PromptAnswer::No:
            return UnsupportedOutcome::ShowList;
        default:
            return UnsupportedOutcome::Cancelled;
    }
}

}  // namespace orvanta
