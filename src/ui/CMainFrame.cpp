#include "ui/CMainFrame.h"

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
#include "ui/COrvantaView.h"
#include "ui/Settings.h"
#include "ui/TabPages.h"

namespace orvanta {
namespace {

constexpr int kCaption = 1011;
constexpr int kExitQuestion = 1018;

// Menu captions in English, Japanese and Simplified Chinese, in menu order.
struct MenuText {
    const char* english;
    const char* japanese;
    const char* chinese;
};
enum MenuTextIndex {
    MFile,
    MNew,
    MOpen,
    MSave,
    MExit,
    MEdit,
    MUndo,
    MCut,
    MCopy,
    MPaste,
    MFontColor,
    MFontBackground,
    MBackground,
    MHelp,
    MAbout,
    MSendLockMenu,
    MSendLock,
    MUnLock,
    MChangePassword
};
constexpr MenuText kMenuTexts[] = {
    {"&File", "ファイル", "文件"},
    {"New\tCtrl+N", "新規作成\tCtrl+N", "新建\tCtrl+N"},
    {"Open...\tCtrl+O", "ファイルを開く...\tCtrl+O", "打开...\tCtrl+O"},
    {"Save...\tCtrl+S", "保存...\tCtrl+S", "保存...\tCtrl+S"},
    {"E&xit", "終了", "退出"},
    {"&Edit", "編集", "编辑"},
    {"&Undo\tCtrl+Z", "やり直し\tCtrl+Z", "撤销\tCtrl+Z"},
    {"Cu&t\tCtrl+X", "切り取り\tCtrl+X", "剪切\tCtrl+X"},
    {"&Copy\tCtrl+C", "コピー\tCtrl+C", "复制\tCtrl+C"},
    {"&Paste\tCtrl+V", "貼り付け\tCtrl+V", "粘贴\tCtrl+V"},
    {"Font color...", "文字色...", "字体颜色..."},
    {"Font background color...", "文字背景色...", "字体的背景颜色..."},
    {"Background color...", "背景色...", "背景颜色..."},
    {"&Help", "ヘルプ", "帮助"},
    {"&About", "プロジェクター　オルヴァンタ　ツールについて", "关于投影机奥凡塔工具"},
    {"Send Lock", "送信ボタンロック", "发送锁定"},
    {"Send Lock", "送信ボタンロック", "发送锁定"},
    {"UnLock", "ロック解除", "锁定解除"},
    {"Change Password", "パスワード変更", "密码变更"},
};

QString menuText(MenuTextIndex index) {
    const MenuText& t = kMenuTexts[index];
    switch (interfaceLanguage()) {
        case LanguageId::Japanese:
            return QString::fromUtf8(t.japanese);
        case LanguageId::ChineseSimplified:
            return QString::fromUtf8(t.chinese);
        default:
            return QString::fromUtf8(t.english);
    }
}

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

CMainFrame::CMainFrame(MainState& state, Prompt& prompt) : state_(state), prompt_(prompt) {
    // The window has one size; it can be neither resized nor maximised.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFixedSize(1000, 700);
    buildMenus();
    buildToolBar();
}

void CMainFrame::createView() {
    view_ = new COrvantaView(*this);
    setCentralWidget(view_);
    view_->showCurrentPage();
}

void CMainFrame::buildMenus() {
    auto add = [this](QMenu* menu, Command command, MenuTextIndex text, QKeySequence key = {}) {
        QAction* a = menu->addAction(menuText(text));
        a->setShortcut(key);
        actions_[command] = a;
        return a;
    };
    QMenu* file = menuBar()->addMenu(menuText(MFile));
    add(file, New, MNew, QKeySequence::New);
    add(file, Open, MOpen, QKeySequence::Open);
    add(file, Save, MSave, QKeySequence::Save);
    file->addSeparator();
    connect(add(file, Exit, MExit), &QAction::triggered, this, &QWidget::close);

    QMenu* edit = menuBar()->addMenu(menuText(MEdit));
    add(edit, Undo, MUndo, QKeySequence::Undo);
    add(edit, Cut, MCut, QKeySequence::Cut);
    add(edit, Copy, MCopy, QKeySequence::Copy);
    add(edit, Paste, MPaste, QKeySequence::Paste);
    edit->addSeparator();
    add(edit, FontColor, MFontColor);
    add(edit, FontBackgroundColor, MFontBackground);
    add(edit, BackgroundColor, MBackground);

    QMenu* help = menuBar()->addMenu(menuText(MHelp));
    connect(add(help, About, MAbout), &QAction::triggered, this, [this] {
        // "Version" in the interface language; the number is the one --version prints.
        const char* version = interfaceLanguage() == LanguageId::Japanese ? "バージョン %1"
                              : interfaceLanguage() == LanguageId::ChineseSimplified ? "版本 %1"
                                                                                     : "Version %1";
        QMessageBox::about(this, menuText(MAbout).remove('&'),
                           QString::fromStdString(LanguageText(kCaption)) + QLatin1Char('\n') +
                               QString::fromUtf8(version).arg(QString::fromUtf8(programVersion())));
    });

    QMenu* lock = menuBar()->addMenu(menuText(MSendLockMenu));
    add(lock, SendLock, MSendLock);
    add(lock, UnLock, MUnLock);
    add(lock, ChangePassword, MChangePassword);
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
    QToolBar* bar = addToolBar(QStringLiteral("Standard"));
    bar->setObjectName("toolBar");
    bar->setMovable(false);
    bar->setIconSize(QSize(16, 16));
    QStyle* s = style();
    actions_[New]->setIcon(s->standardIcon(QStyle::SP_FileIcon));
    actions_[Open]->setIcon(s->standardIcon(QStyle::SP_DialogOpenButton));
    actions_[Save]->setIcon(s->standardIcon(QStyle::SP_DialogSaveButton));
    actions_[About]->setIcon(s->standardIcon(QStyle::SP_MessageBoxInformation));
    actions_[Cut]->setIcon(QIcon::fromTheme("edit-cut"));
    actions_[Copy]->setIcon(QIcon::fromTheme("edit-copy"));
    actions_[Paste]->setIcon(QIcon::fromTheme("edit-paste"));
    for (Command c : {Cut, Copy, Paste}) {
        // Without an icon theme the button shows its text, which must not carry the shortcut.
        actions_[c]->setIconText(actions_[c]->text().section('\t', 0, 0).remove('&'));
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
    // The pages with Send buttons read state().sendLocked when they are built.
}

void CMainFrame::updateCommandStates() {
    // The editing and colour commands belong to the Edit tab, whose editor is not there yet;
    // the lock commands belong to the send lock dialogs. Until they exist, only Exit and
    // About do something, so only they are offered.
    for (QAction* a : actions_) {
        a->setEnabled(false);
    }
    actions_[Exit]->setEnabled(true);
    actions_[About]->setEnabled(true);
}

bool CMainFrame::confirmAndSaveForExit() {
    if (!view_->editTab()->confirmDiscardOrSave()) {
        return false;
    }
    if (prompt_.ask(LanguageText(kExitQuestion), PromptButtons::OkCancel, PromptIcon::Question) !=
        PromptAnswer::Ok) {
        return false;
    }
    QApplication::clipboard()->clear();
    if (!state_.adaptors.empty()) {
        const size_t index =
            state_.selectedAdapter >= 0 &&
                    static_cast<size_t>(state_.selectedAdapter) < state_.adaptors.size()
                ? static_cast<size_t>(state_.selectedAdapter)
                : 0;
        const AdaptorEntry& adaptor = state_.adaptors[index];
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
