// Template files, the Templates folder, the starter set and the JSON descriptions.

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "platform/AtomicFile.h"
#include "platform/EnumWords.h"
#include "platform/TextCodec.h"
#include "templates/Template.h"
#include "text/LanguageText.h"

namespace orvanta {

namespace {

using nlohmann::json;

constexpr int kFormat = 1;
// Larger files are not templates: a full message with every field is a few hundred kB at most.
constexpr std::size_t kMaxTemplateFileBytes = 4u << 20;

// The option names of the file, in the order of MessageOptions::Index.
constexpr std::array<const char*, MessageOptions::kCount> kOptionNames = {"style",
                                                                          "vertical_position",
                                                                          "horizontal_position",
                                                                          "character_size",
                                                                          "title_position",
                                                                          "level",
                                                                          "scroll_count",
                                                                          "scroll_speed",
                                                                          "display_minutes",
                                                                          "display_half_minute",
                                                                          "blink",
                                                                          "background",
                                                                          "icon_number",
                                                                          "lapped_over_picture",
                                                                          "alarm_volume",
                                                                          "alarm_sound",
                                                                          "alarm_custom_sound",
                                                                          "alarm_loop",
                                                                          "alarm_interval"};

std::string rgbText(Rgb rgb) {
    char text[8];
    std::snprintf(text, sizeof text, "#%06X", static_cast<unsigned>(rgb & 0xFFFFFF));
    return text;
}

bool rgbFromText(const std::string& text, Rgb& rgb) {
    if (text.size() != 7 || text[0] != '#') {
        return false;
    }
    Rgb value = 0;
    for (std::size_t i = 1; i < text.size(); ++i) {
        const int digit = hexDigitValue(text[i]);
        if (digit < 0) {
            return false;
        }
        value = value * 16 + static_cast<Rgb>(digit);
    }
    rgb = value;
    return true;
}

// Runs of units with the same colors.
json runsOf(const RichText& text) {
    json runs = json::array();
    std::size_t i = 0;
    while (i < text.units.size()) {
        const RichUnit& first = text.units[i];
        std::u16string part;
        while (i < text.units.size() && text.units[i].color == first.color &&
               text.units[i].background == first.background) {
            part.push_back(text.units[i].ch);
            ++i;
        }
        runs.push_back({{"text", utf16ToUtf8(part)},
                        {"color", rgbText(first.color)},
                        {"background", rgbText(first.background)}});
    }
    return runs;
}

// Reading: a failure names where in the file it is.
struct Damage {
    std::string where;
};

const json& member(const json& object, const char* key, json::value_t type,
                   const std::string& where) {
    const auto found = object.find(key);
    if (found == object.end() || found->type() != type) {
        throw Damage{where + key};
    }
    return *found;
}

std::string stringMember(const json& object, const char* key, const std::string& where,
                         bool optional = false) {
    const auto found = object.find(key);
    if (optional && found == object.end()) {
        return {};
    }
    const std::string text = member(object, key, json::value_t::string, where).get<std::string>();
    if (!decodeUtf8Strict(text)) {
        throw Damage{where + key};
    }
    return text;
}

long long numberMember(const json& object, const char* key, const std::string& where, long long low,
                       long long high) {
    const auto found = object.find(key);
    if (found == object.end() || !found->is_number_integer()) {
        throw Damage{where + key};
    }
    const long long value = found->get<long long>();
    if (value < low || value > high) {
        throw Damage{where + key};
    }
    return value;
}

RichText textOf(const json& runs, const std::string& where) {
    if (!runs.is_array()) {
        throw Damage{where};
    }
    RichText text;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const std::string at = where + "[" + std::to_string(i) + "].";
        if (!runs[i].is_object()) {
            throw Damage{at};
        }
        Rgb color = 0;
        Rgb background = 0;
        if (!rgbFromText(stringMember(runs[i], "color", at), color)) {
            throw Damage{at + "color"};
        }
        if (!rgbFromText(stringMember(runs[i], "background", at), background)) {
            throw Damage{at + "background"};
        }
        text.append(utf8ToUtf16(stringMember(runs[i], "text", at)), color, background);
    }
    return text;
}

TemplateField fieldOf(const json& object, const std::string& where) {
    if (!object.is_object()) {
        throw Damage{where};
    }
    TemplateField field;
    field.name = stringMember(object, "name", where);
    field.label = stringMember(object, "label", where, true);
    if (!fieldKindFromName(stringMember(object, "kind", where), field.kind)) {
        throw Damage{where + "kind"};
    }
    if (object.contains("required")) {
        field.required = member(object, "required", json::value_t::boolean, where).get<bool>();
    }
    field.defaultValue = stringMember(object, "default", where, true);
    if (field.kind == FieldKind::Text && object.contains("max_length")) {
        field.maxLength =
            static_cast<int>(numberMember(object, "max_length", where, 1, kMaxFieldLength));
    }
    if (field.kind == FieldKind::Choice) {
        const json& choices = member(object, "choices", json::value_t::array, where);
        for (std::size_t i = 0; i < choices.size(); ++i) {
            if (!choices[i].is_string() || !decodeUtf8Strict(choices[i].get<std::string>())) {
                throw Damage{where + "choices[" + std::to_string(i) + "]"};
            }
            field.choices.push_back(choices[i].get<std::string>());
        }
    }
    return field;
}

MessageTemplate templateOf(std::string_view name, const json& root) {
    if (!root.is_object()) {
        throw Damage{""};
    }
    if (numberMember(root, "format", "", 1, 1000) > kFormat) {
        throw Damage{"format"};
    }
    MessageTemplate tmpl;
    tmpl.name = std::string(name);
    const json& fields = member(root, "fields", json::value_t::array, "");
    for (std::size_t i = 0; i < fields.size(); ++i) {
        tmpl.fields.push_back(fieldOf(fields[i], "fields[" + std::to_string(i) + "]."));
    }
    Message& message = tmpl.message;
    message.title = textOf(root.value("title", json::array()), "title");
    message.body = textOf(root.value("message", json::array()), "message");
    if (root.contains("options")) {
        const json& options = member(root, "options", json::value_t::object, "");
        for (int i = 0; i < MessageOptions::kCount; ++i) {
            if (options.contains(kOptionNames[static_cast<std::size_t>(i)])) {
                message.options.set(i, static_cast<std::uint8_t>(numberMember(
                                           options, kOptionNames[static_cast<std::size_t>(i)],
                                           "options.", 0, 255)));
            }
        }
    }
    message.icon = static_cast<std::uint8_t>(
        root.contains("icon") ? numberMember(root, "icon", "", 0, kIconCount - 1) : 0);
    message.options.iconNumber = message.icon;
    message.backgroundColor = static_cast<std::uint8_t>(
        root.contains("background_color")
            ? numberMember(root, "background_color", "", 0, kPaletteSize - 1)
            : static_cast<long long>(kColorHalfTransparent));
    return tmpl;
}

json fieldDescription(const TemplateField& field) {
    json out = {{"name", field.name},
                {"label", field.label},
                {"kind", std::string(fieldKindName(field.kind))},
                {"required", field.required},
                {"default", field.defaultValue}};
    if (field.kind == FieldKind::Text) {
        out["max_length"] = field.maxLength;
    }
    if (field.kind == FieldKind::Choice) {
        out["choices"] = field.choices;
    }
    return out;
}

json templateDescription(const MessageTemplate& tmpl) {
    json fields = json::array();
    for (const TemplateField& field : tmpl.fields) {
        fields.push_back(fieldDescription(field));
    }
    return {{"name", tmpl.name}, {"fields", std::move(fields)}};
}

bool endsWith(std::string_view text, std::string_view ending) {
    return text.size() >= ending.size() && text.substr(text.size() - ending.size()) == ending;
}

bool isFolder(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

TemplateResult<> makeFolder(const std::string& folder) {
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        return fail(TemplateProblem{TemplateProblemKind::WriteFailed, {}},
                    languageText(Text::TemplateCannotBeWritten) + folder);
    }
    return {};
}

}  // namespace

