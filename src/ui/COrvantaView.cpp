#include "ui/COrvantaView.h"

#include <QTabWidget>
#include <QVBoxLayout>

#include "app/LanguageText.h"
#include "app/StopFlags.h"
#include "ui/CMainFrame.h"
#include "ui/TabPages.h"

namespace orvanta {
namespace {
constexpr int kTabMain = 1134;
constexpr int kTabDiscovery = 1135;
constexpr int kTabEdit = 1136;
}  // namespace

COrvantaView::COrvantaView(CMainFrame& frame)
    : QWidget(&frame), frame_(frame), tabs_(new QTabWidget(this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(tabs_);
    // The order matters: the Discovery page loads the registry when it is created, and the
    // Edit page starts from what the others set up.
    mainTab_ = new CMainTab(frame);
    discoveryTab_ = new CPjList(frame);
    editTab_ = new CMessageEdit(frame);
    tabs_->addTab(mainTab_, QString::fromStdString(LanguageText(kTabMain)));
    tabs_->addTab(discoveryTab_, QString::fromStdString(LanguageText(kTabDiscovery)));
    tabs_->addTab(editTab_, QString::fromStdString(LanguageText(kTabEdit)));
    tabs_->setCurrentIndex(MainPage);
    connect(tabs_, &QTabWidget::currentChanged, this, [this] { showCurrentPage(); });
}

int COrvantaView::currentPage() const {
    return tabs_->currentIndex();
}

void COrvantaView::showCurrentPage() {
    StopFlags& flags = processStopFlags();
    switch (currentPage()) {
        case DiscoveryPage:
            flags.statusPollStop.store(true);
            discoveryTab_->showPage();
            break;
        case EditPage:
            flags.statusPollStop.store(true);
            flags.discoveryStop.store(true);
            editTab_->showPage();
            frame_.refreshSendCaptions();
            break;
        case MainPage:
        default:
            if (currentPage() != MainPage) {
                tabs_->setCurrentIndex(MainPage);  // runs this again for the Main page
                return;
            }
            flags.discoveryStop.store(true);
            mainTab_->showPage();
            frame_.refreshSendCaptions();
            break;
    }
    frame_.updateCommandStates();
    emit pageShown(currentPage());
}

}  // namespace orvanta
