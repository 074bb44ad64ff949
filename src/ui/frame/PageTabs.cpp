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
    const auto add = [this](TabPage* page, const QString& name, Text caption) {
        page->setObjectName(name);
        tabs_->addTab(page, text(caption));
        pages_.push_back(page);
    };
    add(mainTab_, QStringLiteral("mainTab"), Text::TabMain);
    add(discoveryTab_, QStringLiteral("discoveryTab"), Text::TabDiscovery);
    add(editTab_, QStringLiteral("editTab"), Text::TabEdit);
    add(fleetTab_, QStringLiteral("fleetTab"), Text::FleetTab);
    add(scheduleTab_, QStringLiteral("scheduleTab"), Text::ScheduleTab);
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

void PageTabs::showCurrentPage() {
    if (currentPage() < MainTab || currentPage() > ScheduleTab) {
        tabs_->setCurrentIndex(MainTab);  // runs this again for the Main page
        return;
    }
    // Every page but the shown one has its background work stopped (leaving is cheap and may
    // be repeated), so nothing keeps running behind a page the operator cannot see.
    for (int page = MainTab; page <= ScheduleTab; ++page) {
        if (page != currentPage()) {
            pages_[static_cast<std::size_t>(page)]->leavePage();
        }
    }
    pages_[static_cast<std::size_t>(currentPage())]->showPage();
    emit pageShown(currentPage());
}

}  // namespace orvanta
