#include "ui/frame/PageTabs.h"

#include <QTabWidget>
#include <QVBoxLayout>

#include "ui/common/MainState.h"
#include "ui/common/UiText.h"
#include "ui/discovery/DiscoveryPage.h"
#include "ui/edit/EditPage.h"
#include "ui/fleet/FleetPage.h"
#include "ui/main/MainPage.h"
#include "ui/schedule/SchedulePage.h"

namespace orvanta {

PageTabs::PageTabs(PageContext context, QWidget* parent)
    : QWidget(parent), tabs_(new QTabWidget(this)) {
    tabs_->setObjectName(QStringLiteral("pages"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(tabs_);
    // The order matters: the Discovery page loads the registry when it is created, and the
    // Edit page starts from what the others set up.
    mainTab_ = new MainPage(context, this);
    discoveryTab_ = new DiscoveryPage(context, this);
    editTab_ = new EditPage(context, this);
    fleetTab_ = new FleetPage(context, this);
    scheduleTab_ = new SchedulePage(context, this);
    mainTab_->setObjectName(QStringLiteral("mainTab"));
    discoveryTab_->setObjectName(QStringLiteral("discoveryTab"));
    editTab_->setObjectName(QStringLiteral("editTab"));
    fleetTab_->setObjectName(QStringLiteral("fleetTab"));
    scheduleTab_->setObjectName(QStringLiteral("scheduleTab"));
    tabs_->addTab(mainTab_, text(Text::TabMain));
    tabs_->addTab(discoveryTab_, text(Text::TabDiscovery));
    tabs_->addTab(editTab_, text(Text::TabEdit));
    tabs_->addTab(fleetTab_, text(Text::FleetTab));
    tabs_->addTab(scheduleTab_, text(Text::ScheduleTab));
    tabs_->setCurrentIndex(MainTab);
    connect(tabs_, &QTabWidget::currentChanged, this, [this] { showCurrentPage(); });
    // A projector chosen in the fleet table becomes the Main tab's, which then shows it.
    connect(fleetTab_, &FleetPage::projectorChosen, this, [this, &state = context.state](int row) {
        state.currentProjector = row;
        tabs_->setCurrentIndex(MainTab);
    });
}

int PageTabs::currentPage() const {
    return tabs_->currentIndex();
}

void PageTabs::leavePage(int page) {
    switch (page) {
        case MainTab:
            mainTab_->leavePage();
            break;
        case DiscoveryTab:
            discoveryTab_->leavePage();
            break;
        case EditTab:
            editTab_->leavePage();
            break;
        case FleetTab:
            fleetTab_->leavePage();
            break;
        case ScheduleTab:
            scheduleTab_->leavePage();
            break;
        default:
            break;
    }
}

void PageTabs::showCurrentPage() {
    if (currentPage() < MainTab || currentPage() > ScheduleTab) {
        tabs_->setCurrentIndex(MainTab);  // runs this again for the Main page
        return;
    }
    // Every page but the shown one has its background work stopped (leaving is cheap and may
    // be repeated), so nothing keeps running behind a page the operator cannot see.
    for (int page : {MainTab, DiscoveryTab, EditTab, FleetTab, ScheduleTab}) {
        if (page != currentPage()) {
            leavePage(page);
        }
    }
    switch (currentPage()) {
        case DiscoveryTab:
            discoveryTab_->showPage();
            break;
        case EditTab:
            editTab_->showPage();
            break;
        case FleetTab:
            fleetTab_->showPage();
            break;
        case ScheduleTab:
            scheduleTab_->showPage();
            break;
        default:
            mainTab_->showPage();
            break;
    }
    emit pageShown(currentPage());
}

}  // namespace orvanta
