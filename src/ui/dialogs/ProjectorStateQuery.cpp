#include "ui/dialogs/ProjectorStateQuery.h"

#include <QWidget>
#include <algorithm>

#include "ui/common/PostToGui.h"
#include "ui/dialogs/CommunicationStatusDialog.h"

namespace orvanta {
namespace {

// Every query of the program, for finishAll; touched on the GUI thread only.
std::vector<ProjectorStateQuery*>& liveQueries() {
    static std::vector<ProjectorStateQuery*> queries;
    return queries;
}

}  // namespace

// One query: its own cancel flags, so that its Cancel and a command's never touch each other,
// and the dialog that runs it. A dropped run lives on until its worker has ended.
struct ProjectorStateQuery::Run {
    TransferFlags flags;
    std::unique_ptr<CommunicationStatusDialog> dialog;
    Done done;
    bool dropped = false;
    bool over = false;
};

ProjectorStateQuery::ProjectorStateQuery(QWidget* page, TransferTimings timings)
    : page_(page), timings_(timings) {
    liveQueries().push_back(this);
}

ProjectorStateQuery::~ProjectorStateQuery() {
    auto& all = liveQueries();
    all.erase(std::remove(all.begin(), all.end(), this), all.end());
    for (auto& run : runs_) {
        run->dropped = true;
        run->dialog->dismiss();
    }
    runs_.clear();  // each dialog waits for its worker
}

void ProjectorStateQuery::start(const ProjectorTarget& target, Done done) {
    drop();
    auto run = std::make_unique<Run>();
    run->dialog = std::make_unique<CommunicationStatusDialog>(page_, run->flags, timings_);
    run->dialog->setObjectName(QStringLiteral("stateQueryStatus"));
    run->done = std::move(done);
    prepareStateQuery(run->dialog->job(), target);
    Run* raw = run.get();
    connect(run->dialog.get(), &CommunicationStatusDialog::ended, this,
            [this, raw] { ended(raw); });
    runs_.push_back(std::move(run));
    raw->dialog->start(TransferKind::CtrlStateQuery);
}

void ProjectorStateQuery::drop() {
    for (auto& run : runs_) {
        if (!run->dropped && !run->over) {
            run->dropped = true;
            run->dialog->dismiss();
        }
    }
}

bool ProjectorStateQuery::running() const {
    return dialog() != nullptr;
}

CommunicationStatusDialog* ProjectorStateQuery::dialog() const {
    for (const auto& run : runs_) {
        if (!run->dropped && !run->over) {
            return run->dialog.get();
        }
    }
    return nullptr;
}

void ProjectorStateQuery::finish() {
    if (CommunicationStatusDialog* d = dialog()) {
        d->finish();
    }
}

void ProjectorStateQuery::finishAll() {
    // A Done may start another query (or end a page): work on a copy.
    const std::vector<ProjectorStateQuery*> queries = liveQueries();
    for (ProjectorStateQuery* q : queries) {
        const auto& all = liveQueries();
        if (std::find(all.begin(), all.end(), q) != all.end()) {
            q->finish();
        }
    }
}

void ProjectorStateQuery::ended(Run* run) {
    run->over = true;
    if (!run->dropped && run->done) {
        const Done done = std::move(run->done);
        done(run->dialog->job());
    }
    // The dialog is still inside its signal: it goes once that has returned.
    postToGui(this, [this, run] {
        runs_.erase(std::remove_if(runs_.begin(), runs_.end(),
                                   [run](const auto& r) { return r.get() == run; }),
                    runs_.end());
    });
}

}  // namespace orvanta
