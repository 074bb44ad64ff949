#include "schedule/CommandFirer.h"

#include <atomic>

#include "commands/DisplayCommands.h"
#include "commands/ProjectorState.h"
#include "commands/SendCommand.h"
#include "commands/StartupDisplay.h"
#include "commands/TemplateSend.h"
#include "history/HistoryRecorder.h"
#include "projectors/ProjectorGroups.h"
#include "projectors/ProjectorRegistry.h"
#include "text/LanguageText.h"

namespace orvanta {
namespace {

// Records the commands of an entry with the entry as their source.
class EntryHistory : public CommandHistory {
  public:
    EntryHistory(const HistoryFile* file, std::string source,
                 std::vector<ManyProjectorTarget> names)
        : file_(file), source_(std::move(source)), names_(std::move(names)) {}

    void record(const ProjectorTarget& target, const CommandRecord& command,
                const Outcome& outcome) override {
        if (file_ == nullptr) {
            return;
        }
        std::string name;
        for (const ManyProjectorTarget& t : names_) {
            if (t.target.address == target.address) {
                name = t.name;
            }
        }
        HistoryRecord r = makeHistoryRecord(target, command, outcome, name, historyNow());
        r.source = source_;
        (void)file_->append(r);  // a full disk must not stop the firing
    }

