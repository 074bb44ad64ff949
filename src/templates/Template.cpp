// Template model, value checks and filling.

#include "templates/Template.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <optional>

#include "message/Payload.h"
#include "message/ProjectorText.h"
#include "platform/EnumWords.h"
#include "platform/TextCodec.h"
#include "text/LanguageText.h"

namespace orvanta {

namespace {

// A text of the table with its "%s" replaced by `name`.
std::string withName(Text key, std::string_view name) {
    std::string text = languageText(key);
    if (const auto at = text.find("%s"); at != std::string::npos) {
        text.replace(at, 2, name);
    }
    return text;
}

template <typename T = void>
TemplateResult<T> refuse(TemplateProblemKind kind, std::string_view field, std::string reason) {
    std::string text =
        field.empty() ? std::move(reason) : withName(Text::TemplateFieldPrefix, field) + reason;
    return fail(TemplateProblem{kind, std::string(field)}, std::move(text));
}

bool isAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool isAsciiDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isNameCharacter(char16_t c) {
    return c < 0x80 && (isAsciiLetter(static_cast<char>(c)) || isAsciiDigit(static_cast<char>(c)) ||
                        c == u'_' || c == u'-');
}

// Units a value may never hold: they would end a line or page, start a color escape, end the
// text for the projector, or fill the title area.
bool isForbiddenValueUnit(char16_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == kPageFeedMark || c == 0x2028 ||
           c == 0x2029 || c == 0xFFFE || c == 0xFFFF;
}

// Characters (code points) of UTF-16 text.
std::size_t characterCount(std::u16string_view text) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool pair = text[i] >= 0xD800 && text[i] <= 0xDBFF && i + 1 < text.size() &&
                          text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
        i += pair ? 1 : 0;
        ++count;
    }
    return count;
}

int twoDigits(std::string_view text, std::size_t at) {
    if (!isAsciiDigit(text[at]) || !isAsciiDigit(text[at + 1])) {
        return -1;
    }
    return (text[at] - '0') * 10 + (text[at + 1] - '0');
}

bool isTimeValue(std::string_view text) {
    if (text.size() != 5 || text[2] != ':') {
        return false;
    }
    const int hours = twoDigits(text, 0);
    const int minutes = twoDigits(text, 3);
    return hours >= 0 && hours <= 23 && minutes >= 0 && minutes <= 59;
}

bool isDateValue(std::string_view text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') {
        return false;
    }
    const int high = twoDigits(text, 0);
    const int low = twoDigits(text, 2);
    const int month = twoDigits(text, 5);
    const int day = twoDigits(text, 8);
    if (high < 0 || low < 0 || month < 1 || month > 12 || day < 1) {
        return false;
    }
    const int year = high * 100 + low;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return day <= kDays[month - 1] + (month == 2 && leap ? 1 : 0);
}

// The value checks that do not depend on the projector.
TemplateResult<> checkValueOfKind(const TemplateField& field, std::string_view value) {
    const std::optional<std::u16string> units = decodeUtf8Strict(value);
    if (!units || std::any_of(units->begin(), units->end(), isForbiddenValueUnit)) {
        return refuse(TemplateProblemKind::ControlCharacter, field.name,
                      languageText(Text::TemplateValueControl));
    }
    switch (field.kind) {
        case FieldKind::Text:
            if (characterCount(*units) > static_cast<std::size_t>(field.maxLength)) {
                return refuse(TemplateProblemKind::TooLong, field.name,
                              formatText(Text::TemplateValueTooLong, {field.maxLength}));
            }
            break;
        case FieldKind::Choice:
            if (std::find(field.choices.begin(), field.choices.end(), value) ==
                field.choices.end()) {
                std::string list;
                for (const std::string& choice : field.choices) {
                    list += (list.empty() ? "" : ", ") + choice;
                }
                return refuse(TemplateProblemKind::NotAChoice, field.name,
                              languageText(Text::TemplateValueNotChoice) + list);
            }
            break;
        case FieldKind::Time:
            if (!isTimeValue(value)) {
                return refuse(TemplateProblemKind::NotATime, field.name,
                              languageText(Text::TemplateValueNotTime));
            }
            break;
        case FieldKind::Date:
            if (!isDateValue(value)) {
                return refuse(TemplateProblemKind::NotADate, field.name,
                              languageText(Text::TemplateValueNotDate));
            }
            break;
    }
    return {};
}

