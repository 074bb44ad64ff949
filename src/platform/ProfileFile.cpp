#include "platform/ProfileFile.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/AtomicFile.h"
#include "platform/TextCodec.h"

namespace orvanta {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && isBlank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

char foldChar(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string fold(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        c = foldChar(c);
    }
    return out;
}

bool equalsFolded(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (foldChar(a[i]) != foldChar(b[i])) {
            return false;
        }
    }
    return true;
}

// What may go into one line of the file: a NUL ends the text (as it would a C string) and
// line breaks become spaces, so nothing written can forge a header or another key.
std::string oneLine(std::string_view s) {
    const auto nul = s.find('\0');
    if (nul != std::string_view::npos) {
        s = s.substr(0, nul);
    }
    std::string out(s);
    for (char& c : out) {
        if (c == '\r' || c == '\n') {
            c = ' ';
        }
    }
    return out;
}

std::string decodeUtf16(std::string_view bytes, bool bigEndian) {
    std::u16string units;
    units.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const auto b0 = static_cast<unsigned char>(bytes[i]);
        const auto b1 = static_cast<unsigned char>(bytes[i + 1]);
        units.push_back(static_cast<char16_t>(bigEndian ? (b0 << 8 | b1) : (b1 << 8 | b0)));
    }
    return utf16ToUtf8(units);
}

// The file's text as UTF-8, and whether it began with a UTF-8 byte order mark.
std::string decodeFile(std::string_view bytes, bool& utf8Bom) {
    utf8Bom = false;
    if (bytes.starts_with("\xFF\xFE")) {
        return decodeUtf16(bytes.substr(2), false);
    }
    if (bytes.starts_with("\xFE\xFF")) {
        return decodeUtf16(bytes.substr(2), true);
    }
    if (bytes.starts_with("\xEF\xBB\xBF")) {
        utf8Bom = true;
        return std::string(bytes.substr(3));
    }
    // Without a byte order mark, UTF-16 shows itself by the zero half of its ASCII
    // characters; a text file in any other encoding holds no zero bytes at all.
    if (bytes.size() >= 2 && bytes.find('\0') != std::string_view::npos) {
        if (bytes[0] != '\0' && bytes[1] == '\0') {
            return decodeUtf16(bytes, false);
        }
        if (bytes[0] == '\0' && bytes[1] != '\0') {
            return decodeUtf16(bytes, true);
        }
    }
    if (decodeUtf8Strict(bytes)) {
        return std::string(bytes);
    }
    return utf16ToUtf8(decodeWindows1252(bytes));
}

// Key and value of a line; nothing when the line has no '='.
struct KeyLine {
    std::string_view key;
    std::string_view value;
    std::size_t valueStart;  // where the value's text begins (after '=' and the blanks after it)
};

std::optional<KeyLine> splitKeyLine(std::string_view line) {
    const auto eq = line.find('=');
    if (eq == std::string_view::npos) {
        return std::nullopt;
    }
    std::size_t start = eq + 1;
    while (start < line.size() && isBlank(line[start])) {
        ++start;
    }
    return KeyLine{trim(line.substr(0, eq)), trim(line.substr(eq + 1)), start};
}

}  // namespace

std::int32_t parseProfileInteger(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    std::uint32_t value = 0;  // unsigned, so that overflow wraps instead of being undefined
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10u + static_cast<std::uint32_t>(text[i] - '0');
    }
    if (negative) {
        value = 0u - value;
    }
    return static_cast<std::int32_t>(value);
}

ProfileDocument ProfileDocument::parse(std::string_view bytes) {
    ProfileDocument doc;
    const std::string text = decodeFile(bytes, doc.utf8Bom_);
    std::size_t pos = 0;
    bool firstLine = true;
    while (pos < text.size()) {
        const auto nl = text.find('\n', pos);
        Line line;
        if (nl == std::string::npos) {
            line.text = text.substr(pos);
            pos = text.size();
        } else {
            std::size_t end = nl;
            line.eol = "\n";
            if (end > pos && text[end - 1] == '\r') {
                --end;
                line.eol = "\r\n";
            }
            line.text = text.substr(pos, end - pos);
            pos = nl + 1;
        }
        if (firstLine && !line.eol.empty()) {
            doc.eol_ = line.eol;
        }
        firstLine = false;

        const std::string_view t = trim(line.text);
        const auto close = t.rfind(']');
        if (!t.empty() && t.front() == '[' && close != std::string_view::npos && close > 0) {
            Section section;
            section.name = std::string(trim(t.substr(1, close - 1)));
            doc.index_.emplace(fold(section.name), doc.sections_.size());
            section.lines.push_back(std::move(line));
            doc.sections_.push_back(std::move(section));
        } else {
            doc.sections_.back().lines.push_back(std::move(line));
        }
    }
    return doc;
}

const ProfileDocument::Section* ProfileDocument::findSection(std::string_view name) const {
    const auto it = index_.find(fold(name));
    return it == index_.end() ? nullptr : &sections_[it->second];
}

bool ProfileDocument::hasSection(std::string_view section) const {
    return findSection(section) != nullptr;
}

std::optional<std::string> ProfileDocument::find(std::string_view section,
                                                 std::string_view key) const {
    const Section* s = findSection(section);
    if (s == nullptr) {
        return std::nullopt;
    }
    for (std::size_t i = 1; i < s->lines.size(); ++i) {
        const auto kl = splitKeyLine(s->lines[i].text);
        if (kl && equalsFolded(kl->key, key)) {
            return std::string(kl->value);
        }
    }
    return std::nullopt;
}

