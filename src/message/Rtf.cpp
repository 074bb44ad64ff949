#include "message/Rtf.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <iterator>
#include <map>
#include <optional>

#include "platform/TextCodec.h"

namespace orvanta {

const char* describeRtfError(RtfError error) {
    switch (error) {
        case RtfError::NotRtf:
            return "not a rich text document";
        case RtfError::Truncated:
            return "the document ends too early";
        case RtfError::TooDeep:
            return "groups nested too deeply";
        case RtfError::Malformed:
            return "unreadable control word";
    }
    return "unknown error";
}

namespace {

constexpr size_t kMaxControlWordLetters = 32;

bool isLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// The Windows code page that text in a font of character set `charset` is stored in.
int codePageOfCharset(int charset, int documentCodePage) {
    switch (charset) {
        case 0:  // ANSI
        case 2:  // symbol fonts: their bytes are glyph numbers; Latin-1 is the nearest reading
            return 1252;
        case 77:
            return 10000;
        case 128:
            return 932;
        case 129:
            return 949;
        case 130:
            return 1361;
        case 134:
            return 936;
        case 136:
            return 950;
        case 161:
            return 1253;
        case 162:
            return 1254;
        case 163:
            return 1258;
        case 177:
            return 1255;
        case 178:
            return 1256;
        case 186:
            return 1257;
        case 204:
            return 1251;
        case 222:
            return 874;
        case 238:
            return 1250;
        case 255:
            return 437;
        default:  // 1 (default character set) and anything unknown: the document's code page
            return documentCodePage;
    }
}

// Lead bytes of the double-byte code pages: a lead byte and the byte after it form one
// character and must reach the converter together.
bool isLeadByte(int codePage, unsigned char b) {
    switch (codePage) {
        case 932:
            return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
        case 936:
        case 949:
        case 950:
        case 1361:
            return b >= 0x81 && b <= 0xFE;
        default:
            return false;
    }
}

enum class Destination { Text, Skip, FontTable, ColorTable };

struct GroupState {
    Destination destination = Destination::Text;
    int font = -1;  // -1: the document's default font
    std::optional<Rgb> color;
    std::optional<Rgb> background;
    int unicodeSkip = 1;
};

struct FontInfo {
    int charset = -1;
    int codePage = 0;
};

// Destinations whose content is not text of the document.
bool isIgnoredDestination(std::string_view word) {
    static constexpr std::string_view kWords[] = {
        "author",    "atnauthor", "atnid",      "annotation",   "atrfend",
        "atrfstart", "bkmkend",   "bkmkstart",  "buptim",       "colorschememapping",
        "comment",   "company",   "creatim",    "datastore",    "doccomm",
        "docvar",    "fldinst",   "filetbl",    "footer",       "footerf",
        "footerl",   "footerr",   "footnote",   "ftncn",        "ftnsep",
        "ftnsepc",   "generator", "header",     "headerf",      "headerl",
        "headerr",   "info",      "keywords",   "latentstyles", "listoverridetable",
        "listtable", "listtext",  "nonshppict", "object",       "objdata",
        "operator",  "pgdsctbl",  "pict",       "pn",           "pntext",
        "pntxta",    "pntxtb",    "printim",    "revtbl",       "revtim",
        "rsidtbl",   "rxe",       "shp",        "shppict",      "stylesheet",
        "subject",   "tc",        "template",   "themedata",    "title",
        "upr",       "xmlnstbl",
    };
    return std::find(std::begin(kWords), std::end(kWords), word) != std::end(kWords);
}

// Control words that stand for one character.
std::optional<char16_t> characterWord(std::string_view word) {
    struct Entry {
        std::string_view word;
        char16_t ch;
    };
    static constexpr Entry kWords[] = {
        {"tab", u'\t'},        {"cell", u'\t'},     {"emdash", 0x2014},  {"endash", 0x2013},
        {"bullet", 0x2022},    {"lquote", 0x2018},  {"rquote", 0x2019},  {"ldblquote", 0x201C},
        {"rdblquote", 0x201D}, {"emspace", 0x2003}, {"enspace", 0x2002}, {"qmspace", 0x2005},
        {"zwj", 0x200D},       {"zwnj", 0x200C},    {"ltrmark", 0x200E}, {"rtlmark", 0x200F},
        {"zwbo", 0x200B},
    };
    for (const auto& e : kWords) {
        if (e.word == word) {
            return e.ch;
        }
    }
    return std::nullopt;
}

// Control words that end a paragraph. The projector knows only paragraph ends, so a forced
// line break inside a paragraph becomes one as well.
bool isParagraphWord(std::string_view word) {
    return word == "par" || word == "line" || word == "sect" || word == "page" || word == "row";
}

class Reader {
  public:
    Reader(std::string_view in, const RtfDefaults& defaults) : in_(in), defaults_(defaults) {}

