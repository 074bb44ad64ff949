#include "ui/frame/PageTabs.h"

#include <QTabWidget>
#include <QVBoxLayout>

#include "ui/common/UiText.h"
#include "ui/discovery/DiscoveryPage.h"
#include "ui/edit/EditPage.h"
#include "ui/main/MainPage.h"

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
    mainTab_->setObjectName(QStringLiteral("mainTab"));
    discoveryTab_->setObjectName(QStringLiteral("discoveryTab"));
    editTab_->setObjectName(QStringLiteral("editTab"));
    tabs_->addTab(mainTab_, text(Text::TabMain));
    tabs_->addTab(discoveryTab_, text(Text::TabDiscovery));
    tabs_->addTab(editTab_, text(Text::TabEdit));
    tabs_->setCurrentIndex(MainTab);
    connect(tabs_, &QTabWidget::currentChanged, this, [this] { showCurrentPage(); });
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
        default:
            break;
    }
}

void PageTabs::showCurrentPage() {
    if (currentPage() < MainTab || currentPage() > EditTab) {
        tabs_->setCurrentIndex(MainTab);  // runs this again for the Main page
        return;
    }
    // Every page but the shown one has its background work stopped (leaving is cheap and may
    // be repeated), so nothing keeps running behind a page the operator cannot see.
    for (int page : {MainTab, DiscoveryTab, EditTab}) {
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
        default:
            mainTab_->showPage();
            break;
    }
    emit pageShown(currentPage());
}

}  // namespace orvanta
