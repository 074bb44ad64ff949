#include "ui/edit/EditPage.h"

#include <QApplication>
#include <QBitmap>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QPixmap>
#include <QPushButton>
#include <QTextBlock>
#include <QTextEdit>
#include <QUrl>
#include <QVBoxLayout>

#include "commands/DisplayCommands.h"
#include "commands/MessageFileCommands.h"
#include "commands/ProjectorState.h"
#include "commands/ReadBack.h"
#include "commands/SendCommand.h"
#include "commands/StartupDisplay.h"
#include "message/MessageFile.h"
#include "message/ProjectorText.h"
#include "platform/Environment.h"
#include "render/PreviewInput.h"
#include "text/LanguageText.h"
#include "ui/common/Accessibility.h"
#include "ui/common/MainState.h"
#include "ui/common/MenuKeys.h"
#include "ui/common/RecentFiles.h"
#include "ui/common/UiText.h"
#include "ui/edit/AdvancedOptionsDialog.h"
#include "ui/edit/PreviewDialog.h"
#include "ui/edit/RichTextEdit.h"
#include "ui/edit/UnsupportedCharactersDialog.h"
#include "ui/groups/SendToChoice.h"
#include "ui/models/ProjectorRegistryModel.h"
#include "ui/templates/TemplateEditDialog.h"

