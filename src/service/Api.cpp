#include "service/Api.h"
#include "service/ScheduleRoute.h"

#include <sys/stat.h>

#include <algorithm>
#include <ctime>
#include <nlohmann/json.hpp>

#include "commands/DisplayCommands.h"
#include "commands/ManyProjectorRun.h"
#include "commands/Recipients.h"
#include "commands/SendCommand.h"
#include "commands/TemplateSend.h"
#include "history/History.h"
#include "history/HistoryRecorder.h"
#include "message/MessageFile.h"
#include "message/Payload.h"
#include "platform/EnumWords.h"
#include "platform/Environment.h"
#include "projectors/ProjectorGroups.h"
#include "projectors/ProjectorRegistry.h"
#include "service/FileSignature.h"
#include "service/FleetCache.h"
#include "service/Idempotency.h"
#include "service/OpenApi.h"
#include "service/ServiceLog.h"
#include "templates/Template.h"
#include "text/LanguageText.h"

namespace orvanta::service {

using nlohmann::json;

namespace {

std::string dump(const json& value) {
    return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

}  // namespace

HttpResponse jsonResponse(int status, const json& body) {
    HttpResponse r;
    r.status = status;
    r.body = dump(body) + "\n";
    return r;
}

HttpResponse problem(int status, const std::string& field, const std::string& text) {
    json body = {{"error", text}};
    if (!field.empty()) {
        body["field"] = field;
    }
    return jsonResponse(status, body);
}

namespace {

std::string utcTime(std::chrono::system_clock::time_point at) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(at);
    std::tm parts{};
    ::gmtime_r(&seconds, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return text;
}

json nullable(bool present, json value) {
    return present ? std::move(value) : json(nullptr);
}

// One projector as the Fleet tab shows it; `status` is nothing before its first answer.
json fleetRow(const ProjectorRecord& record, const std::optional<FleetStatus>& status) {
    json row = {{"address", formatAddress(record.address)},
                {"name", record.name.empty() ? json(nullptr) : json(record.name)}};
    if (!status) {
        row["reachable"] = nullptr;
        row["problem"] = nullptr;
        row["level"] = nullptr;
        row["message"] = nullptr;
        row["alarm"] = nullptr;
        row["startup"] = nullptr;
        row["answered"] = nullptr;
        return row;
    }
    const FleetStatus& s = *status;
    row["reachable"] = s.answered;
    row["problem"] = nullable(!s.answered, fleetStatusTexts(s).problem);
    row["level"] = nullable(s.answered, s.values.level);
    row["message"] = nullptr;
    if (s.messageStatus) {
        const int v = *s.messageStatus;
        row["message"] = {{"on", (v & 1) != 0}, {"slot", nullable((v & 1) != 0, v >> 8)}};
    }
    row["alarm"] = nullptr;
    if (s.alarmStatus) {
        const int v = *s.alarmStatus;
        const bool on = (v & 0x7F) != 0;
        row["alarm"] = {{"on", on}, {"sound", nullable(on && (v >> 8) != 0, v >> 8)}};
    }
    row["startup"] = nullptr;
    if (const std::optional<StartupDisplay> startup = s.startup()) {
        row["startup"] = {{"on", startup->on}};
        if (startup->on) {
            row["startup"]["slot"] = startup->savedNumber;
            row["startup"]["minutes"] = startup->displayTime;
        }
    }
    row["answered"] = nullable(s.answered, utcTime(s.answeredAt));
    return row;
}

// Answers as a send by the API does (Yes/OK) and keeps the last text.
struct AnswerYesPrompt : Prompt {
    void inform(const std::string& text, PromptIcon) override { last = text; }
    PromptAnswer ask(const std::string& text, PromptButtons buttons, PromptIcon) override {
        last = text;
        return buttons == PromptButtons::Ok || buttons == PromptButtons::OkCancel
                   ? PromptAnswer::Ok
                   : PromptAnswer::Yes;
    }
    std::string last;
};

// "show": true - the stored message is shown once the send completed.
Outcome showAfter(Outcome sent, const CommandContext& c, bool showNow, std::uint8_t slot) {
    if (sent.ok() && showNow) {
        Outcome shown = runDisplayCommand(c, DisplayCommand::DisplayOn, slot);
        if (!shown.ok()) {
            return shown;
        }
    }
    return sent;
}

std::string_view rowResult(RowStage stage) {
    static constexpr EnumWord<RowStage> kWords[] = {
        {RowStage::Complete, "complete"},
        {RowStage::Cancelled, "cancelled"},
    };
    return wordOf(kWords, stage, "failed");
}

// A message file of MessageData/ by its bare name, with or without ".ovx"; nothing for a name
// that could lead anywhere else.
std::optional<std::string> messageFilePath(const std::string& folder, const std::string& name) {
    if (name.empty() || name.size() > 255 || name.front() == '.' ||
        name.find('/') != std::string::npos || name.find('\0') != std::string::npos) {
        return std::nullopt;
    }
    const std::string base = folder + "MessageData/";
    if (hasMessageFileEnding(name)) {
        return base + name;
    }
    struct stat st {};
    if (::stat((base + name).c_str(), &st) == 0) {
        return base + name;
    }
    return base + name + ".ovx";
}

struct ResolvedTargets {
    std::vector<ManyProjectorTarget> targets;
    std::optional<HttpResponse> refusal;
};

// One projector is looked up here (it must be registered); a group or every registered one
// are named as the window and the command line name them.
ResolvedTargets resolveTargets(const std::string& folder, const ApiTarget& target) {
    ResolvedTargets out;
    if (target.kind != ApiTarget::Kind::Projector) {
        Recipients recipients =
            resolveRecipients(folder, target.kind == ApiTarget::Kind::Group
                                          ? RecipientChoice{RecipientScope::Group, target.name}
                                          : RecipientChoice{RecipientScope::AllRegistered, {}});
        if (!recipients) {
            out.refusal = recipients.reason() == RecipientProblem::NoSuchGroup
                              ? problem(404, "target.group", recipients.error())
                              : problem(503, "", recipients.error());
            return out;
        }
        out.targets = std::move(recipients).value();
        if (out.targets.empty()) {
            out.refusal = problem(422, "target", languageText(Text::PleaseSelectProjector));
        }
        return out;
    }
    const Result<ProjectorRegistry, RegistryProblem> registry = readRegistry(folder);
    if (!registry) {
        out.refusal = problem(503, "", registry.error());
        return out;
    }
    const std::optional<std::uint32_t> address = parseAddress(target.name);
    if (!address) {
        out.refusal = problem(400, "target.projector",
                              "\"target.projector\" is not an IPv4 address: " + target.name);
        return out;
    }
    const std::optional<std::size_t> row = registry.value().findAddress(*address);
    if (!row) {
        out.refusal =
            problem(404, "target.projector", "no projector is registered at " + target.name);
        return out;
    }
    const ProjectorRecord& r = registry.value().records[*row];
    out.targets.push_back({{r.address, r.password}, r.name, false});
    return out;
}

}  // namespace

// ---------------------------------------------------------------------------------------------

Api::Api(ApiSettings settings, FleetCache& fleet, IdempotencyStore& idempotency,
         HistoryWriterThread* history, ProjectorTurns* turns)
    : settings_(std::move(settings)),
      fleet_(fleet),
      idempotency_(idempotency),
      history_(history),
      tokens_(tokensPath(settings_.programFolder)),
      ownTurns_(turns == nullptr ? std::make_unique<ProjectorTurns>() : nullptr),
      turns_(turns == nullptr ? *ownTurns_ : *turns),
      commands_(settings_.commandThreads, settings_.queuedCommands),
      reads_(2, 64) {}

bool Api::Lane::submit(std::function<void()> task) {
    if (taken.fetch_add(1) >= limit) {
        --taken;
        return false;
    }
    Result<void> queued = pool.submit([this, task = std::move(task)] {
        task();
        --taken;
    });
    if (!queued) {
        --taken;
        logLine(LogPriority::Error, queued.error());
    }
    return queued.ok();
}

Api::~Api() {
    shutdown();
}

void Api::shutdown() {
    stopping_ = true;
    {
        std::lock_guard lock(runsMutex_);
        for (ManyProjectorRun* run : runs_) {
            run->cancel();
        }
    }
    commands_.pool.waitIdle();
    reads_.pool.waitIdle();
}

std::optional<TokenEntry> Api::findToken(const std::string& token) {
    std::lock_guard lock(tokenMutex_);
    // Read again whenever the file changed: a revoked token stops working at once.
    const std::string signature = fileSignature(tokens_.path());
    if (signature != tokenSignature_) {
        Result<std::vector<TokenEntry>> entries = tokens_.list();
        if (entries) {
            tokenCache_ = std::move(entries).value();
            tokenSignature_ = signature;
        } else {
            logLine(LogPriority::Error, entries.error());
            tokenCache_.clear();
            tokenSignature_.clear();
        }
    }
    return matchToken(tokenCache_, token);
}

long Api::throttled(const std::string& client) {
    std::lock_guard lock(throttleMutex_);
    const auto it = throttles_.find(client);
    if (it == throttles_.end()) {
        return 0;
    }
    const auto left = it->second.until - std::chrono::steady_clock::now();
    if (left <= std::chrono::steady_clock::duration::zero()) {
        return 0;
    }
    return std::max<long>(1,
                          static_cast<long>(std::chrono::ceil<std::chrono::seconds>(left).count()));
}

void Api::noteFailure(const std::string& client) {
    std::lock_guard lock(throttleMutex_);
    if (throttles_.size() > 10000) {
        throttles_.clear();  // a bounded table: forgetting only ever lets a client try sooner
    }
    Throttle& t = throttles_[client];
    const auto now = std::chrono::steady_clock::now();
    // Mistakes a minute apart are forgiven.
    if (now - t.last > std::chrono::minutes(1)) {
        t.failures = 0;
    }
    t.last = now;
    ++t.failures;
    // The first few mistakes are free (a mistyped token); then each one doubles the wait, up
    // to a minute.
    if (t.failures > 5) {
        const int shift = std::min(t.failures - 6, 6);
        t.until = now + std::chrono::seconds(1 << shift);
    }
}

void Api::writeHistory(HistoryRecord record, bool settled) {
    if (!settled) {
        history_->append(std::move(record));  // the HTTP thread never waits for the disk
        return;
    }
    // Off the HTTP thread the record is on disk before the answer goes out, so that a client
    // reading the history next finds it. (Waiting for the writer thread to drain instead
    // would never end while others keep it busy.)
    if (Result<> appended = HistoryFile(historyPath(settings_.programFolder)).append(record);
        !appended) {
        logLine(LogPriority::Warning, "history not written: " + appended.error());
    }
}

void Api::recordRequest(const HttpRequest& request, const Caller& caller, int status,
                        const std::string& text, bool toHistory, bool settled) {
    const std::string line = request.method + " " + request.path + " " + std::to_string(status) +
                             " token=" + (caller.token.empty() ? "-" : caller.token) +
                             " client=" + caller.client + (text.empty() ? "" : " " + text);
    logLine(status >= 500   ? LogPriority::Error
            : status >= 400 ? LogPriority::Notice
                            : LogPriority::Info,
            line);
    if (history_ == nullptr || !toHistory) {
        return;
    }
    HistoryRecord record;
    record.time = historyNow();
    record.user = currentUserName();
    record.command = "request";
    record.detail = request.method + " " + request.path;
    record.result = status < 400 ? "done" : "failed";
    record.text = std::to_string(status) + (text.empty() ? "" : " " + text);
    record.token = caller.token.empty() ? "-" : caller.token;
    record.client = caller.client;
    writeHistory(std::move(record), settled);
}

void Api::answer(const HttpRequest& request, const Caller& caller, const Responder& respond,
                 HttpResponse response, bool toHistory, bool settled) {
    std::string text;
    if (response.status >= 400) {
        const json body = json::parse(response.body, nullptr, false);
        if (body.is_object() && body.contains("error") && body["error"].is_string()) {
            text = body["error"].get<std::string>();
        }
    }
    recordRequest(request, caller, response.status, text, toHistory, settled);
    if (stopping_) {
        response.headers.emplace_back("Connection", "close");
    }
    respond(std::move(response));
}

void Api::handle(HttpRequest request, Responder respond) {
    Caller caller;
    caller.client = request.client;
    const std::string& path = request.path;
    // Answers given before a token was looked at go to the log only: health checks are a
    // monitor's heartbeat, and nobody without a token may fill the history (and so push the
    // operators' records out of it). Wrong tokens are recorded: they are slowed down.
    if (request.bodyTooLarge) {
        answer(request, caller, respond,
               problem(413, "", "The request body is larger than 64 KiB."), false);
        return;
    }
    if (path == "/v1/health") {
        answer(request, caller, respond,
               request.method == "GET" ? health() : problem(405, "", "use GET"), false);
        return;
    }
    if (path == "/v1/openapi.json") {
        HttpResponse r;
        r.body = openApiDocument();
        answer(request, caller, respond, std::move(r), false);
        return;
    }

    struct Route {
        const char* path;
        const char* method;
        unsigned right;
        int kind;  // < 0 a read, else an ApiVerb
    };
    static const Route kRoutes[] = {
        {"/v1/fleet", "GET", kRightRead, -1},
        {"/v1/projectors", "GET", kRightRead, -2},
        {"/v1/groups", "GET", kRightRead, -3},
        {"/v1/templates", "GET", kRightRead, -4},
        {"/v1/history", "GET", kRightRead, -5},
        {"/v1/send", "POST", kRightSend, static_cast<int>(ApiVerb::Send)},
        {"/v1/show", "POST", kRightControl, static_cast<int>(ApiVerb::Show)},
        {"/v1/hide", "POST", kRightControl, static_cast<int>(ApiVerb::Hide)},
        {"/v1/clear", "POST", kRightControl, static_cast<int>(ApiVerb::Clear)},
        {"/v1/mute", "POST", kRightControl, static_cast<int>(ApiVerb::Mute)},
        // What the schedule sends later needs the right to send.
        {"/v1/schedule", "GET", kRightRead, -6},
        {"/v1/schedule", "POST", kRightSend, -7},
    };
    const Route* route = nullptr;
    for (const Route& r : kRoutes) {
        if (path == r.path && (route == nullptr || request.method == r.method)) {
            route = &r;
        }
    }
    if (route == nullptr) {
        answer(request, caller, respond, problem(404, "", "no such endpoint: " + path), false);
        return;
    }

    // A valid token always passes; what is slowed down is guessing: after repeated wrong
    // tokens from one address, further wrong ones are refused before they are looked at.
    const auto refuseToken = [&](const std::string& why, const char* challenge) {
        if (const long wait = throttled(caller.client); wait > 0) {
            HttpResponse r = problem(429, "",
                                     "too many failed attempts from this address; try "
                                     "again in " +
                                         std::to_string(wait) + " s");
            r.headers.emplace_back("Retry-After", std::to_string(wait));
            answer(request, caller, respond, std::move(r), false);
            return;
        }
        noteFailure(caller.client);
        HttpResponse r = problem(401, "", why);
        r.headers.emplace_back("WWW-Authenticate", challenge);
        answer(request, caller, respond, std::move(r));
    };
    const std::string authorization = request.header("authorization");
    const std::string bearer = "Bearer ";
    if (authorization.size() <= bearer.size() ||
        !std::equal(bearer.begin(), bearer.end(), authorization.begin(),
                    [](char a, char b) { return std::tolower(a) == std::tolower(b); })) {
        refuseToken("a token is needed: Authorization: Bearer TOKEN", "Bearer");
        return;
    }
    const std::optional<TokenEntry> token = findToken(authorization.substr(bearer.size()));
    if (!token) {
        refuseToken("the token is not valid (unknown or revoked)",
                    "Bearer error=\"invalid_token\"");
        return;
    }
    caller.token = token->name;
    caller.rights = token->rights;
    if ((token->rights & route->right) == 0) {
        answer(request, caller, respond,
               problem(403, "",
                       "the token \"" + token->name + "\" lacks the right \"" +
                           tokenRightsText(route->right) + "\""));
        return;
    }
    if (request.method != route->method) {
        answer(request, caller, respond,
               problem(405, "", std::string("use ") + route->method + " for " + path));
        return;
    }
    if (route->kind == -1) {
        answer(request, caller, respond, fleet());  // from memory: at once
        return;
    }
    if (stopping_) {
        answer(request, caller, respond, problem(503, "", "the service is stopping"));
        return;
    }
    if (route->kind < 0) {
        const int kind = route->kind;
        const bool queued = reads_.submit([this, request, caller, respond, kind] {
            HttpResponse r = kind == -2   ? projectors()
                             : kind == -3 ? groups()
                             : kind == -4 ? templates()
                             : kind == -5 ? history(request)
                                          : scheduleRoute(settings_.programFolder, request);
            answer(request, caller, respond, std::move(r), true, true);
        });
        if (!queued) {
            answer(request, caller, respond, problem(503, "", "too many requests at once"));
        }
        return;
    }

    // A command: with an Idempotency-Key, a retry gets the first answer.
    const auto verb = static_cast<ApiVerb>(route->kind);
    const std::string key = request.header("idempotency-key");
    if (!key.empty()) {
        if (!validIdempotencyKey(key)) {
            answer(request, caller, respond,
                   problem(400, "Idempotency-Key",
                           "Idempotency-Key must be 1 to 255 visible ASCII characters"));
            return;
        }
        HttpResponse earlier;
        switch (
            idempotency_.claim(caller.token, key, request.path + "\n" + request.body, earlier)) {
            case IdempotencyStore::Claim::New:
                break;
            case IdempotencyStore::Claim::Answered:
                earlier.headers.emplace_back("Idempotent-Replayed", "true");
                answer(request, caller, respond, std::move(earlier));
                return;
            case IdempotencyStore::Claim::Running:
                answer(request, caller, respond,
                       problem(409, "Idempotency-Key",
                               "the request with this Idempotency-Key is still under way"));
                return;
            case IdempotencyStore::Claim::Mismatch:
                answer(request, caller, respond,
                       problem(422, "Idempotency-Key",
                               "this Idempotency-Key was used for a different request"));
                return;
        }
    }
    const bool queued = commands_.submit([this, verb, request, caller, respond, key] {
        HttpResponse r = command(verb, request, caller);
        if (!key.empty()) {
            // A refusal for a passing reason may be tried again with the same key.
            if (r.status >= 500) {
                idempotency_.abandon(caller.token, key);
            } else {
                idempotency_.finish(caller.token, key, r);
            }
        }
        answer(request, caller, respond, std::move(r), true, true);
    });
    if (!queued) {
        if (!key.empty()) {
            idempotency_.abandon(caller.token, key);
        }
        answer(
            request, caller, respond,
            problem(503, "", stopping_ ? "the service is stopping" : "too many commands at once"));
    }
}

// ---------------------------------------------------------------------------------------------

HttpResponse Api::health() const {
    json body = {{"status", "ok"},
                 {"version", programVersion()},
                 {"listen", settings_.listen},
                 {"tls", settings_.tls}};
    if (settings_.plainTextRemote) {
        body["warning"] =
            "listening beyond loopback without TLS: tokens and messages travel "
            "unencrypted";
    }
    return jsonResponse(200, body);
}

HttpResponse Api::fleet() const {
    json rows = json::array();
    for (const FleetCache::Row& row : fleet_.rows()) {
        rows.push_back(fleetRow(row.record, row.status));
    }
    return jsonResponse(200, rows);
}

HttpResponse Api::projectors() const {
    const Result<ProjectorRegistry, RegistryProblem> registry =
        readRegistry(settings_.programFolder);
    if (!registry) {
        return problem(503, "", registry.error());
    }
    json rows = json::array();
    for (const ProjectorRecord& r : registry.value().records) {
        // Never the password.
        rows.push_back({{"address", formatAddress(r.address)},
                        {"name", r.name.empty() ? json(nullptr) : json(r.name)},
                        {"mac", r.mac.empty() ? json(nullptr) : json(r.mac)},
                        {"password", r.authentication != 0}});
    }
    return jsonResponse(200, rows);
}

HttpResponse Api::groups() const {
    const Result<ProjectorGroups, GroupProblem> groups =
        readProjectorGroups(settings_.programFolder);
    if (!groups) {
        return problem(503, "", groups.error());
    }
    const ProjectorRegistry registry = loadRegistry(settings_.programFolder);
    json rows = json::array();
    for (const ProjectorGroup& g : groups.value().groups) {
        json members = json::array();
        for (const GroupMember& m : groupMembers(g, registry)) {
            members.push_back({{"address", formatAddress(m.address)},
                               {"name", m.record && !m.record->name.empty() ? json(m.record->name)
                                                                            : json(nullptr)},
                               {"registered", m.record.has_value()}});
        }
        rows.push_back({{"name", g.name}, {"members", members}});
    }
    return jsonResponse(200, rows);
}

HttpResponse Api::templates() const {
    const TemplateSet set = loadTemplates(prepareTemplatesFolder(settings_.programFolder));
    if (!set.folderError.empty()) {
        return problem(503, "", set.folderError);
    }
    for (const TemplateFileError& e : set.errors) {
        logLine(LogPriority::Warning, "template " + e.name + ": " + e.text);
    }
    HttpResponse r;
    r.body = describeTemplatesJson(set.templates) + "\n";
    return r;
}

HttpResponse Api::history(const HttpRequest& request) const {
    std::optional<std::int64_t> since;
    if (const auto it = request.query.find("since"); it != request.query.end()) {
        since = parseHistoryTime(it->second);
        if (!since && !it->second.empty() &&
            std::all_of(it->second.begin(), it->second.end(),
                        [](char c) { return c >= '0' && c <= '9'; }) &&
            it->second.size() < 16) {
            since = std::stoll(it->second);
        }
        if (!since) {
            return problem(400, "since",
                           "\"since\" must be YYYY-MM-DD, YYYY-MM-DDTHH:MM[:SS] (local time) or "
                           "milliseconds since 1970");
        }
    }
    const Result<HistoryFile::Contents> contents =
        HistoryFile(historyPath(settings_.programFolder)).read();
    if (!contents) {
        return problem(503, "", contents.error());
    }
    json rows = json::array();
    for (const HistoryRecord& r : contents.value().records) {
        if (since && r.time < *since) {
            continue;
        }
        json row = json::parse(historyLine(r), nullptr, false);
        rows.push_back(std::move(row));
    }
    return jsonResponse(200, rows);
}

// ---------------------------------------------------------------------------------------------

HttpResponse Api::command(ApiVerb verb, const HttpRequest& request, const Caller& caller) {
    ApiReading reading = readApiCommand(verb, request.body);
    if (!reading.command) {
        return problem(reading.problem.status, reading.problem.field, reading.problem.text);
    }
    const ApiCommand& cmd = *reading.command;
    ResolvedTargets resolved = resolveTargets(settings_.programFolder, cmd.target);
    if (resolved.refusal) {
        return *resolved.refusal;
    }

    ManyProjectorOperation operation;
    std::shared_ptr<const SendFile> file;
    std::shared_ptr<const TemplateSend> templateToSend;
    SendRequest send;
    switch (verb) {
        case ApiVerb::Send: {
            if (!cmd.templateName.empty()) {
                TemplateResult<MessageTemplate> loaded =
                    loadTemplate(prepareTemplatesFolder(settings_.programFolder), cmd.templateName);
                if (!loaded) {
                    const bool missing = loaded.reason().kind == TemplateProblemKind::NotFound ||
                                         loaded.reason().kind == TemplateProblemKind::BadName;
                    return problem(missing ? 404 : 422, "template", loaded.error());
                }
                FieldValues values(cmd.fields.begin(), cmd.fields.end());
                TemplateSend templ = templateSendNow(std::move(loaded).value(), std::move(values));
                templ.slot = cmd.slot;
                if (cmd.startup) {
                    templ.startupMinutes = *cmd.startup == "repeat" ? 0 : std::stoi(*cmd.startup);
                }
                if (cmd.target.kind == ApiTarget::Kind::Group) {
                    templ.group = cmd.target.name;
                }
                // Refused before any projector is asked: a value the projectors cannot show
                // names its field.
                if (TemplateResult<> checked = checkTemplateSend(templ, resolved.targets);
                    !checked) {
                    const std::string& field = checked.reason().field;
                    return problem(422, field.empty() ? "template" : "fields." + field,
                                   checked.error());
                }
                auto shared = std::make_shared<const TemplateSend>(std::move(templ));
                templateToSend = shared;
                ManyProjectorOperation fill = templateSendOperation(shared, resolved.targets);
                const bool showNow = cmd.showNow;
                const std::uint8_t slot = cmd.slot;
                operation = [fill, showNow, slot](const CommandContext& c) {
                    return showAfter(fill(c), c, showNow, slot);
                };
                break;
            }
            const std::optional<std::string> path =
                messageFilePath(settings_.programFolder, cmd.file);
            if (!path) {
                return problem(
                    400, "file",
                    "\"file\" names a message file of MessageData/ by its name alone: " + cmd.file);
            }
            file = readSendFile(*path);
            if (!file->read) {
                return problem(422, "file", cmd.file + ": " + file->read.error());
            }
            send.path = *path;
            send.slot = cmd.slot;
            if (cmd.startup) {
                send.startupChecked = true;
                send.displayTimeText =
                    *cmd.startup == "repeat" ? languageText(Text::StartupRepeat) : *cmd.startup;
            }
            const bool showNow = cmd.showNow;
            operation = [send, file, showNow](const CommandContext& c) {
                return showAfter(sendFileToProjector(c, send, *file), c, showNow, send.slot);
            };
            break;
        }
        case ApiVerb::Show:
        case ApiVerb::Hide: {
            const DisplayCommand display = verb == ApiVerb::Hide ? DisplayCommand::DisplayOff
                                           : cmd.powerOn ? DisplayCommand::PowerOnAndDisplayOn
                                                         : DisplayCommand::DisplayOn;
            const std::uint8_t slot = cmd.slot;
            operation = [display, slot](const CommandContext& c) {
                return runDisplayCommand(c, display, slot);
            };
            break;
        }
        case ApiVerb::Clear: {
            const std::uint16_t code =
                cmd.clear == ClearWhat::All        ? clearCode(ClearScope::All)
                : cmd.clear == ClearWhat::Quick    ? clearCode(ClearScope::Quick)
                : cmd.clear == ClearWhat::SavedAll ? clearCode(ClearScope::SavedNumber, 0)
                                                   : clearCode(ClearScope::SavedNumber, cmd.slot);
            operation = [code](const CommandContext& c) { return runClear(c, code); };
            break;
        }
        case ApiVerb::Mute:
            operation = [](const CommandContext& c) { return runMute(c); };
            break;
    }

    if (cmd.dryRun) {
        json rows = json::array();
        for (const ManyProjectorTarget& t : resolved.targets) {
            const std::optional<FleetStatus> status = fleet_.status(t.target.address);
            json row = {{"address", formatAddress(t.target.address)},
                        {"name", t.name.empty() ? json(nullptr) : json(t.name)},
                        {"registered", !t.missing},
                        {"answered_last_refresh", status ? json(status->answered) : json(nullptr)}};
            // Encoded for the projector as the last refresh found it (a plain one before).
            ProjectorStateValues known;
            if (status && status->answered) {
                known = status->values;
            }
            const ProjectorCapabilities capabilities = known.capabilities();
            std::optional<std::size_t> size;
            std::string trouble;
            if (templateToSend) {
                const TemplateResult<FilledMessage> filled =
                    fillTemplate(templateToSend->tmpl, templateToSend->values,
                                 templateFacts(*templateToSend, t), capabilities);
                size = filled ? std::optional(filled.value().bodyBytes) : std::nullopt;
                trouble = filled ? std::string() : filled.error();
            } else if (file) {
                Message message = file->forProjector(capabilities.extendedOptions());
                EncodeSettings settings;
                settings.capabilities = capabilities;
                settings.optionsFromFile = true;
                AnswerYesPrompt quiet;
                const EncodeResult encoded = encodeMessage(message, settings, quiet);
                size = encoded ? std::optional(encoded.value().bodyLength) : std::nullopt;
                trouble = encoded                   ? std::string()
                          : encoded.error().empty() ? quiet.last
                                                    : encoded.error();
            }
            if (templateToSend || file) {
                row["encoded_bytes"] = size ? json(*size) : json(nullptr);
                if (!trouble.empty()) {
                    row["problem"] = trouble;
                }
            }
            rows.push_back(std::move(row));
        }
        return jsonResponse(200,
                            {{"command", apiVerbName(verb)}, {"dry_run", true}, {"rows", rows}});
    }

    // Two requests for one projector take turns: a projector holds one exchange at a time.
    const ManyProjectorOperation inTurn = turns_.inTurn(operation);

    std::map<std::uint32_t, std::string> names;
    for (const ManyProjectorTarget& t : resolved.targets) {
        names[t.target.address] = t.name;
    }
    // The rows' records are written together once every projector has ended: one flush of
    // the file for the whole command, not one per projector.
    std::mutex recordsMutex;
    std::vector<HistoryRecord> records;
    std::unique_ptr<HistoryRecorder> recorder;
    if (history_ != nullptr) {
        recorder = std::make_unique<HistoryRecorder>(
            [names](std::uint32_t address) {
                const auto it = names.find(address);
                return it == names.end() ? std::string() : it->second;
            },
            [&records, &recordsMutex, caller](const HistoryRecord& record) {
                HistoryRecord r = record;
                r.token = caller.token;
                r.client = caller.client;
                std::lock_guard lock(recordsMutex);
                records.push_back(std::move(r));
            });
    }
    ManyProjectorRunOptions options;
    // The request is the operator's confirmation: questions (Clear's "Are you sure?", a title
    // too long) are answered as orvanta-cli --yes answers them.
    options.answerYes = true;
    options.history = recorder.get();
    ManyProjectorRun run(resolved.targets, inTurn, {}, options);
    {
        std::lock_guard lock(runsMutex_);
        if (stopping_) {
            return problem(503, "", "the service is stopping");
        }
        runs_.insert(&run);
    }
    run.start();
    run.wait();
    {
        std::lock_guard lock(runsMutex_);
        runs_.erase(&run);
    }
    if (!records.empty()) {
        if (Result<> appended = HistoryFile(historyPath(settings_.programFolder)).append(records);
            !appended) {
            logLine(LogPriority::Warning, "history not written: " + appended.error());
        }
    }
    json rows = json::array();
    for (std::size_t i = 0; i < run.size(); ++i) {
        const ManyProjectorTarget& t = run.target(i);
        rows.push_back({{"address", formatAddress(t.target.address)},
                        {"name", t.name.empty() ? json(nullptr) : json(t.name)},
                        {"result", rowResult(run.stage(i))},
                        {"text", run.text(i)}});
    }
    const ManyProjectorRun::Summary summary = run.summary();
    return jsonResponse(200, {{"command", apiVerbName(verb)},
                              {"rows", rows},
                              {"summary",
                               {{"total", summary.total},
                                {"complete", summary.complete},
                                {"failed", summary.failed},
                                {"text", manyProjectorSummaryText(summary)}}}});
}

}  // namespace orvanta::service