std::string ProfileDocument::readString(std::string_view section, std::string_view key,
                                        std::string_view fallback, std::size_t room) const {
    const auto found = find(section, key);
    std::string value = found ? *found : std::string(fallback);
    if (room == 0) {
        return {};
    }
    const std::size_t limit = room - 1;
    if (value.size() <= limit) {  // never more UTF-16 units than bytes
        return value;
    }
    std::u16string units = utf8ToUtf16(value);
    if (units.size() <= limit) {
        return value;
    }
    units.resize(limit);
    if (!units.empty() && units.back() >= 0xD800 && units.back() <= 0xDBFF) {
        units.pop_back();  // do not keep half of a surrogate pair
    }
    return utf16ToUtf8(units);
}

std::int32_t ProfileDocument::readInt(std::string_view section, std::string_view key,
                                      std::string_view fallback) const {
    return parseProfileInteger(readString(section, key, fallback));
}

void ProfileDocument::addLine(Section& section, std::size_t at, std::string text) {
    // The line before can only lack an ending when it is the last line of the file.
    if (at > 0 && section.lines[at - 1].eol.empty()) {
        section.lines[at - 1].eol = eol_;
    }
    section.lines.insert(section.lines.begin() + static_cast<std::ptrdiff_t>(at),
                         Line{std::move(text), eol_});
}

void ProfileDocument::write(std::string_view sectionName, std::string_view keyName,
                            std::string_view valueText) {
    const std::string name = oneLine(sectionName);
    const std::string key = oneLine(keyName);
    const std::string value = oneLine(valueText);

    const auto it = index_.find(fold(name));
    std::size_t si;
    if (it != index_.end()) {
        si = it->second;
    } else {
        // The new header goes after the last line of the file.
        Section* last = &sections_.back();
        for (auto s = sections_.rbegin(); s != sections_.rend(); ++s) {
            if (!s->lines.empty()) {
                last = &*s;
                break;
            }
        }
        if (!last->lines.empty() && last->lines.back().eol.empty()) {
            last->lines.back().eol = eol_;
        }
        si = sections_.size();
        sections_.push_back(Section{name, {Line{"[" + name + "]", eol_}}});
        index_.emplace(fold(name), si);
    }
    Section& section = sections_[si];

    for (std::size_t i = 1; i < section.lines.size(); ++i) {
        Line& line = section.lines[i];
        const auto kl = splitKeyLine(line.text);
        if (kl && equalsFolded(kl->key, key)) {
            // Keep the key as the file spells it, and the blanks around '='.
            line.text = line.text.substr(0, kl->valueStart) + value;
            return;
        }
    }
    std::size_t at = section.lines.size();
    while (at > 1 && trim(section.lines[at - 1].text).empty()) {
        --at;  // before the blank lines that separate it from the next section
    }
    addLine(section, at, key + "=" + value);
}

std::string ProfileDocument::serialize() const {
    std::string out;
    if (utf8Bom_) {
        out = "\xEF\xBB\xBF";
    }
    for (const Section& s : sections_) {
        for (const Line& line : s.lines) {
            out += line.text;
            out += line.eol;
        }
    }
    return out;
}

ProfileDocument ProfileDocument::blankLike() const {
    ProfileDocument doc;
    doc.eol_ = eol_;
    doc.utf8Bom_ = utf8Bom_;
    return doc;
}

Result<ProfileDocument> loadProfileDocument(const std::string& path) {
    Result<std::string, ReadProblem> bytes = readRegularFile(path, kMaxProfileFileBytes);
    if (bytes) {
        return ProfileDocument::parse(bytes.value());
    }
    if (bytes.reason() == ReadProblem::Missing) {
        return ProfileDocument{};
    }
    // Writing now would replace a file we could not even read by one holding a single key.
    return fail("cannot read " + path);
}

Result<> saveProfileDocument(const std::string& path, const ProfileDocument& document) {
    // Profile files hold passwords or their digests: a new one is private to its owner.
    return writeFileAtomically(path, document.serialize(), 0600);
}

std::string readProfileString(const std::string& path, std::string_view section,
                              std::string_view key, std::string_view fallback, std::size_t room) {
    return loadProfileDocument(path).valueOr({}).readString(section, key, fallback, room);
}

std::int32_t readProfileInt(const std::string& path, std::string_view section, std::string_view key,
                            std::string_view fallback) {
    return parseProfileInteger(readProfileString(path, section, key, fallback));
}

Result<> writeProfileString(const std::string& path, std::string_view section, std::string_view key,
                            std::string_view value) {
    return writeProfileStrings(
        path, {ProfileEntry{std::string(section), std::string(key), std::string(value)}});
}

Result<> writeProfileStrings(const std::string& path, const std::vector<ProfileEntry>& entries) {
    Result<ProfileDocument> doc = loadProfileDocument(path);
    if (!doc) {
        return doc.failure();
    }
    for (const ProfileEntry& e : entries) {
        doc.value().write(e.section, e.key, e.value);
    }
    return saveProfileDocument(path, doc.value());
}

Result<> replaceProfileFile(const std::string& path, const std::vector<ProfileEntry>& entries) {
    // The old file only lends its line ending style and byte order mark.
    ProfileDocument doc = loadProfileDocument(path).valueOr({}).blankLike();
    for (const ProfileEntry& e : entries) {
        doc.write(e.section, e.key, e.value);
    }
    return saveProfileDocument(path, doc);
}

Result<> deleteProfileFile(const std::string& path) {
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
        return fail("cannot delete " + path + ": " + std::strerror(errno));
    }
    return {};
}

}  // namespace orvanta
