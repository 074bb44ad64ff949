#pragma once
// The one main window: fixed 1000 x 700, menu bar, tool bar and the view with the four
// pages. It owns the state every page shares and runs the close sequence.

#include <QMainWindow>
#include <array>
#include <deque>
#include <memory>

#include "text/Prompt.h"
#include "text/TextId.h"
#include "ui/common/MainState.h"
#include "ui/common/PageContext.h"

class QAction;
class QMenu;
class QTimer;
class QToolButton;

namespace orvanta {

class DraftClaim;
class DraftKeeper;
class HistoryRecorder;
class HistoryWriterThread;
class PageTabs;
class ProjectorRegistryModel;
class QtTransferRunner;
struct HistoryRecord;

class MainWindow : public QMainWindow {
    Q_OBJECT
  public:
    // Creates the frame with its menu and tool bar; the view comes later (createView), once
    // the shared state has been read.
    MainWindow(MainState& state, Prompt& prompt);
    ~MainWindow() override;
    // Creates the tab pages and shows the Main page.
    void createView();

    MainState& state() { return state_; }
    const MainState& state() const { return state_; }
    Prompt& prompt() { return prompt_; }
    ProjectorRegistryModel& projectors() { return *projectors_; }
    // What the pages and their dialogs get of the frame.
    PageContext pageContext();
    PageTabs* view() const { return view_; }

    // The Send buttons' captions follow the send lock; the pages that have them refresh here.
    void refreshSendCaptions();
    // Enables the commands of the menu and tool bar for the current page.
    void updateCommandStates();
    // The editing, file and color commands: they act on the Edit tab.
    void updateEditCommandStates();
    // Send Lock, UnLock and Change Password.
    void updateSendLockCommandStates();
    // The close sequence up to the point of closing: true when the program may end.
    bool confirmAndSaveForExit();

    // Opens a message file on the Edit page, after the unsaved-data question: for the command
    // line, a later start, a dropped file and the recent files. While a dialog of the window
    // is open the file waits until it has closed (the last one asked for is opened).
    void openFile(const QString& path);
    // Shows the window in front of the others, restored if it was minimised.
    void bringToFront();

    // At start-up: a recovery file a run that did not end normally left behind is offered
    // for restoring into the Edit tab (declining removes it); a damaged one is set aside.
    void offerDraftRecovery();
    // Keeps the Edit tab's unsaved message; nullptr when recovery is off.
    DraftKeeper* draftKeeper() const { return draftKeeper_; }
    // Appends the history records of this window's commands; nullptr when history is off.
    HistoryWriterThread* historyWriter() const { return historyWriter_.get(); }
    // The History window, and what it hands back: a sent message opened in the Edit tab as
    // unsaved work, or sent again from there to its projector and slot.
    void showHistory();
    void openFromHistory(const HistoryRecord& record, bool sendAgain);

    enum Command {
        New,
        Open,
        Save,
        Exit,
        Undo,
        Cut,
        Copy,
        Paste,
        FontColor,
        FontBackgroundColor,
        BackgroundColor,
        About,
        SendLock,
        Unlock,
        ChangePassword,
        History,
        CommandCount
    };
    QAction* action(Command c) const { return actions_[c]; }

    // The color commands: the palette dialog for `command` (FontColor, FontBackgroundColor,
    // BackgroundColor), and applying the button's current color without it.
    void chooseColor(Command command);
    void applyColor(Command command);
    // The three color buttons show MainState's current colors.
    void refreshColorButtons();

  protected:
    // During a transfer the request is remembered and the usual close sequence (the exit
    // question) runs once the transfer has ended.
    void closeEvent(QCloseEvent* event) override;
    // Dropping one message file: the Main tab adds it to its list, the Edit tab opens it.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void buildMenus();
    // "Send Lock" (lock) or "UnLock": the password dialog, then the new state everywhere.
    void runSendLock(bool lock);
    void buildToolBar();
    QToolButton* colorButton(Command command, std::uint8_t colorIndex);
    void connectEditCommands();
    bool dropAcceptedAt(const QString& path, const QPoint& position) const;
    void openPendingFile();
    // The File menu's list of the files last opened or saved, read when the menu opens.
    void fillRecentFiles();

    // The history and the recovery file of the program folder, when they are on.
    void openHistoryAndRecovery();
    // Tells a writer thread's problem (qWarning always, the operator once per run).
    void tellOnce(const std::string& problem, bool& told, Text text);

    MainState& state_;
    Prompt& prompt_;
    std::unique_ptr<HistoryWriterThread> historyWriter_;
    std::unique_ptr<HistoryRecorder> history_;
    bool historyProblemTold_ = false;
    std::unique_ptr<DraftClaim> draftClaim_;
    DraftKeeper* draftKeeper_ = nullptr;
    ProjectorRegistryModel* projectors_;
    std::unique_ptr<QtTransferRunner> runner_;
    // A close request came while a transfer ran: the close sequence follows once it ends.
    bool closeAfterTransfer_ = false;
    PageTabs* view_ = nullptr;
    std::array<QAction*, CommandCount> actions_{};
    std::array<QToolButton*, 3> colorButtons_{};  // font, font background, background
    QMenu* recentFiles_ = nullptr;
    // Files handed over by later starts (or dropped) and not opened yet, in the order given.
    std::deque<QString> pendingFiles_;
    bool filesWaitingShown_ = false;  // the status bar says how many wait
    bool openingFile_ = false;
    QTimer* pendingTimer_ = nullptr;
};

}  // namespace orvanta
