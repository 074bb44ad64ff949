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
    const Result<RichText, RtfError> first = readRtf(input);
    if (!first) {
        if (first.error().empty()) {
            std::abort();  // a refused document says why
        }
        return 0;
    }
    std::size_t breaks = 0;
    for (const auto& u : first.value().units) {
        breaks += u.ch == u'\r' ? 1 : 0;
    }
    if (splitParagraphs(first.value()).size() != breaks + 1) {
        std::abort();
    }
    const Result<RichText, RtfError> again = readRtf(writeRtf(first.value()));
    if (!again || !(again.value() == first.value())) {
        std::abort();
    }
    return 0;
}
