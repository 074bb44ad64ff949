#include "ui/schedule/SchedulePage.h"

#include <sys/stat.h>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include "schedule/Firings.h"
#include "schedule/ScheduleRunner.h"
#include "text/Prompt.h"
#include "ui/common/Accessibility.h"
#include "ui/common/MainState.h"
#include "ui/common/UiText.h"
#include "ui/schedule/ScheduleEntryDialog.h"
#include "ui/schedule/ScheduleModel.h"

namespace orvanta {
namespace {

// The service writes its ledger at least once a minute while it runs.
constexpr Instant kServiceSilence = 120;

bool serviceRunning(const std::string& folder) {
    struct stat st {};
    if (::stat(ledgerPath(folder).c_str(), &st) != 0) {
        return false;
    }
    return ScheduleRunner::systemNow() - st.st_mtim.tv_sec <= kServiceSilence;
}

}  // namespace

SchedulePage::SchedulePage(PageContext context, QWidget* parent)
    : TabPage(parent),
      context_(context),
      model_(new ScheduleModel(context.state.programFolder, this)),
      pause_(new QCheckBox(text(Text::SchedulePause))),
      service_(new QLabel),
      table_(new QTableView),
      add_(new QPushButton(text(Text::ScheduleAdd))),
      edit_(new QPushButton(text(Text::ScheduleEdit))),
      remove_(new QPushButton(text(Text::ScheduleRemove))),
      problem_(new QLabel),
      next_(new QListWidget),
      watch_(new QTimer(this)) {
    pause_->setObjectName(QStringLiteral("pauseSchedule"));
    service_->setObjectName(QStringLiteral("serviceState"));
    service_->setWordWrap(true);
    service_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    table_->setObjectName(QStringLiteral("scheduleTable"));
    add_->setObjectName(QStringLiteral("addEntry"));
    edit_->setObjectName(QStringLiteral("editEntry"));
    remove_->setObjectName(QStringLiteral("removeEntry"));
    problem_->setObjectName(QStringLiteral("scheduleProblem"));
    problem_->setWordWrap(true);
    next_->setObjectName(QStringLiteral("nextFirings"));
    nameControl(table_, text(Text::ScheduleEntriesName));
    nameControl(next_, text(Text::ScheduleNextFirings));

    table_->setModel(model_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setWordWrap(false);
    table_->verticalHeader()->hide();

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(add_);
    buttons->addWidget(edit_);
    buttons->addWidget(remove_);
    buttons->addStretch();
    auto* nextLabel = new QLabel(text(Text::ScheduleNextFirings));
    nextLabel->setBuddy(next_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pause_);
    layout->addWidget(service_);
    layout->addWidget(table_, 3);
    layout->addLayout(buttons);
    layout->addWidget(problem_);
    layout->addWidget(nextLabel);
    layout->addWidget(next_, 2);

    connect(model_, &ScheduleModel::scheduleChanged, this, [this] { showSchedule(); });
    connect(model_, &ScheduleModel::changeFailed, this,
            [this](const QString& error) { problem_->setText(error); });
    // The switch writes only what the operator changed, never what a reload shows.
    connect(pause_, &QCheckBox::toggled, this, [this](bool paused) {
        if (paused == model_->schedule().paused) {
            return;
        }
        model_->change([paused](Schedule& s) -> Result<> {
            s.paused = paused;
            return {};
        });
    });
    connect(add_, &QPushButton::clicked, this, [this] { openEntry(true); });
    connect(edit_, &QPushButton::clicked, this, [this] { openEntry(false); });
    connect(table_, &QTableView::activated, this, [this] { openEntry(false); });
    connect(remove_, &QPushButton::clicked, this, [this] { removeEntry(); });
    auto selectionChanged = [this] {
        edit_->setEnabled(chosenRow() >= 0);
        remove_->setEnabled(chosenRow() >= 0);
    };
    connect(table_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            selectionChanged);
    connect(model_, &QAbstractItemModel::modelReset, this, selectionChanged);
    selectionChanged();
    connect(watch_, &QTimer::timeout, this, [this] { refresh(); });
    watch_->setInterval(2000);
    showSchedule();
}

SchedulePage::~SchedulePage() = default;

void SchedulePage::showPage() {
    model_->reload(true);
    refresh();
    watch_->start();
}

void SchedulePage::leavePage() {
    watch_->stop();
}

int SchedulePage::chosenRow() const {
    const QModelIndexList rows = table_->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.front().row();
}

void SchedulePage::refresh() {
    model_->reload();  // only when the file changed on disk
    service_->setText(text(serviceRunning(context_.state.programFolder)
                               ? Text::ScheduleServiceRunning
                               : Text::ScheduleServiceStopped));
    showSchedule();
}

void SchedulePage::showSchedule() {
    const Schedule& schedule = model_->schedule();
    {
        const QSignalBlocker quiet(pause_);
        pause_->setChecked(schedule.paused);
    }
    problem_->setText(qs(model_->readError()));
    next_->clear();
    if (schedule.paused) {
        next_->addItem(text(Text::SchedulePausedNote));
    }
    const std::vector<Firing> firings = nextFirings(schedule, ScheduleRunner::systemNow(), 10);
    for (const Firing& f : firings) {
        next_->addItem(qs(formatLocalTime(f.time) + "   " + schedule.entries[f.entry].name));
    }
    if (firings.empty()) {
        next_->addItem(text(Text::ScheduleNoFirings));
    }
}

void SchedulePage::openEntry(bool add) {
    const int row = chosenRow();
    if (!add && row < 0) {
        return;
    }
    ScheduleEntry entry;
    entry.when.time = {8, 0, 0};
    if (!add) {
        entry = model_->schedule().entries[static_cast<std::size_t>(row)];
    }
    auto* dialog = new ScheduleEntryDialog(context_.state.programFolder, entry, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    const std::string oldName = add ? std::string() : entry.name;
    connect(dialog, &QDialog::accepted, this, [this, dialog, oldName] {
        const ScheduleEntry changed = dialog->entry();
        problem_->clear();
        model_->change([changed, oldName](Schedule& s) -> Result<> {
            ScheduleEntry* old = oldName.empty() ? nullptr : s.find(oldName);
            if (changed.name != oldName && s.find(changed.name) != nullptr) {
                return fail("There is already a schedule entry called \"" + changed.name + "\".");
            }
            if (old != nullptr) {
                *old = changed;
            } else {
                s.entries.push_back(changed);
            }
            return {};
        });
    });
    dialog->open();
}

void SchedulePage::removeEntry() {
    const int row = chosenRow();
    if (row < 0) {
        return;
    }
    const std::string name = model_->schedule().entries[static_cast<std::size_t>(row)].name;
    if (context_.prompt.ask(utf8(text(Text::ScheduleRemoveQuestion)) + "\n" + name,
                            PromptButtons::YesNo, PromptIcon::Question) != PromptAnswer::Yes) {
        return;
    }
    model_->change([name](Schedule& s) -> Result<> {
        std::erase_if(s.entries, [&name](const ScheduleEntry& e) { return e.name == name; });
        return {};
    });
}

}  // namespace orvanta
