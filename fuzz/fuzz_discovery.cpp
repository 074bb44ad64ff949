// Arbitrary bytes as a datagram on the discovery answer port. Every record the scan hands on
// starts with 0x01 and is a whole 88 bytes taken from the datagram; decoding one never fails
// on its content except for the "DeviceAnswer" check, and its texts are well-formed.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "projectors/Discovery.h"

namespace {

bool validUtf8(const std::string& s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        const std::size_t length = c < 0x80           ? 1
                                   : (c >> 5) == 0x6  ? 2
                                   : (c >> 4) == 0xE  ? 3
                                   : (c >> 3) == 0x1E ? 4
                                                      : 0;
        if (length == 0 || i + length > s.size()) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(s[i + k]) >> 6) != 0x2) {
                return false;
            }
        }
        i += length;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace orvanta;
    // The receive takes at most this much of a datagram.
    const std::span<const std::uint8_t> datagram(data, std::min(size, kMaxAnswerDatagram));
    const std::vector<AnswerRecord> records = scanAnswerDatagram(datagram);
    if (records.size() * kAnswerRecordSize > datagram.size()) {
        std::abort();
    }
    for (const AnswerRecord& record : records) {
        if (record[0] != 0x01) {
            std::abort();
        }
        const std::optional<DiscoveredProjector> answer = decodeAnswerRecord(record);
        if (!answer) {
            continue;
        }
        if (answer->mac.size() != 17 || !validUtf8(answer->name) || answer->name.size() > 64 * 3) {
            std::abort();
        }
    }
    return 0;
}
