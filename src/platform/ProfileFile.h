#pragma once
// Sections-and-keys text files ("profile files") read and written with the rules the projector
// registry has always been kept under:
//  - section and key names are compared without regard to (ASCII) letter case; the first
//    section of a name and the first key of a name in it are the ones that count;
//  - key and value are the text before and after the first '=' of a line, both trimmed;
//    lines without '=' and lines before the first section header carry no value;
//  - a value is read with a default into room for a given number of characters (UTF-16
//    units, the terminator included), so longer values come back cut;
//  - writing one value creates the file, the section (appended at the end) or the key
//    (after the section's last line) as needed and keeps every other line byte for byte;
//  - files in UTF-8 (with or without byte order mark), UTF-16 (with byte order mark, or
//    without one when the text holds zero bytes) and
//    Windows-1252 (any file that is not valid UTF-8) are read; UTF-8 is written, with the
//    byte order mark kept when the file had one; each line keeps its own line ending and
//    new lines take the style of the file's first line (LF in a new file).
// Every write replaces the file atomically, so a crash leaves either the old or the new file.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/Result.h"

namespace orvanta {

// Larger files are no profile files of ours (a full registry is a few hundred kilobytes).
inline constexpr std::size_t kMaxProfileFileBytes = 4u << 20;

// Room of the value buffer the registry reads into: at most 254 characters come back.
inline constexpr std::size_t kProfileValueRoom = 255;

// The integer at the start of a text: optional blanks, an optional sign, then decimal digits,
// taken modulo 2^32 (so "3232235530" and "-1062731766" give the same 32 bits). No digits
// gives 0: "12abc" is 12, "abc" is 0, "-5" is -5.
std::int32_t parseProfileInteger(std::string_view text);

// One write of a batch.
struct ProfileEntry {
    std::string section;
    std::string key;
    std::string value;
};

// A profile file held in memory. Lines are kept as they were read so that a write changes
// only the line it has to.
class ProfileDocument {
  public:
    // Decodes the bytes of a file (see the encodings above). Never fails.
    static ProfileDocument parse(std::string_view bytes);

    // The trimmed value of section/key, or nothing when the section or key is missing.
    std::optional<std::string> find(std::string_view section, std::string_view key) const;
    // The value (or `fallback` when missing) cut to room-1 UTF-16 units.
    std::string readString(std::string_view section, std::string_view key,
                           std::string_view fallback, std::size_t room = kProfileValueRoom) const;
    // parseProfileInteger of readString (so a missing key with fallback "0" gives 0).
    std::int32_t readInt(std::string_view section, std::string_view key,
                         std::string_view fallback = "0") const;

    // Sets section/key to value. Line breaks in section, key or value become spaces and a
    // NUL ends the text, so a value can never add lines of its own to the file.
    void write(std::string_view section, std::string_view key, std::string_view value);

    bool hasSection(std::string_view section) const;
    // An empty document that will be written with this one's line endings and byte order mark.
    ProfileDocument blankLike() const;
    // The UTF-8 bytes of the file.
    std::string serialize() const;

  private:
    struct Line {
        std::string text;  // without its line ending
        std::string eol;   // "\r\n", "\n" or "" (last line without ending)
    };
    struct Section {
        std::string name;         // trimmed name between the brackets; empty for the preamble
        std::vector<Line> lines;  // the header line first (except for the preamble)
    };

    const Section* findSection(std::string_view name) const;
    void addLine(Section& section, std::size_t at, std::string text);

    std::vector<Section> sections_{Section{}};  // sections_[0]: lines before the first header
    std::unordered_map<std::string, std::size_t> index_;  // folded name -> first such section
    std::string eol_ = "\n";
    bool utf8Bom_ = false;
};

// Reads a file into a document. A missing file gives an empty document; a file that exists
// but cannot be read, is no ordinary file or is larger than kMaxProfileFileBytes fails.
Result<ProfileDocument> loadProfileDocument(const std::string& path);
// Replaces the file by the document's content (a new file is readable by its owner only).
Result<> saveProfileDocument(const std::string& path, const ProfileDocument& document);

// One-value read with a default; a missing or unreadable file reads as empty.
std::string readProfileString(const std::string& path, std::string_view section,
                              std::string_view key, std::string_view fallback,
                              std::size_t room = kProfileValueRoom);
std::int32_t readProfileInt(const std::string& path, std::string_view section, std::string_view key,
                            std::string_view fallback = "0");

// On failure of any function below the file is as it was.
Result<> writeProfileString(const std::string& path, std::string_view section, std::string_view key,
                            std::string_view value);
// The same as writing the entries one after the other, in one replacement of the file.
Result<> writeProfileStrings(const std::string& path, const std::vector<ProfileEntry>& entries);
// The same as deleting the file and then writing the entries one after the other, except
// that the old file stays in place until the new one is complete.
Result<> replaceProfileFile(const std::string& path, const std::vector<ProfileEntry>& entries);
// Removes the file; a file that is already missing counts as removed.
Result<> deleteProfileFile(const std::string& path);

}  // namespace orvanta