    Result<RichText, RtfError> run() {
        if (const std::optional<RtfError> error = parse()) {
            return fail(*error, describeRtfError(*error));
        }
        if (lastParagraphEnd_ != 0 && text_.size() == lastParagraphEnd_) {
            text_.units.pop_back();
        }
        return std::move(text_);
    }

  private:
    std::optional<RtfError> parse() {
        while (pos_ < in_.size() &&
               (in_[pos_] == ' ' || in_[pos_] == '\t' || in_[pos_] == '\r' || in_[pos_] == '\n')) {
            ++pos_;
        }
        if (in_.substr(pos_, 5) != "{\\rtf") {
            return RtfError::NotRtf;
        }
        while (pos_ < in_.size()) {
            const char c = in_[pos_];
            if (c == '{') {
                flush();
                skipCount_ = 0;
                if (stack_.size() >= static_cast<size_t>(kRtfMaxDepth)) {
                    return RtfError::TooDeep;
                }
                stack_.push_back(stack_.empty() ? GroupState{} : stack_.back());
                ++pos_;
            } else if (c == '}') {
                flush();
                skipCount_ = 0;
                ++pos_;
                stack_.pop_back();
                if (stack_.empty()) {
                    return std::nullopt;  // whatever follows the document is not part of it
                }
            } else if (c == '\\') {
                if (const std::optional<RtfError> error = control()) {
                    return error;
                }
            } else {
                ++pos_;
                if (c == '\r' || c == '\n') {
                    continue;  // line breaks of the file carry no meaning
                }
                if (skipCount_ > 0) {
                    --skipCount_;
                    continue;
                }
                textByte(static_cast<unsigned char>(c));
            }
        }
        return RtfError::Truncated;
    }

    GroupState& state() { return stack_.back(); }

    std::optional<RtfError> control() {
        ++pos_;  // the backslash
        if (pos_ >= in_.size()) {
            return RtfError::Truncated;
        }
        const char c = in_[pos_];
        if (isLetter(c)) {
            const size_t start = pos_;
            while (pos_ < in_.size() && isLetter(in_[pos_])) {
                ++pos_;
            }
            if (pos_ - start > kMaxControlWordLetters) {
                return RtfError::Malformed;
            }
            const std::string_view word = in_.substr(start, pos_ - start);
            bool hasParameter = false;
            long long value = 0;
            bool negative = false;
            if (pos_ + 1 < in_.size() && in_[pos_] == '-' && isDigit(in_[pos_ + 1])) {
                negative = true;
                ++pos_;
            }
            while (pos_ < in_.size() && isDigit(in_[pos_])) {
                hasParameter = true;
                // Saturate: parameters beyond the 32-bit range mean nothing to any reader.
                value = std::min<long long>(value * 10 + (in_[pos_] - '0'), 1LL << 32);
                ++pos_;
            }
            if (pos_ < in_.size() && in_[pos_] == ' ') {
                ++pos_;  // the delimiter belongs to the control word
            }
            value = std::clamp<long long>(negative ? -value : value, INT32_MIN, INT32_MAX);
            return controlWord(word, hasParameter, static_cast<int>(value));
        }
        if (c == '\'') {
            if (pos_ + 2 >= in_.size()) {
                return RtfError::Truncated;
            }
            const int hi = hexDigitValue(in_[pos_ + 1]);
            const int lo = hexDigitValue(in_[pos_ + 2]);
            if (hi < 0 || lo < 0) {
                return RtfError::Malformed;
            }
            pos_ += 3;
            if (skipCount_ > 0) {
                --skipCount_;
                return std::nullopt;
            }
            textByte(static_cast<unsigned char>(hi * 16 + lo));
            return std::nullopt;
        }
        ++pos_;
        if (skipCount_ > 0) {
            --skipCount_;
            return std::nullopt;
        }
        switch (c) {
            case '\\':
            case '{':
            case '}':
                textByte(static_cast<unsigned char>(c));
                break;
            case '*':
                state().destination = Destination::Skip;
                break;
            case '~':
                character(0x00A0);
                break;
            case '_':
                character(0x2011);
                break;
            case '\r':
            case '\n':
                paragraphEnd();
                break;
            default:  // \- (optional hyphen, invisible unless a line breaks there), \|, \: ...
                break;
        }
        return std::nullopt;
    }

