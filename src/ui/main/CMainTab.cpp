#include "ui/main/CMainTab.h"

#include <QComboBox>
#include <QFormLayout>

#include "app/StopFlags.h"
#include "ui/common/UiText.h"
#include "ui/frame/MainState.h"
#include "ui/models/ProjectorListModel.h"

namespace orvanta {

CMainTab::CMainTab(PageContext context, QWidget* parent)
    : QWidget(parent), context_(context), projectors_(new QComboBox(this)) {
    projectors_->setObjectName(QStringLiteral("projectorList"));
    projectors_->setAccessibleName(text(Text::ProjectorIpAddressLabel));
    bindProjectorCombo(*projectors_, context_.projectors);
    auto* form = new QFormLayout(this);
    form->addRow(text(Text::ProjectorIpAddressLabel), projectors_);
    connect(projectors_, &QComboBox::activated, this, [this](int index) {
        if (context_.projectors.rowCount() > 0) {
            context_.state.currentProjector = index;
        }
    });
}

void CMainTab::showPage() {
    context_.projectors.reload();
    const int wanted = context_.state.currentProjector;
    projectors_->setCurrentIndex(wanted >= 0 && wanted < projectors_->count() ? wanted
                                 : projectors_->count() > 0                   ? 0
                                                                              : -1);
    processStopFlags().statusPollStop.store(false);
}

void CMainTab::leavePage() {
    processStopFlags().statusPollStop.store(true);
}

void CMainTab::refreshSendCaption() {}

void CMainTab::dropMessageFile(const QString& path) {
    Q_UNUSED(path);
}

}  // namespace orvanta
