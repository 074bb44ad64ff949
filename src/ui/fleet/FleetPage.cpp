#include "ui/fleet/FleetPage.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include "projectors/ProjectorGroups.h"
#include "ui/common/Accessibility.h"
#include "ui/common/MainState.h"
#include "ui/common/PostToGui.h"
#include "ui/common/UiText.h"
#include "ui/fleet/FleetFilterModel.h"
#include "ui/fleet/FleetModel.h"
#include "ui/models/ProjectorRegistryModel.h"

namespace orvanta {

FleetPage::FleetPage(PageContext context, QWidget* parent, FleetWatchTimings timings)
    : TabPage(parent),
      context_(context),
      model_(new FleetModel(this)),
      filter_(new FleetFilterModel(this)),
      poller_(timings) {
    filter_->setSourceModel(model_);

    auto* showLabel = new QLabel(text(Text::FleetGroupFilter), this);
    groups_ = new QComboBox(this);
    groups_->setObjectName(QStringLiteral("fleetGroupFilter"));
    nameControl(groups_, text(Text::FleetGroupFilter));
    groups_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    showLabel->setBuddy(groups_);
    refresh_ = new QPushButton(text(Text::FleetRefresh), this);
    refresh_->setObjectName(QStringLiteral("fleetRefresh"));
    refresh_->setAccessibleName(text(Text::FleetRefresh));
    summary_ = new QLabel(this);
    summary_->setObjectName(QStringLiteral("fleetSummary"));
    // Heard by its text, which changes with every answer.

    table_ = new QTableView(this);
    table_->setObjectName(QStringLiteral("fleetTable"));
    table_->setAccessibleName(text(Text::FleetTableName));
    table_->setModel(filter_);
    table_->setSortingEnabled(true);
    table_->sortByColumn(-1, Qt::AscendingOrder);  // registry order until a header is clicked
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setAlternatingRowColors(true);
    table_->verticalHeader()->hide();
    // A long reason wraps onto a second line of its row rather than being cut off.
    table_->setWordWrap(true);
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    // Short values fit their contents; the free texts get a width of their own and whether the
    // projector answers (or why not) takes what is left, so that every column is seen in the
    // fixed window.
    QHeaderView* header = table_->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::ResizeToContents);
    for (const auto& [column, width] :
         {std::pair{FleetModel::NameColumn, 115}, std::pair{FleetModel::MessageColumn, 135},
          std::pair{FleetModel::AlarmColumn, 140}, std::pair{FleetModel::StartupColumn, 100}}) {
        header->setSectionResizeMode(column, QHeaderView::Interactive);
        header->resizeSection(column, width);
    }
    header->setSectionResizeMode(FleetModel::ReachableColumn, QHeaderView::Stretch);

    auto* top = new QHBoxLayout;
    top->addWidget(showLabel);
    top->addWidget(groups_);
    top->addStretch();
    top->addWidget(summary_);
    top->addWidget(refresh_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(table_, 1);
    setTabOrder(groups_, refresh_);
    setTabOrder(refresh_, table_);

    connect(groups_, &QComboBox::currentIndexChanged, this, [this] {
        chosenGroup_ = groups_->currentIndex() > 0 ? groups_->currentText() : QString();
        applyGroupFilter();
    });
    connect(refresh_, &QPushButton::clicked, this, [this] { poller_.refreshNow(); });
    // Double-click and Enter alike.
    connect(table_, &QTableView::activated, this, &FleetPage::chooseRow);
    connect(model_, &QAbstractItemModel::dataChanged, this, &FleetPage::updateSummary);
    connect(model_, &QAbstractItemModel::modelReset, this, &FleetPage::updateSummary);
    updateSummary();
}

FleetPage::~FleetPage() = default;

void FleetPage::showPage() {
    context_.projectors.reload();
    model_->setProjectors(context_.projectors.registry());
    fillGroups();
    ++generation_;
    const unsigned generation = generation_;
    poller_.start(model_->targets(), [this, generation](const FleetStatus& status) {
        postToGui(this, [this, generation, status] { statusArrived(generation, status); });
    });
}

void FleetPage::leavePage() {
    ++generation_;  // what is still on its way belongs to no shown page
    poller_.stop();
}

void FleetPage::fillGroups() {
    const Result<ProjectorGroups, GroupProblem> read =
        readProjectorGroups(context_.state.programFolder);
    const QString wanted = chosenGroup_;
    QSignalBlocker block(groups_);
    groups_->clear();
    groups_->addItem(text(Text::FleetAllRegistered));
    // An unreadable group file leaves only the whole fleet to show.
    for (const ProjectorGroup& g :
         read.ok() ? read.value().groups : std::vector<ProjectorGroup>{}) {
        groups_->addItem(qs(g.name));
    }
    const int found = wanted.isEmpty() ? 0 : groups_->findText(wanted, Qt::MatchExactly);
    groups_->setCurrentIndex(found > 0 ? found : 0);
    chosenGroup_ = found > 0 ? wanted : QString();
    applyGroupFilter();
}

void FleetPage::applyGroupFilter() {
    if (chosenGroup_.isEmpty()) {
        filter_->setAddresses(std::nullopt);
        return;
    }
    const Result<ProjectorGroups, GroupProblem> read =
        readProjectorGroups(context_.state.programFolder);
    std::set<std::uint32_t> addresses;
    if (read.ok()) {
        if (const ProjectorGroup* g = read.value().find(utf8(chosenGroup_))) {
            addresses.insert(g->addresses.begin(), g->addresses.end());
        }
    }
    filter_->setAddresses(std::move(addresses));
}

void FleetPage::statusArrived(unsigned generation, const FleetStatus& status) {
    if (generation == generation_) {
        model_->applyStatus(status);
    }
}

void FleetPage::updateSummary() {
    summary_->setText(textf(Text::FleetSummary, {model_->answeringCount(), model_->rowCount()}));
}

void FleetPage::chooseRow(const QModelIndex& index) {
    const QModelIndex source = filter_->mapToSource(index);
    if (source.isValid()) {
        emit projectorChosen(source.row());
    }
}

}  // namespace orvanta
