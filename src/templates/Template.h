#pragma once
// Message templates: a message whose title and text hold named fields such as {room} or
// {until}, filled with values at send time. Everything a front end needs is here: loading the
// templates of a folder (a damaged file is reported by name and never stops the others),
// describing their fields, checking values against a projector's capabilities, and filling a
// template for one projector with the fields the program fills itself (its name, address,
// group, the date and time).
//
// Filling is the only way a placeholder becomes text, and it never looks at a value again: a
// value holding "{other}" is sent as those characters. Each value takes the colors of the "{"
// of its placeholder. A value is plain text of one line: control characters (line ends, tabs,
// escapes), the page-feed mark and non-characters are refused, so no value can change the
// formatting or the layout of the message.
//
// Every failure is a TemplateProblem naming the field (empty when the whole template or
// message is meant) with a text in the interface language that includes that name.
//
// A template file is "<Templates folder>/<name>.ovt": a JSON object, written atomically.
//
//   {"format": 1,
//    "fields": [{"name": "room", "label": "Room", "kind": "text", "required": true,
//                "default": "", "max_length": 20}, ...],
//    "title": [{"text": "LOCKDOWN", "color": "#FF0000", "background": "#C0C0C0"}],
//    "message": [{"text": "Stay in {room}", "color": "#FFFFFF", "background": "#C0C0C0"}],
//    "options": {"style": 1, ...}, "icon": 1, "background_color": 1}
//
// Message files (.ovx) are not touched: a template is a file of its own.

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "message/MessageOptions.h"
#include "platform/Environment.h"
#include "platform/Result.h"

namespace orvanta {

// ---------------------------------------------------------------------------------------------
// The model

enum class FieldKind { Text, Choice, Time, Date };
// "text", "choice", "time", "date": the names files and JSON descriptions use.
std::string_view fieldKindName(FieldKind kind);
bool fieldKindFromName(std::string_view name, FieldKind& kind);

// Most characters a text field may allow, and what a new one allows.
inline constexpr int kMaxFieldLength = 500;
inline constexpr int kDefaultFieldLength = 40;
// Most bytes of a field name and of a template name.
inline constexpr std::size_t kMaxFieldNameBytes = 32;
inline constexpr std::size_t kMaxTemplateNameBytes = 64;

struct TemplateField {
    std::string name;   // as in {name}: a letter, then letters, digits, '_' or '-'
    std::string label;  // what the operator reads beside the input
    FieldKind kind = FieldKind::Text;
    bool required = true;
    std::string defaultValue;             // empty: none
    int maxLength = kDefaultFieldLength;  // Text: most characters
    std::vector<std::string> choices;     // Choice: the values offered, in order

    bool operator==(const TemplateField&) const = default;
};

struct MessageTemplate {
    std::string name;  // the file name without ".ovt"
    std::vector<TemplateField> fields;
    Message message;  // title and body hold the placeholders

