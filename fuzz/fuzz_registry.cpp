// Arbitrary bytes as LastPj.txt. Besides not crashing or allocating without bound, a list
// read from them must read back the same after it was written out again (as far as its
// values can stand on one line).

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/ProfileFile.h"
#include "projectors/ProjectorRegistry.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace orvanta;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const ProjectorRegistry registry = parseRegistry(input);
    if (registry.count() > kMaxLoadedProjectors) {
        std::abort();
    }
    // Written as the program rewrites the file: with its byte order mark and line endings.
    ProfileDocument doc = ProfileDocument::parse(input).blankLike();
    bool writable = true;
    doc.write("RESIST NUM", "NUM", std::to_string(registry.count()));
    for (std::size_t k = 1; k <= registry.count(); ++k) {
        const ProjectorRecord& r = registry.records[k - 1];
        for (const std::string* value : {&r.name, &r.mac, &r.password}) {
            writable = writable &&
                       value->find_first_of(std::string_view("\0\r\n", 3)) == std::string::npos;
        }
        const std::string section = "RESIST PROJECTOR" + std::to_string(k);
        doc.write(section, "IP", std::to_string(static_cast<std::int32_t>(r.address)));
        doc.write(section, "ProjectorName", r.name);
        doc.write(section, "MAC", r.mac);
        doc.write(section, "Auth", std::to_string(r.authentication));
        doc.write(section, "Pass", r.password);
    }
    if (writable && !(parseRegistry(doc.serialize()).records == registry.records)) {
        std::abort();
    }
    return 0;
}
