// orvanta-cli render: the preview of a message file without a display - the two bitmaps the
// preview draws and a picture of the projector screen once the first page is on it.
// Compiled in only where the Qt imaging library is available (ORVANTA_CLI_RENDER).

#ifdef ORVANTA_CLI_RENDER

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "cli/CliCommands.h"
#include "cli/CliSupport.h"
#include "message/MessageFile.h"
#include "message/Payload.h"
#include "render/Image.h"
#include "render/PreviewPlayer.h"
#include "templates/Template.h"
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
    "projector with the wide set (level below 4, or bit 2) cannot be previewed.\n"
    "\n"
    "orvanta-cli render --template NAME [--set FIELD=VALUE]... [--projector ADDR] ...\n"
    "draws the template NAME (see orvanta-cli templates) filled with those values instead, as\n"
    "it would go to the projector ADDR (its registered name and address fill {projector} and\n"
    "{address}; without it they stay empty); the picture is NAME.png.\n";

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

// The message of `render --template`: the template filled with the --set values for the
// projector of --projector. Nothing when refused (the reason told on standard error).
std::optional<Message> filledTemplate(const CliContext& context, const ParsedArgs& parsed,
                                      const ProjectorCapabilities& capabilities) {
    auto loaded = loadCliTemplate(context, parsed.value("--template").value_or(""));
    if (!loaded) {
        std::fprintf(stderr, "%s\n", loaded.error().c_str());
        return std::nullopt;
    }
    const std::optional<FieldValues> values = readAssignments(parsed);
    if (!values) {
        return std::nullopt;
    }
    SendFacts facts;
    stampSendTime(facts);
    if (parsed.has("--projector")) {
        const TargetChoice choice = chooseTargets(context, parsed, true);
        if (choice.status != TargetStatus::Ok) {
            std::fprintf(stderr, "%s\n", choice.problem.c_str());
            return std::nullopt;
        }
        facts.projectorName = choice.targets.front().name;
        facts.address = choice.targets.front().label;
    }
    auto filled = fillTemplate(loaded.value(), *values, facts, capabilities);
    if (!filled) {
        std::fprintf(stderr, "%s\n", filled.error().c_str());
        return std::nullopt;
    }
    return std::move(filled).value().message;
}

}  // namespace

int runRenderCommand(const CliContext& context, const std::vector<std::string>& args) {
    ParsedArgs parsed;
    const bool fromTemplate = mentionsTemplate(args);
    const std::vector<OptionSpec> known = {{"--out", true},  {"--sync", true}, {"--level", true},
                                           {"--caps", true}, kYesOption,       {"--template", true},
                                           {"--set", true},  kProjectorOption, kPasswordOption};
    if (fromTemplate) {
        const std::string problem = parseArgs(args, known, parsed);
        if (parsed.help) {
            return printHelp(kRenderUsage);
        }
        if (!problem.empty() || !parsed.positional.empty()) {
            return usageError("render",
                              problem.empty() ? "a template or a file, not both" : problem,
                              kRenderUsage);
        }
    } else if (const auto status = parseOneFileCommand(args,
                                                       {{"--out", true},
                                                        {"--sync", true},
                                                        {"--level", true},
                                                        {"--caps", true},
                                                        kYesOption},
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
    bool synchronize = render::kSynchronizeBackgroundsByDefault;
    if (const auto sync = parsed.value("--sync")) {
        if (*sync != "on" && *sync != "off") {
            return usageError("render", "--sync is on or off, not " + *sync, kRenderUsage);
        }
        synchronize = *sync == "on";
    }
    const std::string outDir = parsed.value("--out").value_or(".");

    CliPrompt prompt(context.assumeYes || parsed.has("--yes"));
    Message message;
    std::string pictureName;
    if (fromTemplate) {
        std::optional<Message> filled = filledTemplate(context, parsed, capabilities);
        if (!filled) {
            return kExitFailed;
        }
        message = std::move(*filled);
        pictureName = parsed.value("--template").value_or("");
    } else {
        const MessageFileLookup found =
            findMessageFile(context.programFolder, parsed.positional.front());
        if (found.path.empty()) {
            return reportMessageFileNotFound(parsed.positional.front(), found);
        }
        MessageFileResult read = readMessageFile(found.path, capabilities.extendedOptions());
        if (!read) {
            prompt.inform(languageText(Text::FileFormatNotSupported), PromptIcon::Error);
            prompt.print(stderr);
            return kExitFailed;
        }
        message = std::move(read).value();
        pictureName = std::filesystem::path(found.path).stem().string();
    }
    if (message.body.empty()) {
        prompt.inform(languageText(Text::PleaseInputMessage));
        prompt.print(stderr);
        return kExitFailed;
    }
    EncodeSettings settings;
    settings.purpose = EncodePurpose::Check;
    settings.capabilities = capabilities;
    replaceTabs(message.title);
    replaceTabs(message.body);
    const EncodeResult checked = encodeMessage(message, settings, prompt);
    if (!checked) {
        reportEncodeFailure(checked, prompt);
        if (checked.reason().unsupported == UnsupportedOutcome::ShowList) {
            prompt.inform(checked.reason().found.listText);
        }
        prompt.print(stderr);
        return kExitFailed;
    }
    prompt.print(stderr);

    if (const std::string problem = prepareOutputFolder(outDir); !problem.empty()) {
        std::fprintf(stderr, "%s: %s\n", outDir.c_str(), problem.c_str());
        return kExitFailed;
    }
    render::PreviewPlayer player(render::makePreviewInput(message, synchronize),
                                 render::GlyphSet::load(context.programFolder, message.icon),
                                 render::monotonicSeconds(), outDir);
    player.playToFirstFullFrame();
    const std::string picture = (std::filesystem::path(outDir) / pictureName).string() + ".png";
    if (!render::saveImage(player.screen(), picture)) {
        std::fprintf(stderr, "%s: cannot be written\n", picture.c_str());
        return kExitFailed;
    }
    std::printf("%s\n", picture.c_str());
    return kExitOk;
}

}  // namespace orvanta::cli

#endif  // ORVANTA_CLI_RENDER