  private:
    const HistoryFile* file_;
    std::string source_;
    std::vector<ManyProjectorTarget> names_;
};

std::string messageFilePath(const std::string& folder, const std::string& file) {
    if (!file.empty() && file.front() == '/') {
        return file;
    }
    std::string path = folder + "MessageData/" + file;
    const bool hasEnding = file.size() > 4 && (file.ends_with(".ovx") || file.ends_with(".txt"));
    return hasEnding ? path : path + ".ovx";
}

std::string minutesText(int displayTime) {
    return displayTime == 0 ? languageText(Text::StartupRepeat) : std::to_string(displayTime);
}

}  // namespace

std::string scheduleSource(const std::string& entryName) {
    return "schedule: " + entryName;
}

Result<std::vector<ManyProjectorTarget>> resolveScheduleTarget(const std::string& programFolder,
                                                               const ScheduleTarget& target) {
    const Result<ProjectorRegistry, RegistryProblem> read = readRegistry(programFolder);
    if (!read) {
        return fail(read.error());
    }
    const ProjectorRegistry& registry = read.value();
    std::vector<ManyProjectorTarget> targets;
    auto add = [&](std::uint32_t address, bool missing) {
        for (const ManyProjectorTarget& t : targets) {
            if (t.target.address == address) {
                return;
            }
        }
        ManyProjectorTarget t;
        t.target.address = address;
        t.missing = missing;
        if (const auto row = registry.findAddress(address)) {
            t.target.password = registry.records[*row].password;
            t.name = registry.records[*row].name;
        }
        targets.push_back(std::move(t));
    };
    switch (target.kind) {
        case ScheduleTarget::Kind::Projectors:
            for (const std::string& text : target.projectors) {
                const auto address = parseAddress(text);
                if (!address) {
                    return fail("not an IPv4 address: " + text);
                }
                add(*address, false);
            }
            break;
        case ScheduleTarget::Kind::Group: {
            const Result<ProjectorGroups, GroupProblem> groups = readProjectorGroups(programFolder);
            if (!groups) {
                return fail(groups.error());
            }
            const ProjectorGroup* group = groups.value().find(target.group);
            if (group == nullptr) {
                return fail(languageText(Text::GroupNotFound) + " (" + target.group + ")");
            }
            for (const GroupMember& m : groupMembers(*group, registry)) {
                add(m.address, !m.record);
            }
            break;
        }
        case ScheduleTarget::Kind::AllRegistered:
            for (const ProjectorRecord& r : registry.records) {
                add(r.address, false);
            }
            break;
    }
    if (targets.empty()) {
        return fail(languageText(Text::PleaseSelectProjector));
    }
    return targets;
}

Result<ManyProjectorOperation> scheduleOperation(const std::string& programFolder,
                                                 const ScheduleAction& action,
                                                 const ScheduleTarget& target,
                                                 const std::vector<ManyProjectorTarget>& targets) {
    const auto slot = static_cast<std::uint8_t>(action.slot);
    const bool display = action.display;
    switch (action.kind) {
        case ScheduleActionKind::SendFile: {
            SendRequest request;
            request.path = messageFilePath(programFolder, action.file);
            request.slot = slot;
            request.startupChecked = action.startup.on;
            request.displayTimeText = minutesText(action.startup.displayTime);
            std::shared_ptr<const SendFile> file = readSendFile(request.path);
            if (!file->read) {
                return fail(action.file + ": " + file->read.error());
            }
            return ManyProjectorOperation([request, file, display](const CommandContext& c) {
                Outcome sent = sendFileToProjector(c, request, *file);
                if (!sent.ok() || !display) {
                    return sent;
                }
                return runDisplayCommand(c, DisplayCommand::DisplayOn, request.slot);
            });
        }
        case ScheduleActionKind::SendTemplate: {
            auto loaded = loadTemplate(templatesFolder(programFolder), action.templateName);
            if (!loaded) {
                return fail(action.templateName + ": " + loaded.error());
            }
            TemplateSend send = templateSendNow(
                std::move(loaded).value(), FieldValues(action.values.begin(), action.values.end()));
            send.slot = slot;
            if (action.startup.on) {
                send.startupMinutes = action.startup.displayTime;
            }
            send.group = target.kind == ScheduleTarget::Kind::Group ? target.group : std::string();
            if (auto checked = checkTemplateSend(send, targets); !checked) {
                return fail(action.templateName + ": " + checked.error());
            }
            ManyProjectorOperation sendOne = templateSendOperation(
                std::make_shared<const TemplateSend>(std::move(send)), targets);
            return ManyProjectorOperation([sendOne, slot, display](const CommandContext& c) {
                Outcome sent = sendOne(c);
                if (!sent.ok() || !display) {
                    return sent;
                }
                return runDisplayCommand(c, DisplayCommand::DisplayOn, slot);
            });
        }
        case ScheduleActionKind::Show:
        case ScheduleActionKind::Hide: {
            const DisplayCommand command = action.kind == ScheduleActionKind::Hide
                                               ? DisplayCommand::DisplayOff
                                           : action.powerOn ? DisplayCommand::PowerOnAndDisplayOn
                                                            : DisplayCommand::DisplayOn;
            return ManyProjectorOperation([command, slot](const CommandContext& c) {
                return runDisplayCommand(c, command, slot);
            });
        }
        case ScheduleActionKind::Clear: {
            std::uint16_t code = clearCode(ClearScope::All);
            if (action.clear == "quick") {
                code = clearCode(ClearScope::Quick);
            } else if (action.clear == "saved-all") {
                code = clearCode(ClearScope::SavedNumber, 0);
            } else if (action.clear != "all") {
                code = clearCode(ClearScope::SavedNumber, std::stoi(action.clear));
            }
            return ManyProjectorOperation(
                [code](const CommandContext& c) { return runClear(c, code); });
        }
        case ScheduleActionKind::Mute:
            return ManyProjectorOperation([](const CommandContext& c) { return runMute(c); });
        case ScheduleActionKind::Startup: {
            const int entry = action.startup.on ? action.startup.savedNumber : 0;
            const std::string minutes =
                action.startup.on ? minutesText(action.startup.displayTime) : std::string();
            return ManyProjectorOperation([entry, minutes](const CommandContext& c) {
                if (Outcome state = refreshProjectorInfo(c); !state.ok()) {
                    return state;
                }
                StartupDisplay shown;
                return applyStartupEdit(c, entry, minutes, shown);
            });
        }
    }
    return fail("unknown action");
}

struct CommandFirer::Firing {
    std::unique_ptr<EntryHistory> history;
    std::unique_ptr<ManyProjectorRun> run;
    std::atomic<bool> ended{false};
};

CommandFirer::CommandFirer(std::string programFolder, std::unique_ptr<HistoryFile> history,
                           TransferTimings timings, ProjectorTurns* turns)
    : folder_(std::move(programFolder)),
      history_(std::move(history)),
      timings_(timings),
      turns_(turns) {}

CommandFirer::~CommandFirer() {
    std::vector<std::unique_ptr<Firing>> firings;
    {
        const std::lock_guard guard(mutex_);
        firings.swap(firings_);
    }
    for (const auto& f : firings) {
        f->run->cancel();
    }
    firings.clear();  // each ManyProjectorRun joins its workers
}

void CommandFirer::reap() {
    std::vector<std::unique_ptr<Firing>> ended;
    {
        const std::lock_guard guard(mutex_);
        for (auto it = firings_.begin(); it != firings_.end();) {
            if ((*it)->ended) {
                ended.push_back(std::move(*it));
                it = firings_.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (const auto& f : ended) {
        f->run->wait();
    }
}

std::size_t CommandFirer::running() const {
    const std::lock_guard guard(mutex_);
    std::size_t count = 0;
    for (const auto& f : firings_) {
        count += f->ended ? 0 : 1;
    }
    return count;
}

void CommandFirer::fire(const ScheduleEntry& entry, Instant, Done done) {
    reap();
    Result<std::vector<ManyProjectorTarget>> targets = resolveScheduleTarget(folder_, entry.target);
    if (!targets) {
        done(false, targets.error());
        return;
    }
    Result<ManyProjectorOperation> operation =
        scheduleOperation(folder_, entry.action, entry.target, targets.value());
    if (!operation) {
        done(false, operation.error());
        return;
    }
    auto firing = std::make_unique<Firing>();
    firing->history =
        std::make_unique<EntryHistory>(history_.get(), scheduleSource(entry.name), targets.value());
    ManyProjectorRunOptions options;
    options.timings = timings_;
    options.answerYes = true;
    options.history = firing->history.get();
    Firing* self = firing.get();
    firing->run = std::make_unique<ManyProjectorRun>(
        targets.value(), turns_ == nullptr ? operation.value() : turns_->inTurn(operation.value()),
        [self, done](const ManyProjectorEvent& event) {
            if (event.kind != ManyProjectorEvent::Kind::Finished) {
                return;
            }
            const ManyProjectorRun::Summary summary = self->run->summary();
            done(summary.complete == summary.total, manyProjectorSummaryText(summary));
            self->ended = true;
        },
        options);
    ManyProjectorRun* run = firing->run.get();
    {
        const std::lock_guard guard(mutex_);
        firings_.push_back(std::move(firing));
    }
    run->start();
}

void CommandFirer::note(const std::string& entry, Instant due, FiringState state,
                        const std::string& text) {
    if (!history_) {
        return;
    }
    HistoryRecord r;
    r.time = historyNow();
    r.user = currentUserName();
    r.command = "schedule";
    r.detail = formatLocalTime(due);
    r.result = firingStateName(state);
    r.text = text;
    r.source = scheduleSource(entry);
    (void)history_->append(r);
}

}  // namespace orvanta
