#include "ui/frame/MainWindow.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLoggingCategory>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QTextEdit>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <utility>

#include <unistd.h>

#include <QDateTime>
#include <climits>

#include "history/HistoryRecorder.h"
#include "message/MessageFile.h"
#include "message/MessageOptions.h"
#include "message/RecoveryFile.h"
#include "platform/Environment.h"
#include "platform/TextCodec.h"
#include "settings/SendLockStore.h"
#include "text/LanguageText.h"
#include "ui/common/MenuKeys.h"
#include "ui/common/ReceiverLink.h"
#include "ui/common/RecentFiles.h"
#include "ui/common/UiText.h"
#include "ui/dialogs/ChangePasswordDialog.h"
#include "ui/dialogs/CommunicationStatusDialog.h"
#include "ui/dialogs/PaletteDialog.h"
#include "ui/dialogs/ProjectorStateQuery.h"
#include "ui/dialogs/SendLockDialog.h"
#include "ui/edit/DraftKeeper.h"
#include "ui/edit/EditPage.h"
#include "ui/frame/PageTabs.h"
#include "ui/history/HistoryDialog.h"
#include "ui/main/MainPage.h"
#include "ui/models/ProjectorRegistryModel.h"

// Files the window opens on request (command line, later starts, drops, recent files);
// QT_LOGGING_RULES="orvanta.files.info=true" prints them.
Q_LOGGING_CATEGORY(lcFiles, "orvanta.files", QtWarningMsg)