std::string templatesFolder(const std::string& programFolder) {
    return programFolder + "Templates/";
}

std::string templatePath(const std::string& folder, std::string_view name) {
    return folder + std::string(name) + std::string(kTemplateFileEnding);
}

std::string composeTemplateFile(const MessageTemplate& tmpl) {
    json fields = json::array();
    for (const TemplateField& field : tmpl.fields) {
        json out = fieldDescription(field);
        if (field.label.empty()) {
            out.erase("label");
        }
        fields.push_back(std::move(out));
    }
    json options = json::object();
    for (int i = 0; i < MessageOptions::kCount; ++i) {
        options[kOptionNames[static_cast<std::size_t>(i)]] = tmpl.message.options[i];
    }
    const json root = {{"format", kFormat},
                       {"fields", std::move(fields)},
                       {"title", runsOf(tmpl.message.title)},
                       {"message", runsOf(tmpl.message.body)},
                       {"options", std::move(options)},
                       {"icon", tmpl.message.icon},
                       {"background_color", tmpl.message.backgroundColor}};
    return root.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

TemplateResult<MessageTemplate> parseTemplateFile(std::string_view name, std::string_view bytes) {
    const auto damaged = [&](const std::string& where) -> TemplateResult<MessageTemplate> {
        return fail(TemplateProblem{TemplateProblemKind::DamagedFile, {}},
                    languageText(Text::TemplateDamaged) + std::string(name) +
                        (where.empty() ? "" : " (" + where + ")"));
    };
    const json root = json::parse(bytes, nullptr, false);
    if (root.is_discarded()) {
        return damaged({});
    }
    MessageTemplate tmpl;
    try {
        tmpl = templateOf(name, root);
    } catch (const Damage& damage) {
        return damaged(damage.where);
    }
    if (auto valid = checkTemplate(tmpl); !valid) {
        return fail(valid.reason(), languageText(Text::TemplateDamaged) + std::string(name) + " (" +
                                        valid.error() + ")");
    }
    return tmpl;
}

TemplateResult<MessageTemplate> loadTemplate(const std::string& folder, std::string_view name) {
    if (!isValidTemplateName(name)) {
        return fail(TemplateProblem{TemplateProblemKind::BadName, {}},
                    languageText(Text::TemplateBadName));
    }
    auto bytes = readRegularFile(templatePath(folder, name), kMaxTemplateFileBytes);
    if (!bytes) {
        if (bytes.reason() == ReadProblem::Missing) {
            return fail(TemplateProblem{TemplateProblemKind::NotFound, {}},
                        languageText(Text::TemplateNotFound) + std::string(name));
        }
        return fail(TemplateProblem{TemplateProblemKind::Unreadable, {}},
                    languageText(Text::TemplateUnreadable) + " " + std::string(name));
    }
    return parseTemplateFile(name, bytes.value());
}

TemplateSet loadTemplates(const std::string& folder) {
    TemplateSet set;
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        if (errno != ENOENT) {
            set.folderError = languageText(Text::TemplatesFolderUnreadable);
        }
        return set;
    }
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view file = entry->d_name;
        if (endsWith(file, kTemplateFileEnding) && file.size() > kTemplateFileEnding.size()) {
            names.emplace_back(file.substr(0, file.size() - kTemplateFileEnding.size()));
        }
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        if (auto loaded = loadTemplate(folder, name)) {
            set.templates.push_back(std::move(loaded).value());
        } else {
            set.errors.push_back({name, loaded.error()});
        }
    }
    return set;
}

