#include "projectors/ProjectorRegistry.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "platform/FileLock.h"
#include "platform/ProfileFile.h"
#include "text/LanguageText.h"

namespace orvanta {

namespace {

// What a change of the registry refuses, if anything.
using Refusal = std::optional<RegistryProblem>;

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

std::optional<std::size_t> ProjectorRegistry::findAddress(std::uint32_t address) const {
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

namespace {

ProjectorRegistry registryFrom(const ProfileDocument& doc) {
    ProjectorRegistry registry;
    const std::int32_t declared = doc.readInt(kCountSection, "NUM");
    if (declared <= 0) {
        return registry;
    }
    // The count comes from a text file: trust it only as far as memory reasonably goes.
    const std::size_t count = std::min(static_cast<std::size_t>(declared), kMaxLoadedProjectors);
    registry.records.reserve(count);
    for (std::size_t i = 1; i <= count; ++i) {
        const std::string section = projectorSection(i);
        ProjectorRecord r;
        r.address = static_cast<std::uint32_t>(doc.readInt(section, "IP"));
        r.name = doc.readString(section, "ProjectorName", "0");
        r.mac = doc.readString(section, "MAC", "0");
        r.authentication = doc.readInt(section, "Auth");
        r.password = doc.readString(section, "Pass", "0");
        registry.records.push_back(std::move(r));
    }
    return registry;
}

// The failure with its text in the interface language.
Failed<RegistryProblem> refusal(RegistryProblem problem, const std::string& detail = {}) {
    std::string text;
    switch (problem) {
        case RegistryProblem::Unreadable:
            text = languageText(Text::RegistryUnreadable);
            break;
        case RegistryProblem::Busy:
            text = languageText(Text::RegistryBusy);
            break;
        case RegistryProblem::WriteFailed:
            text = languageText(Text::RegistryCannotBeWritten);
            break;
        case RegistryProblem::Full:
            text = languageText(Text::RegistrationLimit);
            break;
        case RegistryProblem::SameAddress:
            text = languageText(Text::SameAddressExists);
            break;
        case RegistryProblem::NotRegistered:
            text = languageText(Text::PleaseSelectAProjector);
            break;
    }
    if (!detail.empty()) {
        text += " (" + detail + ")";
    }
    return fail(problem, std::move(text));
}

// Runs `change` on the file's current content with the registry locked. `change` edits the
// document, or returns a refusal; the document is written when it refuses nothing.
template <typename Change>
RegistryResult changeRegistry(const std::string& programFolder, Change change) {
    const std::string path = registryPath(programFolder);
    const auto lock = FileLock::acquire(path, std::chrono::milliseconds(kRegistryLockPatienceMs));
    if (!lock) {
        // A folder we cannot write in is no other program's doing.
        return lock.reason() == LockProblem::Unopenable
                   ? refusal(RegistryProblem::WriteFailed, lock.error())
                   : refusal(RegistryProblem::Busy);
    }
    Result<ProfileDocument> doc = loadProfileDocument(path);
    if (!doc) {
        // Writing would replace what we could not read.
        return refusal(RegistryProblem::Unreadable);
    }
    const ProjectorRegistry registry = registryFrom(doc.value());
    if (const std::optional<RegistryProblem> refused = change(doc.value(), registry)) {
        return refusal(*refused);
    }
    if (Result<> saved = saveProfileDocument(path, doc.value()); !saved) {
        return refusal(RegistryProblem::WriteFailed, saved.error());
    }
    return {};
}

void writeEntries(ProfileDocument& doc, const std::vector<ProfileEntry>& entries) {
    for (const ProfileEntry& e : entries) {
        doc.write(e.section, e.key, e.value);
    }
}

std::vector<ProfileEntry> registryEntries(const ProjectorRegistry& registry) {
    std::vector<ProfileEntry> entries{{kCountSection, "NUM", std::to_string(registry.count())}};
    entries.reserve(1 + 6 * registry.count());
    for (std::size_t k = 1; k <= registry.count(); ++k) {
        addRecordEntries(entries, k, registry.records[k - 1]);
    }
    return entries;
}

}  // namespace

Result<ProjectorRegistry, RegistryProblem> readRegistry(const std::string& programFolder) {
    // One read of the file serves every value.
    Result<ProfileDocument> doc = loadProfileDocument(registryPath(programFolder));
    if (!doc) {
        return refusal(RegistryProblem::Unreadable);
    }
    return registryFrom(doc.value());
}

ProjectorRegistry parseRegistry(std::string_view bytes) {
    return registryFrom(ProfileDocument::parse(bytes));
}

ProjectorRegistry loadRegistry(const std::string& programFolder) {
    return readRegistry(programFolder).valueOr({});
}

RegistryResult registerProjector(const std::string& programFolder, const ProjectorRecord& record) {
    return changeRegistry(
        programFolder, [&](ProfileDocument& doc, const ProjectorRegistry& registry) -> Refusal {
            if (registry.count() >= kMaxRegisteredProjectors) {
                return RegistryProblem::Full;
            }
            if (registry.findAddress(record.address)) {
                return RegistryProblem::SameAddress;
            }
            const std::size_t n = registry.count() + 1;
            std::vector<ProfileEntry> entries{{kCountSection, "NUM", std::to_string(n)}};
            addRecordEntries(entries, n, record);
            writeEntries(doc, entries);
            return std::nullopt;
        });
}

namespace {

// The entry the caller means: the one it names while it still holds the address, else the
// first one with the address.
std::optional<std::size_t> entryOf(const ProjectorRegistry& registry, std::uint32_t address,
                                   std::optional<std::size_t> named) {
    if (named && *named < registry.count() && registry.records[*named].address == address) {
        return named;
    }
    return registry.findAddress(address);
}

}  // namespace

RegistryResult unregisterProjector(const std::string& programFolder, std::uint32_t address,
                                   std::optional<std::size_t> named) {
    return changeRegistry(
        programFolder, [&](ProfileDocument& doc, const ProjectorRegistry& registry) -> Refusal {
            const auto row = entryOf(registry, address, named);
            if (!row) {
                return RegistryProblem::NotRegistered;
            }
            ProjectorRegistry remaining = registry;
            remaining.records.erase(remaining.records.begin() + static_cast<std::ptrdiff_t>(*row));
            ProfileDocument fresh = doc.blankLike();
            writeEntries(fresh, registryEntries(remaining));
            for (const char* key : {"IP", "ADAPTORNAME"}) {
                if (const auto value = doc.find(kAdaptorSection, key)) {
                    fresh.write(kAdaptorSection, key, *value);
                }
            }
            doc = std::move(fresh);
            return std::nullopt;
        });
}

RegistryResult setProjectorCredentials(const std::string& programFolder, std::uint32_t address,
                                       std::int32_t authentication, const std::string& password,
                                       std::optional<std::size_t> named) {
    return changeRegistry(programFolder,
                          [&](ProfileDocument& doc, const ProjectorRegistry& registry) -> Refusal {
                              const auto row = entryOf(registry, address, named);
                              if (!row) {
                                  return RegistryProblem::NotRegistered;
                              }
                              const std::string section = projectorSection(*row + 1);
                              doc.write(section, "Auth", std::to_string(authentication));
                              doc.write(section, "Pass", password);
                              return std::nullopt;
                          });
}

RegistryResult rewriteRegistry(const std::string& programFolder,
                               const ProjectorRegistry& registry) {
    // Built whole and swapped in, so dying half-way never leaves the operator without a registry.
    return changeRegistry(programFolder,
                          [&](ProfileDocument& doc, const ProjectorRegistry&) -> Refusal {
                              ProfileDocument fresh = doc.blankLike();
                              writeEntries(fresh, registryEntries(registry));
                              doc = std::move(fresh);
                              return std::nullopt;
                          });
}

std::optional<std::size_t> findSavedAdaptor(const std::string& programFolder,
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

std::size_t loadAdaptorSelection(const std::string& programFolder,
                                 const std::vector<std::string>& adaptorDescriptions) {
    return findSavedAdaptor(programFolder, adaptorDescriptions).value_or(0);
}

RegistryResult saveAdaptorSelection(const std::string& programFolder,
                                    const std::string& dottedAddress,
                                    const std::string& description) {
    return changeRegistry(programFolder,
                          [&](ProfileDocument& doc, const ProjectorRegistry&) -> Refusal {
                              doc.write(kAdaptorSection, "IP", dottedAddress);
                              doc.write(kAdaptorSection, "ADAPTORNAME", description);
                              return std::nullopt;
                          });
}

}  // namespace orvanta
