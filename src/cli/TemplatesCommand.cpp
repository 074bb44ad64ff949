// orvanta-cli templates (list, show) and send --template: message templates with fields,
// filled at send time for each projector.

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/CliCommands.h"
#include "cli/CliSupport.h"
#include "commands/StartupDisplay.h"
#include "commands/TemplateSend.h"
#include "platform/TextCodec.h"
#include "text/LanguageText.h"

namespace orvanta::cli {
namespace {

constexpr const char* kTemplatesUsage =
    "usage: orvanta-cli templates list [--json]\n"
    "       orvanta-cli templates show NAME [--json]\n"
    "\n"
    "Message templates are messages whose title and text hold fields such as {room}, filled\n"
    "when they are sent (orvanta-cli send --template NAME --set room=B12). They are the .ovt\n"
    "files of Templates/ in the program folder; the first use copies the starter set there.\n"
    "\n"
    "  list    every template with its fields; a damaged file is named on standard error\n"
    "  show    the fields of template NAME (label, kind, whether required, default, limit or\n"
    "          choices), its title and its message\n"
    "  --json  the same as JSON: each template an object with \"name\" and \"fields\", each\n"
    "          field with \"name\", \"label\", \"kind\" (text, choice, time or date),\n"
    "          \"required\", \"default\", \"max_length\" (text) and \"choices\" (choice)\n"
    "\n"
    "Every template may also use {projector} (the registered name, else the address),\n"
    "{address}, {group} (the group sent to), {date} (YYYY-MM-DD) and {time} (HH:MM) of the\n"
    "send, filled for each projector.\n";

constexpr const char* kTemplateSendUsage =
    "usage: orvanta-cli send --template NAME [--set FIELD=VALUE]... [--slot S]\n"
    "                        [--startup MINUTES|repeat]\n"
    "                        (--projector ADDR... | --group NAME | --all-registered)\n"
    "                        [--password TEXT] [--yes]\n"
    "\n"
    "Fills the template NAME (see orvanta-cli templates) with the values given by --set and\n"
    "the defaults of the fields not given, for each projector with its own name, address\n"
    "and group, and sends it into slot S (quick, the default, or 1 to 12) as send does.\n"
    "A time is written HH:MM, a date YYYY-MM-DD. A missing or unknown field, a value that is\n"
    "too long or not of its kind, and a filled message too long for the projector are\n"
    "refused before any projector is asked; characters a projector cannot show are refused\n"
    "for that projector before anything is sent to it.\n"
    "\n"
    "  --set FIELD=VALUE   the value of a field (repeatable)\n"
    "  --projector ADDR    a projector (repeatable); the sends run in parallel\n"
    "  --group NAME        every projector of the group (repeatable)\n"
    "  --all-registered    every projector of LastPj.txt\n"
    "  --password TEXT     password for every projector (default: the registered one, else empty)\n"
    "  --yes               answer Yes/OK to the questions the send asks\n"
    "\n"
    "Prints one line \"ADDR: text\" per projector, in the order given. Exit status 1 if any\n"
    "send failed or the values were refused.\n";

// A text for a terminal: control characters (which could move the cursor or change colors)
// become '?', each line break starts a new line with `indent`.
std::string printable(std::string_view text, std::string_view indent) {
    std::u16string units = utf8ToUtf16(text);
    std::string out;
    std::u16string run;
    for (char16_t c : units) {
        if (c == u'\r' || c == u'\n') {
            out += utf16ToUtf8(run) + "\n" + std::string(indent);
            run.clear();
        } else if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) {
            run.push_back(u'?');
        } else {
            run.push_back(c);
        }
    }
    return out + utf16ToUtf8(run);
}

void printField(const TemplateField& field) {
    std::string kind(fieldKindName(field.kind));
    if (field.kind == FieldKind::Text) {
        kind += ", at most " + std::to_string(field.maxLength) + " characters";
    }
    if (field.kind == FieldKind::Choice) {
        std::string list;
        for (const std::string& choice : field.choices) {
            list += (list.empty() ? "" : " | ") + choice;
        }
        kind += ": " + list;
    }
    std::printf(
        "  {%s}  %s  (%s%s)%s%s\n", field.name.c_str(), printable(field.label, "").c_str(),
        printable(kind, "").c_str(), field.required ? ", required" : "",
        field.defaultValue.empty() ? "" : "  default: ", printable(field.defaultValue, "").c_str());
}

int listTemplates(const CliContext& context, bool json) {
    const TemplateSet set = cliTemplates(context);
    if (!set.folderError.empty()) {
        std::fprintf(stderr, "%s\n", set.folderError.c_str());
        return kExitFailed;
    }
    for (const TemplateFileError& error : set.errors) {
        std::fprintf(stderr, "%s\n", printable(error.text, "").c_str());
    }
    if (json) {
        std::printf("%s\n", describeTemplatesJson(set.templates).c_str());
        return kExitOk;
    }
    for (const MessageTemplate& tmpl : set.templates) {
        std::string names;
        for (const TemplateField& field : tmpl.fields) {
            names += " {" + field.name + "}";
        }
        std::printf("%s%s%s\n", printable(tmpl.name, "").c_str(), names.empty() ? "" : " -",
                    names.c_str());
    }
    return kExitOk;
}

int showTemplate(const CliContext& context, const std::string& name, bool json) {
    const auto loaded = loadCliTemplate(context, name);
    if (!loaded) {
        std::fprintf(stderr, "%s\n", printable(loaded.error(), "").c_str());
        return kExitFailed;
    }
    const MessageTemplate& tmpl = loaded.value();
    if (json) {
        std::printf("%s\n", describeTemplateJson(tmpl).c_str());
        return kExitOk;
    }
    std::printf("%s\n", printable(tmpl.name, "").c_str());
    for (const TemplateField& field : tmpl.fields) {
        printField(field);
    }
    std::printf("Title:   %s\n", printable(utf16ToUtf8(tmpl.message.title.text()), "").c_str());
    std::printf("Message: %s\n",
                printable(utf16ToUtf8(tmpl.message.body.text()), "         ").c_str());
    return kExitOk;
}

}  // namespace

