#include "ui/discovery/DiscoveryPage.h"

#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>
#include <mutex>
#include <system_error>
#include <thread>

#include "text/LanguageText.h"
#include "text/Prompt.h"
#include "ui/common/BackgroundTask.h"
#include "ui/common/MainState.h"
#include "ui/common/PostToGui.h"
#include "ui/common/UiText.h"
#include "ui/discovery/FoundProjectorModel.h"
#include "ui/discovery/ManualEntryDialog.h"
#include "ui/discovery/ProjectorPasswordDialog.h"
#include "ui/groups/GroupsPanel.h"
#include "ui/models/ProjectorRegistryModel.h"

namespace orvanta {

namespace {

QTableView* makeListView(QWidget* parent, const QString& name, const QString& accessibleName) {
    auto* view = new QTableView(parent);
    view->setObjectName(name);
    view->setAccessibleName(accessibleName);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setShowGrid(true);
    view->verticalHeader()->hide();
    view->horizontalHeader()->setHighlightSections(false);
    return view;
}

// Name 7/16, MAC 5/16, address 4/16 of the list's width.
void setColumnWidths(QTableView* view) {
    const int unit = view->viewport()->width() / 16;
    view->setColumnWidth(ProjectorRegistryModel::NameColumn, unit * 7);
    view->setColumnWidth(ProjectorRegistryModel::MacColumn, unit * 5);
    view->setColumnWidth(ProjectorRegistryModel::AddressColumn, unit * 4);
}

QPushButton* makeButton(QWidget* parent, Text caption, const QString& name) {
    auto* button = new QPushButton(text(caption), parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
}

long long byteOf(std::uint32_t address, int shift) {
    return static_cast<long long>((address >> shift) & 0xFF);
}

}  // namespace

DiscoveryPage::DiscoveryPage(PageContext context, QWidget* parent)
    : TabPage(parent),
      context_(context),
      found_(new FoundProjectorModel(this)),
      foundView_(makeListView(this, QStringLiteral("foundList"), text(Text::LabelProjectorList))),
      registered_(makeListView(this, QStringLiteral("registeredList"),
                               text(Text::RegisteredProjectorGroup))),
      adaptorChoice_(new QComboBox(this)),
      findButton_(makeButton(this, Text::FindButton, QStringLiteral("findButton"))) {
    foundView_->setModel(found_);
    registered_->setModel(&context_.projectors);
    foundView_->viewport()->installEventFilter(this);
    registered_->viewport()->installEventFilter(this);

    adaptorChoice_->setObjectName(QStringLiteral("adaptorChoice"));
    adaptorChoice_->setAccessibleName(text(Text::AdaptorLabel));
    fillAdaptorChoice();
    connect(adaptorChoice_, &QComboBox::activated, this, [this](int index) {
        // The first entry searches every adaptor; the others narrow the search to one.
        chooseAdaptor(index - 1);
        findButton_->setEnabled(false);
        ++generation_;
        probing_.clear();
        found_->clear();
        startDiscovery();
    });

    auto* heading = new QLabel(text(Text::LabelProjectorList), this);
    auto* adaptorLabel = new QLabel(text(Text::AdaptorLabel), this);
    adaptorLabel->setBuddy(adaptorChoice_);
    auto* top = new QHBoxLayout;
    top->addWidget(heading);
    top->addStretch();
    top->addWidget(adaptorLabel);
    top->addWidget(adaptorChoice_);

    registration_ =
        makeButton(this, Text::RegistrationButton, QStringLiteral("registrationButton"));
    QPushButton* registration = registration_;
    auto* foundButtons = new QHBoxLayout;
    foundButtons->addStretch();
    foundButtons->addWidget(findButton_);
    foundButtons->addWidget(registration);

    auto* group = new QGroupBox(text(Text::RegisteredProjectorGroup), this);
    group->setObjectName(QStringLiteral("registeredGroup"));
    registered_->setParent(group);
    QPushButton* manual =
        makeButton(group, Text::ConfigureManuallyButton, QStringLiteral("configureManuallyButton"));
    QPushButton* remove = makeButton(group, Text::DeleteButton, QStringLiteral("deleteButton"));
    QPushButton* password =
        makeButton(group, Text::PasswordButton, QStringLiteral("passwordButton"));
    registryButtons_ = {registration_, manual, remove, password};
    auto* registeredButtons = new QHBoxLayout;
    registeredButtons->addStretch();
    registeredButtons->addWidget(manual);
    registeredButtons->addWidget(remove);
    registeredButtons->addWidget(password);
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(registered_);
    groupLayout->addLayout(registeredButtons);

    groupsPanel_ = new GroupsPanel(
        context_, [this] { return selectedRow(registered_); }, this);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(foundView_, 1);
    layout->addLayout(foundButtons);
    auto* registry = new QHBoxLayout;
    registry->addWidget(group, 3);
    registry->addWidget(groupsPanel_, 2);
    layout->addLayout(registry, 1);

    connect(findButton_, &QPushButton::clicked, this, &DiscoveryPage::find);
    connect(registration, &QPushButton::clicked, this, &DiscoveryPage::registerFound);
    connect(manual, &QPushButton::clicked, this, &DiscoveryPage::configureManually);
    connect(remove, &QPushButton::clicked, this, &DiscoveryPage::deleteRegistered);
    connect(password, &QPushButton::clicked, this, &DiscoveryPage::changePassword);
    // The row the operator picks here is the one the other tabs preselect.
    connect(registered_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        context_.state.currentProjector = selectedRow(registered_);
        groupsPanel_->registeredSelectionChanged();
    });

