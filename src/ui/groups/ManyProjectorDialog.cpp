#include "ui/groups/ManyProjectorDialog.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include "ui/common/Accessibility.h"
#include "ui/common/PostToGui.h"
#include "ui/common/UiText.h"
#include "ui/groups/ManyProjectorRowModel.h"

namespace orvanta {

namespace {

QPushButton* button(QWidget* parent, const char* name, Text caption) {
    auto* b = new QPushButton(text(caption), parent);
    b->setObjectName(QLatin1StringView(name));
    b->setAccessibleName(text(caption));
    b->setAutoDefault(false);
    return b;
}

}  // namespace

ManyProjectorDialog::ManyProjectorDialog(std::vector<ManyProjectorTarget> targets,
                                         ManyProjectorOperation operation,
                                         ManyProjectorRunOptions options, QWidget* parent,
                                         std::unique_ptr<CommandHistory> history)
    : QDialog(parent), targets_(std::move(targets)), history_(std::move(history)) {
    if (history_) {
        options.history = history_.get();
    }
    setObjectName(QStringLiteral("groupCommandDialog"));
    setWindowTitle(text(Text::ManyProjectorDialogTitle));
    setAccessibleName(text(Text::ManyProjectorDialogTitle));
    model_ = new ManyProjectorRowModel(targets_, this);
    table_ = new QTableView(this);
    table_->setObjectName(QStringLiteral("groupRows"));
    table_->setAccessibleName(text(Text::ManyProjectorRowsTable));
    table_->setModel(model_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setColumnWidth(ManyProjectorRowModel::AddressColumn, 120);
    table_->setColumnWidth(ManyProjectorRowModel::NameColumn, 140);
    table_->setColumnWidth(ManyProjectorRowModel::StateColumn, 120);
    summary_ = new QLabel(this);
    summary_->setObjectName(QStringLiteral("groupSummary"));
    summary_->setAccessibleName(accessibleCaption(text(Text::ManyProjectorColumnResult)));
    cancel_ = button(this, "cancelButton", Text::CancelButtonCaption);
    retry_ = button(this, "retryButton", Text::ManyProjectorRetryFailed);
    close_ = button(this, "closeButton", Text::ManyProjectorCloseButton);
    connect(cancel_, &QPushButton::clicked, this, [this] { run_->cancel(); });
    connect(retry_, &QPushButton::clicked, this, [this] {
        active_ = true;
        updateButtons();
        if (!run_->retryFailed()) {
            active_ = false;
            updateButtons();
        }
    });
    connect(close_, &QPushButton::clicked, this, &QDialog::accept);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(summary_, 1);
    buttons->addWidget(retry_);
    buttons->addWidget(cancel_);
    buttons->addWidget(close_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table_);
    layout->addLayout(buttons);
    resize(640, 360);

    run_ = std::make_unique<ManyProjectorRun>(targets_, std::move(operation),
                                              guiEventSink(this, &ManyProjectorDialog::onEvent),
                                              std::move(options));
    updateButtons();
}

ManyProjectorDialog::~ManyProjectorDialog() {
    // Cancels and joins while the members its events are for still exist.
    run_.reset();
}

void ManyProjectorDialog::start() {
    active_ = true;
    updateButtons();
    run_->start();
}

bool ManyProjectorDialog::running() const {
    return active_;
}

ManyProjectorRun::Summary ManyProjectorDialog::summary() const {
    return run_->summary();
}

QString ManyProjectorDialog::summaryText() const {
    return summary_->text();
}

void ManyProjectorDialog::onEvent(const ManyProjectorEvent& event) {
    if (event.kind == ManyProjectorEvent::Kind::Finished) {
        active_ = run_->running();
        // Heard with its value, as the other live fields are.
        showLiveValue(summary_, text(Text::ManyProjectorColumnResult),
                      qs(manyProjectorSummaryText(run_->summary())));
        updateButtons();
        if (!active_) {
            emit finished();
        }
        return;
    }
    model_->apply(event);
}

void ManyProjectorDialog::updateButtons() {
    const ManyProjectorRun::Summary s = run_->summary();
    cancel_->setEnabled(active_);
    retry_->setEnabled(!active_ && s.failed > 0);
    close_->setEnabled(!active_);
    if (!active_) {
        close_->setDefault(true);
    }
}

void ManyProjectorDialog::reject() {
    // Escape is Cancel while projectors are still being talked to, Close afterwards.
    if (active_) {
        run_->cancel();
        return;
    }
    QDialog::reject();
}

void ManyProjectorDialog::closeEvent(QCloseEvent* event) {
    if (active_) {
        run_->cancel();
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

}  // namespace orvanta
