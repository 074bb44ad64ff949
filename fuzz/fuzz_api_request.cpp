// Arbitrary bytes as the body of every kind of command request: the reader either gives a
// command within its ranges or a 4xx refusal with a text, never anything else.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "service/ApiRequest.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace orvanta::service;
    const std::string_view body(reinterpret_cast<const char*>(data), size);
    for (const ApiVerb verb :
         {ApiVerb::Send, ApiVerb::Show, ApiVerb::Hide, ApiVerb::Clear, ApiVerb::Mute}) {
        const ApiReading reading = readApiCommand(verb, body);
        if (reading.command) {
            const ApiCommand& c = *reading.command;
            const bool sendSource =
                verb != ApiVerb::Send || c.file.empty() != c.templateName.empty();
            if (c.verb != verb || c.slot > 12 || !sendSource ||
                (c.target.kind != ApiTarget::Kind::All && c.target.name.empty())) {
                std::abort();
            }
        } else if (reading.problem.text.empty() || reading.problem.status < 400 ||
                   reading.problem.status > 499) {
            std::abort();
        }
    }
    return 0;
}
