// orvanta-service: the HTTP API that lets other systems (alarm panels, bell controllers, home
// automation, scripts) send messages to the projectors and control them, without a window.

#include <signal.h>
#include <systemd/sd-daemon.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "commands/ProjectorTurns.h"
#include "history/History.h"
#include "history/HistoryRecorder.h"
#include "platform/AtomicFile.h"
#include "platform/Environment.h"
#include "schedule/FiringLoop.h"
#include "service/Api.h"
#include "service/FleetCache.h"
#include "service/HttpServer.h"
#include "service/Idempotency.h"
#include "service/Service.h"
#include "service/ServiceConfig.h"
#include "service/ServiceLog.h"

namespace {

using namespace orvanta;
using namespace orvanta::service;

constexpr const char* kUsage =
    "usage: orvanta-service [--program-folder DIR] [--listen ADDRESS:PORT] [--config FILE]\n"
    "\n"
    "Serves the HTTP API (version 1) through which other programs send messages to the\n"
    "projectors of the program folder and show, hide, clear and mute them. Requests carry a\n"
    "token made with `orvanta-cli tokens add NAME --rights read,control,send`.\n"
    "\n"
    "  --program-folder DIR   the folder of LastPj.txt, Groups.txt, MessageData/ and the\n"
    "                         history, shared with the desktop program and orvanta-cli\n"
    "                         (default: ORVANTA_PROGRAM_FOLDER, else as they choose it)\n"
    "  --listen ADDRESS:PORT  where to listen (default 127.0.0.1:9720; [::1]:PORT for IPv6;\n"
    "                         port 0 takes a free one)\n"
    "  --config FILE          the config file (default: service.conf in the program folder),\n"
    "                         section [service]: listen, certificate and key (PEM files: TLS),\n"
    "                         fleet-refresh (seconds), command-threads\n"
    "  --help, --version\n"
    "\n"
    "Options given here override the config file. The service prints \"listening on\n"
    "ADDRESS:PORT\" once it answers, tells systemd it is ready, and on SIGTERM or Ctrl+C\n"
    "cancels the commands under way (a projector that already got a message is told to drop\n"
    "it), answers them, and ends.\n"
    "\n"
    "Limits: request bodies 64 KiB; 256 connections, 64 from one address; a connection idle\n"
    "for 10 s is closed; 8 commands carried out at once and 32 waiting, more are refused with\n"
    "503. After five wrong tokens from one address within a minute, further wrong ones are\n"
    "refused unread for 1, 2, 4 ... up to 64 s (429); valid tokens are never held up.\n"
    "\n"
    "Exit status: 0 after a stop, 1 when it cannot start, 2 wrong usage.\n";

int usage(const std::string& problem) {
    std::fprintf(stderr, "orvanta-service: %s\n\n%s", problem.c_str(), kUsage);
    return 2;
}

std::optional<std::string> optionValue(std::vector<std::string>& args, const std::string& name,
                                       std::string& problem) {
    std::optional<std::string> value;
    for (std::size_t i = 0; i < args.size();) {
        if (args[i] == name) {
            if (i + 1 >= args.size()) {
                problem = name + " needs a value";
                return std::nullopt;
            }
            value = args[i + 1];
            args.erase(args.begin() + static_cast<std::ptrdiff_t>(i),
                       args.begin() + static_cast<std::ptrdiff_t>(i + 2));
        } else if (args[i].rfind(name + "=", 0) == 0) {
            value = args[i].substr(name.size() + 1);
            args.erase(args.begin() + static_cast<std::ptrdiff_t>(i));
        } else {
            ++i;
        }
    }
    return value;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (const std::optional<int> status = answerHelpOrVersion(args, "orvanta-service", kUsage)) {
        return *status;
    }
    ProgramFolder folder = openProgramFolder(args, false);
    std::string problem;
    const std::optional<std::string> listen = optionValue(args, "--listen", problem);
    const std::optional<std::string> configFile = optionValue(args, "--config", problem);
    if (!problem.empty()) {
        return usage(problem);
    }
    if (!args.empty()) {
        return usage("unexpected argument " + args.front());
    }
    prepareProgramFolder(folder);
    if (!folder.problem.empty()) {
        logLine(LogPriority::Warning, folder.problem);
    }

    ServiceConfig config;
    if (Result<> read = readServiceConfig(configFile.value_or(serviceConfigPath(folder.path)),
                                          configFile.has_value(), config);
        !read) {
        logLine(LogPriority::Error, read.error());
        return 1;
    }
    if (listen) {
        if (const std::string bad = parseListen(*listen, config); !bad.empty()) {
            return usage(bad);
        }
    }
    HttpListen where;
    where.address = config.address;
    where.port = config.port;
    if (config.tls()) {
        Result<std::string, ReadProblem> certificate =
            readRegularFile(config.certificateFile, 1u << 20);
        Result<std::string, ReadProblem> key = readRegularFile(config.keyFile, 1u << 20);
        if (!certificate || !key) {
            logLine(LogPriority::Error, !certificate
                                            ? config.certificateFile + ": " + certificate.error()
                                            : config.keyFile + ": " + key.error());
            return 1;
        }
        where.certificatePem = std::move(certificate).value();
        where.keyPem = std::move(key).value();
    }

    // Signals are taken by sigwait below; every thread started from here on has them blocked.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    std::unique_ptr<HistoryWriterThread> history;
    FleetCache fleet(folder.path, config.fleetRefresh);
    IdempotencyStore idempotency(folder.path + "idempotency.jsonl");
    // The API's commands and the schedule's firings take turns at each projector.
    ProjectorTurns turns;
    std::unique_ptr<Api> api;
    std::unique_ptr<HttpServer> http;

    ApiSettings settings;
    settings.programFolder = folder.path;
    settings.tls = config.tls();
    settings.plainTextRemote = !config.loopback() && !config.tls();
    settings.commandThreads = config.commandThreads;

    // The parts, in the order they start; they stop in the reverse order. A new long-lived
    // part (one that runs beside the API) is added here.
    Service service;
    service.add(
        "history",
        [&] {
            if (historyEnabled()) {
                history = std::make_unique<HistoryWriterThread>(
                    HistoryFile(historyPath(folder.path)), [](const std::string& text) {
                        logLine(LogPriority::Warning, "history not written: " + text);
                    });
            }
            return Result<>();
        },
        [&] { history.reset(); });
    service.add(
        "idempotency keys", [&] { return idempotency.load(); }, [] {});
    service.add(
        "fleet watch", [&] { return fleet.start(); }, [&] { fleet.stop(); });
    service.add(
        "HTTP API",
        [&]() -> Result<> {
            settings.listen = config.listenText();
            api = std::make_unique<Api>(settings, fleet, idempotency, history.get(), &turns);
            http =
                std::make_unique<HttpServer>([&api = *api](HttpRequest request, Responder respond) {
                    api.handle(std::move(request), std::move(respond));
                });
            if (Result<> started = http->start(where); !started) {
                return started;
            }
            config.port = http->port();
            return {};
        },
        [&] {
            http->quiesce();
            api->shutdown();
            http->drain(std::chrono::seconds(3));
            http->stop();
            http.reset();
            api.reset();
        });
    // The scheduled messages fire here, so that they fire with nobody logged in.
    FiringLoop schedule(folder.path, historyEnabled(), &turns);
    service.add(
        "schedule",
        [&] {
            if (Result<> started = schedule.start(); !started) {
                logLine(LogPriority::Warning,
                        "the schedule does not fire here: " + started.error());
            }
            return Result<>();
        },
        [&] { schedule.stop(); });

    if (Result<> started = service.start(); !started) {
        logLine(LogPriority::Error, started.error());
        return 1;
    }
    const std::string listening = "listening on " + config.listenText() +
                                  (config.tls() ? " (TLS)" : "") + ", program folder " +
                                  folder.path;
    logLine(LogPriority::Notice, listening);
    if (settings.plainTextRemote) {
        logLine(LogPriority::Warning,
                "listening beyond loopback without TLS: tokens and messages travel unencrypted; "
                "set certificate and key in the config file");
    }
    sd_notify(0, ("READY=1\nSTATUS=" + listening).c_str());

    int signalNumber = 0;
    sigwait(&stopSignals, &signalNumber);
    sd_notify(0, "STOPPING=1\nSTATUS=stopping");
    logLine(LogPriority::Notice, std::string("stopping (") +
                                     (signalNumber == SIGINT ? "SIGINT" : "SIGTERM") +
                                     "): commands under way are cancelled");
    service.stop();
    logLine(LogPriority::Notice, "stopped");
    return 0;
}
