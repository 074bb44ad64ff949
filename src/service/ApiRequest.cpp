#include "service/ApiRequest.h"

#include <nlohmann/json.hpp>

#include <set>

#include "platform/EnumWords.h"

namespace orvanta::service {
namespace {

using nlohmann::json;

struct Bad {
    ApiProblem problem;
};

[[noreturn]] void bad(std::string field, std::string text, int status = 400) {
    throw Bad{{status, std::move(field), std::move(text)}};
}

const json* member(const json& object, const char* name) {
    const auto it = object.find(name);
    return it == object.end() ? nullptr : &*it;
}

void onlyKnown(const json& object, const std::set<std::string>& known, const std::string& prefix) {
    for (const auto& [key, value] : object.items()) {
        if (known.count(key) == 0) {
            bad(prefix + key, "unknown field \"" + prefix + key + "\"");
        }
    }
}

std::string requireString(const json& value, const std::string& field) {
    if (!value.is_string()) {
        bad(field, "\"" + field + "\" must be a string");
    }
    std::string text = value.get<std::string>();
    if (text.empty()) {
        bad(field, "\"" + field + "\" must not be empty");
    }
    return text;
}

bool requireBool(const json& value, const std::string& field) {
    if (!value.is_boolean()) {
        bad(field, "\"" + field + "\" must be true or false");
    }
    return value.get<bool>();
}

// "quick" or 1 to 12.
std::uint8_t readSlot(const json& value) {
    if (value.is_string() && value.get<std::string>() == "quick") {
        return 0;
    }
    if (value.is_number_integer()) {
        const auto n = value.get<std::int64_t>();
        if (n >= 1 && n <= 12) {
            return static_cast<std::uint8_t>(n);
        }
    }
    bad("slot", "\"slot\" must be \"quick\" or a number from 1 to 12");
}

ApiTarget readTarget(const json* value) {
    if (value == nullptr) {
        bad("target",
            "\"target\" is missing: {\"projector\": ADDRESS}, {\"group\": NAME} or "
            "{\"all\": true}",
            422);
    }
    if (!value->is_object() || value->size() != 1) {
        bad("target",
            "\"target\" must be one of {\"projector\": ADDRESS}, {\"group\": NAME} or "
            "{\"all\": true}");
    }
    onlyKnown(*value, {"projector", "group", "all"}, "target.");
    ApiTarget target;
    if (const json* p = member(*value, "projector")) {
        target.kind = ApiTarget::Kind::Projector;
        target.name = requireString(*p, "target.projector");
    } else if (const json* g = member(*value, "group")) {
        target.kind = ApiTarget::Kind::Group;
        target.name = requireString(*g, "target.group");
    } else {
        if (!requireBool(*member(*value, "all"), "target.all")) {
            bad("target.all", "\"target.all\" can only be true");
        }
        target.kind = ApiTarget::Kind::All;
    }
    return target;
}

ApiCommand read(ApiVerb verb, std::string_view body) {
    json root = json::parse(body.begin(), body.end(), nullptr, false);
    if (root.is_discarded()) {
        bad("", "the request body is not valid JSON");
    }
    if (!root.is_object()) {
        bad("", "the request body must be a JSON object");
    }
    std::set<std::string> known = {"target", "dry_run"};
    switch (verb) {
        case ApiVerb::Send:
            known.insert({"file", "template", "fields", "slot", "show", "startup"});
            break;
        case ApiVerb::Show:
            known.insert({"slot", "power_on"});
            break;
        case ApiVerb::Hide:
        case ApiVerb::Clear:
            known.insert("slot");
            break;
        case ApiVerb::Mute:
            break;
    }
    onlyKnown(root, known, "");

    ApiCommand command;
    command.verb = verb;
    command.target = readTarget(member(root, "target"));
    if (const json* d = member(root, "dry_run")) {
        command.dryRun = requireBool(*d, "dry_run");
    }
    const json* slot = member(root, "slot");
    switch (verb) {
        case ApiVerb::Send: {
            const json* file = member(root, "file");
            const json* templ = member(root, "template");
            const json* fields = member(root, "fields");
            if ((file == nullptr) == (templ == nullptr)) {
                bad(file == nullptr ? "file" : "template",
                    "a send names either a \"file\" or a \"template\"", 422);
            }
            if (file != nullptr) {
                command.file = requireString(*file, "file");
                if (fields != nullptr) {
                    bad("fields", "\"fields\" go with a \"template\", not with a \"file\"");
                }
            } else {
                command.templateName = requireString(*templ, "template");
                if (fields != nullptr) {
                    if (!fields->is_object()) {
                        bad("fields", "\"fields\" must be an object of texts");
                    }
                    for (const auto& [key, value] : fields->items()) {
                        if (!value.is_string()) {
                            bad("fields." + key, "\"fields." + key + "\" must be a string");
                        }
                        command.fields[key] = value.get<std::string>();
                    }
                }
            }
            if (slot != nullptr) {
                command.slot = readSlot(*slot);
            }
            if (const json* show = member(root, "show")) {
                command.showNow = requireBool(*show, "show");
            }
            if (const json* startup = member(root, "startup")) {
                if (startup->is_string() && startup->get<std::string>() == "repeat") {
                    command.startup = "repeat";
                } else if (startup->is_number_integer() && startup->get<std::int64_t>() >= 1 &&
                           startup->get<std::int64_t>() <= 127) {
                    command.startup = std::to_string(startup->get<std::int64_t>());
                } else {
                    bad("startup",
                        "\"startup\" must be a number of minutes from 1 to 127, or "
                        "\"repeat\"");
                }
                if (command.slot == 0) {
                    bad("startup", "the Quick message cannot be the startup display");
                }
            }
            break;
        }
        case ApiVerb::Show:
        case ApiVerb::Hide:
            if (slot == nullptr) {
                bad("slot", "\"slot\" is missing: \"quick\" or 1 to 12", 422);
            }
            command.slot = readSlot(*slot);
            if (const json* p = member(root, "power_on")) {
                command.powerOn = requireBool(*p, "power_on");
            }
            break;
        case ApiVerb::Clear:
            if (slot == nullptr) {
                bad("slot", "\"slot\" is missing: \"all\", \"quick\", \"saved-all\" or 1 to 12",
                    422);
            }
            if (slot->is_string() && slot->get<std::string>() == "all") {
                command.clear = ClearWhat::All;
            } else if (slot->is_string() && slot->get<std::string>() == "saved-all") {
                command.clear = ClearWhat::SavedAll;
            } else if (slot->is_string() && slot->get<std::string>() == "quick") {
                command.clear = ClearWhat::Quick;
            } else if (slot->is_number_integer() && slot->get<std::int64_t>() >= 1 &&
                       slot->get<std::int64_t>() <= 12) {
                command.clear = ClearWhat::Saved;
                command.slot = static_cast<std::uint8_t>(slot->get<std::int64_t>());
            } else {
                bad("slot", "\"slot\" must be \"all\", \"quick\", \"saved-all\" or 1 to 12");
            }
            break;
        case ApiVerb::Mute:
            break;
    }
    return command;
}

}  // namespace

std::string_view apiVerbName(ApiVerb verb) {
    static constexpr EnumWord<ApiVerb> kWords[] = {
        {ApiVerb::Send, "send"},   {ApiVerb::Show, "show"}, {ApiVerb::Hide, "hide"},
        {ApiVerb::Clear, "clear"}, {ApiVerb::Mute, "mute"},
    };
    return wordOf(kWords, verb, "send");
}

ApiReading readApiCommand(ApiVerb verb, std::string_view body) {
    ApiReading reading;
    try {
        reading.command = read(verb, body);
    } catch (const Bad& b) {
        reading.problem = b.problem;
    } catch (const nlohmann::json::exception& e) {
        // Only a value the checks above let through could throw; still no crash.
        reading.problem = {400, "", std::string("the request body cannot be read: ") + e.what()};
    }
    return reading;
}

}  // namespace orvanta::service
