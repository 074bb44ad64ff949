#pragma once
// Reading the JSON body of a command request (send, show, hide, clear, mute) into what the
// service runs. Everything is checked before anything is sent: an unknown field, a wrong type
// or a value out of range ends the reading with the field's name and what is wrong with it.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace orvanta::service {

enum class ApiVerb { Send, Show, Hide, Clear, Mute };
// "send", "show", ...
std::string_view apiVerbName(ApiVerb verb);

struct ApiTarget {
    enum class Kind { Projector, Group, All };
    Kind kind = Kind::Projector;
    std::string name;  // the dotted address or the group's name
};

enum class ClearWhat { All, Quick, Saved, SavedAll };

struct ApiCommand {
    ApiVerb verb = ApiVerb::Send;
    ApiTarget target;
    std::uint8_t slot = 0;  // 0 Quick, 1..12 (send, show, hide, clear of one saved number)
    ClearWhat clear = ClearWhat::All;
    bool powerOn = false;  // show: switch the projector on first
    bool dryRun = false;
    // send: a message file by name, or a template and its field values
    std::string file;
    std::string templateName;
    std::map<std::string, std::string> fields;
    bool showNow = false;                // send: show the message once stored
    std::optional<std::string> startup;  // send: "1".."127" minutes or "repeat"
};

struct ApiProblem {
    int status = 400;
    std::string field;  // the field at fault ("target.group"), empty for the body as a whole
    std::string text;   // what is wrong, in the program's words
};

struct ApiReading {
    std::optional<ApiCommand> command;
    ApiProblem problem;  // when there is no command
};

ApiReading readApiCommand(ApiVerb verb, std::string_view body);

}  // namespace orvanta::service
