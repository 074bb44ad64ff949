#pragma once
// The registered projectors and the adaptor chosen for discovery, kept in the file LastPj.txt
// in the program folder. The file is the reference copy: pages reload the list from it when
// they are shown, and every change is written at once.
//
// Layout (keys in this order):
//   [RESIST NUM]          NUM=<number of projector sections>
//   [RESIST PROJECTOR<k>] NUM=<k> IP=<address as signed 32-bit decimal> ProjectorName=
//                         MAC= Auth=<0|1> Pass=<password, UTF-8>
//   [SELECT ADAPTOR]      IP=<dotted address> ADAPTORNAME=<adaptor description>
// Every value is read with the default "0".

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvanta {

inline constexpr const char* kRegistryFileName = "LastPj.txt";
// The most projectors the operator may register; a file with more is still loaded.
inline constexpr std::size_t kMaxRegisteredProjectors = 64;
// The most records a file can make us load, whatever its count claims.
inline constexpr std::size_t kMaxLoadedProjectors = 4096;

struct ProjectorRecord {
    std::string name;                 // from the discovery answer; empty for manual entries
    std::uint32_t address = 0;        // a.b.c.d as a<<24 | b<<16 | c<<8 | d
    std::int32_t authentication = 0;  // 1: the projector wants the challenge digest
    std::string password;             // plain text, UTF-8
    std::string mac;                  // "XX-XX-XX-XX-XX-XX", or the parts typed by hand

    bool operator==(const ProjectorRecord&) const = default;
};

// "%d.%d.%d.%d", most significant byte first.
std::string formatAddress(std::uint32_t address);
// Four decimal parts 0..255 separated by dots, nothing else; nothing when malformed.
std::optional<std::uint32_t> parseAddress(std::string_view dotted);
// "%02X-%02X-%02X-%02X-%02X-%02X".
std::string formatMacAddress(const std::array<std::uint8_t, 6>& mac);

// Ordered like the file's sections and the rows of the registered list: row r is section r+1.
struct ProjectorList {
    std::vector<ProjectorRecord> records;

    std::size_t count() const { return records.size(); }
    // The row of the first record with this address, if any.
    std::optional<std::size_t> findAddress(std::uint32_t address) const;
};

// programFolder + "LastPj.txt" (the folder ends with '/').
std::string registryPath(const std::string& programFolder);

// The file's projectors. A missing file gives an empty list; a section the count names but
// the file lacks gives address 0, name "0", MAC "0", flag 0, password "0". A negative count
// loads nothing and one above kMaxLoadedProjectors loads that many.
ProjectorList loadProjectorList(const std::string& programFolder);

// The write operations return an empty string on success, else what went wrong (the file is
// then as it was). Callers in the user interface ignore failures.

// Writes `record` as section list.count()+1 and sets the count to that; the caller checks the
// limit and the address beforehand and reloads the list afterwards.
std::string appendProjector(const std::string& programFolder, const ProjectorList& list,
                            const ProjectorRecord& record);
// Writes only Auth and Pass of section row+1 from list.records[row].
std::string updateProjectorCredentials(const std::string& programFolder, const ProjectorList& list,
                                       std::size_t row);
// Replaces the file by the list alone; the adaptor selection is dropped until the next
// saveAdapterSelection. The old file stays in place until the new one is complete.
std::string rewriteProjectorList(const std::string& programFolder, const ProjectorList& list);

// The position of the first description equal to the saved ADAPTORNAME, if any.
std::optional<std::size_t> findSavedAdapter(const std::string& programFolder,
                                            const std::vector<std::string>& adaptorDescriptions);
// The same, 0 when no description matches.
std::size_t loadAdapterSelection(const std::string& programFolder,
                                 const std::vector<std::string>& adaptorDescriptions);
std::string saveAdapterSelection(const std::string& programFolder, const std::string& dottedAddress,
                                 const std::string& description);

}  // namespace orvanta