namespace orvanta {
namespace {

// How many of the files last opened or saved the File menu lists.
constexpr int kRecentFilesShown = 8;

QIcon swatch(std::uint8_t colorIndex) {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    const Rgb rgb = rgbFromColorCode(colorIndex);
    painter.fillRect(QRect(1, 1, 14, 14), QColor::fromRgb(rgb));
    painter.setPen(Qt::black);
    painter.drawRect(QRect(1, 1, 13, 13));
    return QIcon(pixmap);
}

// What the draft recovery does, for those who look (QT_LOGGING_RULES="orvanta.recovery=true").
Q_LOGGING_CATEGORY(lcRecovery, "orvanta.recovery", QtWarningMsg)

// The program file of a running process, empty when there is no such process.
std::string programOf(long pid) {
    char target[PATH_MAX];
    const std::string link = "/proc/" + std::to_string(pid) + "/exe";
    const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
    return n > 0 ? std::string(target, static_cast<std::size_t>(n)) : std::string();
}

// Another running copy of this program wrote the recovery file (and keeps it up to date).
bool heldByAnotherCopy(const Draft& draft) {
    if (draft.pid <= 0 || draft.pid == ::getpid()) {
        return false;
    }
    const std::string other = programOf(static_cast<long>(draft.pid));
    return !other.empty() && other == programOf(static_cast<long>(::getpid()));
}

}  // namespace

MainWindow::MainWindow(MainState& state, Prompt& prompt)
    : state_(state),
      prompt_(prompt),
      projectors_(new ProjectorRegistryModel(state, this)),
      runner_(std::make_unique<QtTransferRunner>(this)) {
    // The window has one size; it can be neither resized nor maximised.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFixedSize(1000, 700);
    setAcceptDrops(true);
    // A command waits (visibly, with Cancel) for a page's state query that is still running:
    // it reads what the projector answered, and two exchanges never overlap.
    runner_->setBeforeRun([] { ProjectorStateQuery::finishAll(); });
    pendingTimer_ = new QTimer(this);
    pendingTimer_->setSingleShot(true);
    pendingTimer_->setInterval(200);
    connect(pendingTimer_, &QTimer::timeout, this, &MainWindow::openPendingFile);
    runner_->onIdle = [this] {
        if (closeAfterTransfer_) {
            closeAfterTransfer_ = false;
            // After the page that started the transfer has seen its end.
            QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
        }
    };
    buildMenus();
    buildToolBar();
}

MainWindow::~MainWindow() = default;

PageContext MainWindow::pageContext() {
    return PageContext{state_, prompt_, *runner_, *projectors_, history_.get()};
}

void MainWindow::openHistoryAndRecovery() {
    if (state_.programFolder.empty()) {
        return;
    }
    if (historyEnabled()) {
        historyWriter_ = std::make_unique<HistoryWriterThread>(
            HistoryFile(historyPath(state_.programFolder)),
            [this, link = ReceiverLink::to(this)](const std::string& problem) {
                // From the writer's thread: told on the window's thread while it lives.
                link->post([this, problem] {
                    tellOnce(problem, historyProblemTold_, Text::HistoryNotWritten);
                });
            });
        history_ = std::make_unique<HistoryRecorder>(
            [this](std::uint32_t address) {
                const auto row = state_.projectors.findAddress(address);
                return row ? state_.projectors.records[*row].name : std::string();
            },
            [writer = historyWriter_.get()](const HistoryRecord& record) {
                writer->append(record);
            });
    }
}

void MainWindow::createView() {
    openHistoryAndRecovery();
    view_ = new PageTabs(pageContext(), this);
    setCentralWidget(view_);
    connect(view_, &PageTabs::pageShown, this, [this] {
        state_.readSendLock();
        refreshSendCaptions();
        updateCommandStates();
    });
    connectEditCommands();
    if (!state_.programFolder.empty() && recoveryEnabled()) {
        EditPage* edit = view_->editTab();
        // This copy's own draft file: a second copy on the same folder keeps another.
        draftClaim_ = std::make_unique<DraftClaim>(
            DraftClaim::claim(state_.programFolder, currentUserName()));
        draftKeeper_ = new DraftKeeper(
            draftClaim_->path(),
            [edit]() -> std::optional<Draft> {
                std::optional<Draft> draft = edit->draft();
                if (draft) {
                    draft->owner = currentUserName();
                    draft->pid = ::getpid();
                    draft->time = historyNow();
                }
                return draft;
            },
            this);
        connect(edit, &EditPage::draftChanged, draftKeeper_, &DraftKeeper::changed);
        connect(edit, &EditPage::draftDiscarded, draftKeeper_, &DraftKeeper::discard);
        // Told in the status bar, not in a box: the operator is typing.
        connect(draftKeeper_, &DraftKeeper::writeFailed, this, [this](const QString& problem) {
            qWarning("Orvanta: the unsaved message could not be kept: %s", qPrintable(problem));
            statusBar()->showMessage(text(Text::DraftNotKept).arg(problem));
        });
        connect(draftKeeper_, &DraftKeeper::writeRecovered, this,
                [this] { statusBar()->clearMessage(); });
    }
    view_->showCurrentPage();
}

void MainWindow::tellOnce(const std::string& problem, bool& told, Text text) {
    qWarning("Orvanta: %s", problem.c_str());
    if (!told) {
        told = true;
        prompt_.inform(utf8(orvanta::text(text).arg(qs(problem))), PromptIcon::Warning);
    }
}

void MainWindow::offerDraftRecovery() {
    if (draftKeeper_ == nullptr) {
        return;
    }
    const std::vector<std::string> left =
        abandonedDrafts(state_.programFolder, currentUserName(), draftKeeper_->path());
    if (left.empty()) {
        return;  // the last run ended normally
    }
    // The newest first; older ones are offered at the next start.
    const std::string& path = left.front();
    const Result<Draft, DraftProblem> read = readDraft(path);
    if (!read) {
        if (read.reason() == DraftProblem::Missing) {
            return;
        }
        if (read.reason() == DraftProblem::Foreign) {
            prompt_.inform(utf8(text(Text::RecoverDraftForeign).arg(qs(read.error()))),
                           PromptIcon::Warning);
            return;
        }
        // Never deleted: set aside where the operator (or support) can still look at it.
        const Result<std::string> aside = setDraftAside(path, historyNow());
        prompt_.inform(aside ? utf8(text(Text::RecoverDraftDamaged).arg(qs(aside.value())))
                             : utf8(text(Text::RecoverDraftNotSetAside).arg(qs(aside.error()))),
                       PromptIcon::Warning);
        return;
    }
    const Draft& draft = read.value();
    if (draft.owner != currentUserName() || heldByAnotherCopy(draft)) {
        return;  // not this user's, or another copy of the program keeps it
    }
    const QString title = qs(utf16ToUtf8(draft.message.title.text())).trimmed();
    const QString when = QDateTime::fromMSecsSinceEpoch(draft.time)
                             .toLocalTime()
                             .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    const QString question =
        text(Text::RecoverDraftQuestion)
            .arg(when, title.isEmpty() ? text(Text::RecoverDraftNoTitle) : title);
    // Until the answer, nothing else touches the file: a SIGTERM or a logout while the
    // question is open leaves it for the next start.
    draftKeeper_->hold();
    qCInfo(lcRecovery, "asking whether to restore %s", path.c_str());
    if (prompt_.ask(utf8(question), PromptButtons::YesNo, PromptIcon::Question) !=
        PromptAnswer::Yes) {
        draftKeeper_->release(std::nullopt);
        if (path == draftKeeper_->path()) {
            draftKeeper_->discard();
        } else {
            (void)removeDraft(path);
        }
        return;
    }
    view_->tabs()->setCurrentIndex(PageTabs::EditTab);
    view_->editTab()->restoreDraft(draft);
    refreshColorButtons();
    // Written into this copy's file at once; the file it came from goes only after that.
    draftKeeper_->release(path);
}

void MainWindow::showHistory() {
    HistoryDialog dialog(state_.programFolder, this);
    if (dialog.exec() != QDialog::Accepted || dialog.action() == HistoryDialog::Action::None) {
        return;
    }
    openFromHistory(dialog.chosen(), dialog.action() == HistoryDialog::Action::SendAgain);
}

void MainWindow::openFromHistory(const HistoryRecord& record, bool sendAgain) {
    if (record.message.empty()) {
        prompt_.inform(languageText(Text::HistoryNoMessage));
        return;
    }
    // A hand-edited or damaged record may name a saved number no projector has; it is neither
    // sent nor chosen as some other number.
    if (sendAgain && (record.slot < 0 || record.slot > 12)) {
        prompt_.inform(
            formatText(Text::HistorySlotOutOfRange, {static_cast<long long>(record.slot)}));
        return;
    }
    // As it went out: with every option the message file kept.
    MessageFileResult parsed = parseMessageFile(record.message, true);
    if (!parsed) {
        prompt_.inform(parsed.error(), PromptIcon::Error);
        return;
    }
    view_->tabs()->setCurrentIndex(PageTabs::EditTab);
    EditPage* edit = view_->editTab();
    if (!edit->confirmDiscardOrSave()) {
        return;
    }
    Draft draft;
    draft.message = std::move(parsed).value();
    draft.message.characterColor = state_.characterColor;
    draft.message.characterBackgroundColor = state_.characterBackgroundColor;
    draft.source = record.source;
    edit->restoreDraft(draft);
    refreshColorButtons();
    const std::optional<std::uint32_t> address = parseAddress(record.address);
    // The registry as it is now: the projector may have been removed from another window or
    // the command line since this one last read it.
    const bool stillRegistered =
        address && readRegistry(state_.programFolder).valueOr({}).findAddress(*address);
    const std::optional<std::size_t> row =
        address && stillRegistered ? state_.projectors.findAddress(*address) : std::nullopt;
    if (!row) {
        if (sendAgain) {
            prompt_.inform(languageText(Text::HistoryProjectorGone));
        }
        return;
    }
    edit->chooseProjectorAndSlot(static_cast<int>(*row), record.slot);
    // The record's projector, not whatever group the Edit tab's "Send to" was left at.
    edit->aimAtChosenProjector();
    if (sendAgain) {
        // The Edit tab's Send, with its checks and the send lock.
        edit->send();
    }
}

void MainWindow::buildMenus() {
    auto add = [this](QMenu* menu, Command command, Text caption, QList<QKeySequence> keys = {}) {
        QAction* a = menu->addAction(text(caption));
        a->setShortcuts(keys);
        actions_[command] = a;
        return a;
    };
    QMenu* file = menuBar()->addMenu(text(Text::MenuFile));
    add(file, New, Text::MenuNew, menuKeys(MenuKey::New));
    add(file, Open, Text::MenuOpen, menuKeys(MenuKey::Open));
    add(file, Save, Text::MenuSave, menuKeys(MenuKey::Save));
    file->addSeparator();
    recentFiles_ = file->addMenu(text(Text::MenuRecentFiles));
    recentFiles_->setObjectName(QStringLiteral("recentFiles"));
    recentFiles_->setToolTipsVisible(true);
    connect(recentFiles_, &QMenu::aboutToShow, this, &MainWindow::fillRecentFiles);
    file->addSeparator();
    connect(add(file, History, Text::MenuHistory), &QAction::triggered, this,
            &MainWindow::showHistory);
    file->addSeparator();
    connect(add(file, Exit, Text::MenuExit), &QAction::triggered, this, &QWidget::close);

    QMenu* edit = menuBar()->addMenu(text(Text::MenuEdit));
    add(edit, Undo, Text::MenuUndo, menuKeys(MenuKey::Undo));
    add(edit, Cut, Text::MenuCut, menuKeys(MenuKey::Cut));
    add(edit, Copy, Text::MenuCopy, menuKeys(MenuKey::Copy));
    add(edit, Paste, Text::MenuPaste, menuKeys(MenuKey::Paste));
    edit->addSeparator();
    add(edit, FontColor, Text::MenuFontColor);
    add(edit, FontBackgroundColor, Text::MenuFontBackgroundColor);
    add(edit, BackgroundColor, Text::MenuBackgroundColor);

    QMenu* help = menuBar()->addMenu(text(Text::MenuHelp));
    connect(add(help, About, Text::MenuAbout), &QAction::triggered, this, [this] {
        QMessageBox::about(this, text(Text::MenuAbout).remove(QLatin1Char('&')),
                           text(Text::Caption) + QLatin1Char('\n') + text(Text::AboutVersion) +
                               QLatin1Char(' ') + QString::fromUtf8(programVersion()));
    });

    QMenu* lock = menuBar()->addMenu(text(Text::MenuSendLockGroup));
    // The lock may have been set or lifted elsewhere (another login, the command line).
    connect(lock, &QMenu::aboutToShow, this, [this] {
        state_.readSendLock();
        refreshSendCaptions();
        updateSendLockCommandStates();
    });
    connect(add(lock, SendLock, Text::MenuSendLock), &QAction::triggered, this,
            [this] { runSendLock(true); });
    connect(add(lock, Unlock, Text::MenuUnlock), &QAction::triggered, this,
            [this] { runSendLock(false); });
    connect(add(lock, ChangePassword, Text::MenuChangePassword), &QAction::triggered, this, [this] {
        ChangePasswordDialog dialog(prompt_, sendLockSettingsPath(), this);
        dialog.setObjectName(QStringLiteral("changePassword"));
        dialog.exec();
    });
}

QToolButton* MainWindow::colorButton(Command command, std::uint8_t colorIndex) {
    auto* button = new QToolButton(this);
    // The arrow opens the palette; the button itself applies the color it shows.
    auto* menu = new QMenu(button);
    button->setMenu(menu);
    button->setPopupMode(QToolButton::MenuButtonPopup);
    button->setIcon(swatch(colorIndex));
    button->setToolTip(actions_[command]->text());
    button->setAccessibleName(actions_[command]->text());
    button->setFocusPolicy(Qt::NoFocus);
    connect(menu, &QMenu::aboutToShow, this, [this, menu, command] {
        QMetaObject::invokeMethod(
            this,
            [this, menu, command] {
                menu->close();
                chooseColor(command);
            },
            Qt::QueuedConnection);
    });
    connect(button, &QToolButton::clicked, this, [this, command] { applyColor(command); });
    return button;
}

void MainWindow::buildToolBar() {
    QToolBar* bar = addToolBar(QString());
    bar->setObjectName(QStringLiteral("toolBar"));
    bar->setMovable(false);
    bar->setIconSize(QSize(16, 16));
    QStyle* s = style();
    actions_[New]->setIcon(s->standardIcon(QStyle::SP_FileIcon));
    actions_[Open]->setIcon(s->standardIcon(QStyle::SP_DialogOpenButton));
    actions_[Save]->setIcon(s->standardIcon(QStyle::SP_DialogSaveButton));
    actions_[About]->setIcon(s->standardIcon(QStyle::SP_MessageBoxInformation));
    actions_[Cut]->setIcon(QIcon::fromTheme(QStringLiteral("edit-cut")));
    actions_[Copy]->setIcon(QIcon::fromTheme(QStringLiteral("edit-copy")));
    actions_[Paste]->setIcon(QIcon::fromTheme(QStringLiteral("edit-paste")));
    for (Command c : {Cut, Copy, Paste}) {
        // Without an icon theme the button shows its text, which must not carry the shortcut.
        actions_[c]->setIconText(
            actions_[c]->text().section(QLatin1Char('\t'), 0, 0).remove(QLatin1Char('&')));
    }
    bar->addAction(actions_[New]);
    bar->addAction(actions_[Open]);
    bar->addAction(actions_[Save]);
    bar->addSeparator();
    bar->addAction(actions_[Cut]);
    bar->addAction(actions_[Copy]);
    bar->addAction(actions_[Paste]);
    bar->addSeparator();
    colorButtons_ = {colorButton(FontColor, state_.characterColor),
                     colorButton(FontBackgroundColor, state_.characterBackgroundColor),
                     colorButton(BackgroundColor, state_.backgroundColor)};
    const char* names[] = {"fontColorButton", "fontBackgroundColorButton", "backgroundColorButton"};
    for (std::size_t i = 0; i < colorButtons_.size(); ++i) {
        colorButtons_[i]->setObjectName(QLatin1String(names[i]));
        bar->addWidget(colorButtons_[i]);
    }
    bar->addSeparator();
    bar->addAction(actions_[About]);
}

void MainWindow::refreshSendCaptions() {
    if (view_ == nullptr) {
        return;
    }
    view_->mainTab()->refreshSendCaption();
    view_->editTab()->refreshSendCaption();
}

void MainWindow::updateCommandStates() {
    actions_[Exit]->setEnabled(true);
    actions_[About]->setEnabled(true);
    actions_[History]->setEnabled(history_ != nullptr);
    updateEditCommandStates();
    updateSendLockCommandStates();
}

void MainWindow::updateEditCommandStates() {
    EditPage* page = view_ != nullptr ? view_->editTab() : nullptr;
    const bool edit = page != nullptr && view_->currentPage() == PageTabs::EditTab;
    for (Command c : {New, Open, Save, FontColor, FontBackgroundColor, BackgroundColor}) {
        actions_[c]->setEnabled(edit);
    }
    recentFiles_->menuAction()->setEnabled(edit);
    actions_[Undo]->setEnabled(edit && page->canUndo());
    actions_[Cut]->setEnabled(edit && page->hasSelection());
    actions_[Copy]->setEnabled(edit && page->hasSelection());
    actions_[Paste]->setEnabled(edit && page->canPaste());
    // The background buttons mean nothing while the message background is transparent.
    const bool opaque = edit && !page->characterDisplayMode();
    colorButtons_[0]->setEnabled(edit);
    colorButtons_[1]->setEnabled(opaque);
    colorButtons_[2]->setEnabled(opaque);
}

void MainWindow::connectEditCommands() {
    EditPage* page = view_->editTab();
    connect(page, &EditPage::selectionStateChanged, this, &MainWindow::updateEditCommandStates);
    connect(page, &EditPage::characterDisplayModeChanged, this,
            &MainWindow::updateEditCommandStates);
    // The editors move rich text through memory, so the system clipboard is never emptied:
    // what another program put there stays.
    connect(actions_[New], &QAction::triggered, page, &EditPage::newMessage);
    connect(page, &EditPage::backgroundColorChanged, this, &MainWindow::refreshColorButtons);
    connect(actions_[Open], &QAction::triggered, page, &EditPage::open);
    connect(actions_[Save], &QAction::triggered, page, [page] { page->save(); });
    connect(actions_[Undo], &QAction::triggered, page, &EditPage::undo);
    connect(actions_[Cut], &QAction::triggered, page, &EditPage::cut);
    connect(actions_[Copy], &QAction::triggered, page, &EditPage::copy);
    connect(actions_[Paste], &QAction::triggered, page, &EditPage::paste);
    for (Command c : {FontColor, FontBackgroundColor, BackgroundColor}) {
        connect(actions_[c], &QAction::triggered, this, [this, c] { chooseColor(c); });
    }
}

void MainWindow::chooseColor(Command command) {
    if (view_ == nullptr || view_->currentPage() != PageTabs::EditTab) {
        return;
    }
    std::uint8_t* code = command == FontColor             ? &state_.characterColor
                         : command == FontBackgroundColor ? &state_.characterBackgroundColor
                                                          : &state_.backgroundColor;
    const auto kind = command == FontColor ? PaletteDialog::Kind::CharacterColor
                      : command == FontBackgroundColor
                          ? PaletteDialog::Kind::CharacterBackgroundColor
                          : PaletteDialog::Kind::BackgroundColor;
    PaletteDialog dialog(kind, *code, this);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    *code = dialog.chosenCode();
    refreshColorButtons();
    applyColor(command);
}

void MainWindow::refreshColorButtons() {
    const std::uint8_t codes[] = {state_.characterColor, state_.characterBackgroundColor,
                                  state_.backgroundColor};
    for (std::size_t i = 0; i < colorButtons_.size(); ++i) {
        colorButtons_[i]->setIcon(swatch(codes[i]));
    }
}

void MainWindow::applyColor(Command command) {
    if (view_ == nullptr || view_->currentPage() != PageTabs::EditTab) {
        return;
    }
    EditPage* page = view_->editTab();
    switch (command) {
        case FontColor:
            page->applyCharacterColor();
            break;
        case FontBackgroundColor:
            page->applyCharacterBackgroundColor();
            break;
        case BackgroundColor:
            page->applyBackgroundColor();
            break;
        default:
            break;
    }
}

namespace {

// The one local file of a drag, or nothing when it carries none or several.
QString singleFile(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls() || data->urls().size() != 1 ||
        !data->urls().first().isLocalFile()) {
        return {};
    }
    return data->urls().first().toLocalFile();
}

// Strictly inside: the edges themselves do not count.
bool strictlyInside(const QRect& r, const QPoint& p) {
    return p.x() > r.left() && p.x() < r.right() && p.y() > r.top() && p.y() < r.bottom();
}

}  // namespace

