// Arbitrary bytes as a template file, and as the draws that build a random template and its
// values: a file the reader accepts must write out and read back to the same template, and a
// filled template must hold exactly its values, in the colors of their placeholders, and
// decode again once encoded.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "support/TemplateFillCheck.h"
#include "templates/Template.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace orvanta;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    if (auto read = parseTemplateFile("Fuzz", input)) {
        const auto again = parseTemplateFile("Fuzz", composeTemplateFile(read.value()));
        if (!again || !(again.value() == read.value())) {
            std::abort();
        }
    }
    std::size_t at = 0;
    const testing::Draw draw = [&]() -> std::uint32_t {
        // Past the end of the input every draw is 0: the template simply ends.
        std::uint32_t value = 0;
        for (int i = 0; i < 2 && at < size; ++i) {
            value = value << 8 | data[at++];
        }
        return value;
    };
    if (!testing::checkRandomFill(draw).empty()) {
        std::abort();
    }
    return 0;
}
