#include "commands/ManyProjectorRun.h"

#include <algorithm>

#include "commands/ProjectorState.h"
#include "commands/StartupDisplay.h"
#include "text/LanguageText.h"

namespace orvanta {

namespace {

// The row's prompt: keeps what the command told, answers from the book, and turns a question
// that only this projector raised into the row's end.
class RowPrompt : public Prompt {
  public:
    RowPrompt(const AnswerBook* answers, bool answerYes) : answers_(answers), yes_(answerYes) {}

    void inform(const std::string& text, PromptIcon) override {
        if (!text.empty()) {
            last_ = text;
        }
    }
    PromptAnswer ask(const std::string& text, PromptButtons buttons, PromptIcon) override {
        if (yes_) {
            return buttons == PromptButtons::Ok || buttons == PromptButtons::OkCancel
                       ? PromptAnswer::Ok
                       : PromptAnswer::Yes;
        }
        if (answers_ != nullptr) {
            if (const auto answer = answers_->find(text)) {
                return *answer;
            }
        }
        last_ = text;
        return buttons == PromptButtons::YesNo ? PromptAnswer::No : PromptAnswer::Cancel;
    }
    const std::string& last() const { return last_; }

  private:
    const AnswerBook* answers_;
    bool yes_;
    std::string last_;
};

// Runs transfers on the row's own worker thread (a thread start per exchange would cost more
// than the exchange itself once many projectors share the processor) and says which step the
// row is at.
class RowRunner : public InlineTransferRunner {
  public:
    RowRunner(TransferFlags& flags, const TransferTimings& timings,
              std::function<void(RowStage)> stage)
        : InlineTransferRunner(flags, timings), stage_(std::move(stage)) {}

    bool run(TransferJob& job, TransferKind kind) override {
        RowStage stage = RowStage::Controlling;
        switch (kind) {
            case TransferKind::Put:
                stage = RowStage::Sending;
                break;
            case TransferKind::Stat:
                stage = RowStage::Saving;
                break;
            case TransferKind::Cancel:
                stage = RowStage::Cancelling;
                break;
            default:
                stage = first_ ? RowStage::Connecting : RowStage::Controlling;
                break;
        }
        first_ = false;
        if (stage != last_) {
            last_ = stage;
            stage_(stage);
        }
        return InlineTransferRunner::run(job, kind);
    }

  private:
    std::function<void(RowStage)> stage_;
    bool first_ = true;
    RowStage last_ = RowStage::Waiting;
};

// Talks to no projector: every transfer fails at once, with no text.
class NoProjectorRunner : public TransferRunner {
  public:
    explicit NoProjectorRunner(TransferFlags& flags) : TransferRunner(flags) {}
    bool run(TransferJob& job, TransferKind) override {
        job.outcome = TransferOutcome{};
        job.outcome.end = TransferEnd::Failure;
        return false;
    }
};

// Puts each question to the operator once and writes the answer into the book; what the
// rehearsal tells is not shown (the rows will say it, for the projectors it concerns).
class RehearsalPrompt : public Prompt {
  public:
    RehearsalPrompt(Prompt& real, AnswerBook& book) : real_(real), book_(book) {}
    void inform(const std::string&, PromptIcon) override {}
    PromptAnswer ask(const std::string& text, PromptButtons buttons, PromptIcon icon) override {
        if (const auto known = book_.find(text)) {
            return *known;
        }
        const PromptAnswer answer = real_.ask(text, buttons, icon);
        book_.add(text, answer);
        return answer;
    }