    const TemplateField* field(std::string_view fieldName) const;
    bool operator==(const MessageTemplate&) const = default;
};

// Fields every template may use without defining them, filled per projector at send time.
inline constexpr std::string_view kFieldProjector = "projector";  // registered name, else address
inline constexpr std::string_view kFieldAddress = "address";      // dotted IPv4
inline constexpr std::string_view kFieldGroup = "group";          // the group sent to, else empty
inline constexpr std::string_view kFieldDate = "date";            // YYYY-MM-DD at sending
inline constexpr std::string_view kFieldTime = "time";            // HH:MM at sending
bool isBuiltinField(std::string_view name);
const std::vector<std::string_view>& builtinFieldNames();

// ---------------------------------------------------------------------------------------------
// Problems

enum class TemplateProblemKind {
    // Values
    Missing,           // a required field without value or default
    Unknown,           // a value for a field the template does not have
    TooLong,           // longer than the field's limit
    NotAChoice,        // not one of the field's choices
    NotATime,          // not HH:MM
    NotADate,          // not YYYY-MM-DD
    ControlCharacter,  // line end, tab, escape, page-feed mark, non-character
    Unsupported,       // characters the projector's character set cannot show
    TitleTooLong,      // the filled title is longer than the projector shows
    MessageTooLong,    // the filled message is over the projector's size limit
    // The template itself and its file
    BadName,         // a template or field name that is not allowed
    BadField,        // a field definition that contradicts itself
    UndefinedField,  // a placeholder for a field that is not defined
    DamagedFile,     // not a template file
    NotFound,        // no template of this name
    Unreadable,      // the file or folder cannot be read
    WriteFailed,     // the file cannot be written
};

struct TemplateProblem {
    TemplateProblemKind kind = TemplateProblemKind::DamagedFile;
    std::string field;  // the field meant; empty for the template or message as a whole
};

template <typename T = void>
using TemplateResult = Result<T, TemplateProblem>;

// ---------------------------------------------------------------------------------------------
// Checking

// Template and field names: a field name is a letter then letters, digits, '_' or '-', at most
// kMaxFieldNameBytes; a template name is UTF-8 of at most kMaxTemplateNameBytes, not empty,
// without '/', control characters or a leading dot or space.
bool isValidFieldName(std::string_view name);
bool isValidTemplateName(std::string_view name);

// A template that can be saved and filled: valid names, no field defined twice nor named
// like a field the program fills, a choice with choices, text limits within 1..kMaxFieldLength,
// defaults that are valid values of their fields, and no placeholder of an undefined field.
TemplateResult<> checkTemplate(const MessageTemplate& tmpl);

// The placeholder names the title and text use, each once, in order of appearance.
std::vector<std::string> placeholderNames(const MessageTemplate& tmpl);

using FieldValues = std::map<std::string, std::string, std::less<>>;  // UTF-8

// The values a send uses: `given` checked against the fields (every given name must be a
// field, every value of its kind and within its limit), with defaults for what is not given,
// and each required field holding a value. With the narrow character set, characters the
// projector cannot show are refused. Empty values of optional fields are kept empty.
TemplateResult<FieldValues> checkValues(const MessageTemplate& tmpl, const FieldValues& given,
                                        const ProjectorCapabilities& capabilities);

// Splits "name=value" (as `--set` takes it) at the first '='.
TemplateResult<std::pair<std::string, std::string>> parseAssignment(std::string_view text);

// ---------------------------------------------------------------------------------------------
// Filling

// What the program fills per projector.
struct SendFacts {
    std::string projectorName;  // the registered name; the address stands in when empty
    std::string address;        // dotted IPv4
    std::string group;          // the group sent to; empty for one projector or all of them
    std::string date;           // YYYY-MM-DD
    std::string time;           // HH:MM
};
// The date and time fields of `facts` from the local time now.
void stampSendTime(SendFacts& facts);

struct FilledMessage {
    Message message;
    std::size_t bodyBytes = 0;  // the encoded size; at most kMaxBodyBytes
    int displayLines = 0;       // as countDisplayLines counts them
};

// The message as it goes to one projector: `values` checked with checkValues, the fields the
// program fills taken from `facts`, every placeholder replaced. Refused when a value (the
// projector's name too) holds characters the projector cannot show, when the filled title is
// longer than the projector shows, or when the encoded message is over kMaxBodyBytes.
TemplateResult<FilledMessage> fillTemplate(const MessageTemplate& tmpl, const FieldValues& values,
                                           const SendFacts& facts,
                                           const ProjectorCapabilities& capabilities);

// Replaces the placeholders of `text` by `values` (missing ones become empty) without any
// check: the core of fillTemplate, for previews that show a half-typed form.
RichText fillText(const RichText& text, const FieldValues& values,
                  const std::vector<std::string>& fieldNames);

// ---------------------------------------------------------------------------------------------
// Files

// "<programFolder>Templates/".
std::string templatesFolder(const std::string& programFolder);
// The file of template `name` in `folder` (which ends in '/').
std::string templatePath(const std::string& folder, std::string_view name);
inline constexpr std::string_view kTemplateFileEnding = ".ovt";

// The file content of a template, and the template of a file's content.
std::string composeTemplateFile(const MessageTemplate& tmpl);
TemplateResult<MessageTemplate> parseTemplateFile(std::string_view name, std::string_view bytes);

struct TemplateFileError {
    std::string name;  // the template's name (the file name without ending)
    std::string text;  // what is wrong, for the operator
};
struct TemplateSet {
    std::vector<MessageTemplate> templates;  // sorted by name
    std::vector<TemplateFileError> errors;   // damaged files, sorted by name
    std::string folderError;                 // the folder exists but cannot be read
};
// Every "*.ovt" of `folder`. A missing folder is an empty set.
TemplateSet loadTemplates(const std::string& folder);
TemplateResult<MessageTemplate> loadTemplate(const std::string& folder, std::string_view name);
// Checks the template, then writes it atomically (creating the folder when needed).
TemplateResult<> saveTemplate(const std::string& folder, const MessageTemplate& tmpl);
TemplateResult<> removeTemplate(const std::string& folder, std::string_view name);

// The starter set shipped in `starterFolder` ("en/", "ja/", "zh/" inside it) is copied into
// the Templates folder of `programFolder` once: when that folder does not exist yet. Later
// changes and deletions of the operator are kept.
Result<> installStarterTemplates(const std::string& programFolder, const std::string& starterFolder,
                                 LanguageId language);
// The Templates folder of `programFolder`, with the starter set of the interface language
// (StarterTemplates/ beside the program or of the installed data) copied there on first use.
std::string prepareTemplatesFolder(const std::string& programFolder);
// The sub-folder of the starter set for `language`: "en/", "ja/" or "zh/".
std::string_view starterLanguageFolder(LanguageId language);

// ---------------------------------------------------------------------------------------------
// Descriptions

// JSON of the fields as `templates show --json`, the service and scripts describe them:
// {"name": ..., "fields": [{"name", "label", "kind", "required", "default", "max_length"
// (text only), "choices" (choice only)}]}.
std::string describeTemplateJson(const MessageTemplate& tmpl);
// A JSON array of the descriptions of every template.
std::string describeTemplatesJson(const std::vector<MessageTemplate>& templates);
// A JSON object of the values by field name: what the history keeps of a send.
std::string describeValuesJson(const FieldValues& values);

}  // namespace orvanta
