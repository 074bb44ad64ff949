#include "ui/frame/COrvantaView.h"

#include <QTabWidget>
#include <QVBoxLayout>

#include "ui/common/UiText.h"
#include "ui/discovery/CPjList.h"
#include "ui/edit/CMessageEdit.h"
#include "ui/main/CMainTab.h"

namespace orvanta {

COrvantaView::COrvantaView(PageContext context, QWidget* parent)
    : QWidget(parent), tabs_(new QTabWidget(this)) {
    tabs_->setObjectName(QStringLiteral("pages"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(tabs_);
    // The order matters: the Discovery page loads the registry when it is created, and the
    // Edit page starts from what the others set up.
    mainTab_ = new CMainTab(context, this);
    discoveryTab_ = new CPjList(context, this);
    editTab_ = new CMessageEdit(context, this);
    mainTab_->setObjectName(QStringLiteral("mainTab"));
    discoveryTab_->setObjectName(QStringLiteral("discoveryTab"));
    editTab_->setObjectName(QStringLiteral("editTab"));
    tabs_->addTab(mainTab_, text(Text::TabMain));
    tabs_->addTab(discoveryTab_, text(Text::TabDiscovery));
    tabs_->addTab(editTab_, text(Text::TabEdit));
    tabs_->setCurrentIndex(MainPage);
    connect(tabs_, &QTabWidget::currentChanged, this, [this] { showCurrentPage(); });
}

int COrvantaView::currentPage() const {
    return tabs_->currentIndex();
}

void COrvantaView::leavePage(int page) {
    switch (page) {
        case MainPage:
            mainTab_->leavePage();
            break;
        case DiscoveryPage:
            discoveryTab_->leavePage();
            break;
        case EditPage:
            editTab_->leavePage();
            break;
        default:
            break;
    }
}

void COrvantaView::showCurrentPage() {
    if (currentPage() < MainPage || currentPage() > EditPage) {
        tabs_->setCurrentIndex(MainPage);  // runs this again for the Main page
        return;
    }
    // Every page but the shown one has its background work stopped (leaving is cheap and may
    // be repeated), so nothing keeps running behind a page the operator cannot see.
    for (int page : {MainPage, DiscoveryPage, EditPage}) {
        if (page != currentPage()) {
            leavePage(page);
        }
    }
    switch (currentPage()) {
        case DiscoveryPage:
            discoveryTab_->showPage();
            break;
        case EditPage:
            editTab_->showPage();
            break;
        default:
            mainTab_->showPage();
            break;
    }
    emit pageShown(currentPage());
}

}  // namespace orvanta