TemplateSet cliTemplates(const CliContext& context) {
    return loadTemplates(prepareTemplatesFolder(context.programFolder));
}

TemplateResult<MessageTemplate> loadCliTemplate(const CliContext& context,
                                                const std::string& name) {
    return loadTemplate(prepareTemplatesFolder(context.programFolder), name);
}

bool mentionsTemplate(const std::vector<std::string>& args) {
    for (const std::string& arg : args) {
        if (arg == "--") {
            return false;
        }
        if (arg == "--template" || arg.rfind("--template=", 0) == 0) {
            return true;
        }
    }
    return false;
}

std::optional<FieldValues> readAssignments(const ParsedArgs& parsed) {
    FieldValues values;
    for (const std::string& text : parsed.values("--set")) {
        const auto split = parseAssignment(text);
        if (!split) {
            std::fprintf(stderr, "%s: %s\n", printable(text, "").c_str(), split.error().c_str());
            return std::nullopt;
        }
        values[split.value().first] = split.value().second;
    }
    return values;
}

int runTemplatesCommand(const CliContext& context, const std::vector<std::string>& args) {
    ParsedArgs parsed;
    if (const auto status =
            parseCommandArgs(args, {{"--json", false}}, "templates", kTemplatesUsage, parsed)) {
        return *status;
    }
    const bool json = parsed.has("--json");
    const std::vector<std::string>& words = parsed.positional;
    if (words.size() == 1 && words[0] == "list") {
        return listTemplates(context, json);
    }
    if (words.size() == 2 && words[0] == "show") {
        return showTemplate(context, words[1], json);
    }
    if (!words.empty() && words[0] == "show") {
        return usageError("templates",
                          words.size() < 2 ? "which template?" : "one template at a time",
                          kTemplatesUsage);
    }
    return usageError("templates", words.empty() ? "list or show?" : "unknown: " + words[0],
                      kTemplatesUsage);
}

int runTemplateSend(const CliContext& context, const std::vector<std::string>& args) {
    ParsedArgs parsed;
    if (const auto status = parseCommandArgs(
            args,
            projectorOptions(
                {{"--template", true}, {"--set", true}, {"--slot", true}, {"--startup", true}}),
            "send", kTemplateSendUsage, parsed)) {
        return *status;
    }
    if (!parsed.positional.empty()) {
        return usageError("send", "a template or a file, not both", kTemplateSendUsage);
    }
    std::uint8_t slot = 0;
    if (const auto slotText = parsed.value("--slot")) {
        const auto parsedSlot = parseSlot(*slotText);
        if (!parsedSlot) {
            return usageError("send", "not a slot: " + *slotText, kTemplateSendUsage);
        }
        slot = *parsedSlot;
    }
    std::optional<int> startupMinutes;
    if (const auto startup = parsed.value("--startup")) {
        if (slot == 0) {
            return usageError("send", "the Quick message cannot be the startup display",
                              kTemplateSendUsage);
        }
        startupMinutes =
            *startup == "repeat" ? std::optional<int>(0) : parseSendDisplayTime(*startup);
        if (!startupMinutes) {
            std::fprintf(stderr, "%s\n", languageText(Text::DisplayTimeInvalid).c_str());
            return kExitFailed;
        }
    }
    const TargetChoice choice = chooseTargets(context, parsed, false);
    if (const auto refused = refuseSend(choice, kTemplateSendUsage)) {
        return *refused;
    }
    auto loaded = loadCliTemplate(context, parsed.value("--template").value_or(""));
    if (!loaded) {
        std::fprintf(stderr, "%s\n", printable(loaded.error(), "").c_str());
        return kExitFailed;
    }
    const std::optional<FieldValues> values = readAssignments(parsed);
    if (!values) {
        return kExitFailed;
    }

    TemplateSend send = templateSendNow(std::move(loaded).value(), *values);
    const std::vector<std::string> groups = parsed.values("--group");
    if (groups.size() == 1 && !parsed.has("--projector") && !parsed.has("--all-registered")) {
        send.group = groups.front();
    }
    send.slot = slot;
    send.startupMinutes = startupMinutes;
    std::vector<ManyProjectorTarget> rows;
    for (const CliTarget& t : choice.targets) {
        rows.push_back({t.target, t.name, t.missing});
    }
    // Refused before any projector is asked.
    if (auto checked = checkTemplateSend(send, rows); !checked) {
        std::fprintf(stderr, "%s\n", printable(checked.error(), "").c_str());
        return kExitFailed;
    }
    const bool assumeYes = context.assumeYes || parsed.has("--yes");
    return runOnEveryTarget(
        context, choice.targets,
        templateSendOperation(std::make_shared<const TemplateSend>(std::move(send)), rows),
        assumeYes);
}

}  // namespace orvanta::cli
