#include "commands/ProjectorState.h"

#include "text/LanguageText.h"

namespace orvanta {

Outcome CommandContext::fail(std::string text, Outcome::Step step, PromptIcon icon) const {
    prompt.inform(text, icon);
    return Outcome::failure(std::move(text), step);
}

ProjectorCapabilities ProjectorStateValues::capabilities() const {
    ProjectorCapabilities caps;
    caps.level = level;
    caps.flags = static_cast<std::uint16_t>(capabilityFlags);
    return caps;
}

StartupDisplay decodeStartupWord(std::uint16_t word) {
    StartupDisplay s;
    s.on = (word & 0x8000u) != 0;
    s.savedNumber = (word >> 8) & 0x7F;
    s.displayTime = word & 0x7F;
    return s;
}

std::uint16_t startupDisplayValue(const StartupDisplay& startup) {
    const int high = startup.savedNumber + (startup.on ? 128 : 0);
    return static_cast<std::uint16_t>(((high & 0xFF) << 8) + (startup.displayTime & 0xFF));
}

bool ProjectorInfo::levelUsable() const {
    return values.level >= 2 && values.level != kUnreachableValue;
}

bool ProjectorInfo::startupValid() const {
    return levelUsable() && values.stateWord != -1;
}

StartupDisplay ProjectorInfo::startup() const {
    return decodeStartupWord(static_cast<std::uint16_t>(values.stateWord));
}

namespace detail {

void replaceText(std::string& text, int from, int to) {
    if (text == languageText(from)) {
        text = languageText(to);
    }
}

Outcome runCtrl(TransferJob& job, const CommandContext& context, std::uint16_t code,
                std::uint8_t count, std::uint16_t value, int replaceFrom, int replaceTo) {
    job.control.code = code;
    job.control.count = count;
    job.control.value = value;
    job.control.address = context.target.address;
    job.control.password = context.target.password;
    if (context.runner.run(job, TransferKind::Ctrl)) {
        return Outcome::success();
    }
    if (replaceFrom != 0) {
        replaceText(job.outcome.resultText, replaceFrom, replaceTo);
    }
    return context.fail(job.outcome.resultText);
}

}  // namespace detail

using detail::runCtrl;

void prepareStateQuery(TransferJob& job, const ProjectorTarget& target) {
    job.control.code = kCtrlStateQuery;
    job.control.count = 2;
    job.control.value = 0;
    job.control.address = target.address;
    job.control.password = target.password;
    job.control.extra1 = -1;
    job.control.extra2 = -1;
}

bool takeStateQuery(const TransferJob& job, ProjectorStateValues& values) {
    if (!job.outcome.succeeded()) {
        return false;
    }
    values.level = job.control.value;
    values.capabilityFlags = job.control.extra1;
    values.stateWord = job.control.extra2;
    return true;
}

bool takeProjectorInfo(const TransferJob& job, ProjectorInfo& info) {
    ProjectorStateValues fresh = info.values;
    if (!takeStateQuery(job, fresh)) {
        return false;
    }
    info.values = fresh;
    // Every answer decides anew: a projector of level 0 or 1 chosen after one of level 4 must
    // not keep the newer one's character set and options. Below level 2 the flags carry
    // nothing, and a projector that could not be reached has the start values.
    if (info.levelUsable()) {
        info.capabilities = fresh.capabilities();
    } else {
        info.capabilities = ProjectorCapabilities{};
        if (fresh.level >= 0 && fresh.level < 2) {
            info.capabilities.level = fresh.level;
        }
    }
    return true;
}

Outcome queryProjectorState(const CommandContext& context, ProjectorStateValues& values) {
    TransferJob job = context.job();
    prepareStateQuery(job, context.target);
    context.runner.run(job, TransferKind::CtrlStateQuery);
    if (!takeStateQuery(job, values)) {
        return context.fail(job.outcome.resultText);
    }
    return Outcome::success();
}

Outcome refreshProjectorInfo(const CommandContext& context) {
    TransferJob job = context.job();
    prepareStateQuery(job, context.target);
    context.runner.run(job, TransferKind::CtrlStateQuery);
    if (!takeProjectorInfo(job, context.projector)) {
        return context.fail(job.outcome.resultText);
    }
    return Outcome::success();
}

Outcome readProjectorValue(const CommandContext& context, std::uint16_t value, int& answer) {
    TransferJob job = context.job();
    job.control.code = kCtrlProjectorValue;
    job.control.count = 1;
    job.control.value = value;
    job.control.address = context.target.address;
    job.control.password = context.target.password;
    if (!context.runner.run(job, TransferKind::CtrlRead)) {
        return context.fail(job.outcome.resultText);
    }
    answer = job.control.value;
    return Outcome::success();
}

Outcome readErrorStatus(const CommandContext& context, bool silent) {
    TransferJob job = context.job();
    job.hidden = silent;
    Outcome outcome = runCtrl(job, context, kCtrlErrorStatus, 2, 0, int(Text::NoMessageData),
                              int(Text::RequestIllegal));
    if (outcome.ok()) {
        context.projector.values.status = static_cast<char>(job.control.value);
    }
    return outcome;
}

bool isFatalStatus(char status) {
    return status >= '1' && status <= '4';
}

Outcome checkProjectorReady(const CommandContext& context) {
    if (Outcome read = readErrorStatus(context); !read.ok()) {
        return std::move(read).at(Outcome::Step::Checks);
    }
    if (isFatalStatus(context.projector.values.status)) {
        return context.fail(languageText(Text::ProjectorFatalError), Outcome::Step::Checks);
    }
    return Outcome::success();
}

Outcome checkStoredMessage(const CommandContext& context, std::uint8_t slot) {
    ProjectorStateValues& values = context.projector.values;
    TransferJob first = context.job();
    if (Outcome o =
            runCtrl(first, context, kCtrlSlotCheck, 1, static_cast<std::uint16_t>(slot << 8),
                    int(Text::NoMessageData), int(Text::RequestIllegal));
        !o.ok()) {
        return std::move(o).at(Outcome::Step::Checks);
    }
    values.status = static_cast<char>(first.control.value);
    TransferJob second = context.job();
    if (Outcome o = runCtrl(second, context, kCtrlSlotCheckResult, 2, 0, int(Text::NoMessageData),
                            int(Text::RequestIllegal));
        !o.ok()) {
        return std::move(o).at(Outcome::Step::Checks);
    }
    values.status = static_cast<char>(second.control.value);
    if (values.status == '0') {
        return context.fail(languageText(Text::NoMessageData), Outcome::Step::Checks);
    }
    return Outcome::success();
}

}  // namespace orvanta