    std::optional<RtfError> controlWord(std::string_view word, bool hasParameter, int value) {
        if (word == "bin") {
            // Binary data of the given length follows; it is never text.
            const size_t n = hasParameter && value > 0 ? static_cast<size_t>(value) : 0;
            if (n > in_.size() - pos_) {
                return RtfError::Truncated;
            }
            pos_ += n;
            if (skipCount_ > 0) {
                --skipCount_;
            }
            return std::nullopt;
        }
        if (skipCount_ > 0) {
            --skipCount_;
            return std::nullopt;
        }
        flush();
        GroupState& s = state();
        if (isIgnoredDestination(word)) {
            s.destination = Destination::Skip;
            return std::nullopt;
        }
        if (word == "fonttbl") {
            s.destination = Destination::FontTable;
            return std::nullopt;
        }
        if (word == "colortbl") {
            s.destination = Destination::ColorTable;
            colors_.clear();
            entry_ = {};
            entrySet_ = false;
            return std::nullopt;
        }
        switch (s.destination) {
            case Destination::Skip:
                return std::nullopt;
            case Destination::FontTable:
                if (word == "f") {
                    tableFont_ = value;
                } else if (word == "fcharset") {
                    fonts_[tableFont_].charset = value;
                } else if (word == "cpg") {
                    fonts_[tableFont_].codePage = value;
                }
                return std::nullopt;
            case Destination::ColorTable:
                if (word == "red" || word == "green" || word == "blue") {
                    const int shift = word == "red" ? 16 : word == "green" ? 8 : 0;
                    const auto component = static_cast<Rgb>(std::clamp(value, 0, 255));
                    entry_ = (entry_ & ~(Rgb{0xFF} << shift)) | (component << shift);
                    entrySet_ = true;
                }
                return std::nullopt;
            case Destination::Text:
                break;
        }
        if (word == "ansi") {
            documentCodePage_ = 1252;
        } else if (word == "mac") {
            documentCodePage_ = 10000;
        } else if (word == "pc") {
            documentCodePage_ = 437;
        } else if (word == "pca") {
            documentCodePage_ = 850;
        } else if (word == "ansicpg") {
            if (hasParameter && value > 0) {
                documentCodePage_ = value;
            }
        } else if (word == "deff") {
            defaultFont_ = value;
        } else if (word == "f") {
            s.font = value;
        } else if (word == "cf") {
            s.color = tableColor(value);
        } else if (word == "highlight" || word == "cb" || word == "chcbpat") {
            s.background = tableColor(value);
        } else if (word == "plain") {
            s.color.reset();
            s.background.reset();
            s.font = -1;
        } else if (word == "uc") {
            s.unicodeSkip = hasParameter ? std::max(value, 0) : 1;
        } else if (word == "u") {
            // Signed 16-bit in the file: negative values stand for units above 0x7FFF.
            const long long unit = value < 0 ? value + 65536LL : value;
            character(static_cast<char16_t>(unit & 0xFFFF));
            skipCount_ = s.unicodeSkip;
        } else if (isParagraphWord(word)) {
            paragraphEnd();
        } else if (auto ch = characterWord(word)) {
            character(*ch);
        }
        return std::nullopt;
    }

    std::optional<Rgb> tableColor(int index) const {
        if (index < 0 || static_cast<size_t>(index) >= colors_.size()) {
            return std::nullopt;
        }
        return colors_[static_cast<size_t>(index)];
    }

    int codePage() const {
        const GroupState& s = stack_.back();
        const int font = s.font < 0 ? defaultFont_ : s.font;
        auto it = fonts_.find(font);
        if (it == fonts_.end()) {
            return documentCodePage_;
        }
        if (it->second.codePage > 0) {
            return it->second.codePage;
        }
        return it->second.charset < 0 ? documentCodePage_
                                      : codePageOfCharset(it->second.charset, documentCodePage_);
    }

    // A byte of text: ASCII stands for itself, anything else is in the font's code page and is
    // collected until the run ends, so that double-byte characters convert as pairs (the trail
    // byte of such a pair may be an ordinary ASCII character or an escaped \\ \{ \}).
    void textByte(unsigned char b) {
        GroupState& s = state();
        if (s.destination == Destination::ColorTable) {
            if (b == ';') {
                colors_.push_back(entrySet_ ? std::optional<Rgb>(entry_) : std::nullopt);
                entry_ = 0;
                entrySet_ = false;
            }
            return;
        }
        if (s.destination != Destination::Text) {
            return;
        }
        if (leadPending_) {
            pending_.push_back(static_cast<char>(b));
            leadPending_ = false;
            return;
        }
        if (b >= 0x80) {
            pending_.push_back(static_cast<char>(b));
            leadPending_ = isLeadByte(codePage(), b);
            return;
        }
        flush();
        if (b >= 0x20 || b == '\t') {
            emit(static_cast<char16_t>(b));
        }
    }

