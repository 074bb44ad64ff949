// Arbitrary bytes into the RTF reader. Besides not crashing, whatever it accepts must come back
// unit for unit after the writer wrote it and the reader read it again.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "message/Rtf.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace orvanta;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const RtfReadResult first = readRtf(input);
    if (!first.ok()) {
        if (!first.text.empty()) {
            std::abort();  // a refused document hands back no text
        }
        return 0;
    }
    std::size_t breaks = 0;
    for (const auto& u : first.text.units) {
        breaks += u.ch == u'\r' ? 1 : 0;
    }
    if (splitParagraphs(first.text).size() != breaks + 1) {
        std::abort();
    }
    const RtfReadResult again = readRtf(writeRtf(first.text));
    if (!again.ok() || !(again.text == first.text)) {
        std::abort();
    }
    return 0;
}
