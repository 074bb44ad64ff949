#include "ui/discovery/CPjList.h"

#include <QHeaderView>
#include <QLabel>
#include <QTableView>
#include <QVBoxLayout>

#include "app/StopFlags.h"
#include "ui/common/UiText.h"
#include "ui/models/ProjectorListModel.h"

namespace orvanta {

CPjList::CPjList(PageContext context, QWidget* parent)
    : QWidget(parent), context_(context), registered_(new QTableView(this)) {
    registered_->setObjectName(QStringLiteral("registeredList"));
    registered_->setModel(&context_.projectors);
    registered_->setSelectionBehavior(QAbstractItemView::SelectRows);
    registered_->setSelectionMode(QAbstractItemView::SingleSelection);
    registered_->verticalHeader()->hide();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(registered_);
    // The registry is first loaded when this page is created.
    context_.projectors.reload();
}

void CPjList::showPage() {
    context_.projectors.reload();
    processStopFlags().discoveryStop.store(false);
}

void CPjList::leavePage() {
    processStopFlags().discoveryStop.store(true);
}

}  // namespace orvanta