    void flush() {
        if (pending_.empty()) {
            return;
        }
        std::u16string units;
        converters_.decode(codePage(), pending_, units);
        pending_.clear();
        leadPending_ = false;
        for (char16_t u : units) {
            emit(u);
        }
    }

    void character(char16_t ch) {
        flush();
        if (state().destination == Destination::Text) {
            emit(ch);
        }
    }

    void paragraphEnd() {
        flush();
        if (state().destination == Destination::Text) {
            emit(u'\r');
            lastParagraphEnd_ = text_.size();
        }
    }

    void emit(char16_t ch) {
        const GroupState& s = stack_.back();
        text_.units.push_back(
            {ch, s.color.value_or(defaults_.color), s.background.value_or(defaults_.background)});
    }

    std::string_view in_;
    RtfDefaults defaults_;
    size_t pos_ = 0;
    std::vector<GroupState> stack_;
    RichText text_;
    size_t lastParagraphEnd_ = 0;
    int skipCount_ = 0;  // fallback characters still to skip after \uN

    int documentCodePage_ = 1252;
    int defaultFont_ = 0;
    std::map<int, FontInfo> fonts_;
    int tableFont_ = 0;
    std::vector<std::optional<Rgb>> colors_;
    Rgb entry_ = 0;
    bool entrySet_ = false;

    std::string pending_;
    bool leadPending_ = false;
    CodePageDecoder converters_;
};

void appendNumber(std::string& out, long long n) {
    out += std::to_string(n);
}

}  // namespace

Result<RichText, RtfError> readRtf(std::string_view rtf, const RtfDefaults& defaults) {
    return Reader(rtf, defaults).run();
}

std::string writeRtf(const RichText& text, int fontHalfPoints) {
    std::map<Rgb, int> index;
    std::vector<Rgb> table;
    for (const auto& u : text.units) {
        for (Rgb c : {u.color, u.background}) {
            if (index.emplace(c, static_cast<int>(table.size()) + 1).second) {
                table.push_back(c);
            }
        }
    }

    std::string out;
    out.reserve(200 + text.size() * 2);
    out +=
        "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fnil\\fcharset0 Arial Unicode MS;}}\n";
    out += "{\\colortbl ;";
    for (Rgb c : table) {
        out += "\\red";
        appendNumber(out, (c >> 16) & 0xFF);
        out += "\\green";
        appendNumber(out, (c >> 8) & 0xFF);
        out += "\\blue";
        appendNumber(out, c & 0xFF);
        out += ';';
    }
    out += "}\n\\viewkind4\\uc1\\pard\\f0\\fs";
    appendNumber(out, std::clamp(fontHalfPoints, 1, 3276));
    bool needDelimiter = true;  // a plain character after a control word needs a space first

    std::optional<Rgb> color;
    std::optional<Rgb> background;
    for (const auto& u : text.units) {
        if (color != u.color || background != u.background) {
            out += "\\cf";
            appendNumber(out, index[u.color]);
            // \highlight is what the rich edit control reads; \chcbpat is the same color as
            // character shading, which word processors keep where they drop highlighting
            // (an HTML export, for one).
            out += "\\highlight";
            appendNumber(out, index[u.background]);
            out += "\\chcbpat";
            appendNumber(out, index[u.background]);
            color = u.color;
            background = u.background;
            needDelimiter = true;
        }
        const char16_t ch = u.ch;
        if (ch == u'\r') {
            out += "\\par\n";
            needDelimiter = false;
        } else if (ch == u'\t') {
            out += "\\tab";
            needDelimiter = true;
        } else if (ch == u'\\' || ch == u'{' || ch == u'}') {
            out += '\\';
            out += static_cast<char>(ch);
            needDelimiter = false;
        } else if (ch >= 0x20 && ch < 0x7F) {
            if (needDelimiter) {
                out += ' ';
            }
            out += static_cast<char>(ch);
            needDelimiter = false;
        } else {
            out += "\\u";
            appendNumber(out, static_cast<std::int16_t>(ch));
            out += '?';
            needDelimiter = false;
        }
    }
    out += "\\par\n}\n";
    return out;
}

std::vector<RichText> splitParagraphs(const RichText& text) {
    std::vector<RichText> paragraphs(1);
    for (const auto& u : text.units) {
        if (u.ch == u'\r') {
            paragraphs.emplace_back();
        } else {
            paragraphs.back().units.push_back(u);
        }
    }
    return paragraphs;
}

}  // namespace orvanta
