// orvanta-cli encode: what a projector of a given firmware level and capability flags would
// receive for a message file, without talking to one.

#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/CliCommands.h"
#include "cli/CliSupport.h"
#include "message/MessageFile.h"
#include "message/Payload.h"
#include "text/LanguageText.h"

namespace orvanta::cli {
namespace {

constexpr const char* kEncodeUsage =
    "usage: orvanta-cli encode FILE [--level N] [--caps N] [--purpose send|save] [--yes]\n"
    "\n"
    "Opens the message file FILE (.ovx, or .txt to import) as the Main tab's Send does and\n"
    "prints its encoding for a projector of firmware level N (default 1) and capability flags\n"
    "N (default 0; decimal or 0x hexadecimal; bit 1 extended options, bit 2 wide characters):\n"
    "  header: the header bytes as the PUT line carries them (32 or 64 hexadecimal digits)\n"
    "  length: the body length in bytes\n"
    "  body: every body byte in hexadecimal\n"
    "With --purpose save the header is the one a saved file keeps (no per-style masking).\n";

// 0..65535, decimal or with 0x in hexadecimal.
std::string hexBytes(const std::vector<std::uint8_t>& bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (std::uint8_t b : bytes) {
        out.push_back(kDigits[b >> 4]);
        out.push_back(kDigits[b & 0x0F]);
    }
    return out;
}

}  // namespace

int runEncodeCommand(const CliContext& context, const std::vector<std::string>& args) {
    ParsedArgs parsed;
    if (const auto status = parseOneFileCommand(
            args, {{"--level", true}, {"--caps", true}, {"--purpose", true}, kYesOption}, "encode",
            kEncodeUsage, parsed)) {
        return *status;
    }
    ProjectorCapabilities capabilities{1, 0};
    if (const std::string bad = readCapabilityOptions(parsed, capabilities); !bad.empty()) {
        return usageError("encode", bad, kEncodeUsage);
    }
    EncodeSettings settings;
    settings.capabilities = capabilities;
    const std::string purpose = parsed.value("--purpose").value_or("send");
    if (purpose == "send") {
        // A file sent from the Main tab is encoded with its own options.
        settings.purpose = EncodePurpose::Send;
        settings.optionsFromFile = true;
    } else if (purpose == "save") {
        settings.purpose = EncodePurpose::Save;
    } else {
        return usageError("encode", "--purpose is send or save, not " + purpose, kEncodeUsage);
    }

    const MessageFileLookup found =
        findMessageFile(context.programFolder, parsed.positional.front());
    if (found.path.empty()) {
        return reportMessageFileNotFound(parsed.positional.front(), found);
    }
    const std::string& path = found.path;
    CliPrompt prompt(context.assumeYes || parsed.has("--yes"));
    MessageFileResult read = readMessageFile(path, capabilities.extendedOptions());
    if (!read) {
        prompt.inform(read.error(), PromptIcon::Error);
        prompt.print(stderr);
        return kExitFailed;
    }
    Message message = std::move(read).value();
    const EncodeResult result = encodeMessage(message, settings, prompt);
    if (!result || !result.value().payload) {
        reportEncodeFailure(result, prompt);
        if (!result && result.reason().unsupported == UnsupportedOutcome::ShowList) {
            prompt.inform(result.reason().found.listText);
        }
        prompt.print(stderr);
        return kExitFailed;
    }
    const MessagePayload& payload = *result.value().payload;
    // Questions answered with --yes leave nothing to print; anything else goes to stderr so
    // that standard output stays the three lines.
    prompt.print(stderr);
    std::printf("header: %s\n", headerToHex(payload.header).c_str());
    std::printf("length: %zu\n", payload.body.size());
    std::printf("body: %s\n", hexBytes(payload.body).c_str());
    return kExitOk;
}

}  // namespace orvanta::cli
