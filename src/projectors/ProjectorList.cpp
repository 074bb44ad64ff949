#include "projectors/ProjectorList.h"

#include <algorithm>
#include <cstdio>

#include "platform/ProfileFile.h"

namespace orvanta {

namespace {

constexpr const char* kCountSection = "RESIST NUM";
constexpr const char* kAdaptorSection = "SELECT ADAPTOR";

std::string projectorSection(std::size_t number) {
    return "RESIST PROJECTOR" + std::to_string(number);
}

// The record's keys in the order the file has always had them.
void addRecordEntries(std::vector<ProfileEntry>& entries, std::size_t number,
                      const ProjectorRecord& r) {
    const std::string section = projectorSection(number);
    entries.push_back({section, "NUM", std::to_string(number)});
    entries.push_back({section, "IP", std::to_string(static_cast<std::int32_t>(r.address))});
    entries.push_back({section, "ProjectorName", r.name});
    entries.push_back({section, "MAC", r.mac});
    entries.push_back({section, "Auth", std::to_string(r.authentication)});
    entries.push_back({section, "Pass", r.password});
}

}  // namespace

std::string formatAddress(std::uint32_t address) {
    char text[16];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", address >> 24, (address >> 16) & 0xFFu,
                  (address >> 8) & 0xFFu, address & 0xFFu);
    return text;
}

std::optional<std::uint32_t> parseAddress(std::string_view dotted) {
    std::uint32_t address = 0;
    std::size_t pos = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (pos >= dotted.size() || dotted[pos] != '.') {
                return std::nullopt;
            }
            ++pos;
        }
        std::uint32_t value = 0;
        std::size_t digits = 0;
        while (pos < dotted.size() && dotted[pos] >= '0' && dotted[pos] <= '9' && digits < 4) {
            value = value * 10 + static_cast<std::uint32_t>(dotted[pos] - '0');
            ++pos;
            ++digits;
        }
        if (digits == 0 || digits > 3 || value > 255) {
            return std::nullopt;
        }
        address = address << 8 | value;
    }
    if (pos != dotted.size()) {
        return std::nullopt;
    }
    return address;
}

std::string formatMacAddress(const std::array<std::uint8_t, 6>& mac) {
    char text[18];
    std::snprintf(text, sizeof text, "%02X-%02X-%02X-%02X-%02X-%02X", mac[0], mac[1], mac[2],
                  mac[3], mac[4], mac[5]);
    return text;
}

std::optional<std::size_t> ProjectorList::findAddress(std::uint32_t address) const {
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (records[i].address == address) {
            return i;
        }
    }
    return std::nullopt;
}

std::string registryPath(const std::string& programFolder) {
    return programFolder + kRegistryFileName;
}

ProjectorList loadProjectorList(const std::string& programFolder) {
    // One read of the file serves every value: nothing writes it in between.
    ProfileDocument doc;
    loadProfileDocument(registryPath(programFolder), doc);

    ProjectorList list;
    const std::int32_t declared = doc.readInt(kCountSection, "NUM");
    if (declared <= 0) {
        return list;
    }
    // The count comes from a text file: trust it only as far as memory reasonably goes.
    const std::size_t count = std::min(static_cast<std::size_t>(declared), kMaxLoadedProjectors);
    list.records.reserve(count);
    for (std::size_t i = 1; i <= count; ++i) {
        const std::string section = projectorSection(i);
        ProjectorRecord r;
        r.address = static_cast<std::uint32_t>(doc.readInt(section, "IP"));
        r.name = doc.readString(section, "ProjectorName", "0");
        r.mac = doc.readString(section, "MAC", "0");
        r.authentication = doc.readInt(section, "Auth");
        r.password = doc.readString(section, "Pass", "0");
        list.records.push_back(std::move(r));
    }
    return list;
}

std::string appendProjector(const std::string& programFolder, const ProjectorList& list,
                            const ProjectorRecord& record) {
    const std::size_t n = list.count() + 1;
    std::vector<ProfileEntry> entries{{kCountSection, "NUM", std::to_string(n)}};
    addRecordEntries(entries, n, record);
    return writeProfileStrings(registryPath(programFolder), entries);
}

std::string updateProjectorCredentials(const std::string& programFolder, const ProjectorList& list,
                                       std::size_t row) {
    if (row >= list.count()) {
        return "no projector in row " + std::to_string(row + 1);
    }
    const ProjectorRecord& r = list.records[row];
    const std::string section = projectorSection(row + 1);
    return writeProfileStrings(
        registryPath(programFolder),
        {{section, "Auth", std::to_string(r.authentication)}, {section, "Pass", r.password}});
}

std::string rewriteProjectorList(const std::string& programFolder, const ProjectorList& list) {
    std::vector<ProfileEntry> entries{{kCountSection, "NUM", std::to_string(list.count())}};
    entries.reserve(1 + 6 * list.count());
    for (std::size_t k = 1; k <= list.count(); ++k) {
        addRecordEntries(entries, k, list.records[k - 1]);
    }
    // Built whole and swapped in, so dying half-way never leaves the operator without a list.
    return replaceProfileFile(registryPath(programFolder), entries);
}

std::optional<std::size_t> findSavedAdapter(const std::string& programFolder,
                                            const std::vector<std::string>& adaptorDescriptions) {
    const std::string saved =
        readProfileString(registryPath(programFolder), kAdaptorSection, "ADAPTORNAME", "0");
    for (std::size_t i = 0; i < adaptorDescriptions.size(); ++i) {
        if (adaptorDescriptions[i] == saved) {
            return i;
        }
    }
    return std::nullopt;
}

std::size_t loadAdapterSelection(const std::string& programFolder,
                                 const std::vector<std::string>& adaptorDescriptions) {
    return findSavedAdapter(programFolder, adaptorDescriptions).value_or(0);
}

std::string saveAdapterSelection(const std::string& programFolder, const std::string& dottedAddress,
                                 const std::string& description) {
    return writeProfileStrings(
        registryPath(programFolder),
        {{kAdaptorSection, "IP", dottedAddress}, {kAdaptorSection, "ADAPTORNAME", description}});
}

}  // namespace orvanta