TemplateResult<> saveTemplate(const std::string& folder, const MessageTemplate& tmpl) {
    if (auto valid = checkTemplate(tmpl); !valid) {
        return valid;
    }
    if (auto made = makeFolder(folder); !made) {
        return made;
    }
    if (auto written =
            writeFileAtomically(templatePath(folder, tmpl.name), composeTemplateFile(tmpl));
        !written) {
        return fail(TemplateProblem{TemplateProblemKind::WriteFailed, {}},
                    languageText(Text::TemplateCannotBeWritten) + written.error());
    }
    return {};
}

TemplateResult<> removeTemplate(const std::string& folder, std::string_view name) {
    if (!isValidTemplateName(name)) {
        return fail(TemplateProblem{TemplateProblemKind::BadName, {}},
                    languageText(Text::TemplateBadName));
    }
    if (::unlink(templatePath(folder, name).c_str()) != 0) {
        if (errno == ENOENT) {
            return fail(TemplateProblem{TemplateProblemKind::NotFound, {}},
                        languageText(Text::TemplateNotFound) + std::string(name));
        }
        return fail(TemplateProblem{TemplateProblemKind::WriteFailed, {}},
                    languageText(Text::TemplateCannotBeWritten) + std::string(name));
    }
    return {};
}

std::string_view starterLanguageFolder(LanguageId language) {
    static constexpr EnumWord<LanguageId> kFolders[] = {
        {LanguageId::Japanese, "ja/"},
        {LanguageId::ChineseSimplified, "zh/"},
    };
    return wordOf(kFolders, language, "en/");
}

