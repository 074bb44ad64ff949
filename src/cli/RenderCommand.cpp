// orvanta-cli render: the preview of a message file without a display - the two bitmaps the
// preview draws and a picture of the projector screen once the first page is on it.
// Compiled in only where the Qt imaging library is available (ORVANTA_CLI_RENDER).

#ifdef ORVANTA_CLI_RENDER

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "cli/CliCommands.h"
#include "cli/CliSupport.h"
#include "message/MessageFile.h"
#include "message/Payload.h"
#include "render/Image.h"
#include "render/PreviewPlayer.h"
#include "text/LanguageText.h"

namespace orvanta::cli {
namespace {

constexpr const char* kRenderUsage =
    "usage: orvanta-cli render FILE [--out DIR] [--sync on|off] [--level N] [--caps N] [--yes]\n"
    "\n"
    "Opens the message file FILE (.ovx, or .txt to import; a bare name that does not exist\n"
    "here is taken from MessageData/ of the program folder, \".ovx\" may be left out), checks\n"
    "it as the Edit tab's \"Image\" button does and draws its preview with the glyphs and\n"
    "icons of the program folder (mfont/, micon/; else the installed ones). Writes into DIR\n"
    "(default: the current folder; created when missing):\n"
    "  title.bmp, message.bmp  the title and the first message bitmap (24-bit BMP)\n"
    "  NAME.png                the projector screen once the first page is shown, NAME being\n"
    "                          FILE's name without its extension\n"
    "--sync is the Edit tab's \"Synchronization of the background color and character\n"
    "background color\": on (the default, as the Edit tab starts) draws every character\n"
    "background and the message background blue (black in \"Picture Side\"), off draws the\n"
    "colors the file holds.\n"
    "The projector is of firmware level N (default 4) with capability flags N (default 0;\n"
    "decimal or 0x hexadecimal); the preview draws the narrow character set only, so a\n"
    "projector with the wide set (level below 4, or bit 2) cannot be previewed.\n";

// The output folder, made when it is missing. What is wrong, or an empty text.
std::string prepareOutputFolder(const std::string& folder) {
    std::error_code ec;
    if (std::filesystem::is_directory(folder, ec)) {
        return {};
    }
    if (std::filesystem::exists(folder, ec)) {
        return languageText(Text::NotAFolder);
    }
    std::filesystem::create_directories(folder, ec);
    if (ec) {
        return languageText(Text::FolderCannotBeCreated) + " (" + ec.message() + ")";
    }
    return {};
}

}  // namespace

int runRenderCommand(const CliContext& context, const std::vector<std::string>& args) {
    ParsedArgs parsed;
    if (const auto status = parseOneFileCommand(
            args,
            {{"--out", true}, {"--sync", true}, {"--level", true}, {"--caps", true}, kYesOption},
            "render", kRenderUsage, parsed)) {
        return *status;
    }
    ProjectorCapabilities capabilities{4, 0};
    if (const std::string bad = readCapabilityOptions(parsed, capabilities); !bad.empty()) {
        return usageError("render", bad, kRenderUsage);
    }
    if (capabilities.extendedCharacterSet()) {
        return usageError("render",
                          "the preview draws the narrow character set only: --level 4 or above "
                          "and --caps without bit 2",
                          kRenderUsage);
    }
    bool synchronise = render::kSynchroniseBackgroundsByDefault;
    if (const auto sync = parsed.value("--sync")) {
        if (*sync != "on" && *sync != "off") {
            return usageError("render", "--sync is on or off, not " + *sync, kRenderUsage);
        }
        synchronise = *sync == "on";
    }
    const std::string outDir = parsed.value("--out").value_or(".");

    const MessageFileLookup found =
        findMessageFile(context.programFolder, parsed.positional.front());
    if (found.path.empty()) {
        return reportMessageFileNotFound(parsed.positional.front(), found);
    }
    const std::string& path = found.path;
    CliPrompt prompt(context.assumeYes || parsed.has("--yes"));
    Message message;
    if (readMessageFile(path, capabilities.extendedOptions(), message) != MessageFileError::None) {
        prompt.inform(languageText(1028),
                      PromptIcon::Error);  // "This file format is not supported."
        prompt.print(stderr);
        return kExitFailed;
    }
    if (message.body.empty()) {
        prompt.inform(languageText(1003));  // "Please input Message"
        prompt.print(stderr);
        return kExitFailed;
    }
    EncodeSettings settings;
    settings.purpose = EncodePurpose::Check;
    settings.capabilities = capabilities;
    replaceTabs(message.title);
    replaceTabs(message.body);
    const EncodeResult checked = encodeMessage(message, settings, prompt);
    if (!checked.ok()) {
        reportEncodeFailure(checked, prompt);
        if (checked.unsupported == UnsupportedOutcome::ShowList) {
            prompt.inform(checked.found.listText);
        }
        prompt.print(stderr);
        return kExitFailed;
    }
    prompt.print(stderr);

    if (const std::string problem = prepareOutputFolder(outDir); !problem.empty()) {
        std::fprintf(stderr, "%s: %s\n", outDir.c_str(), problem.c_str());
        return kExitFailed;
    }
    render::PreviewPlayer player(render::makePreviewInput(message, synchronise),
                                 render::GlyphSet::load(context.programFolder, message.icon),
                                 render::monotonicSeconds(), outDir);
    player.playToFirstFullFrame();
    const std::string picture =
        (std::filesystem::path(outDir) / std::filesystem::path(path).stem()).string() + ".png";
    if (!render::saveImage(player.screen(), picture)) {
        std::fprintf(stderr, "%s: cannot be written\n", picture.c_str());
        return kExitFailed;
    }
    std::printf("%s\n", picture.c_str());
    return kExitOk;
}

}  // namespace orvanta::cli

#endif  // ORVANTA_CLI_RENDER
