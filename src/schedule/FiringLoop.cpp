#include "schedule/FiringLoop.h"

namespace orvanta {

FiringLoop::FiringLoop(std::string programFolder, bool history, ProjectorTurns* turns)
    : folder_(std::move(programFolder)), history_(history), turns_(turns) {}

FiringLoop::~FiringLoop() {
    stop();
}

Result<> FiringLoop::start() {
    if (runner_) {
        return {};
    }
    firer_ = std::make_unique<CommandFirer>(
        folder_, history_ ? std::make_unique<HistoryFile>(historyPath(folder_)) : nullptr,
        TransferTimings{}, turns_);
    runner_ = std::make_unique<ScheduleRunner>(folder_, *firer_, &ScheduleRunner::systemNow);
    Result<> started = runner_->open();
    if (started) {
        started = runner_->start();
    }
    if (!started) {
        runner_.reset();
        firer_.reset();
    }
    return started;
}

void FiringLoop::stop() {
    if (!runner_) {
        return;
    }
    runner_->stop();
    firer_.reset();  // cancels what still runs; their ends reach the runner's ledger
    runner_.reset();
}

}  // namespace orvanta
