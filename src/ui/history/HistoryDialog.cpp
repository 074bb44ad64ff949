#include "ui/history/HistoryDialog.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDateTime>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>
#include <map>

#include "text/LanguageText.h"
#include "ui/common/Accessibility.h"
#include "ui/common/BackgroundTask.h"
#include "ui/common/UiText.h"
#include "ui/history/HistoryModel.h"

namespace orvanta {
HistoryDialog::HistoryDialog(std::string programFolder, QWidget* parent)
    : QDialog(parent),
      folder_(std::move(programFolder)),
      model_(new HistoryModel(this)),
      filter_(new HistoryFilter(this)) {
    setObjectName(QStringLiteral("historyDialog"));
    setWindowTitle(text(Text::HistoryCaption));
    setModal(true);
    filter_->setSourceModel(model_);

    projectors_ = new QComboBox(this);
    projectors_->setObjectName(QStringLiteral("historyProjectorFilter"));
    nameControl(projectors_, text(Text::HistoryProjectorFilter));
    search_ = new QLineEdit(this);
    search_->setObjectName(QStringLiteral("historySearch"));
    nameControl(search_, text(Text::HistoryTextFilter));
    search_->setClearButtonEnabled(true);
    first_ = new QDateEdit(this);
    first_->setObjectName(QStringLiteral("historyFirstDay"));
    nameControl(first_, text(Text::HistorySinceFilter));
    last_ = new QDateEdit(this);
    last_->setObjectName(QStringLiteral("historyLastDay"));
    nameControl(last_, text(Text::HistoryUntilFilter));
    for (QDateEdit* d : {first_, last_}) {
        d->setCalendarPopup(true);
        d->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        d->setDate(QDate::currentDate());
    }

    table_ = new QTableView(this);
    table_->setObjectName(QStringLiteral("historyList"));
    nameControl(table_, text(Text::HistoryCaption));
    table_->setModel(filter_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->verticalHeader()->setVisible(false);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setWordWrap(false);
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("historyStatus"));
    status_->setWordWrap(true);

    open_ = new QPushButton(text(Text::HistoryOpenInEdit), this);
    open_->setObjectName(QStringLiteral("historyOpenButton"));
    nameControl(open_, text(Text::HistoryOpenInEdit));
    sendAgain_ = new QPushButton(text(Text::HistorySendAgain), this);
    sendAgain_->setObjectName(QStringLiteral("historySendAgainButton"));
    nameControl(sendAgain_, text(Text::HistorySendAgain));
    reload_ = new QPushButton(text(Text::HistoryReload), this);
    reload_->setObjectName(QStringLiteral("historyReloadButton"));
    nameControl(reload_, text(Text::HistoryReload));
    auto* close = new QPushButton(text(Text::ReturnButton), this);
    close->setObjectName(QStringLiteral("historyCloseButton"));
    nameControl(close, text(Text::ReturnButton));

    projectors_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    auto* filters = new QHBoxLayout;
    filters->addWidget(new QLabel(text(Text::HistoryProjectorFilter), this));
    filters->addWidget(projectors_);
    filters->addSpacing(12);
    filters->addWidget(new QLabel(text(Text::HistorySinceFilter), this));
    filters->addWidget(first_);
    filters->addWidget(new QLabel(text(Text::HistoryUntilFilter), this));
    filters->addWidget(last_);
    filters->addSpacing(12);
    filters->addWidget(new QLabel(text(Text::HistoryTextFilter), this));
    filters->addWidget(search_, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(open_);
    buttons->addWidget(sendAgain_);
    buttons->addStretch(1);
    buttons->addWidget(reload_);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(table_, 1);
    layout->addWidget(status_);
    layout->addLayout(buttons);
    resize(900, 500);

    connect(projectors_, &QComboBox::currentIndexChanged, this, &HistoryDialog::applyFilter);
    connect(search_, &QLineEdit::textChanged, this, &HistoryDialog::applyFilter);
    connect(first_, &QDateEdit::dateChanged, this, &HistoryDialog::applyFilter);
    connect(last_, &QDateEdit::dateChanged, this, &HistoryDialog::applyFilter);
    // The buttons follow the selection, and a new filter or list can take it away.
    connect(table_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &HistoryDialog::updateButtons);
    connect(filter_, &QAbstractItemModel::modelReset, this, &HistoryDialog::updateButtons);
    connect(filter_, &QAbstractItemModel::layoutChanged, this, &HistoryDialog::updateButtons);
    connect(filter_, &QAbstractItemModel::rowsRemoved, this, &HistoryDialog::updateButtons);
    connect(open_, &QPushButton::clicked, this, [this] { finish(Action::OpenInEdit); });
    connect(sendAgain_, &QPushButton::clicked, this, [this] { finish(Action::SendAgain); });
    connect(table_, &QTableView::doubleClicked, this, [this] {
        if (open_->isEnabled()) {
            finish(Action::OpenInEdit);
        }
    });
    connect(reload_, &QPushButton::clicked, this, &HistoryDialog::reload);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    updateButtons();
    reload();
}

HistoryDialog::~HistoryDialog() = default;

void HistoryDialog::reload() {
    reload_->setEnabled(false);
    const unsigned number = ++readNumber_;
    struct Read {
        Result<HistoryFile::Contents> contents;
        ProjectorGroups groups;
    };
    const Result<void> queued = runInBackground(
        this,
        [folder = folder_] {
            // Without the groups the list is still whole: only the group choices are missing.
            return Read{HistoryFile(historyPath(folder)).read(),
                        readProjectorGroups(folder).valueOr({})};
        },
        [this, number](const Read& read) {
            if (number == readNumber_) {  // else a later read is on its way
                showRecords(read.contents, read.groups);
            }
        });
    if (!queued) {
        showRecords(fail(languageText(Text::NoWorkerThread)), {});
    }
}

void HistoryDialog::showRecords(const Result<HistoryFile::Contents>& read,
                                const ProjectorGroups& groups) {
    reload_->setEnabled(true);
    if (!read) {
        status_->setText(text(Text::HistoryUnreadable).arg(qs(read.error())));
        emit loaded();
        return;
    }
    model_->setRecords(read.value().records);
    status_->clear();
    // The days the history covers; what was chosen inside them stays.
    QDate oldest = QDate::currentDate();
    QDate newest = oldest;
    for (int row = 0; row < model_->rowCount(); ++row) {
        const QDate day = QDateTime::fromMSecsSinceEpoch(model_->record(row).time).date();
        oldest = std::min(oldest, day);
        newest = std::max(newest, day);
    }
    {
        const QSignalBlocker blockFirst(first_);
        const QSignalBlocker blockLast(last_);
        first_->setDate(oldest);
        last_->setDate(newest);
    }
    fillProjectors(groups);
    applyFilter();
    table_->resizeColumnsToContents();
    emit loaded();
}

// Each choice carries the addresses it shows: none for all, a group's members, or one.
void HistoryDialog::fillProjectors(const ProjectorGroups& groups) {
    const QString current = projectors_->currentText();
    std::map<std::string, std::string> names;  // address -> the latest name it had
    for (int row = model_->rowCount() - 1; row >= 0; --row) {
        const HistoryRecord& r = model_->record(row);
        names[r.address] = r.projector.empty() ? names[r.address] : r.projector;
    }
    const QSignalBlocker block(projectors_);
    projectors_->clear();
    projectors_->addItem(text(Text::HistoryAllProjectors), QStringList());
    for (const ProjectorGroup& group : groups.groups) {
        QStringList members;
        for (const std::uint32_t address : group.addresses) {
            members << qs(formatAddress(address));
        }
        projectors_->addItem(text(Text::HistoryGroupChoice).arg(qs(group.name)), members);
    }
    for (const auto& [address, name] : names) {
        projectors_->addItem(name.empty()
                                 ? qs(address)
                                 : qs(address) + QStringLiteral(" (") + qs(name) + QLatin1Char(')'),
                             QStringList{qs(address)});
    }
    projectors_->setCurrentIndex(std::max(0, projectors_->findText(current)));
}

void HistoryDialog::applyFilter() {
    filter_->setAddresses(projectors_->currentData().toStringList());
    filter_->setSearchText(search_->text());
    filter_->setDays(first_->date(), last_->date());
    updateButtons();
}

std::optional<int> HistoryDialog::selectedRow() const {
    const QModelIndexList rows = table_->selectionModel()->selectedRows();
    if (rows.isEmpty()) {
        return std::nullopt;
    }
    return filter_->mapToSource(rows.front()).row();
}

void HistoryDialog::updateButtons() {
    const std::optional<int> row = selectedRow();
    const bool hasMessage = row && !model_->record(*row).message.empty();
    open_->setEnabled(hasMessage);
    sendAgain_->setEnabled(hasMessage);
}

void HistoryDialog::finish(Action action) {
    const std::optional<int> row = selectedRow();
    if (!row) {
        return;
    }
    chosen_ = model_->record(*row);
    action_ = action;
    accept();
}

}  // namespace orvanta
