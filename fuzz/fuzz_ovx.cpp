// Arbitrary bytes as a message file and as a text file to import. A file the reader accepts
// must, once saved again, read back to the same title, text and header.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "message/MessageFile.h"
#include "support/ScriptedPrompt.h"

namespace {

using namespace orvanta;

void checkRoundTrip(const Message& opened, bool extendedOptions) {
    EncodeSettings settings;
    settings.purpose = EncodePurpose::Save;
    settings.capabilities.level = extendedOptions ? 4 : 1;
    settings.capabilities.flags = extendedOptions ? 0x7u : 0u;
    ScriptedPrompt prompt(PromptAnswer::Ok);
    Message first = opened;
    const EncodeResult saved = encodeMessage(first, settings, prompt);
    if (!saved || !saved.value().payload) {
        return;  // too long to save: the save command refuses it before writing
    }
    const std::string file =
        composeMessageFile(opened, saved.value().payload->header, extendedOptions);
    const MessageFileResult read = parseMessageFile(file, extendedOptions);
    if (!read) {
        std::abort();
    }
    const Message& back = read.value();
    RichText title = opened.title;
    for (auto& u : title.units) {
        if (u.ch == u'\n') {
            u.ch = u' ';  // the writer keeps the title on one line
        }
    }
    if (!(back.title == title) || !(back.body == opened.body) || back.icon != opened.icon ||
        back.backgroundColor != opened.backgroundColor) {
        std::abort();
    }
    Message second = back;
    const EncodeResult again = encodeMessage(second, settings, prompt);
    if (!again || !again.value().payload) {
        std::abort();
    }
    for (std::size_t i = 0; i < kHeaderBytes; ++i) {
        // Bytes 14 and 15 are the body checksum, which the title's line ends may change.
        if (i != 14 && i != 15 &&
            again.value().payload->header[i] != saved.value().payload->header[i]) {
            std::abort();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    for (bool extendedOptions : {false, true}) {
        const MessageFileResult read = parseMessageFile(input, extendedOptions);
        if (!read) {
            continue;
        }
        checkRoundTrip(read.value(), extendedOptions);
    }
    Message imported;
    importTextFile(input, imported);
    if (imported.body.size() > kTextImportBytes || !imported.title.empty()) {
        std::abort();
    }
    return 0;
}
