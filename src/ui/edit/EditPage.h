#pragma once
// "Edit" tab: composes a message (title, rich text, icon, options), saves and opens message
// files, sends it to a projector and reads one back, shows and hides stored messages.
//
// Everything runs on the GUI thread. Projector exchanges run modally through the context's
// TransferRunner (the "Communication Status" dialog); every question goes through the
// context's Prompt. The editors are read through the RichTextAdapter after every change, so
// the background check (title length, unsupported characters, size limit) and every command
// work on the core's Message, never on widgets.

#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "commands/CommandContext.h"
#include "commands/ManyProjectorRun.h"
#include "message/MessageOptions.h"
#include "message/Payload.h"
#include "message/RecoveryFile.h"
#include "ui/common/PageContext.h"
#include "ui/common/TabPage.h"
#include "ui/dialogs/ProjectorStateQuery.h"
#include "ui/edit/RichTextAdapter.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QTextCursor;
class QTextEdit;

namespace orvanta {

class SendToChoice;

class RichTextEdit;

class EditPage : public TabPage {
    Q_OBJECT
  public:
    explicit EditPage(PageContext context, QWidget* parent = nullptr);
    ~EditPage() override;

    void showPage() override;
    void leavePage() override;
    // The Send button's caption follows the send lock ("Send" / "Send[Locked]").
    void refreshSendCaption();
    // The unsaved-data question (Yes saves, No discards, Cancel keeps): false when the
    // operator cancelled or the save did not happen. Asked before New, Open, Get and exit.
    bool confirmDiscardOrSave();
    // Reads a message file (.ovx) or imports a text file (.txt) into the editors; a failure
    // is told to the operator and leaves the editors as they were.
    bool openMessageFile(const QString& path);
    // The file the message was last opened from or saved to (empty: a new message); the next
    // Save proposes its name and a recovered draft keeps it.
    const std::string& currentFileName() const { return currentFileName_; }
    void setCurrentFileName(std::string name) { currentFileName_ = std::move(name); }

    // How the Save and Open commands choose a file: `save` tells which dialog, `folder` is
    // where it starts, `proposed` the name offered. An empty answer is Cancel. The default
    // shows the platform's file dialogs; tests replace it.
    using FileChooser =
        std::function<QString(bool save, const QString& folder, const QString& proposed)>;
    void setFileChooser(FileChooser chooser) { chooseFile_ = std::move(chooser); }

    // Commands of the page, the File and Edit menus and the keyboard.
    void send();
    void get();
    void displayOn();
    void displayOff();
    void pageFeed();
    void insertTab();
    void image();
    void advanced();
    bool save();
    void open();
    void newMessage();
    void copy();
    void cut();
    void paste();
    void undo();
    // The color commands with the frame's current codes (MainState).
    void applyCharacterColor();
    void applyCharacterBackgroundColor();
    void applyBackgroundColor();

    // What the frame's enabling rules ask.
    bool canUndo() const;
    bool hasSelection() const;
    bool canPaste() const;
    bool characterDisplayMode() const;

    // The message as the editors hold it now.
    Message message() const;
    // The title or message text was changed and not saved since.
    bool isModified() const;
    // What the recovery file keeps: the message, its file and the display mode; nothing when
    // the page holds no unsaved work.
    std::optional<Draft> draft() const;
    // Puts a kept message into the editors as unsaved work (the unsaved-data question asks
    // about it): a recovered draft, or a message of the history.
    void restoreDraft(const Draft& draft);
    // Chooses the projector (row of the registry) and the slot, as the operator would.
    void chooseProjectorAndSlot(int row, int slot);
    // Sends, displays and hides go to the projector chosen above from now on (not to a group).
    void aimAtChosenProjector();
    const ProjectorCapabilities& capabilities() const { return info_.capabilities; }

