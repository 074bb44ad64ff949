#include "ui/frame/CMainFrame.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QSettings>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>

#include "app/LanguageText.h"
#include "message/MessageModel.h"
#include "ui/common/Settings.h"
#include "ui/common/UiText.h"
#include "ui/dialogs/CSendStatus.h"
#include "ui/edit/CMessageEdit.h"
#include "ui/frame/COrvantaView.h"
#include "ui/main/CMainTab.h"
#include "ui/models/ProjectorListModel.h"

namespace orvanta {
namespace {

QIcon swatch(std::uint8_t colourIndex) {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    const Rgb rgb = rgbFromColourCode(colourIndex);
    painter.fillRect(QRect(1, 1, 14, 14), QColor::fromRgb(rgb));
    painter.setPen(Qt::black);
    painter.drawRect(QRect(1, 1, 13, 13));
    return QIcon(pixmap);
}

}  // namespace

CMainFrame::CMainFrame(MainState& state, Prompt& prompt)
    : state_(state),
      prompt_(prompt),
      projectors_(new ProjectorListModel(state, this)),
      runner_(std::make_unique<QtTransferRunner>(this)) {
    // The window has one size; it can be neither resized nor maximised.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFixedSize(1000, 700);
    buildMenus();
    buildToolBar();
}

CMainFrame::~CMainFrame() = default;

PageContext CMainFrame::pageContext() {
    return PageContext{state_, prompt_, *runner_, *projectors_};
}

void CMainFrame::createView() {
    view_ = new COrvantaView(pageContext(), this);
    setCentralWidget(view_);
    connect(view_, &COrvantaView::pageShown, this, [this] {
        refreshSendCaptions();
        updateCommandStates();
    });
    view_->showCurrentPage();
}

void CMainFrame::buildMenus() {
    auto add = [this](QMenu* menu, Command command, Text caption, QKeySequence key = {}) {
        QAction* a = menu->addAction(text(caption));
        a->setShortcut(key);
        actions_[command] = a;
        return a;
    };
    QMenu* file = menuBar()->addMenu(text(Text::MenuFile));
    add(file, New, Text::MenuNew, QKeySequence::New);
    add(file, Open, Text::MenuOpen, QKeySequence::Open);
    add(file, Save, Text::MenuSave, QKeySequence::Save);
    file->addSeparator();
    connect(add(file, Exit, Text::MenuExit), &QAction::triggered, this, &QWidget::close);

    QMenu* edit = menuBar()->addMenu(text(Text::MenuEdit));
    add(edit, Undo, Text::MenuUndo, QKeySequence::Undo);
    add(edit, Cut, Text::MenuCut, QKeySequence::Cut);
    add(edit, Copy, Text::MenuCopy, QKeySequence::Copy);
    add(edit, Paste, Text::MenuPaste, QKeySequence::Paste);
    edit->addSeparator();
    add(edit, FontColor, Text::MenuFontColor);
    add(edit, FontBackgroundColor, Text::MenuFontBackgroundColor);
    add(edit, BackgroundColor, Text::MenuBackgroundColor);

    QMenu* help = menuBar()->addMenu(text(Text::MenuHelp));
    connect(add(help, About, Text::MenuAbout), &QAction::triggered, this, [this] {
        QMessageBox::about(this, text(Text::MenuAbout).remove(QLatin1Char('&')),
                           text(Text::Caption) + QLatin1Char('\n') + text(Text::AboutVersion) +
                               QLatin1Char(' ') + QStringLiteral(ORVANTA_VERSION));
    });

    QMenu* lock = menuBar()->addMenu(text(Text::MenuSendLockGroup));
    add(lock, SendLock, Text::MenuSendLock);
    add(lock, UnLock, Text::MenuUnlock);
    add(lock, ChangePassword, Text::MenuChangePassword);
}

QToolButton* CMainFrame::colourButton(Command command, std::uint8_t colourIndex) {
    auto* button = new QToolButton(this);
    auto* menu = new QMenu(button);
    menu->addAction(actions_[command]);
    button->setMenu(menu);
    button->setPopupMode(QToolButton::MenuButtonPopup);
    button->setIcon(swatch(colourIndex));
    button->setToolTip(actions_[command]->text());
    return button;
}

void CMainFrame::buildToolBar() {
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
    bar->addWidget(colourButton(FontColor, state_.characterColor));
    bar->addWidget(colourButton(FontBackgroundColor, state_.characterBackgroundColor));
    bar->addWidget(colourButton(BackgroundColor, state_.backgroundColor));
    bar->addSeparator();
    bar->addAction(actions_[About]);
}

void CMainFrame::refreshSendCaptions() {
    view_->mainTab()->refreshSendCaption();
    view_->editTab()->refreshSendCaption();
}

void CMainFrame::updateCommandStates() {
    actions_[Exit]->setEnabled(true);
    actions_[About]->setEnabled(true);
    updateEditCommandStates();
    updateSendLockCommandStates();
}

void CMainFrame::updateEditCommandStates() {
    // Offered once the Edit tab's editors exist.
    for (Command c : {New, Open, Save, Undo, Cut, Copy, Paste, FontColor, FontBackgroundColor,
                      BackgroundColor}) {
        actions_[c]->setEnabled(false);
    }
}

void CMainFrame::updateSendLockCommandStates() {
    // Offered once the send lock dialogs exist.
    for (Command c : {SendLock, UnLock, ChangePassword}) {
        actions_[c]->setEnabled(false);
    }
}

bool CMainFrame::confirmAndSaveForExit() {
    if (!view_->editTab()->confirmDiscardOrSave()) {
        return false;
    }
    if (prompt_.ask(LanguageText(Text::ConfirmExit), PromptButtons::OkCancel,
                    PromptIcon::Question) != PromptAnswer::Ok) {
        return false;
    }
    QApplication::clipboard()->clear();
    // No choice (only loopback, which is never chosen for the operator) is remembered as none.
    if (state_.selectedAdapter >= 0 &&
        static_cast<size_t>(state_.selectedAdapter) < state_.adaptors.size()) {
        const AdaptorEntry& adaptor = state_.adaptors[static_cast<size_t>(state_.selectedAdapter)];
        saveAdapterSelection(state_.programFolder, adaptor.dotted, adaptor.description);
    } else {
        saveAdapterSelection(state_.programFolder, "", "");
    }
    writeSendLocked(state_.sendLocked);
    return true;
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (confirmAndSaveForExit()) {
        event->accept();
    } else {
        event->ignore();
    }
}

}  // namespace orvanta
