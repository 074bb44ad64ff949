#include "ui/main/MainPage.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScopedValueRollback>
#include <QVBoxLayout>
#include <functional>

#include "commands/ProjectorState.h"
#include "commands/SendCommand.h"
#include "platform/AtomicFile.h"
#include "text/LanguageText.h"
#include "ui/common/Accessibility.h"
#include "ui/common/MainState.h"
#include "ui/common/PostToGui.h"
#include "ui/common/UiText.h"
#include "ui/groups/SendToChoice.h"
#include "ui/main/StartupDisplayDialog.h"
#include "ui/main/StoredMessagesDialog.h"
#include "ui/models/ProjectorRegistryModel.h"
#include "ui/templates/TemplateSendDialog.h"

namespace orvanta {
namespace {

// The projector drop-down tells the page when it opens: the status watch pauses while the
// operator chooses.
class PopupAwareCombo : public QComboBox {
  public:
    using QComboBox::QComboBox;
    std::function<void()> aboutToOpen;
    void showPopup() override {
        if (aboutToOpen) {
            aboutToOpen();
        }
        QComboBox::showPopup();
    }
};

QComboBox* savedNumberList(QWidget* parent, const char* name, Text first) {
    auto* list = new QComboBox(parent);
    list->setObjectName(QLatin1StringView(name));
    list->addItem(text(first));
    for (int n = 1; n <= 12; ++n) {
        list->addItem(QString::number(n));
    }
    return list;
}

QPushButton* button(QWidget* parent, const char* name, Text caption) {
    auto* b = new QPushButton(text(caption), parent);
    b->setObjectName(QLatin1StringView(name));
    nameControl(b, text(caption));
    return b;
}

QLabel* valueLabel(QWidget* parent, const char* name) {
    auto* label = new QLabel(QStringLiteral("-"), parent);
    label->setObjectName(QLatin1StringView(name));
    label->setFrameShape(QFrame::StyledPanel);
    label->setMinimumWidth(140);
    return label;
}

QLabel* minutesLabel(QWidget* parent, const char* name) {
    auto* label = new QLabel(text(Text::MainMinutes), parent);
    label->setObjectName(QLatin1StringView(name));
    return label;
}

}  // namespace

MainPage::MainPage(PageContext context, QWidget* parent, StatusPollTimings pollTimings)
    : TabPage(parent),
      context_(context),
      poller_(pollTimings),
      query_(this, context.runner.timings()) {
    buildControls();
    // Initial state: first entries chosen, "All" checked, startup area and status unknown.
    showStartupUnavailable();
    resetStatusFields();
    refreshSendCaption();
}

MainPage::~MainPage() = default;

void MainPage::buildControls() {
    auto* projectorRow = buildProjectorRow();
    sendTo_ = new SendToChoice(context_.state.programFolder, this);
    connect(sendTo_, &SendToChoice::singleChanged, this, &MainPage::applySendTo);
    auto* sendToLabel = new QLabel(text(Text::MainSendTo), this);
    sendToLabel->setBuddy(sendTo_);
    auto* sendToRow = new QHBoxLayout;
    sendToRow->addWidget(sendToLabel);
    sendToRow->addWidget(sendTo_, 1);
    auto* left = new QVBoxLayout;
    left->addLayout(projectorRow);
    left->addLayout(sendToRow);
    left->addWidget(buildStatusGroup());
    left->addWidget(buildFileGroup());
    left->addStretch();
    auto* right = new QVBoxLayout;
    right->addWidget(buildDisplayGroup());
    right->addWidget(buildClearGroup());
    right->addWidget(buildStartupGroup());
    right->addStretch();
    auto* page = new QHBoxLayout(this);
    page->addLayout(left, 3);
    page->addLayout(right, 2);
}

QHBoxLayout* MainPage::buildProjectorRow() {
    auto* projectors = new PopupAwareCombo(this);
    projectors->aboutToOpen = [this] { stopPolling(); };
    projectors_ = projectors;
    projectors_->setObjectName(QStringLiteral("projectorList"));
    nameControl(projectors_, text(Text::ProjectorIpAddressLabel));
    bindProjectorCombo(*projectors_, context_.projectors);
    connect(projectors_, &QComboBox::activated, this, &MainPage::chooseProjector);
    auto* label = new QLabel(text(Text::ProjectorIpAddressLabel), this);
    // Heard by its caption, not only by the address it shows.
    label->setBuddy(projectors_);
    auto* row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(projectors_, 1);
    return row;
}

// "PROJECTOR Status"
QGroupBox* MainPage::buildStatusGroup() {
    auto* status = new QGroupBox(text(Text::MainStatusGroup), this);
    message_ = {valueLabel(status, "messageState"), valueLabel(status, "messageSlot"),
                Text::MainStatusMessage};
    alarm_ = {valueLabel(status, "alarmState"), valueLabel(status, "alarmSound"),
              Text::MainStatusAlarm};
    mute_ = button(status, "muteButton", Text::MainMute);
    connect(mute_, &QPushButton::clicked, this, &MainPage::mute);
    auto* grid = new QGridLayout(status);
    grid->addWidget(new QLabel(text(Text::MainStatusMessage), status), 0, 0);
    grid->addWidget(message_.first, 0, 1);
    grid->addWidget(message_.second, 0, 2);
    grid->addWidget(new QLabel(text(Text::MainStatusAlarm), status), 1, 0);
    grid->addWidget(alarm_.first, 1, 1);
    grid->addWidget(alarm_.second, 1, 2);
    grid->addWidget(mute_, 1, 3);
    return status;
}

// "Message file list"
QGroupBox* MainPage::buildFileGroup() {
    auto* group = new QGroupBox(text(Text::MainFileGroup), this);
    fileSavedNumber_ = savedNumberList(group, "fileSavedNumber", Text::SavedNumberQuick);
    nameControl(fileSavedNumber_, text(Text::MainSavedNumber));
    // "Quick" cannot be the startup display, whatever chose it; choosing a number also asks
    // the projector again.
    connect(fileSavedNumber_, &QComboBox::currentIndexChanged, this,
            [this] { showStartupState(startupValidShown_, startupShown_); });
    connect(fileSavedNumber_, &QComboBox::activated, this, [this] { refreshStartup(); });
    files_ = new QComboBox(group);
    files_->setObjectName(QStringLiteral("fileList"));
    nameControl(files_, text(Text::MainFileList));
    files_->setMinimumWidth(260);
    connect(files_, &QComboBox::activated, this, [this](int index) { currentFile_ = index; });
    confirm_ = button(group, "confirmButton", Text::ConfirmCaption);
    connect(confirm_, &QPushButton::clicked, this, &MainPage::confirm);
    startupCheck_ = new QCheckBox(text(Text::MainStartupCheck), group);
    startupCheck_->setObjectName(QStringLiteral("startupCheck"));
    nameControl(startupCheck_, text(Text::MainStartupCheck));
    connect(startupCheck_, &QCheckBox::toggled, this, &MainPage::startupCheckToggled);
    startupTime_ = new QComboBox(group);
    startupTime_->setObjectName(QStringLiteral("startupTime"));
    startupTime_->setEditable(true);
    startupTime_->setInsertPolicy(QComboBox::NoInsert);
    startupTime_->addItems(startupDisplayTimeEntries());
    nameControl(startupTime_, text(Text::StartupEditDisplayTime));
    connect(startupTime_, &QComboBox::currentTextChanged, this, &MainPage::updateStartupMinutes);
    startupTimeMinutes_ = minutesLabel(group, "startupTimeMinutes");
    send_ = button(group, "sendButton", Text::SendButton);
    connect(send_, &QPushButton::clicked, this, &MainPage::send);
    // Prepared messages with fields: a window of their own beside the page, not holding it.
    auto* fromTemplate = button(group, "templateButton", Text::MainTemplateButton);
    connect(fromTemplate, &QPushButton::clicked, this, [this] {
        auto* dialog = new TemplateSendDialog(context_, this);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        dialog->show();
    });
    auto* grid = new QGridLayout(group);
    grid->addWidget(new QLabel(text(Text::MainSavedNumber), group), 0, 0);
    grid->addWidget(fileSavedNumber_, 0, 1);
    grid->addWidget(confirm_, 0, 2);
    grid->addWidget(files_, 1, 0, 1, 3);
    auto* sendRow = new QHBoxLayout;
    sendRow->addWidget(startupCheck_);
    sendRow->addWidget(startupTime_);
    sendRow->addWidget(startupTimeMinutes_);
    sendRow->addStretch();
    sendRow->addWidget(fromTemplate);
    sendRow->addWidget(send_);
    grid->addLayout(sendRow, 2, 0, 1, 3);
    return group;
}

// "Display control"
QGroupBox* MainPage::buildDisplayGroup() {
    auto* group = new QGroupBox(text(Text::MainDisplayGroup), this);
    displaySavedNumber_ = savedNumberList(group, "displaySavedNumber", Text::SavedNumberQuick);
    nameControl(displaySavedNumber_, text(Text::MainSavedNumber));
    auto* displayOn = button(group, "displayOnButton", Text::MainDisplayOn);
    auto* displayOff = button(group, "displayOffButton", Text::MainDisplayOff);
    auto* powerOn = button(group, "powerOnDisplayOnButton", Text::MainPowerOnDisplayOn);
    connect(displayOn, &QPushButton::clicked, this, [this] { display(DisplayCommand::DisplayOn); });
    connect(displayOff, &QPushButton::clicked, this,
            [this] { display(DisplayCommand::DisplayOff); });
    connect(powerOn, &QPushButton::clicked, this,
            [this] { display(DisplayCommand::PowerOnAndDisplayOn); });
    auto* grid = new QGridLayout(group);
    grid->addWidget(new QLabel(text(Text::MainSavedNumber), group), 0, 0);
    grid->addWidget(displaySavedNumber_, 0, 1);
    grid->addWidget(displayOn, 1, 0);
    grid->addWidget(displayOff, 1, 1);
    grid->addWidget(powerOn, 2, 0, 1, 2);
    return group;
}

// "Clear"
QGroupBox* MainPage::buildClearGroup() {
    auto* group = new QGroupBox(text(Text::MainClearGroup), this);
    auto* clearAll = new QRadioButton(text(Text::MainClearAll), group);
    auto* clearQuick = new QRadioButton(text(Text::MainClearQuick), group);
    clearSaved_ = new QRadioButton(text(Text::MainClearSavedNumber), group);
    clearAll->setObjectName(QStringLiteral("clearAll"));
    clearQuick->setObjectName(QStringLiteral("clearQuick"));
    clearSaved_->setObjectName(QStringLiteral("clearSavedNumber"));
    clearScope_ = new QButtonGroup(group);
    clearScope_->addButton(clearAll, static_cast<int>(ClearScope::All));
    clearScope_->addButton(clearQuick, static_cast<int>(ClearScope::Quick));
    clearScope_->addButton(clearSaved_, static_cast<int>(ClearScope::SavedNumber));
    clearAll->setChecked(true);
    clearList_ = savedNumberList(group, "clearList", Text::ClearAll);
    nameControl(clearList_, text(Text::MainClearSavedNumber));
    clearList_->setEnabled(false);
    // Keyboard, mouse and assistive technology all change the check state; the list follows
    // it, so that the command never clears more than what the page shows as chosen.
    connect(clearSaved_, &QRadioButton::toggled, clearList_, &QWidget::setEnabled);
    auto* clearButton = button(group, "clearButton", Text::MainClearButton);
    connect(clearButton, &QPushButton::clicked, this, &MainPage::clear);
    auto* grid = new QGridLayout(group);
    grid->addWidget(clearAll, 0, 0);
    grid->addWidget(clearQuick, 1, 0);
    grid->addWidget(clearSaved_, 2, 0);
    grid->addWidget(clearList_, 2, 1);
    grid->addWidget(clearButton, 3, 1);
    return group;
}

// "Startup Display"
QGroupBox* MainPage::buildStartupGroup() {
    auto* group = new QGroupBox(text(Text::MainStartupGroup), this);
    startupSavedValue_ = valueLabel(group, "startupSavedNumber");
    startupTimeValue_ = valueLabel(group, "startupDisplayTime");
    startupValueMinutes_ = minutesLabel(group, "startupValueMinutes");
    startupEdit_ = button(group, "startupEditButton", Text::MainStartupEdit);
    connect(startupEdit_, &QPushButton::clicked, this, &MainPage::editStartup);
    auto* grid = new QGridLayout(group);
    grid->addWidget(new QLabel(text(Text::MainStartupSavedNumber), group), 0, 0);
    grid->addWidget(startupSavedValue_, 0, 1);
    grid->addWidget(new QLabel(text(Text::MainStartupDisplayTime), group), 1, 0);
    grid->addWidget(startupTimeValue_, 1, 1);
    grid->addWidget(startupValueMinutes_, 1, 2);
    grid->addWidget(startupEdit_, 2, 1);
    return group;
}

// ---------------------------------------------------------------------------------------------
// Page

void MainPage::showPage() {
    shown_ = true;
    context_.projectors.reload();
    sendTo_->reload();
    const int wanted = context_.state.currentProjector;
    projectors_->setCurrentIndex(wanted >= 0 && wanted < projectors_->count() ? wanted
                                 : projectors_->count() > 0                   ? 0
                                                                              : -1);
    rebuildFileList();
    refreshStartup();
}

void MainPage::leavePage() {
    shown_ = false;
    // What the projector answers now belongs to no page the operator sees.
    query_.drop();
    stopPolling();
}

void MainPage::refreshSendCaption() {
    const QString caption =
        text(context_.state.sendLocked ? Text::SendButtonLocked : Text::SendButton);
    send_->setText(caption);
    nameControl(send_, caption);
}

QWidget* MainPage::fileDropArea() const {
    return files_;
}

bool MainPage::projectorChosen() {
    if (context_.projectors.rowCount() == 0 || projectors_->currentIndex() < 0) {
        context_.prompt.inform(languageText(Text::PleaseSelectProjector));
        return false;
    }
    return true;
}

CommandContext MainPage::commandContext() {
    return {takeTarget(), context_.prompt, context_.runner, info_, context_.history};
}

ProjectorTarget MainPage::takeTarget() {
    ProjectorTarget target;
    if (const ProjectorRecord* r = context_.projectors.record(projectors_->currentIndex())) {
        target.address = r->address;
        target.password = r->password;
        context_.state.target = {r->address, r->authentication, r->password};
    }
    return target;
}

void MainPage::applySendTo(bool single) {
    confirm_->setEnabled(single);
    if (single) {
        refreshStartup();
        return;
    }
    // The fields say one projector's state: with many chosen they would say nothing true.
    query_.drop();
    stopPolling();
    resetStatusFields();
    showStartupUnavailable();
}

void MainPage::runOnMany(ManyProjectorOperation operation, std::shared_ptr<AnswerBook> answers) {
    runOnChosenProjectors(this, *sendTo_, context_, std::move(operation), std::move(answers));
}

void MainPage::sendToMany(const SendRequest& request) {
    // Read once for every projector; each encodes it with its own capabilities.
    std::shared_ptr<const SendFile> file = readSendFile(request.path);
    if (!file->read) {
        context_.prompt.inform(file->read.error(), PromptIcon::Error);
        return;
    }
    if (file->plain.body.empty()) {
        context_.prompt.inform(languageText(Text::PleaseInputMessage));
        return;
    }
    if (request.startupChecked && request.slot != 0 &&
        !parseSendDisplayTime(request.displayTimeText)) {
        context_.prompt.inform(languageText(Text::DisplayTimeInvalid));
        return;
    }
    auto answers = rehearseSend(*file, request, context_.prompt);
    runOnMany(
        [request, file](const CommandContext& c) { return sendFileToProjector(c, request, *file); },
        std::move(answers));
}

void MainPage::chooseProjector(int index) {
    if (context_.projectors.rowCount() == 0) {
        return;
    }
    context_.state.currentProjector = index;
    refreshStartup();
}

void MainPage::rebuildFileList() {
    QDir folder(qs(context_.state.programFolder) + QStringLiteral("MessageData"));
    // The extension is compared exactly, as the drop does. Every file is listed, by name.
    const QStringList names = folder.entryList({QStringLiteral("*") + text(Text::OvxExtension)},
                                               QDir::Files | QDir::CaseSensitive, QDir::Name);
    // An emptied folder empties the list: a name whose file is gone cannot be sent.
    files_->clear();
    files_->addItems(names);
    if (!names.isEmpty()) {
        files_->setCurrentIndex(currentFile_ >= 0 && currentFile_ < names.size() ? currentFile_
                                                                                 : 0);
    }
}

void MainPage::dropMessageFile(const QString& path) {
    const QFileInfo dropped(path);
    if (!dropped.fileName().endsWith(text(Text::OvxExtension), Qt::CaseSensitive)) {
        context_.prompt.inform(languageText(Text::OnlyOvxValid));
        return;
    }
    if (context_.prompt.ask(languageText(Text::AddFileToMessageList), PromptButtons::YesNo,
                            PromptIcon::Information) != PromptAnswer::Yes) {
        return;
    }
    const QString folder = qs(context_.state.programFolder) + QStringLiteral("MessageData");
    QDir().mkpath(folder);
    const QString destination = folder + QLatin1Char('/') + dropped.fileName();
    const Result<void, CopyProblem> copied = QFileInfo::exists(destination)
                                                 ? fail(CopyProblem::Exists, {})
                                                 : copyFileNoReplace(utf8(path), utf8(destination));
    if (!copied && copied.reason() == CopyProblem::Exists) {
        context_.prompt.inform(languageText(Text::SameFileNameExists));
        return;
    }
    if (!copied) {
        context_.prompt.inform(languageText(Text::MainFileNotAdded) + "\n" + copied.error(),
                               PromptIcon::Warning);
        return;
    }
    rebuildFileList();
    context_.prompt.inform(languageText(Text::Complete));
}

// ---------------------------------------------------------------------------------------------
// Status watch

void MainPage::resetStatusFields() {
    const StatusFields unknown;
    applyStatus(message_, unknown);
    applyStatus(alarm_, unknown);
    mute_->setEnabled(false);
    statusOf_.reset();
}

void MainPage::applyStatus(const StatusLine& line, const StatusFields& fields) {
    showLiveValue(line.first, text(line.caption), qs(fields.first));
    showLiveValue(line.second, text(line.caption), qs(fields.second));
    line.first->setEnabled(fields.firstEnabled);
    line.second->setEnabled(fields.secondEnabled);
}

void MainPage::startPolling() {
    stopPolling();
    if (!shown_ || context_.projectors.rowCount() == 0 || projectors_->currentIndex() < 0 ||
        !info_.capabilities.extendedOptions() || !sendTo_->single()) {
        resetStatusFields();
        return;
    }
    const ProjectorTarget target = takeTarget();
    if (statusOf_ != target.address) {
        resetStatusFields();  // what the fields show is another projector's
    }
    watched_ = target.address;
    const unsigned generation = ++pollGeneration_;
    poller_.start(target, [this, generation](const PollResult& result) {
        // Runs on the poller's thread: hand the result to the GUI thread.
        postToGui(this, [this, generation, result] { pollResult(generation, result); });
    });
}

void MainPage::stopPolling() {
    poller_.stop();
}

void MainPage::pollResult(unsigned generation, const PollResult& result) {
    if (generation != pollGeneration_ || !poller_.active()) {
        return;  // from a watch that has been stopped since
    }
    switch (result.event) {
        case PollEvent::MessageStatus:
            applyStatus(message_, messageStatusFields(result.value));
            statusOf_ = watched_;
            break;
        case PollEvent::AlarmStatus: {
            const StatusFields fields = alarmStatusFields(result.value);
            applyStatus(alarm_, fields);
            mute_->setEnabled(fields.muteEnabled);
            statusOf_ = watched_;
            break;
        }
        case PollEvent::Reply8:
            break;  // busy: the fields keep what they show
        default:
            resetStatusFields();
            break;
    }
}

// ---------------------------------------------------------------------------------------------
// Startup display area

void MainPage::refreshStartup() {
    if (!sendTo_->single()) {
        showStartupUnavailable();
        return;
    }
    if (context_.projectors.rowCount() == 0 || projectors_->currentIndex() < 0) {
        query_.drop();
        showStartupUnavailable();
        startPolling();
        return;
    }
    // The watch needs the answer (whether the projector has the extended options): it starts
    // again once the query has ended, and the page stays usable meanwhile.
    stopPolling();
    resetStatusFields();
    query_.start(takeTarget(), [this](const TransferJob& job) {
        if (!takeProjectorInfo(job, info_)) {
            context_.prompt.inform(job.outcome.resultText);
        }
        showStartupState(info_.startupValid(), info_.startup());
        startPolling();
    });
}

void MainPage::showStartupUnavailable() {
    showStartupState(false, {});
    // With many chosen, "Edit..." sets the startup display of each.
    startupEdit_->setEnabled(!sendTo_->single());
}

void MainPage::showStartupState(bool valid, const StartupDisplay& startup) {
    startupValidShown_ = valid;
    startupShown_ = startup;
    const StartupAreaTexts texts = startupAreaTexts(valid, startup);
    showLiveValue(startupSavedValue_, text(Text::MainStartupSavedNumber), qs(texts.savedNumber));
    showLiveValue(startupTimeValue_, text(Text::MainStartupDisplayTime), qs(texts.displayTime));
    startupValueMinutes_->setEnabled(texts.minutes);
    // A projector that did not say its startup word can still be given one.
    startupEdit_->setEnabled(sendTo_->single() ? info_.levelUsable() : true);

    const bool quick = fileSavedNumber_->currentIndex() == 0;
    bool checked = false;
    if (valid && startup.on && !quick) {
        checked = startup.savedNumber == fileSavedNumber_->currentIndex();
    }
    {
        // The projector's setting is shown as it is: the operator's remembered time stays.
        const QScopedValueRollback<bool> showing(showingProjectorStartup_, true);
        startupCheck_->setChecked(checked);
    }
    // With many projectors the check box sets each one's startup display after the send.
    startupCheck_->setEnabled((valid || !sendTo_->single()) && !quick);
    startupTime_->setEditText(checked ? qs(texts.displayTime) : QString());
    startupTime_->setEnabled(checked);
    updateStartupMinutes();
}

void MainPage::startupCheckToggled(bool checked) {
    if (!showingProjectorStartup_) {
        if (checked) {
            startupTime_->setEditText(rememberedTime_.isEmpty() ? QStringLiteral("3")
                                                                : rememberedTime_);
        } else {
            rememberedTime_ = startupTime_->currentText();
            startupTime_->setEditText(QString());
        }
    }
    startupTime_->setEnabled(checked);
    updateStartupMinutes();
}

void MainPage::updateStartupMinutes() {
    const QString time = startupTime_->currentText();
    startupTimeMinutes_->setEnabled(startupTime_->isEnabled() && !time.isEmpty() &&
                                    time != text(Text::StartupRepeat));
}

void MainPage::editStartup() {
    stopPolling();
    if (!sendTo_->single()) {
        // The same dialog, without a projector's setting to start from; each projector of
        // the choice is then set in the many-projector dialog.
        StartupDisplayDialog dialog(StartupDisplay{}, commandContext(), this);
        dialog.setObjectName(QStringLiteral("startupDispEdit"));
        dialog.setChoiceOnly(true);
        if (dialog.exec() != QDialog::Accepted) {
            return;
        }
        runOnMany(
            [entry = dialog.savedNumberEntry(),
             time = dialog.displayTimeText()](const CommandContext& c) {
                const Outcome queried = refreshProjectorInfo(c);
                if (!queried.ok()) {
                    return queried;
                }
                if (c.projector.values.level == kUnreachableValue) {
                    return c.fail(communicationErrorText(toCode(ExchangeError::Connect)));
                }
                StartupDisplay shown;
                return applyStartupEdit(c, entry, time, shown);
            },
            std::make_shared<AnswerBook>());
        return;
    }
    StartupDisplayDialog dialog(startupValidShown_ ? startupShown_ : StartupDisplay{},
                                commandContext(), this);
    dialog.setObjectName(QStringLiteral("startupDispEdit"));
    if (dialog.exec() == QDialog::Accepted) {
        showStartupState(true, dialog.shown());
    }
    startPolling();
}

// ---------------------------------------------------------------------------------------------
// Commands

void MainPage::confirm() {
    if (!projectorChosen()) {
        return;
    }
    const ProjectorTarget target = takeTarget();
    showStoredMessageList(target.address, target.password, context_.prompt, this);
}

void MainPage::send() {
    // Another window of the same user or the command line may have locked or unlocked Send
    // since this page last looked: the settings file decides.
    context_.state.readSendLock();
    refreshSendCaption();
    if (context_.state.sendLocked) {
        context_.prompt.inform(languageText(Text::SendLocked));
        return;
    }
    stopPolling();
    if (sendTo_->single() && !projectorChosen()) {
        return;
    }
    if (files_->currentText().isEmpty()) {
        context_.prompt.inform(languageText(Text::NoSavedData));
        return;
    }
    SendRequest request;
    request.path = context_.state.programFolder + "MessageData/" + utf8(files_->currentText());
    request.slot = static_cast<std::uint8_t>(fileSavedNumber_->currentIndex());
    request.startupChecked = startupCheck_->isChecked();
    request.displayTimeText = utf8(startupTime_->currentText());
    if (!sendTo_->single()) {
        sendToMany(request);
        return;
    }
    const ProjectorTarget target = takeTarget();
    const CommandContext command{target, context_.prompt, context_.runner, info_, context_.history};
    const Outcome sent = sendMessageFile(command, request, context_.state.sendLocked);
    // A message that is on the projector changes the startup area and brings the watch back,
    // even when its startup display could not be set.
    if (!sent.ok() && !(sent.failed() && sent.step == Outcome::Step::FollowUp)) {
        return;
    }
    showStartupState(info_.startupValid(), info_.startup());
    startPolling();
}

void MainPage::display(DisplayCommand command) {
    stopPolling();
    const auto slot = static_cast<std::uint8_t>(displaySavedNumber_->currentIndex());
    if (!sendTo_->single()) {
        runOnMany([command,
                   slot](const CommandContext& c) { return runDisplayCommand(c, command, slot); },
                  std::make_shared<AnswerBook>());
        return;
    }
    if (!projectorChosen()) {
        return;
    }
    // The watch comes back whatever the display command answered, once past its checks.
    if (runDisplayCommand(commandContext(), command, slot).pastChecks()) {
        startPolling();
    }
}

void MainPage::clear() {
    stopPolling();
    const auto scope = static_cast<ClearScope>(clearScope_->checkedId());
    const std::uint16_t code = clearCode(scope, clearList_->currentIndex());
    if (!sendTo_->single()) {
        // "Are you sure?" is asked once for all of them.
        ManyProjectorOperation clearOne = [code](const CommandContext& c) {
            return runClear(c, code);
        };
        auto answers = rehearse(clearOne, context_.prompt);
        runOnMany(std::move(clearOne), std::move(answers));
        return;
    }
    if (!projectorChosen()) {
        return;
    }
    if (runClear(commandContext(), code).ok()) {
        startPolling();
    }
}

void MainPage::mute() {
    stopPolling();
    if (!projectorChosen()) {
        return;
    }
    // As a display command: the watch comes back once past the checks.
    if (runMute(commandContext()).pastChecks()) {
        startPolling();
    }
}

}  // namespace orvanta