// Characters of `value` the narrow character set cannot show, each once, in order.
std::string unsupportedCharacters(std::string_view value) {
    const UnsupportedCharacters found = findUnsupported(utf8ToUtf16(value));
    std::u16string shown;
    const std::u16string units = utf8ToUtf16(value);
    for (std::size_t position : found.positions) {
        shown.push_back(units[position]);
    }
    return utf16ToUtf8(shown);
}

TemplateResult<> checkCharacters(std::string_view field, std::string_view value,
                                 const ProjectorCapabilities& capabilities) {
    if (capabilities.extendedCharacterSet()) {
        return {};
    }
    if (std::string lacking = unsupportedCharacters(value); !lacking.empty()) {
        return refuse(TemplateProblemKind::Unsupported, field,
                      languageText(Text::TemplateValueUnsupported) + lacking);
    }
    return {};
}

// Calls `visit(start, end, name)` for each "{name}" of `text` whose name is a valid field name.
template <typename Visit>
void forEachPlaceholder(const RichText& text, Visit&& visit) {
    const std::size_t size = text.units.size();
    for (std::size_t i = 0; i < size; ++i) {
        if (text.units[i].ch != u'{') {
            continue;
        }
        std::size_t end = i + 1;
        std::string name;
        while (end < size && isNameCharacter(text.units[end].ch) &&
               name.size() <= kMaxFieldNameBytes) {
            name.push_back(static_cast<char>(text.units[end].ch));
            ++end;
        }
        if (end < size && text.units[end].ch == u'}' && isValidFieldName(name)) {
            visit(i, end + 1, name);
            i = end;
        }
    }
}

// A prompt that answers every question with its refusing button and keeps quiet: the checks
// before filling have asked everything an operator could be asked.
constexpr EnumWord<FieldKind> kFieldKinds[] = {
    {FieldKind::Text, "text"},
    {FieldKind::Choice, "choice"},
    {FieldKind::Time, "time"},
    {FieldKind::Date, "date"},
};

class RefusingPrompt : public Prompt {
  public:
    void inform(const std::string&, PromptIcon) override {}
    PromptAnswer ask(const std::string&, PromptButtons buttons, PromptIcon) override {
        return buttons == PromptButtons::YesNo ? PromptAnswer::No : PromptAnswer::Cancel;
    }
};

}  // namespace

std::string_view fieldKindName(FieldKind kind) {
    return wordOf(kFieldKinds, kind, "text");
}

bool fieldKindFromName(std::string_view name, FieldKind& kind) {
    const std::optional<FieldKind> known = valueOf(kFieldKinds, name);
    if (known) {
        kind = *known;
    }
    return known.has_value();
}

const TemplateField* MessageTemplate::field(std::string_view fieldName) const {
    const auto found = std::find_if(fields.begin(), fields.end(),
                                    [&](const TemplateField& f) { return f.name == fieldName; });
    return found == fields.end() ? nullptr : &*found;
}

const std::vector<std::string_view>& builtinFieldNames() {
    static const std::vector<std::string_view> names = {kFieldProjector, kFieldAddress, kFieldGroup,
                                                        kFieldDate, kFieldTime};
    return names;
}

bool isBuiltinField(std::string_view name) {
    const auto& names = builtinFieldNames();
    return std::find(names.begin(), names.end(), name) != names.end();
}

bool isValidFieldName(std::string_view name) {
    if (name.empty() || name.size() > kMaxFieldNameBytes || !isAsciiLetter(name.front())) {
        return false;
    }
    return std::all_of(name.begin(), name.end(),
                       [](char c) { return isNameCharacter(static_cast<unsigned char>(c)); });
}

bool isValidTemplateName(std::string_view name) {
    if (name.empty() || name.size() > kMaxTemplateNameBytes || name.front() == '.' ||
        name.front() == ' ') {
        return false;
    }
    const std::optional<std::u16string> units = decodeUtf8Strict(name);
    return units && std::none_of(units->begin(), units->end(), [](char16_t c) {
               return c == u'/' || c < 0x20 || (c >= 0x7F && c <= 0x9F);
           });
}

std::vector<std::string> placeholderNames(const MessageTemplate& tmpl) {
    std::vector<std::string> names;
    const auto collect = [&](std::size_t, std::size_t, const std::string& name) {
        if (std::find(names.begin(), names.end(), name) == names.end()) {
            names.push_back(name);
        }
    };
    forEachPlaceholder(tmpl.message.title, collect);
    forEachPlaceholder(tmpl.message.body, collect);
    return names;
}