bool MainWindow::dropAcceptedAt(const QString& path, const QPoint& position) const {
    if (view_ == nullptr || path.isEmpty()) {
        return false;
    }
    const auto rectOf = [this](const QWidget* w) {
        return QRect(w->mapTo(this, QPoint(0, 0)), w->size());
    };
    switch (view_->currentPage()) {
        case PageTabs::MainTab:
            // Only over the message file list, the one place that takes the file.
            return strictlyInside(rectOf(view_->mainTab()->fileDropArea()), position);
        case PageTabs::EditTab: {
            const auto* title =
                view_->editTab()->findChild<QTextEdit*>(QStringLiteral("titleEdit"));
            const auto* body =
                view_->editTab()->findChild<QTextEdit*>(QStringLiteral("messageEdit"));
            const QRect message = rectOf(body);
            if (path.endsWith(QStringLiteral("txt"))) {
                return strictlyInside(message, position);
            }
            if (path.endsWith(QStringLiteral("ovx"))) {
                const QRect area(QPoint(message.left(), rectOf(title).top()),
                                 message.bottomRight());
                return strictlyInside(area, position);
            }
            return false;
        }
        case PageTabs::DiscoveryTab:
            // Taken anywhere, so that the drop can say where message files go.
            return true;
        default:
            return false;
    }
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    dragMoveEvent(event);
    // Refusing the enter would hide the later moves; whether a drop counts is decided there.
    event->accept();
}

