#include "ui/TabPages.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "app/LanguageText.h"
#include "app/StopFlags.h"
#include "ui/CMainFrame.h"

namespace orvanta {
namespace {
constexpr int kPleaseSelectProjector = 1002;

QString qs(const std::string& s) {
    return QString::fromStdString(s);
}
}  // namespace

void fillProjectorCombo(QComboBox& combo, const CMainFrame& frame) {
    const MainState& state = frame.state();
    combo.clear();
    for (const auto& record : state.projectors.records) {
        combo.addItem(qs(formatAddress(record.address)));
    }
    if (combo.count() == 0) {
        combo.addItem(qs(LanguageText(kPleaseSelectProjector)));
    }
    const int wanted = state.currentProjector;
    combo.setCurrentIndex(wanted >= 0 && wanted < combo.count() ? wanted : 0);
}

CMainTab::CMainTab(CMainFrame& frame) : frame_(frame), projectors_(new QComboBox(this)) {
    projectors_->setObjectName("projectorList");
    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("PROJECTOR IP Address"), projectors_);
    connect(projectors_, &QComboBox::activated, this, [this](int index) {
        if (!frame_.state().projectors.records.empty()) {
            frame_.state().currentProjector = index;
        }
    });
}

void CMainTab::showPage() {
    frame_.state().reloadProjectors();
    fillProjectorCombo(*projectors_, frame_);
    processStopFlags().statusPollStop.store(false);
}

CPjList::CPjList(CMainFrame& frame) : frame_(frame), registered_(new QLabel(this)) {
    registered_->setObjectName("registeredSummary");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Registered PROJECTOR"), this));
    layout->addWidget(registered_);
    layout->addStretch();
    // The registry is first loaded when this page is created.
    frame_.state().reloadProjectors();
    refreshRegistered();
}

void CPjList::showPage() {
    frame_.state().reloadProjectors();
    refreshRegistered();
}

void CPjList::refreshRegistered() {
    QStringList rows;
    for (const auto& record : frame_.state().projectors.records) {
        rows << qs(formatAddress(record.address) + "  " + record.mac + "  " + record.name);
    }
    registered_->setText(rows.join('\n'));
}

CMessageEdit::CMessageEdit(CMainFrame& frame) : frame_(frame), projectors_(new QComboBox(this)) {
    projectors_->setObjectName("projectorList");
    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("PROJECTOR IP Address"), projectors_);
}

void CMessageEdit::showPage() {
    frame_.state().reloadProjectors();
    fillProjectorCombo(*projectors_, frame_);
}

bool CMessageEdit::confirmDiscardOrSave() {
    // Nothing can be edited yet, so nothing can be lost.
    return true;
}

}  // namespace orvanta