TemplateResult<> checkTemplate(const MessageTemplate& tmpl) {
    if (!isValidTemplateName(tmpl.name)) {
        return refuse(TemplateProblemKind::BadName, {}, languageText(Text::TemplateBadName));
    }
    for (std::size_t i = 0; i < tmpl.fields.size(); ++i) {
        const TemplateField& field = tmpl.fields[i];
        if (!isValidFieldName(field.name)) {
            return refuse(TemplateProblemKind::BadName, field.name,
                          languageText(Text::TemplateBadFieldName));
        }
        if (isBuiltinField(field.name)) {
            return refuse(TemplateProblemKind::BadName, field.name,
                          languageText(Text::TemplateFieldBuiltin));
        }
        if (tmpl.field(field.name) != &field) {
            return refuse(TemplateProblemKind::BadField, field.name,
                          languageText(Text::TemplateFieldTwice));
        }
        if (field.kind == FieldKind::Choice && field.choices.empty()) {
            return refuse(TemplateProblemKind::BadField, field.name,
                          languageText(Text::TemplateNoChoices));
        }
        if (field.kind == FieldKind::Text &&
            (field.maxLength < 1 || field.maxLength > kMaxFieldLength)) {
            return refuse(TemplateProblemKind::BadField, field.name,
                          formatText(Text::TemplateBadLimit, {kMaxFieldLength}));
        }
        if (!field.defaultValue.empty()) {
            if (auto valid = checkValueOfKind(field, field.defaultValue); !valid) {
                return refuse(TemplateProblemKind::BadField, field.name,
                              languageText(Text::TemplateBadDefault) + field.defaultValue);
            }
        }
    }
    for (const std::string& name : placeholderNames(tmpl)) {
        if (!isBuiltinField(name) && tmpl.field(name) == nullptr) {
            return refuse(TemplateProblemKind::UndefinedField, name,
                          languageText(Text::TemplateFieldUndefined));
        }
    }
    return {};
}

TemplateResult<FieldValues> checkValues(const MessageTemplate& tmpl, const FieldValues& given,
                                        const ProjectorCapabilities& capabilities) {
    for (const auto& [name, value] : given) {
        if (tmpl.field(name) == nullptr) {
            return refuse<FieldValues>(TemplateProblemKind::Unknown, name,
                                       languageText(Text::TemplateFieldUnknown));
        }
    }
    FieldValues values;
    for (const TemplateField& field : tmpl.fields) {
        const auto found = given.find(field.name);
        const std::string& value =
            found != given.end() && !found->second.empty() ? found->second : field.defaultValue;
        if (value.empty()) {
            if (field.required) {
                return refuse<FieldValues>(TemplateProblemKind::Missing, field.name,
                                           languageText(Text::TemplateValueMissing));
            }
        } else {
            if (auto valid = checkValueOfKind(field, value); !valid) {
                return valid.failure();
            }
            if (auto shown = checkCharacters(field.name, value, capabilities); !shown) {
                return shown.failure();
            }
        }
        values[field.name] = value;
    }
    return values;
}

TemplateResult<std::pair<std::string, std::string>> parseAssignment(std::string_view text) {
    const auto equals = text.find('=');
    if (equals == std::string_view::npos || equals == 0) {
        return refuse<std::pair<std::string, std::string>>(TemplateProblemKind::Unknown, {},
                                                           languageText(Text::TemplateAssignment));
    }
    return std::pair{std::string(text.substr(0, equals)), std::string(text.substr(equals + 1))};
}

void stampSendTime(SendFacts& facts) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char date[16];
    char time[8];
    std::strftime(date, sizeof date, "%Y-%m-%d", &local);
    std::strftime(time, sizeof time, "%H:%M", &local);
    facts.date = date;
    facts.time = time;
}