  signals:
    // Selection, undo state or clipboard changed: the frame refreshes Cut/Copy/Paste/Undo.
    void selectionStateChanged();
    // The frame greys the two background color buttons while it is checked.
    void characterDisplayModeChanged(bool checked);
    // New, Open, Get or a drop changed the message background (MainState::backgroundColor):
    // the frame shows it on its Background color button.
    void backgroundColorChanged();
    // Something the recovery file keeps changed (texts, icon, options, display mode, colors).
    void draftChanged();
    // The page holds no unsaved work any more: saved, opened, new, or discarded.
    void draftDiscarded();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildControls();
    QGroupBox* buildTitleGroup();
    QGroupBox* buildMessageGroup();
    QGroupBox* buildSendGroup();
    void setUpEditor(RichTextEdit& edit);
    // The editor that has the keyboard focus, else the one that had it last.
    RichTextEdit* focusedEditor() const;
    qreal pointSize() const;
    RichDefaults defaults() const;
    void resetTypingFormat(RichTextEdit& edit);
    void paintEditors();
    void loadIntoEditors(const Message& message);
    void clearUndoAndModified(bool clearModified);
    // The one owner of the message background is MainState; the page writes it through here.
    void setBackgroundColor(std::uint8_t code);
    // What a paste may bring: the title's first line within its typing limit, and what the
    // message can hold.
    void fitTitlePaste(RichText& pasted, const QTextCursor& at) const;
    void fitMessagePaste(RichText& pasted, const QTextCursor& at);
    void onTitleChanged();
    void onMessageChanged();
    void replaceTabsIn(QTextEdit& edit);
    // Runs after every change of the message: a check encoding whose findings are shown
    // beside the title and under the message. It never asks: a box would take the keys typed
    // after it. The questions belong to Send, Save and Image.
    void backgroundCheck();
    // The title's length against what the projector shows of it.
    void showTitleLength();
    // After an encoding that found unsupported characters: the list dialog when the operator
    // asked for it, and their removal from the message editor when the text was cut; nothing
    // after any other ending.
    void settleUnsupported(const EncodeResult& result);
    void deleteMessageUnits(const std::vector<std::size_t>& positions);
    EncodeSettings encodeSettings(EncodePurpose purpose) const;
    void changeCharacterSize(int previousSize);

    // Projector side.
    bool projectorChosen() const;
    ProjectorTarget target() const;
    // The context of a command for the chosen projector.
    CommandContext commandContext();
    std::uint8_t slot() const;
    void onProjectorOrSlotChosen();
    // The controls that follow the projector information: startup display and "Image".
    void applyProjectorInfo();
    // "Send to" changed between the projector above and many: Get, which reads one projector
    // back, follows; the startup check box follows the slot alone.
    void applySendTo(bool single);
    // Runs `operation` for every projector of "Send to" in the many-projector dialog.
    void runOnMany(ManyProjectorOperation operation, std::shared_ptr<AnswerBook> answers);
    void updateStartupControls();
    void onStartupToggled(bool checked);
    void updateMinutesLabel();

    PageContext context_;
    // Options and icon; the texts live in the editors and the colors in MainState.
    Message message_;
    ProjectorInfo info_;
    FileChooser chooseFile_;
    std::string currentFileName_;
    int focusIndex_ = 1;  // the editor that had the focus last: 0 title, 1 message
    bool busy_ = false;   // the page rewrites the editors: changes are not checks
    QString startupMinutesText_ = QStringLiteral("3");

    QComboBox* iconList_ = nullptr;
    RichTextEdit* title_ = nullptr;
    QLabel* titleLength_ = nullptr;
    QLabel* checkNote_ = nullptr;  // what the check found in the message, empty when fine
    RichTextEdit* body_ = nullptr;
    QPushButton* pageFeed_ = nullptr;
    QPushButton* tab_ = nullptr;
    QCheckBox* synchronize_ = nullptr;
    QPushButton* image_ = nullptr;
    QPushButton* advanced_ = nullptr;
    QCheckBox* displayMode_ = nullptr;
    QComboBox* savedNumber_ = nullptr;
    QComboBox* projectors_ = nullptr;
    SendToChoice* sendTo_ = nullptr;
    QPushButton* send_ = nullptr;
    QPushButton* get_ = nullptr;
    QPushButton* displayOn_ = nullptr;
    QPushButton* displayOff_ = nullptr;
    QCheckBox* startup_ = nullptr;
    QComboBox* startupMinutes_ = nullptr;
    QLabel* minutesLabel_ = nullptr;
    // Last: its callbacks use the members above, and it ends its queries before they go.
    ProjectorStateQuery query_;
};

}  // namespace orvanta