void MainWindow::dragMoveEvent(QDragMoveEvent* event) {
    if (dropAcceptedAt(singleFile(event->mimeData()), event->position().toPoint())) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void MainWindow::dropEvent(QDropEvent* event) {
    const QString path = singleFile(event->mimeData());
    if (path.isEmpty() || view_ == nullptr) {
        return;  // several files: nothing happens
    }
    event->acceptProposedAction();
    // The extension is compared with its exact case: "X.OVX" is refused.
    if (QLatin1Char('.') + QFileInfo(path).suffix() != text(Text::OvxExtension)) {
        prompt_.inform(languageText(Text::OnlyOvxValid));
        return;
    }
    switch (view_->currentPage()) {
        case PageTabs::MainTab:
            view_->mainTab()->dropMessageFile(path);
            break;
        case PageTabs::DiscoveryTab:
            prompt_.inform(languageText(Text::DropOnMainOrEdit));
            break;
        case PageTabs::EditTab:
            if (prompt_.ask(languageText(Text::ExtractThisFile), PromptButtons::YesNo,
                            PromptIcon::Information) == PromptAnswer::Yes) {
                openFile(path);
            }
            break;
        default:
            break;
    }
}

void MainWindow::openFile(const QString& path) {
    // Every file asked for is opened, one after the other: none is dropped for a later one.
    pendingFiles_.push_back(path);
    openPendingFile();
}

void MainWindow::openPendingFile() {
    if (pendingFiles_.empty() || view_ == nullptr) {
        return;
    }
    // Not under an open dialog or during a transfer: a question, the palette or a send still
    // works on what the editors hold.
    if (openingFile_ || runner_->running() || QApplication::activeModalWidget() != nullptr) {
        statusBar()->showMessage(text(Text::FilesWaitingToOpen).arg(pendingFiles_.size()));
        filesWaitingShown_ = true;
        pendingTimer_->start();
        return;
    }
    const QString path = pendingFiles_.front();
    pendingFiles_.pop_front();
    if (pendingFiles_.empty() && std::exchange(filesWaitingShown_, false)) {
        statusBar()->clearMessage();
    }
    openingFile_ = true;
    view_->tabs()->setCurrentIndex(PageTabs::EditTab);
    // Opening replaces what is in the editors: unsaved work is offered for saving first.
    if (view_->editTab()->confirmDiscardOrSave() && view_->editTab()->openMessageFile(path)) {
        qCInfo(lcFiles, "opened on the Edit page: %s", qPrintable(path));
    }
    openingFile_ = false;
    if (!pendingFiles_.empty()) {
        pendingTimer_->start();  // the next one, once this one's questions are over
    }
}

void MainWindow::bringToFront() {
    if (isMinimized()) {
        showNormal();
    }
    show();
    raise();
    activateWindow();
}

void MainWindow::fillRecentFiles() {
    recentFiles_->clear();
    const QStringList files = RecentFiles(qs(state_.recentFilesList)).files(kRecentFilesShown);
    const QString home = QDir::homePath();
    const QFontMetrics metrics(recentFiles_->font());
    int number = 1;
    for (const QString& file : files) {
        QString shown = QDir::toNativeSeparators(file);
        if (shown.startsWith(home + QLatin1Char('/'))) {
            shown = QLatin1Char('~') + shown.mid(home.size());
        }
        shown = metrics.elidedText(shown, Qt::ElideMiddle, 480);
        // Numbered 1 to 8 for the keyboard; "&&" keeps an ampersand of the name.
        QAction* a = recentFiles_->addAction(QStringLiteral("&%1 %2").arg(number++).arg(
            QString(shown).replace(QLatin1Char('&'), QStringLiteral("&&"))));
        a->setToolTip(file);
        a->setData(file);
        connect(a, &QAction::triggered, this, [this, file] { openFile(file); });
    }
    if (files.isEmpty()) {
        recentFiles_->addAction(text(Text::MenuNoRecentFiles))->setEnabled(false);
    }
}

void MainWindow::updateSendLockCommandStates() {
    actions_[SendLock]->setEnabled(!state_.sendLocked);
    actions_[Unlock]->setEnabled(state_.sendLocked);
    actions_[ChangePassword]->setEnabled(true);
}

void MainWindow::runSendLock(bool lock) {
    SendLockDialog dialog(lock ? SendLockDialog::Mode::Lock : SendLockDialog::Mode::Unlock, prompt_,
                          sendLockSettingsPath(), this);
    dialog.setObjectName(QStringLiteral("sendLock"));
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    // The settings file is the lock: written now, the one time it changes, so that other
    // windows and the command line see it at once and a crash cannot lift it.
    if (const Result<> written = writeSendLocked(sendLockSettingsPath(), lock); !written) {
        prompt_.inform(languageText(Text::SendLockNotSaved) + "\n" + written.error(),
                       PromptIcon::Warning);
        state_.readSendLock();
    } else {
        state_.sendLocked = lock;
    }
    refreshSendCaptions();
    updateSendLockCommandStates();
}

bool MainWindow::confirmAndSaveForExit() {
    if (!view_->editTab()->confirmDiscardOrSave()) {
        return false;
    }
    if (prompt_.ask(languageText(Text::ConfirmExit), PromptButtons::OkCancel,
                    PromptIcon::Question) != PromptAnswer::Ok) {
        return false;
    }
    // The adaptor choice was written when it changed: closing never waits for the registry.
    return true;
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (runner_->running()) {
        closeAfterTransfer_ = true;
        event->ignore();
        return;
    }
    if (confirmAndSaveForExit()) {
        // A normal end: the unsaved message was saved or given up.
        if (draftKeeper_ != nullptr) {
            draftKeeper_->discard();
        }
        event->accept();
    } else {
        event->ignore();
    }
}

}  // namespace orvanta