  private:
    Prompt& real_;
    AnswerBook& book_;
};

}  // namespace

bool rowFinished(RowStage stage) {
    return stage == RowStage::Complete || stage == RowStage::Failed || stage == RowStage::Cancelled;
}

std::string rowStageText(RowStage stage) {
    switch (stage) {
        case RowStage::Waiting:
            return languageText(Text::StatusWaiting);
        case RowStage::Connecting:
            return languageText(Text::ManyProjectorRowConnecting);
        case RowStage::Controlling:
            return languageText(Text::NowControlling);
        case RowStage::Sending:
            return languageText(Text::NowSending);
        case RowStage::Saving:
            return languageText(Text::ManyProjectorRowSaving);
        case RowStage::Cancelling:
            return languageText(Text::ManyProjectorRowCancelling);
        case RowStage::Complete:
            return languageText(Text::StatusComplete);
        case RowStage::Failed:
            return languageText(Text::ManyProjectorRowFailed);
        case RowStage::Cancelled:
            return languageText(Text::ManyProjectorRowCancelled);
    }
    return {};
}

std::optional<PromptAnswer> AnswerBook::find(const std::string& question) const {
    std::lock_guard lock(mutex_);
    const auto it = answers_.find(question);
    if (it == answers_.end()) {
        return std::nullopt;
    }
    return it->second;
}

void AnswerBook::add(const std::string& question, PromptAnswer answer) {
    std::lock_guard lock(mutex_);
    answers_[question] = answer;
}

std::size_t AnswerBook::size() const {
    std::lock_guard lock(mutex_);
    return answers_.size();
}

struct ManyProjectorRun::Row {
    ManyProjectorTarget target;
    TransferFlags flags;
    RowStage stage = RowStage::Waiting;  // guarded by ManyProjectorRun::mutex_
    std::string text;                    // guarded by ManyProjectorRun::mutex_
    std::atomic<int> attempts{0};
};

ManyProjectorRun::ManyProjectorRun(std::vector<ManyProjectorTarget> targets,
                                   ManyProjectorOperation operation,
                                   EventSink<ManyProjectorEvent> sink,
                                   ManyProjectorRunOptions options)
    : operation_(std::move(operation)), sink_(std::move(sink)), options_(std::move(options)) {
    rows_.reserve(targets.size());
    for (ManyProjectorTarget& t : targets) {
        rows_.push_back(std::make_unique<Row>());
        rows_.back()->target = std::move(t);
    }
    options_.maxParallel = std::clamp<std::size_t>(options_.maxParallel, 1, kMaxParallelProjectors);
    pool_ = std::make_unique<WorkerPool>(options_.maxParallel);
}

ManyProjectorRun::~ManyProjectorRun() {
    cancel();
    pool_.reset();
}

void ManyProjectorRun::report(const ManyProjectorEvent& event) {
    if (sink_) {
        sink_(event);
    }
}

void ManyProjectorRun::start() {
    std::vector<std::size_t> rows;
    {
        std::lock_guard lock(mutex_);
        if (running_) {
            return;
        }
        for (std::size_t i = 0; i < rows_.size(); ++i) {
            Row& row = *rows_[i];
            if (row.stage == RowStage::Complete) {
                continue;
            }
            rows.push_back(i);
            row.stage = RowStage::Waiting;
            row.text.clear();
            row.flags.cancelRequested = false;
            row.flags.cancelPending = false;
            row.flags.stopRequested = false;
            row.flags.cancelOverruled = false;
        }
        // One more than the rows, released below once every row is queued: the run cannot
        // end (and report it) while rows are still being handed out.
        unfinished_ = rows.size() + 1;
        running_ = true;
    }
    for (const std::size_t i : rows) {
        report({ManyProjectorEvent::Kind::Row, i, RowStage::Waiting, {}});
    }
    for (const std::size_t i : rows) {
        const Result<void> queued = pool_->submit([this, i] {
            runRow(i);
            rowEnded();
        });
        if (!queued) {
            finishRow(i, RowStage::Failed, languageText(Text::NoWorkerThread));
            rowEnded();
        }
    }
    rowEnded();
}

void ManyProjectorRun::rowEnded() {
    {
        std::lock_guard lock(mutex_);
        if (--unfinished_ != 0) {
            return;
        }
        running_ = false;
    }
    report({ManyProjectorEvent::Kind::Finished, 0, RowStage::Complete, {}});
}

bool ManyProjectorRun::retryFailed() {
    {
        std::lock_guard lock(mutex_);
        if (running_ || std::none_of(rows_.begin(), rows_.end(), [](const auto& r) {
                return r->stage == RowStage::Failed || r->stage == RowStage::Cancelled;
            })) {
            return false;
        }
    }
    start();
    return true;
}

void ManyProjectorRun::cancel() {
    for (const auto& row : rows_) {
        row->flags.stopRequested = true;
        row->flags.cancelRequested = true;
    }
}

void ManyProjectorRun::wait() {
    pool_->waitIdle();
}

bool ManyProjectorRun::running() const {
    std::lock_guard lock(mutex_);
    return running_;
}

ManyProjectorRun::Summary ManyProjectorRun::summary() const {
    std::lock_guard lock(mutex_);
    Summary s;
    s.total = rows_.size();
    for (const auto& row : rows_) {
        if (row->stage == RowStage::Complete) {
            ++s.complete;
        } else if (row->stage == RowStage::Failed || row->stage == RowStage::Cancelled) {
            ++s.failed;
        }
    }
    return s;
}

RowStage ManyProjectorRun::stage(std::size_t row) const {
    std::lock_guard lock(mutex_);
    return rows_[row]->stage;
}

std::string ManyProjectorRun::text(std::size_t row) const {
    std::lock_guard lock(mutex_);
    return rows_[row]->text;
}

const ManyProjectorTarget& ManyProjectorRun::target(std::size_t row) const {
    return rows_[row]->target;
}

int ManyProjectorRun::attempts(std::size_t row) const {
    return rows_[row]->attempts.load();
}

void ManyProjectorRun::finishRow(std::size_t index, RowStage stage, std::string text) {
    Row& row = *rows_[index];
    {
        std::lock_guard lock(mutex_);
        row.stage = stage;
        row.text = text;
    }
    report({ManyProjectorEvent::Kind::Row, index, stage, std::move(text)});
}

void ManyProjectorRun::runRow(std::size_t index) {
    Row& row = *rows_[index];
    if (row.flags.cancelAsked()) {
        // Never started: nothing reached the projector.
        finishRow(index, RowStage::Cancelled, languageText(Text::SendCancelled));
        return;
    }
    if (row.target.missing) {
        finishRow(index, RowStage::Failed, languageText(Text::ProjectorNoLongerRegistered));
        return;
    }
    auto stageChanged = [&](RowStage stage) {
        {
            std::lock_guard lock(mutex_);
            row.stage = stage;
        }
        report({ManyProjectorEvent::Kind::Row, index, stage, {}});
    };
    RowPrompt prompt(options_.answers.get(), options_.answerYes);
    RowRunner runner(row.flags, options_.timings, stageChanged);
    ProjectorInfo info;
    const CommandContext context{row.target.target, prompt, runner, info, options_.history};
    ++row.attempts;
    const Outcome outcome = operation_(context);
    std::string text = prompt.last();
    if (text.empty()) {
        text = outcome.text;
    }
    if (outcome.ok()) {
        finishRow(index, RowStage::Complete,
                  text.empty() ? languageText(Text::Complete) : std::move(text));
    } else if (outcome.cancelled() || row.flags.stopRequested.load()) {
        // Whatever the interrupted exchange made of it ("[No Response]"), it was a cancel.
        finishRow(index, RowStage::Cancelled,
                  text.empty() || !outcome.cancelled() ? languageText(Text::CommandCancelled)
                                                       : std::move(text));
    } else {
        finishRow(index, RowStage::Failed,
                  text.empty() ? languageText(Text::CommunicationError) : std::move(text));
    }
}

std::string manyProjectorSummaryText(const ManyProjectorRun::Summary& summary) {
    return formatText(Text::ManyProjectorSummary, {static_cast<long long>(summary.complete),
                                                   static_cast<long long>(summary.total),
                                                   static_cast<long long>(summary.failed)});
}

namespace {

// Encodes the message for every kind of projector - without the extended options (wide
// characters), with them and narrow, with them and wide - against no projector, each question
// going to the operator once. Nothing when the operator called the send off.
std::shared_ptr<AnswerBook> rehearseEncoding(
    const std::function<const Message&(bool extendedOptions)>& messageFor, EncodeSettings settings,
    std::uint8_t slot, Prompt& prompt) {
    auto book = std::make_shared<AnswerBook>();
    RehearsalPrompt asking(prompt, *book);
    TransferFlags flags;
    NoProjectorRunner runner(flags);
    const ProjectorCapabilities kinds[] = {{1, 0}, {4, 2}, {4, 6}};
    for (const ProjectorCapabilities& caps : kinds) {
        ProjectorInfo info;
        const CommandContext context{{}, asking, runner, info};
        Message message = messageFor(caps.extendedOptions());
        if (message.body.empty()) {
            continue;
        }
        settings.capabilities = caps;
        if (sendMessageToProjector(context, message, settings, slot).cancelled()) {
            return nullptr;
        }
    }
    return book;
}

}  // namespace

std::shared_ptr<AnswerBook> rehearseSend(const SendFile& file, const SendRequest& request,
                                         Prompt& prompt) {
    if (!file.read) {
        return std::make_shared<AnswerBook>();  // every row says the file cannot be read
    }
    EncodeSettings settings;
    settings.purpose = EncodePurpose::Send;
    settings.optionsFromFile = true;
    return rehearseEncoding(
        [&](bool extended) -> const Message& { return file.forProjector(extended); }, settings,
        request.slot, prompt);
}

std::shared_ptr<AnswerBook> rehearseMessage(const Message& message, const EncodeSettings& settings,
                                            std::uint8_t slot, Prompt& prompt) {
    return rehearseEncoding([&](bool) -> const Message& { return message; }, settings, slot,
                            prompt);
}

Outcome sendMessageInManyProjectorRun(const CommandContext& context, const Message& message,
                                      EncodeSettings settings, std::uint8_t slot,
                                      std::optional<int> startupMinutes) {
    return sendComposedMessage(context, message, std::move(settings), slot, startupMinutes,
                               {.queryState = true});
}

Outcome sendMessageInManyProjectorRun(const CommandContext& context,
                                      const RowMessageFor& messageFor, EncodeSettings settings,
                                      std::uint8_t slot, std::optional<int> startupMinutes) {
    return sendComposedMessage(context, messageFor, std::move(settings), slot, startupMinutes,
                               {.queryState = true});
}

std::shared_ptr<AnswerBook> rehearse(const ManyProjectorOperation& operation, Prompt& prompt) {
    auto book = std::make_shared<AnswerBook>();
    RehearsalPrompt asking(prompt, *book);
    TransferFlags flags;
    NoProjectorRunner runner(flags);
    ProjectorInfo info;
    const CommandContext context{{}, asking, runner, info};
    if (operation(context).cancelled()) {
        return nullptr;
    }
    return book;
}

}  // namespace orvanta