    // One registry change at a time: the checks before a change read the list it leaves.
    connect(&context_.projectors, &ProjectorRegistryModel::writingChanged, this,
            [this](bool writing) {
                for (QPushButton* button : registryButtons_) {
                    button->setEnabled(!writing);
                }
            });

    // The registry is first loaded when this page is created.
    context_.projectors.reload();
}

DiscoveryPage::~DiscoveryPage() = default;

void DiscoveryPage::showPage() {
    context_.projectors.reload();
    groupsPanel_->reload();
    findButton_->setEnabled(false);
    startDiscovery();
}

void DiscoveryPage::leavePage() {
    discoveryStopFlag().store(true);
}

bool DiscoveryPage::eventFilter(QObject* watched, QEvent* event) {
    // The columns follow the width of the list itself, which settles after the page's own.
    if (event->type() == QEvent::Resize) {
        for (QTableView* view : {foundView_, registered_}) {
            if (watched == view->viewport()) {
                setColumnWidths(view);
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void DiscoveryPage::fillAdaptorChoice() {
    adaptorChoice_->clear();
    const auto& adaptors = context_.state.adaptors;
    if (!adaptors.empty()) {
        adaptorChoice_->addItem(text(Text::AllAdaptors));
    }
    for (const AdaptorEntry& a : adaptors) {
        adaptorChoice_->addItem(qs(a.description + " (" + a.dotted + ")"));
    }
    const int selected = context_.state.selectedAdaptor;
    const bool narrowed = selected >= 0 && static_cast<std::size_t>(selected) < adaptors.size();
    adaptorChoice_->setCurrentIndex(adaptors.empty() ? -1 : narrowed ? selected + 1 : 0);
    adaptorChoice_->setEnabled(!adaptors.empty());
    adaptorChoice_->setPlaceholderText(text(Text::NoAdaptor));
}

void DiscoveryPage::chooseAdaptor(int index) {
    const auto& adaptors = context_.state.adaptors;
    const bool narrowed = index >= 0 && static_cast<std::size_t>(index) < adaptors.size();
    context_.state.selectedAdaptor = narrowed ? index : -1;
    // Written now rather than at exit, off this thread: closing the window never waits for
    // the registry lock, and the choice is not lost when it is busy.
    const AdaptorEntry chosen =
        narrowed ? adaptors[static_cast<std::size_t>(index)] : AdaptorEntry{};
    context_.projectors.saveAdaptorChoice(
        chosen.dotted, chosen.description,
        [page = QPointer<DiscoveryPage>(this)](const RegistryResult& saved) {
            if (page != nullptr && !saved) {
                page->context_.prompt.inform(
                    languageText(Text::AdaptorChoiceNotSaved) + "\n(" + saved.error() + ")",
                    PromptIcon::Warning);
            }
        });
}

void DiscoveryPage::find() {
    findButton_->setEnabled(false);
    // The adaptors may have changed; a narrowed search keeps its adaptor by name, and searches
    // every adaptor when that one is gone.
    const auto& old = context_.state.adaptors;
    const int selected = context_.state.selectedAdaptor;
    const std::string chosen = selected >= 0 && static_cast<std::size_t>(selected) < old.size()
                                   ? old[static_cast<std::size_t>(selected)].description
                                   : std::string();
    context_.state.adaptors = context_.state.adaptorSource();
    int index = -1;
    for (std::size_t i = 0; i < context_.state.adaptors.size(); ++i) {
        if (!chosen.empty() && context_.state.adaptors[i].description == chosen) {
            index = static_cast<int>(i);
            break;
        }
    }
    context_.state.selectedAdaptor = index;
    fillAdaptorChoice();
    ++generation_;
    probing_.clear();
    found_->clear();
    startDiscovery();
}

void DiscoveryPage::startDiscovery() {
    // Every adaptor in turn (loopback last), or the one the operator narrowed the search to;
    // without any adaptor the run ends at once.
    DiscoveryJob job = discoveryJobFor(context_.state.adaptors, context_.state.selectedAdaptor);
    addedThisRun_ = 0;
    const unsigned run = ++runNumber_;
    run_.start(std::move(job),
               guiEventSink<DiscoveryEvent>(this, [this, run](const DiscoveryEvent& event) {
                   handleDiscoveryEvent(run, event);
               }));
}

void DiscoveryPage::handleDiscoveryEvent(unsigned run, const DiscoveryEvent& event) {
    if (run != runNumber_) {
        return;  // an earlier run, ended by this one
    }
    if (event.kind == DiscoveryEventKind::DiscoveryFinished) {
        findButton_->setEnabled(true);
        return;
    }
    const std::optional<DiscoveredProjector> answer = decodeAnswerRecord(event.record);
    if (!answer || addedThisRun_ + probing_.size() >= kMaxFoundPerRun ||
        found_->contains(answer->address) || probing_.count(answer->address) != 0) {
        return;
    }
    probing_.insert(answer->address);
    ProjectorRecord record{answer->name, answer->address, 1, "", answer->mac};
    // The probe ends by itself within its limit, and nobody (leaving the tab, closing the
    // window) waits for it; its result reaches the page only while the page lives.
    const Result<void> probing = runInBackground(
        this, [address = record.address] { return probeProjector(address); },
        [this, generation = generation_, record](bool reachable) {
            handleProbeResult(generation, record, reachable);
        });
    if (!probing) {
        probing_.erase(answer->address);  // no thread to spare: as if the probe had failed
    }
}

void DiscoveryPage::handleProbeResult(unsigned generation, const ProjectorRecord& record,
                                      bool reachable) {
    if (generation != generation_) {
        return;  // "Find" emptied the list after this probe started
    }
    probing_.erase(record.address);
    if (!reachable || found_->contains(record.address) || addedThisRun_ >= kMaxFoundPerRun) {
        return;
    }
    found_->append(record);
    ++addedThisRun_;
}

const ProjectorRecord* DiscoveryPage::selectedRegistered(int& row) {
    row = selectedRow(registered_);
    const ProjectorRecord* record = context_.projectors.record(row);
    if (record == nullptr) {
        context_.prompt.inform(languageText(Text::PleaseSelectAProjector));
    }
    return record;
}

int DiscoveryPage::selectedRow(const QTableView* view) const {
    const QModelIndexList rows = view->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

ProjectorRegistryModel::WriteDone DiscoveryPage::reportWrite() {
    return [page = QPointer<DiscoveryPage>(this)](const RegistryResult& written) {
        if (page != nullptr && !written) {
            page->context_.prompt.inform(
                utf8(ProjectorRegistryModel::writeErrorText(written.error())), PromptIcon::Warning);
        }
    };
}

void DiscoveryPage::registerFound() {
    const int row = selectedRow(foundView_);
    if (row < 0 || static_cast<std::size_t>(row) >= found_->records().size()) {
        context_.prompt.inform(languageText(Text::PleaseSelectAProjector));
        return;
    }
    const ProjectorRecord record = found_->records()[static_cast<std::size_t>(row)];
    const ProjectorRegistry& registered = context_.projectors.registry();
    if (registered.count() >= kMaxRegisteredProjectors) {
        context_.prompt.inform(languageText(Text::RegistrationLimit));
        return;
    }
    if (registered.findAddress(record.address)) {
        context_.prompt.inform(languageText(Text::SameAddressExists));
        return;
    }
    context_.projectors.add(record, reportWrite());
}

void DiscoveryPage::configureManually() {
    if (context_.projectors.registry().count() >= kMaxRegisteredProjectors) {
        context_.prompt.inform(languageText(Text::RegistrationLimit));
        return;
    }
    ManualEntryDialog dialog(context_.prompt, this);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    const ProjectorRecord entered = dialog.entered();
    if (context_.projectors.registry().findAddress(entered.address)) {
        context_.prompt.inform(languageText(Text::SameAddressExists));
        return;
    }
    context_.projectors.add(entered, reportWrite());
}

void DiscoveryPage::deleteRegistered() {
    int row = -1;
    const ProjectorRecord* record = selectedRegistered(row);
    if (record == nullptr) {
        return;
    }
    const std::uint32_t a = record->address;
    const std::string question = formatText(
        Text::ConfirmDeleteAddress, {byteOf(a, 24), byteOf(a, 16), byteOf(a, 8), byteOf(a, 0)});
    if (context_.prompt.ask(question, PromptButtons::YesNo, PromptIcon::Information) !=
        PromptAnswer::Yes) {
        return;
    }
    context_.projectors.remove(row, reportWrite());
    context_.state.currentProjector = 0;
}

void DiscoveryPage::changePassword() {
    int row = -1;
    const ProjectorRecord* record = selectedRegistered(row);
    if (record == nullptr) {
        return;
    }
    const std::uint32_t a = record->address;
    std::int32_t authentication = record->authentication;
    std::string password = record->password;
    ProjectorPasswordDialog dialog(
        textf(Text::AddressHeading, {byteOf(a, 24), byteOf(a, 16), byteOf(a, 8), byteOf(a, 0)}),
        authentication, password, this);
    if (dialog.exec() == QDialog::Accepted) {
        authentication = dialog.authentication();
        password = dialog.password();
    }
    // Written back on Cancel too, with the values kept before.
    context_.projectors.setCredentials(row, authentication, password, reportWrite());
}

}  // namespace orvanta
