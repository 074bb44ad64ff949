#include "ui/edit/CMessageEdit.h"

#include <QComboBox>
#include <QFormLayout>

#include "ui/common/UiText.h"
#include "ui/frame/MainState.h"
#include "ui/models/ProjectorListModel.h"

namespace orvanta {

CMessageEdit::CMessageEdit(PageContext context, QWidget* parent)
    : QWidget(parent), context_(context), projectors_(new QComboBox(this)) {
    projectors_->setObjectName(QStringLiteral("projectorList"));
    projectors_->setAccessibleName(text(Text::ProjectorIpAddressLabel));
    bindProjectorCombo(*projectors_, context_.projectors);
    auto* form = new QFormLayout(this);
    form->addRow(text(Text::ProjectorIpAddressLabel), projectors_);
}

void CMessageEdit::showPage() {
    context_.projectors.reload();
    const int wanted = context_.state.currentProjector;
    projectors_->setCurrentIndex(wanted >= 0 && wanted < projectors_->count() ? wanted
                                 : projectors_->count() > 0                   ? 0
                                                                              : -1);
}

void CMessageEdit::leavePage() {}

void CMessageEdit::refreshSendCaption() {}

bool CMessageEdit::confirmDiscardOrSave() {
    // Nothing can be edited yet, so nothing can be lost.
    return true;
}

}  // namespace orvanta
