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

#include "platform/Result.h"

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
struct ProjectorRegistry {
    std::vector<ProjectorRecord> records;

    std::size_t count() const { return records.size(); }
    // The row of the first record with this address, if any.
    std::optional<std::size_t> findAddress(std::uint32_t address) const;
};

// programFolder + "LastPj.txt" (the folder ends with '/').
std::string registryPath(const std::string& programFolder);

// Why a read or change of the registry failed; the error text says it in the interface
// language.
enum class RegistryProblem {
    Unreadable,     // the file exists but cannot be read (or is no ordinary file)
    Busy,           // another program kept the registry locked too long
    WriteFailed,    // the new file could not be written; the old one is as it was
    Full,           // kMaxRegisteredProjectors are registered already
    SameAddress,    // the address is registered already
    NotRegistered,  // no projector has the address
};
using RegistryResult = Result<void, RegistryProblem>;

// How long a change waits for another program's change to end before it gives up.
inline constexpr int kRegistryLockPatienceMs = 5000;

// The file's projectors. A missing file gives an empty list; a section the count names but
// the file lacks gives address 0, name "0", MAC "0", flag 0, password "0". A negative count
// loads nothing and one above kMaxLoadedProjectors loads that many. A file that cannot be
// read gives Unreadable.
Result<ProjectorRegistry, RegistryProblem> readRegistry(const std::string& programFolder);
// The projectors of a registry file's bytes, read as readRegistry reads the file.
ProjectorRegistry parseRegistry(std::string_view bytes);
// readRegistry for callers that show an unreadable file as an empty list.
ProjectorRegistry loadRegistry(const std::string& programFolder);

// The changes. Each one takes the registry lock that every program of ours shares, reads the
// file again inside it and writes the result before it lets go, so changes made at the same
// time by the desktop program and the command line all arrive. On failure the file is as it
// was.

// Appends `record` as a section of its own (the rest of the file stays as it is), unless the
// registry is full or holds the address already.
RegistryResult registerProjector(const std::string& programFolder, const ProjectorRecord& record);
// Removes the projector with this address; the adaptor selection is kept. `row` names the entry
// the operator chose where a hand-edited file holds the address twice; it counts only while
// that entry still has the address, else the first entry with it is meant.
RegistryResult unregisterProjector(const std::string& programFolder, std::uint32_t address,
                                   std::optional<std::size_t> row = std::nullopt);
// Writes only Auth and Pass of the projector with this address (`row` as above).
RegistryResult setProjectorCredentials(const std::string& programFolder, std::uint32_t address,
                                       std::int32_t authentication, const std::string& password,
                                       std::optional<std::size_t> row = std::nullopt);
// Replaces the file by the list alone; the adaptor selection is dropped until the next
// saveAdaptorSelection. The old file stays in place until the new one is complete.
RegistryResult rewriteRegistry(const std::string& programFolder, const ProjectorRegistry& registry);

// The position of the first description equal to the saved ADAPTORNAME, if any.
std::optional<std::size_t> findSavedAdaptor(const std::string& programFolder,
                                            const std::vector<std::string>& adaptorDescriptions);
// The same, 0 when no description matches.
std::size_t loadAdaptorSelection(const std::string& programFolder,
                                 const std::vector<std::string>& adaptorDescriptions);
// Under the registry lock.
RegistryResult saveAdaptorSelection(const std::string& programFolder,
                                    const std::string& dottedAddress,
                                    const std::string& description);

}  // namespace orvanta