namespace orvanta {
namespace {

// 176 twips (8.8 points); Double size doubles it.
constexpr qreal kStandardPoints = 8.8;
const QString kFontFamily = QStringLiteral("Arial Unicode MS");

QColor color(int code) {
    return QColor::fromRgb(rgbFromColorCode(code));
}

// The platform's file dialog. The desktop's own dialogs list the recently used files
// themselves (the program records its files there); Qt's dialog gets their folders as its
// history and in its side bar.
QString defaultChooser(QWidget* parent, bool save, const QString& folder, const QString& proposed,
                       const RecentFiles& recent) {
    const QString filter = text(Text::OvxFileFilter);
    QFileDialog dialog(parent, QString(), folder,
                       save ? filter : filter + QStringLiteral(";;") + text(Text::TxtFileFilter));
    const QStringList recentFolders = recent.folders(5);
    dialog.setHistory(recentFolders);
    QList<QUrl> places = dialog.sidebarUrls();
    for (const QString& f : QStringList{folder} + recentFolders) {
        if (!places.contains(QUrl::fromLocalFile(f))) {
            places.append(QUrl::fromLocalFile(f));
        }
    }
    dialog.setSidebarUrls(places);
    if (save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(QStringLiteral("ovx"));
        dialog.selectFile(proposed);
    } else {
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
}

// The desktop's list of recent files learns of a file opened or saved; failing to record it
// takes nothing from the operator, so it is only logged.
void recordRecentFile(const MainState& state, const QString& path) {
    const RecentFiles recent(qs(state.recentFilesList));
    if (const QString error = recent.add(path); !error.isEmpty()) {
        qWarning("Orvanta: %s: %s", qPrintable(recent.listPath()), qPrintable(error));
    }
}

// Answers the questions of a check encoding without showing anything: the title question goes
// on (the page shows the title's length), the unsupported-character question stops the
// encoding with what it found.
class SilentPrompt final : public Prompt {
  public:
    void inform(const std::string&, PromptIcon) override {}
    PromptAnswer ask(const std::string&, PromptButtons buttons, PromptIcon) override {
        return buttons == PromptButtons::OkCancel ? PromptAnswer::Ok : PromptAnswer::Cancel;
    }
};

QPushButton* button(Text caption, const char* name, QWidget* parent) {
    auto* b = new QPushButton(text(caption), parent);
    b->setObjectName(QLatin1String(name));
    b->setAccessibleName(text(caption));
    return b;
}

QCheckBox* checkBox(Text caption, const char* name, QWidget* parent) {
    auto* c = new QCheckBox(text(caption), parent);
    c->setObjectName(QLatin1String(name));
    c->setAccessibleName(QString(text(caption)).replace(QLatin1Char('\n'), QLatin1Char(' ')));
    return c;
}

}  // namespace

EditPage::EditPage(PageContext context, QWidget* parent)
    : TabPage(parent), context_(context), query_(this, context.runner.timings()) {
    chooseFile_ = [this](bool save, const QString& folder, const QString& proposed) {
        return defaultChooser(this, save, folder, proposed,
                              RecentFiles(qs(context_.state.recentFilesList)));
    };
    buildControls();
    paintEditors();
    resetTypingFormat(*title_);
    resetTypingFormat(*body_);
    clearUndoAndModified(true);
    showTitleLength();
}

EditPage::~EditPage() = default;

void EditPage::buildControls() {
    auto* left = new QVBoxLayout;
    left->addWidget(buildTitleGroup());
    left->addWidget(buildMessageGroup(), 1);
    auto* page = new QHBoxLayout(this);
    page->addLayout(left, 1);
    page->addWidget(buildSendGroup());
    for (QWidget* child : findChildren<QWidget*>()) {
        child->installEventFilter(this);
    }
    setTabOrder(iconList_, title_);
    setTabOrder(title_, body_);
    setTabOrder(body_, pageFeed_);
    connect(QApplication::clipboard(), &QClipboard::dataChanged, this,
            &EditPage::selectionStateChanged);
}

QGroupBox* EditPage::buildTitleGroup() {
    auto* group = new QGroupBox(text(Text::TitleGroup), this);
    iconList_ = new QComboBox(group);
    iconList_->setObjectName(QStringLiteral("iconList"));
    iconList_->setAccessibleName(text(Text::IconLabel));
    const Text iconNames[kIconCount] = {Text::IconNone,        Text::IconStop,
                                        Text::IconExclamation, Text::IconQuestion,
                                        Text::IconInformation, Text::IconClip};
    // The same icon pictures the preview draws; without them the names stand.
    const QString icons = qs(resourceFolder(context_.state.programFolder, "micon"));
    for (int i = 0; i < kIconCount; ++i) {
        const QString file = icons + QStringLiteral("BG_ICN_") +
                             qs(std::string(iconBitmapName(i))) + QStringLiteral(".bmp");
        QIcon icon;
        if (i > 0 && QFile::exists(file)) {
            // White is the icon's paper, as in the preview: the list's own background shows.
            QPixmap picture(file);
            if (!picture.isNull()) {
                picture.setMask(picture.createMaskFromColor(Qt::white));
                icon = QIcon(picture);
            }
        }
        iconList_->addItem(icon, text(iconNames[i]));
    }
    connect(iconList_, &QComboBox::currentIndexChanged, this, [this](int index) {
        message_.icon = static_cast<std::uint8_t>(std::max(0, index));
        message_.options.iconNumber = message_.icon;
        emit draftChanged();
    });

    title_ = new RichTextEdit(group);
    title_->setObjectName(QStringLiteral("titleEdit"));
    title_->setAccessibleName(text(Text::TitleGroup));
    title_->setLineWrapMode(QTextEdit::NoWrap);
    title_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    title_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    title_->setFixedHeight(title_->fontMetrics().height() * 2 + 8);
    title_->setPasteFilter(
        [this](RichText& pasted, const QTextCursor& at) { fitTitlePaste(pasted, at); });
    setUpEditor(*title_);
    connect(title_, &QTextEdit::textChanged, this, &EditPage::onTitleChanged);

    titleLength_ = new QLabel(group);
    titleLength_->setObjectName(QStringLiteral("titleLength"));
    titleLength_->setTextFormat(Qt::PlainText);

    auto* row = new QHBoxLayout(group);
    row->addWidget(iconList_);
    row->addWidget(title_, 1);
    row->addWidget(titleLength_);
    return group;
}

QGroupBox* EditPage::buildMessageGroup() {
    auto* group = new QGroupBox(text(Text::MessageGroup), this);
    body_ = new RichTextEdit(group);
    body_->setObjectName(QStringLiteral("messageEdit"));
    body_->setAccessibleName(text(Text::MessageGroup));
    body_->setPasteFilter(
        [this](RichText& pasted, const QTextCursor& at) { fitMessagePaste(pasted, at); });
    setUpEditor(*body_);
    connect(body_, &QTextEdit::textChanged, this, &EditPage::onMessageChanged);

    pageFeed_ = button(Text::PageFeedButton, "pageFeedButton", group);
    tab_ = button(Text::TabButton, "tabButton", group);
    // Buttons that act on the editor that had the focus must not take it away.
    pageFeed_->setFocusPolicy(Qt::TabFocus);
    tab_->setFocusPolicy(Qt::TabFocus);
    synchronize_ = checkBox(Text::SynchronizeCheck, "synchronizeCheck", group);
    synchronize_->setChecked(render::kSynchronizeBackgroundsByDefault);
    image_ = button(Text::ImageCaption, "imageButton", group);
    advanced_ = button(Text::AdvancedButton, "advancedButton", group);
    displayMode_ = checkBox(Text::CharacterDisplayModeCheck, "characterDisplayModeCheck", group);
    connect(pageFeed_, &QPushButton::clicked, this, &EditPage::pageFeed);
    connect(tab_, &QPushButton::clicked, this, &EditPage::insertTab);
    connect(image_, &QPushButton::clicked, this, &EditPage::image);
    connect(advanced_, &QPushButton::clicked, this, &EditPage::advanced);
    auto* saveTemplate = button(Text::EditSaveTemplateButton, "saveTemplateButton", group);
    connect(saveTemplate, &QPushButton::clicked, this, [this] {
        auto* dialog = new TemplateEditDialog(
            message(), prepareTemplatesFolder(context_.state.programFolder), context_.prompt, this);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        dialog->open();
    });
    connect(displayMode_, &QCheckBox::toggled, this, &EditPage::characterDisplayModeChanged);
    connect(displayMode_, &QCheckBox::toggled, this, &EditPage::draftChanged);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(pageFeed_);
    buttons->addWidget(tab_);
    buttons->addWidget(synchronize_);
    buttons->addStretch(1);
    buttons->addWidget(displayMode_);
    buttons->addWidget(image_);
    buttons->addWidget(advanced_);
    buttons->addWidget(saveTemplate);
    checkNote_ = new QLabel(group);
    checkNote_->setObjectName(QStringLiteral("checkNote"));
    checkNote_->setTextFormat(Qt::PlainText);
    checkNote_->setWordWrap(true);
    checkNote_->hide();

    auto* column = new QVBoxLayout(group);
    column->addWidget(body_);
    column->addWidget(checkNote_);
    column->addLayout(buttons);
    return group;
}

void EditPage::setUpEditor(RichTextEdit& edit) {
    edit.setTabChangesFocus(true);
    edit.setAcceptDrops(false);
    edit.setPasteDefaults(defaults());
    edit.document()->setDefaultFont(QFont(kFontFamily));
    connect(&edit, &QTextEdit::selectionChanged, this, &EditPage::selectionStateChanged);
    connect(&edit, &QTextEdit::undoAvailable, this, &EditPage::selectionStateChanged);
}

QGroupBox* EditPage::buildSendGroup() {
    auto* group = new QGroupBox(text(Text::SendGetGroup), this);
    savedNumber_ = new QComboBox(group);
    savedNumber_->setObjectName(QStringLiteral("savedNumberList"));
    savedNumber_->setAccessibleName(text(Text::SavedNumberLabel));
    savedNumber_->addItem(text(Text::SavedNumberQuick));
    for (int i = 1; i <= 12; ++i) {
        savedNumber_->addItem(QString::number(i));
    }
    projectors_ = new QComboBox(group);
    projectors_->setObjectName(QStringLiteral("projectorList"));
    projectors_->setAccessibleName(text(Text::ProjectorIpAddressLabel));
    bindProjectorCombo(*projectors_, context_.projectors);
    sendTo_ = new SendToChoice(context_.state.programFolder, group);
    connect(sendTo_, &SendToChoice::singleChanged, this, &EditPage::applySendTo);
    send_ = button(Text::SendButton, "sendButton", group);
    get_ = button(Text::GetButton, "getButton", group);
    displayOn_ = button(Text::DisplayOnButton, "displayOnButton", group);
    displayOff_ = button(Text::DisplayOffButton, "displayOffButton", group);
    startup_ = checkBox(Text::StartupDisplayCheck, "startupDisplayCheck", group);
    startup_->setEnabled(false);
    startupMinutes_ = new QComboBox(group);
    startupMinutes_->setObjectName(QStringLiteral("startupMinutesList"));
    startupMinutes_->setEditable(true);
    // A typed time is a value, not a new entry of the list.
    startupMinutes_->setInsertPolicy(QComboBox::NoInsert);
    nameControl(startupMinutes_, text(Text::StartupDisplayCheck));
    startupMinutes_->addItem(text(Text::StartupRepeat));
    for (int m : {1, 2, 3, 6, 8, 10, 20, 40, 60, 80, 100, 127}) {
        startupMinutes_->addItem(QString::number(m));
    }
    startupMinutes_->setCurrentIndex(-1);
    startupMinutes_->setEnabled(false);
    minutesLabel_ = new QLabel(text(Text::MinutesLabel), group);
    minutesLabel_->setObjectName(QStringLiteral("startupMinutesLabel"));
    minutesLabel_->setEnabled(false);
    connect(send_, &QPushButton::clicked, this, &EditPage::send);
    connect(get_, &QPushButton::clicked, this, &EditPage::get);
    connect(displayOn_, &QPushButton::clicked, this, &EditPage::displayOn);
    connect(displayOff_, &QPushButton::clicked, this, &EditPage::displayOff);
    connect(startup_, &QCheckBox::toggled, this, &EditPage::onStartupToggled);
    connect(startupMinutes_, &QComboBox::currentTextChanged, this, &EditPage::updateMinutesLabel);
    connect(projectors_, &QComboBox::activated, this, &EditPage::onProjectorOrSlotChosen);
    connect(savedNumber_, &QComboBox::activated, this, &EditPage::onProjectorOrSlotChosen);
    // "Quick" cannot be the startup display, whatever chose it (keys, assistive technology).
    connect(savedNumber_, &QComboBox::currentIndexChanged, this, &EditPage::updateStartupControls);

    auto* grid = new QGridLayout(group);
    int row = 0;
    grid->addWidget(new QLabel(text(Text::SavedNumberLabel), group), row, 0);
    grid->addWidget(savedNumber_, row++, 1, 1, 2);
    grid->addWidget(new QLabel(text(Text::ProjectorIpAddressLabel), group), row++, 0, 1, 3);
    grid->addWidget(projectors_, row++, 0, 1, 3);
    auto* sendToLabel = new QLabel(text(Text::MainSendTo), group);
    sendToLabel->setBuddy(sendTo_);
    grid->addWidget(sendToLabel, row, 0);
    grid->addWidget(sendTo_, row++, 1, 1, 2);
    grid->addWidget(send_, row, 0);
    grid->addWidget(get_, row++, 1, 1, 2);
    grid->addWidget(displayOn_, row, 0);
    grid->addWidget(displayOff_, row++, 1, 1, 2);
    grid->addWidget(startup_, row++, 0, 1, 3);
    grid->addWidget(startupMinutes_, row, 0, 1, 2);
    grid->addWidget(minutesLabel_, row++, 2);
    grid->setRowStretch(row, 1);
    return group;
}

// ---------------------------------------------------------------------------------------------
// Page steps

void EditPage::showPage() {
    context_.projectors.reload();
    sendTo_->reload();
    // The projector the Main or Discovery tab chose last; none when it chose none.
    const int wanted = context_.state.currentProjector;
    projectors_->setCurrentIndex(wanted >= 0 && wanted < projectors_->count() ? wanted : -1);
    // The keyboard focus stays where Qt gives it back (the editor the operator left), and so
    // does the editor the commands act on.
    title_->moveCursor(QTextCursor::End);
    // The chosen projector is asked for its level and startup display as when it is chosen.
    onProjectorOrSlotChosen();
}

void EditPage::leavePage() {
    // What the projector answers now belongs to no page the operator sees.
    query_.drop();
}

void EditPage::refreshSendCaption() {
    const QString caption =
        text(context_.state.sendLocked ? Text::SendButtonLocked : Text::SendButton);
    send_->setText(caption);
    nameControl(send_, caption);
}

// ---------------------------------------------------------------------------------------------
// Editors

RichTextEdit* EditPage::focusedEditor() const {
    if (title_->hasFocus()) {
        return title_;
    }
    if (body_->hasFocus()) {
        return body_;
    }
    return focusIndex_ == 0 ? title_ : body_;
}

qreal EditPage::pointSize() const {
    return message_.options.characterSize == 1 ? 2 * kStandardPoints : kStandardPoints;
}

RichDefaults EditPage::defaults() const {
    return {rgbFromColorCode(kColorWhite), rgbFromColorCode(kColorHalfTransparent)};
}

void EditPage::resetTypingFormat(RichTextEdit& edit) {
    edit.setCharacterPoints(pointSize());
    QTextCharFormat format;
    format.setForeground(color(kColorWhite));
    format.setBackground(color(kColorHalfTransparent));
    format.setFontPointSize(pointSize());
    format.setFontFamilies({kFontFamily});
    edit.setCurrentCharFormat(format);
}

void EditPage::paintEditors() {
    for (QTextEdit* edit : {title_, body_}) {
        QPalette palette = edit->palette();
        palette.setColor(QPalette::Base, color(context_.state.backgroundColor));
        palette.setColor(QPalette::Text, color(kColorWhite));
        edit->setPalette(palette);
    }
}

Message EditPage::message() const {
    Message m = message_;
    m.title = richTextFromDocument(*title_->document(), defaults());
    m.body = richTextFromDocument(*body_->document(), defaults());
    m.characterColor = context_.state.characterColor;
    m.characterBackgroundColor = context_.state.characterBackgroundColor;
    m.backgroundColor = context_.state.backgroundColor;
    return m;
}

bool EditPage::isModified() const {
    return title_->document()->isModified() || body_->document()->isModified();
}

std::optional<Draft> EditPage::draft() const {
    if (!isModified()) {
        return std::nullopt;
    }
    Draft d;
    d.message = message();
    d.source = currentFileName_;
    d.characterDisplayMode = displayMode_->isChecked();
    return d;
}

void EditPage::restoreDraft(const Draft& draft) {
    currentFileName_ = draft.source;
    context_.state.characterColor = draft.message.characterColor;
    context_.state.characterBackgroundColor = draft.message.characterBackgroundColor;
    loadIntoEditors(draft.message);
    displayMode_->setChecked(draft.characterDisplayMode);
    clearUndoAndModified(true);
    // Unsaved work: saving it, or the question before it is replaced, is the operator's.
    title_->document()->setModified(true);
    body_->document()->setModified(true);
    emit draftChanged();
}

void EditPage::chooseProjectorAndSlot(int row, int slot) {
    projectors_->setCurrentIndex(row);
    savedNumber_->setCurrentIndex(std::clamp(slot, 0, 12));
    onProjectorOrSlotChosen();
}

void EditPage::aimAtChosenProjector() {
    sendTo_->setCurrentIndex(0);
}

void EditPage::loadIntoEditors(const Message& message) {
    busy_ = true;
    message_.options = message.options;
    message_.icon = message.icon;
    setBackgroundColor(message.backgroundColor);
    setRichText(*title_, message.title, pointSize());
    setRichText(*body_, message.body, pointSize());
    iconList_->setCurrentIndex(message.icon);
    paintEditors();
    resetTypingFormat(*title_);
    resetTypingFormat(*body_);
    busy_ = false;
    backgroundCheck();
}

void EditPage::clearUndoAndModified(bool clearModified) {
    for (QTextEdit* edit : {title_, body_}) {
        edit->document()->clearUndoRedoStacks();
        if (clearModified) {
            edit->document()->setModified(false);
        }
    }
    emit selectionStateChanged();
    if (clearModified) {
        emit draftDiscarded();
    } else {
        emit draftChanged();
    }
}

void EditPage::replaceTabsIn(QTextEdit& edit) {
    QTextDocument* document = edit.document();
    QTextCursor found = document->find(QStringLiteral("\t"));
    if (found.isNull()) {
        return;
    }
    const bool wasBusy = busy_;
    busy_ = true;
    while (!found.isNull()) {
        const QTextCharFormat format = found.charFormat();
        found.insertText(QStringLiteral("    "), format);
        found = document->find(QStringLiteral("\t"), found);
    }
    busy_ = wasBusy;
}

void EditPage::onTitleChanged() {
    if (busy_) {
        return;
    }
    replaceTabsIn(*title_);
    // A single line: the first one stays, in one step (pastes are cut before they come in).
    QTextDocument* document = title_->document();
    if (document->blockCount() > 1) {
        busy_ = true;
        QTextCursor cursor(document);
        cursor.setPosition(document->firstBlock().length() - 1);
        cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
        busy_ = false;
    }
    // The typing limit: what goes beyond it is taken back at the caret.
    const int excess = document->characterCount() - 1 - kTitleTypingLimit;
    if (excess > 0) {
        busy_ = true;
        QTextCursor cursor = title_->textCursor();
        const int end = std::max(cursor.position(), excess);
        cursor.setPosition(end - excess);
        cursor.setPosition(end, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
        busy_ = false;
    }
    showTitleLength();
    emit draftChanged();
}

void EditPage::onMessageChanged() {
    if (busy_) {
        return;
    }
    replaceTabsIn(*body_);
    backgroundCheck();
    emit draftChanged();
}

void EditPage::fitTitlePaste(RichText& pasted, const QTextCursor& at) const {
    // The first line only, and no more than the typing limit leaves room for: what would be
    // taken back after the paste never enters the title.
    const auto lineEnd =
        std::find_if(pasted.units.begin(), pasted.units.end(), [](const RichUnit& u) {
            return u.ch == u'\r' || u.ch == u'\n' || u.ch == QChar::LineSeparator ||
                   u.ch == QChar::ParagraphSeparator;
        });
    pasted.units.erase(lineEnd, pasted.units.end());
    const int kept =
        title_->document()->characterCount() - 1 - (at.selectionEnd() - at.selectionStart());
    const auto room = static_cast<std::size_t>(std::max(0, kTitleTypingLimit - kept));
    if (pasted.size() > room) {
        pasted.units.resize(room);
    }
}

void EditPage::fitMessagePaste(RichText& pasted, const QTextCursor& at) {
    // Unit i of the adapter's text is document position i.
    const std::size_t fit = unitsThatFit(message(), static_cast<std::size_t>(at.selectionStart()),
                                         static_cast<std::size_t>(at.selectionEnd()), pasted,
                                         encodeSettings(EncodePurpose::BackgroundCheck));
    if (fit >= pasted.size()) {
        return;
    }
    pasted.units.resize(fit);
    // Told once, after the cut text has gone in rather than from inside the paste.
    QMetaObject::invokeMethod(
        this, [this] { context_.prompt.inform(languageText(Text::PasteCutToMessageLimit)); },
        Qt::QueuedConnection);
}

EncodeSettings EditPage::encodeSettings(EncodePurpose purpose) const {
    EncodeSettings settings;
    settings.purpose = purpose;
    settings.capabilities = info_.capabilities;
    settings.characterDisplayMode = displayMode_->isChecked();
    return settings;
}

void EditPage::backgroundCheck() {
    Message working = message();
    SilentPrompt silent;
    const EncodeResult result =
        encodeMessage(working, encodeSettings(EncodePurpose::BackgroundCheck), silent);
    const std::string finding =
        result ? std::string()
        : result.reason().kind == EncodeFailure::UnsupportedCharacters
            ? formatText(Text::UnsupportedCount,
                         {static_cast<long long>(result.reason().found.count)})
            : result.error();
    const QString note = qs(finding).simplified();
    if (note != checkNote_->text()) {
        showStatusLine(checkNote_, note);
        checkNote_->setVisible(!note.isEmpty());
    }
    showTitleLength();
}

void EditPage::showTitleLength() {
    const int limit =
        titleLimit(message_.options.characterSize, info_.capabilities.extendedCharacterSet());
    const int length = title_->document()->characterCount() - 1;
    showLiveValue(titleLength_, text(Text::TitleLengthLabel),
                  QStringLiteral("%1/%2").arg(length).arg(limit));
    // Over the limit the projector cuts the title: the count says so in the warning color.
    QPalette palette = titleLength_->palette();
    palette.setColor(QPalette::WindowText, length > limit
                                               ? QColor(Qt::red)
                                               : this->palette().color(QPalette::WindowText));
    titleLength_->setPalette(palette);
}

void EditPage::settleUnsupported(const EncodeResult& result) {
    if (result || result.reason().kind != EncodeFailure::UnsupportedCharacters) {
        return;
    }
    const EncodeProblem problem = result.reason();
    switch (problem.unsupported) {
        case UnsupportedOutcome::Deleted:
            deleteMessageUnits(problem.found.positions);
            break;
        case UnsupportedOutcome::ShowList:
            if (UnsupportedCharactersDialog::run(qs(problem.found.listText), this) ==
                UnsupportedCharactersDialog::Result::Delete) {
                deleteMessageUnits(problem.found.positions);
            }
            break;
        case UnsupportedOutcome::None:
        case UnsupportedOutcome::Cancelled:
            break;
    }
}

void EditPage::deleteMessageUnits(const std::vector<std::size_t>& positions) {
    // Unit i of the adapter's text is document position i: paragraph ends are one unit each.
    std::vector<std::size_t> sorted = positions;
    std::sort(sorted.begin(), sorted.end());
    const bool wasBusy = busy_;
    busy_ = true;
    QTextCursor cursor(body_->document());
    cursor.beginEditBlock();
    for (auto it = sorted.rbegin(); it != sorted.rend(); ++it) {
        const int position = static_cast<int>(*it);
        if (position < body_->document()->characterCount() - 1) {
            cursor.setPosition(position);
            cursor.deleteChar();
        }
    }
    cursor.endEditBlock();
    busy_ = wasBusy;
    backgroundCheck();
}

// ---------------------------------------------------------------------------------------------
// Editing commands

void EditPage::pageFeed() {
    if (focusedEditor() != body_) {
        return;
    }
    QTextCursor cursor = body_->textCursor();
    const QTextCharFormat format = body_->currentCharFormat();
    cursor.beginEditBlock();
    cursor.insertText(QString(QChar(kPageFeedMark)), format);
    cursor.insertBlock(QTextBlockFormat(), format);
    cursor.endEditBlock();
    body_->setTextCursor(cursor);
    body_->setFocus();
}

void EditPage::insertTab() {
    QTextEdit* edit = focusedEditor();
    QTextCursor cursor = edit->textCursor();
    cursor.insertText(QStringLiteral("    "), edit->currentCharFormat());
    edit->setTextCursor(cursor);
    edit->setFocus();
}

void EditPage::copy() {
    // The editors put text/rtf, HTML and plain text on the clipboard (RichTextEdit).
    if (focusedEditor()->textCursor().hasSelection()) {
        focusedEditor()->copy();
    }
}

void EditPage::cut() {
    if (focusedEditor()->textCursor().hasSelection()) {
        focusedEditor()->cut();
    }
}

void EditPage::paste() {
    focusedEditor()->paste();
}

void EditPage::undo() {
    QTextEdit* edit = focusedEditor();
    if (edit->document()->isUndoAvailable()) {
        edit->undo();
    }
}

bool EditPage::canUndo() const {
    return title_->document()->isUndoAvailable() || body_->document()->isUndoAvailable();
}

bool EditPage::hasSelection() const {
    return title_->textCursor().hasSelection() || body_->textCursor().hasSelection();
}

bool EditPage::canPaste() const {
    return title_->canPaste() || body_->canPaste();
}

bool EditPage::characterDisplayMode() const {
    return displayMode_->isChecked();
}

void EditPage::applyCharacterColor() {
    QTextCharFormat format;
    format.setForeground(color(context_.state.characterColor));
    focusedEditor()->mergeCurrentCharFormat(format);
}

void EditPage::applyCharacterBackgroundColor() {
    QTextCharFormat format;
    format.setBackground(color(context_.state.characterBackgroundColor));
    focusedEditor()->mergeCurrentCharFormat(format);
}

void EditPage::applyBackgroundColor() {
    const std::uint8_t code = context_.state.backgroundColor;
    if (synchronize_->isChecked()) {
        QTextCharFormat format;
        format.setBackground(color(code));
        for (QTextEdit* edit : {title_, body_}) {
            QTextCursor cursor(edit->document());
            cursor.select(QTextCursor::Document);
            cursor.mergeCharFormat(format);
            cursor.movePosition(QTextCursor::End);
            edit->setTextCursor(cursor);
            edit->mergeCurrentCharFormat(format);
        }
    }
    message_.options.background = packBackground(code);
    paintEditors();
    emit draftChanged();
}

void EditPage::setBackgroundColor(std::uint8_t code) {
    if (context_.state.backgroundColor != code) {
        context_.state.backgroundColor = code;
        emit backgroundColorChanged();
    }
}

bool EditPage::eventFilter(QObject* watched, QEvent* event) {
    // Every control of the page is watched: the Ctrl keys mean the same wherever the focus is.
    auto* edit = qobject_cast<QTextEdit*>(watched);
    switch (event->type()) {
        case QEvent::FocusIn:
            if (edit == nullptr) {
                break;
            }
            focusIndex_ = edit == title_ ? 0 : 1;
            // The narrow character set has no use for an input method.
            edit->setAttribute(Qt::WA_InputMethodEnabled,
                               info_.capabilities.extendedCharacterSet());
            emit selectionStateChanged();
            break;
        case QEvent::FocusOut:
            if (edit != nullptr) {
                edit->setAttribute(Qt::WA_InputMethodEnabled, true);
            }
            break;
        case QEvent::ShortcutOverride:
        case QEvent::KeyPress: {
            auto* key = static_cast<QKeyEvent*>(event);
            updateMinutesLabel();
            if (edit != nullptr && edit == title_ &&
                (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
                return true;  // one line only
            }
            if (isMenuKey(*key)) {
                // The frame's File and Edit commands own these keys: the override is left
                // unaccepted so that their shortcuts run, and a press that still arrives
                // (the command is disabled) does not reach the editors' own bindings.
                event->ignore();
                return true;
            }
            if (!(key->modifiers() & Qt::ControlModifier)) {
                break;
            }
            switch (key->key()) {
                case Qt::Key_I:
                case Qt::Key_Tab:
                case Qt::Key_Backtab:
                    // No italic, no switch of tabs.
                    event->accept();
                    return true;
                default:
                    break;
            }
            break;
        }
        default:
            break;
    }
    return QWidget::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------------------
// Files

bool EditPage::confirmDiscardOrSave() {
    if (!title_->document()->isModified() && !body_->document()->isModified()) {
        return true;
    }
    switch (context_.prompt.ask(languageText(Text::UnsavedData), PromptButtons::YesNoCancel,
                                PromptIcon::Information)) {
        case PromptAnswer::Yes:
            return save();
        case PromptAnswer::No:
            return true;
        default:
            return false;
    }
}

bool EditPage::save() {
    Message m = message();
    std::optional<EncodeResult> checked;
    if (!checkBeforeSave(m, encodeSettings(EncodePurpose::Check), context_.prompt, &checked).ok()) {
        if (checked) {
            settleUnsupported(*checked);
        }
        return false;
    }
    const QString folder = qs(context_.state.programFolder) + QStringLiteral("MessageData");
    const QString proposed = qs(proposedSaveName(currentFileName_));
    const QString path = chooseFile_(true, folder, proposed);
    if (path.isEmpty()) {
        return false;
    }
    busy_ = true;
    const bool saved =
        saveMessageAs(utf8(path), m, encodeSettings(EncodePurpose::Save), context_.prompt).ok();
    busy_ = false;
    if (!saved) {
        return false;
    }
    currentFileName_ = utf8(path);
    clearUndoAndModified(true);
    recordRecentFile(context_.state, path);
    return true;
}

bool EditPage::openMessageFile(const QString& path) {
    Message m = message();
    if (!orvanta::openMessageFile(utf8(path), info_.capabilities.extendedOptions(), m,
                                  context_.prompt)
             .ok()) {
        return false;
    }
    if (isTextFileName(utf8(path))) {
        replaceTabs(m.body);
    }
    currentFileName_ = utf8(path);
    loadIntoEditors(m);
    displayMode_->setChecked(false);
    clearUndoAndModified(true);
    recordRecentFile(context_.state, path);
    return true;
}

void EditPage::open() {
    if (!confirmDiscardOrSave()) {
        return;
    }
    const QString folder = qs(context_.state.programFolder) + QStringLiteral("MessageData");
    const QString path = chooseFile_(false, folder, QString());
    if (!path.isEmpty()) {
        openMessageFile(path);
    }
}

void EditPage::newMessage() {
    if (!confirmDiscardOrSave()) {
        return;
    }
    Message m;
    m.reset();
    m.options.iconNumber = 0;
    currentFileName_.clear();
    loadIntoEditors(m);
    clearUndoAndModified(true);
}

// ---------------------------------------------------------------------------------------------
// Dialogs

void EditPage::image() {
    Message m = message();
    if (m.body.empty()) {
        context_.prompt.inform(languageText(Text::PleaseInputMessage));
        return;
    }
    EncodeResult result = encodeMessage(m, encodeSettings(EncodePurpose::Check), context_.prompt);
    if (!result) {
        if (result.reason().kind == EncodeFailure::UnsupportedCharacters) {
            settleUnsupported(result);
        } else {
            reportEncodeFailure(result, context_.prompt);
        }
        return;
    }
    PreviewDialog::play(m, info_.capabilities, context_.state.programFolder, this,
                        synchronize_->isChecked());
}

void EditPage::advanced() {
    const int previousSize = message_.options.characterSize;
    AdvancedOptionsDialog dialog(message_.options, context_.state.backgroundColor,
                                 info_.capabilities, context_.prompt, this);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    if (message_.options.characterSize != previousSize) {
        changeCharacterSize(previousSize);
    }
    emit draftChanged();
}

void EditPage::changeCharacterSize(int) {
    // Both editors take the new size; their texts keep their colors.
    busy_ = true;
    for (RichTextEdit* edit : {title_, body_}) {
        edit->setCharacterPoints(pointSize());
        QTextCharFormat format;
        format.setFontPointSize(pointSize());
        QTextCursor cursor(edit->document());
        cursor.select(QTextCursor::Document);
        cursor.mergeCharFormat(format);
        edit->mergeCurrentCharFormat(format);
    }
    busy_ = false;
    clearUndoAndModified(false);
    backgroundCheck();
}

// ---------------------------------------------------------------------------------------------
// Projector commands

bool EditPage::projectorChosen() const {
    const int index = projectors_->currentIndex();
    return index >= 0 && static_cast<std::size_t>(index) < context_.state.projectors.count();
}

CommandContext EditPage::commandContext() {
    return {target(), context_.prompt, context_.runner, info_, context_.history};
}

ProjectorTarget EditPage::target() const {
    const ProjectorRecord& record =
        context_.state.projectors.records[static_cast<std::size_t>(projectors_->currentIndex())];
    context_.state.target = {record.address, record.authentication, record.password};
    return {record.address, record.password};
}

std::uint8_t EditPage::slot() const {
    return static_cast<std::uint8_t>(std::max(0, savedNumber_->currentIndex()));
}

void EditPage::send() {
    // The settings file decides: the lock may have changed elsewhere since the page was shown.
    context_.state.readSendLock();
    refreshSendCaption();
    if (context_.state.sendLocked) {
        context_.prompt.inform(languageText(Text::SendLocked));
        return;
    }
    Message m = message();
    if (m.body.empty()) {
        context_.prompt.inform(languageText(Text::PleaseInputMessage));
        return;
    }
    if (sendTo_->single() && !projectorChosen()) {
        context_.prompt.inform(languageText(Text::PleaseSelectProjector));
        return;
    }
    if (displayMode_->isChecked() &&
        context_.prompt.ask(languageText(Text::CharacterDisplayModeSelected),
                            PromptButtons::OkCancel, PromptIcon::Information) != PromptAnswer::Ok) {
        return;
    }
    std::optional<int> minutes;
    if (startup_->isChecked()) {
        minutes = parseSendDisplayTime(utf8(startupMinutes_->currentText()));
        if (!minutes) {
            context_.prompt.inform(languageText(Text::DisplayTimeInvalid));
            return;
        }
    }
    if (!sendTo_->single()) {
        // Asked once for all; each projector encodes with its own capabilities.
        const EncodeSettings settings = encodeSettings(EncodePurpose::Send);
        const std::uint8_t number = slot();
        auto answers = rehearseMessage(m, settings, number, context_.prompt);
        runOnMany(
            [m, settings, number, minutes](const CommandContext& c) {
                return sendMessageInManyProjectorRun(c, m, settings, number, minutes);
            },
            std::move(answers));
        return;
    }
    std::optional<EncodeResult> encoded;
    sendComposedMessage(commandContext(), m, encodeSettings(EncodePurpose::Send), slot(), minutes,
                        {.encoded = &encoded});
    if (encoded) {
        settleUnsupported(*encoded);
    }
}

void EditPage::get() {
    if (!projectorChosen()) {
        context_.prompt.inform(languageText(Text::PleaseSelectProjector));
        return;
    }
    if (!confirmDiscardOrSave()) {
        return;
    }
    const CommandContext command = commandContext();
    StoredMessage stored;
    if (!readStoredMessage(command, slot(), stored).ok()) {
        return;
    }
    refreshProjectorInfo(command);
    applyProjectorInfo();
    Message m = message();
    bool transparent = false;
    if (!applyReadBack(m, stored.query.headerHex, stored.body, info_.capabilities.extendedOptions(),
                       transparent)) {
        context_.prompt.inform(languageText(Text::CommunicationError), PromptIcon::Error);
        return;
    }
    loadIntoEditors(m);
    displayMode_->setChecked(transparent);
    clearUndoAndModified(false);
    context_.prompt.inform(languageText(Text::Complete));
}

void EditPage::displayOn() {
    if (!sendTo_->single()) {
        const std::uint8_t number = slot();
        runOnMany(
            [number](const CommandContext& c) {
                return runDisplayCommand(c, DisplayCommand::DisplayOn, number);
            },
            std::make_shared<AnswerBook>());
        return;
    }
    if (!projectorChosen()) {
        context_.prompt.inform(languageText(Text::PleaseSelectProjector));
        return;
    }
    runDisplayCommand(commandContext(), DisplayCommand::DisplayOn, slot());
}

void EditPage::displayOff() {
    if (!sendTo_->single()) {
        const std::uint8_t number = slot();
        runOnMany(
            [number](const CommandContext& c) {
                Outcome ready = checkProjectorReady(c);
                return ready.ok() ? hideStoredMessage(c, number) : ready;
            },
            std::make_shared<AnswerBook>());
        return;
    }
    if (!projectorChosen()) {
        context_.prompt.inform(languageText(Text::PleaseSelectProjector));
        return;
    }
    const CommandContext command = commandContext();
    if (checkProjectorReady(command).ok()) {
        hideStoredMessage(command, slot());
    }
}

void EditPage::onProjectorOrSlotChosen() {
    // The choice is this tab's own: the shared current projector is the Main and Discovery
    // tabs' to set. Asked without stopping the page: the operator goes on typing while the
    // projector answers, and the controls that depend on it follow the answer.
    if (projectorChosen()) {
        query_.start(target(), [this](const TransferJob& job) {
            if (!takeProjectorInfo(job, info_)) {
                context_.prompt.inform(job.outcome.resultText);
            }
            applyProjectorInfo();
        });
    } else {
        query_.drop();
    }
    applyProjectorInfo();
}

void EditPage::applySendTo(bool single) {
    get_->setEnabled(single);
    updateStartupControls();
}

void EditPage::runOnMany(ManyProjectorOperation operation, std::shared_ptr<AnswerBook> answers) {
    runOnChosenProjectors(this, *sendTo_, context_, std::move(operation), std::move(answers));
}

void EditPage::applyProjectorInfo() {
    updateStartupControls();
    image_->setEnabled(!info_.capabilities.extendedCharacterSet());
    // The limits and the character set are the projector's.
    backgroundCheck();
}

void EditPage::updateStartupControls() {
    const QSignalBlocker block(startup_);
    if (!sendTo_->single() && slot() != 0) {
        // Each projector of the group gets the startup display after the send.
        startup_->setEnabled(true);
        startupMinutes_->setEnabled(startup_->isChecked());
        updateMinutesLabel();
        return;
    }
    if ((sendTo_->single() && !projectorChosen()) || slot() == 0) {
        startup_->setChecked(false);
        startup_->setEnabled(false);
        startupMinutes_->setCurrentIndex(-1);
        startupMinutes_->setEditText(QString());
        startupMinutes_->setEnabled(false);
        updateMinutesLabel();
        return;
    }
    startup_->setEnabled(true);
    const bool valid = info_.startupValid();
    const StartupDisplay startup = info_.startup();
    const bool checked = valid && startup.on && startup.savedNumber == slot();
    startup_->setChecked(checked);
    startupMinutes_->setEnabled(checked);
    if (checked) {
        startupMinutes_->setEditText(startup.displayTime == 0
                                         ? text(Text::StartupRepeat)
                                         : QString::number(startup.displayTime));
    } else {
        startupMinutes_->setEditText(QString());
    }
    updateMinutesLabel();
}

void EditPage::onStartupToggled(bool checked) {
    if (checked) {
        startupMinutes_->setEnabled(true);
        startupMinutes_->setEditText(startupMinutesText_);
    } else {
        startupMinutesText_ = startupMinutes_->currentText();
        startupMinutes_->setEditText(QString());
        startupMinutes_->setEnabled(false);
    }
    updateMinutesLabel();
}

void EditPage::updateMinutesLabel() {
    const QString minutes = startupMinutes_->currentText();
    minutesLabel_->setEnabled(startupMinutes_->isEnabled() && !minutes.isEmpty() &&
                              minutes != text(Text::StartupRepeat));
}

}  // namespace orvanta