Result<> installStarterTemplates(const std::string& programFolder, const std::string& starterFolder,
                                 LanguageId language) {
    const std::string target = templatesFolder(programFolder);
    if (isFolder(target)) {
        return {};  // installed before: what the operator changed or deleted stays so
    }
    const std::string source = starterFolder + std::string(starterLanguageFolder(language));
    DIR* dir = ::opendir(source.c_str());
    if (dir == nullptr) {
        return {};  // no starter set shipped: an empty folder will do
    }
    std::vector<std::string> files;
    while (const dirent* entry = ::readdir(dir)) {
        if (endsWith(entry->d_name, kTemplateFileEnding)) {
            files.emplace_back(entry->d_name);
        }
    }
    ::closedir(dir);
    // The files go into a folder of their own first, which then takes the folder's name: a
    // run that stops half-way leaves no half set that would count as installed.
    const std::string staging = programFolder + ".Templates.new/";
    for (const std::string& file : files) {
        std::remove((staging + file).c_str());
    }
    ::rmdir(staging.c_str());
    if (auto made = makeFolder(staging); !made) {
        return fail(made.error());
    }
    for (const std::string& file : files) {
        if (auto copied = copyFileNoReplace(source + file, staging + file); !copied) {
            return fail(copied.error());
        }
    }
    if (std::rename(staging.c_str(), target.c_str()) != 0) {
        // Another run may have installed the set in the meantime: that one stays.
        for (const std::string& file : files) {
            std::remove((staging + file).c_str());
        }
        ::rmdir(staging.c_str());
        if (!isFolder(target)) {
            return fail(languageText(Text::TemplateCannotBeWritten) + target);
        }
    }
    return {};
}

std::string prepareTemplatesFolder(const std::string& programFolder) {
    // A folder that cannot be made shows as empty, and the save says why it failed.
    (void)installStarterTemplates(programFolder, resourceFolder(programFolder, "StarterTemplates"),
                                  interfaceLanguage());
    return templatesFolder(programFolder);
}

std::string describeTemplateJson(const MessageTemplate& tmpl) {
    return templateDescription(tmpl).dump(-1, ' ', false, json::error_handler_t::replace);
}

std::string describeValuesJson(const FieldValues& values) {
    json all = json::object();
    for (const auto& [name, value] : values) {
        all[name] = value;
    }
    return all.dump(-1, ' ', false, json::error_handler_t::replace);
}

std::string describeTemplatesJson(const std::vector<MessageTemplate>& templates) {
    json all = json::array();
    for (const MessageTemplate& tmpl : templates) {
        all.push_back(templateDescription(tmpl));
    }
    return all.dump(-1, ' ', false, json::error_handler_t::replace);
}

}  // namespace orvanta