RichText fillText(const RichText& text, const FieldValues& values,
                  const std::vector<std::string>& fieldNames) {
    RichText out;
    out.units.reserve(text.units.size());
    std::size_t copied = 0;
    forEachPlaceholder(text, [&](std::size_t start, std::size_t end, const std::string& name) {
        if (std::find(fieldNames.begin(), fieldNames.end(), name) == fieldNames.end()) {
            return;  // not a field: the braces are text
        }
        out.units.insert(out.units.end(), text.units.begin() + static_cast<std::ptrdiff_t>(copied),
                         text.units.begin() + static_cast<std::ptrdiff_t>(start));
        const RichUnit& format = text.units[start];
        if (const auto value = values.find(name); value != values.end()) {
            out.append(utf8ToUtf16(value->second), format.color, format.background);
        }
        copied = end;
    });
    out.units.insert(out.units.end(), text.units.begin() + static_cast<std::ptrdiff_t>(copied),
                     text.units.end());
    return out;
}

TemplateResult<FilledMessage> fillTemplate(const MessageTemplate& tmpl, const FieldValues& given,
                                           const SendFacts& facts,
                                           const ProjectorCapabilities& capabilities) {
    if (auto valid = checkTemplate(tmpl); !valid) {
        return valid.failure();
    }
    auto checked = checkValues(tmpl, given, capabilities);
    if (!checked) {
        return checked.failure();
    }
    FieldValues values = std::move(checked).value();
    const std::string projectorName =
        facts.projectorName.empty() ? facts.address : facts.projectorName;
    const std::pair<std::string_view, const std::string*> builtins[] = {
        {kFieldProjector, &projectorName}, {kFieldAddress, &facts.address},
        {kFieldGroup, &facts.group},       {kFieldDate, &facts.date},
        {kFieldTime, &facts.time},
    };
    std::vector<std::string> names;
    for (const TemplateField& field : tmpl.fields) {
        names.push_back(field.name);
    }
    const std::vector<std::string> used = placeholderNames(tmpl);
    for (const auto& [name, value] : builtins) {
        names.emplace_back(name);
        // What the program fills comes from the registry and the clock; it is held to the
        // same rules as typed values, but only where the message uses it.
        const std::string key(name);
        if (std::find(used.begin(), used.end(), key) == used.end()) {
            continue;
        }
        const std::optional<std::u16string> units = decodeUtf8Strict(*value);
        if (!units || std::any_of(units->begin(), units->end(), isForbiddenValueUnit)) {
            return refuse<FilledMessage>(TemplateProblemKind::ControlCharacter, key,
                                         languageText(Text::TemplateValueControl));
        }
        if (auto shown = checkCharacters(key, *value, capabilities); !shown) {
            return shown.failure();
        }
        values[key] = *value;
    }

    FilledMessage filled;
    filled.message = tmpl.message;
    filled.message.title = fillText(tmpl.message.title, values, names);
    filled.message.body = fillText(tmpl.message.body, values, names);
    replaceTabs(filled.message.title);
    replaceTabs(filled.message.body);

    const bool wide = capabilities.extendedCharacterSet();
    const int limit = titleLimit(filled.message.options.characterSize, wide);
    if (filled.message.title.size() > static_cast<std::size_t>(limit)) {
        return refuse<FilledMessage>(TemplateProblemKind::TitleTooLong, {},
                                     formatText(Text::TemplateTitleTooLong, {limit}));
    }
    EncodeSettings settings;
    settings.purpose = EncodePurpose::Check;
    settings.capabilities = capabilities;
    settings.optionsFromFile = true;
    Message probe = filled.message;
    RefusingPrompt quiet;
    const EncodeResult encoded = encodeMessage(probe, settings, quiet);
    if (!encoded) {
        const EncodeProblem problem = encoded.reason();
        if (problem.kind == EncodeFailure::UnsupportedCharacters) {
            // Characters of the template's own text; values were checked above.
            return refuse<FilledMessage>(
                TemplateProblemKind::Unsupported, {},
                languageText(Text::TemplateValueUnsupported) + problem.found.listText);
        }
        if (problem.kind == EncodeFailure::BodyTooLong) {
            return refuse<FilledMessage>(TemplateProblemKind::MessageTooLong, {},
                                         formatText(Text::TemplateMessageTooLong,
                                                    {static_cast<long long>(problem.bodyLength),
                                                     static_cast<long long>(kMaxBodyBytes)}));
        }
        // Too many characters for the encoder's working buffer: its own words say so.
        return refuse<FilledMessage>(TemplateProblemKind::MessageTooLong, {}, encoded.error());
    }
    filled.bodyBytes = encoded.value().bodyLength;
    filled.displayLines = countDisplayLines(filled.message, wide);
    return filled;
}

}  // namespace orvanta
