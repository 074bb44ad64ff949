#pragma once
// "Main" tab: sends saved message files, shows, hides and clears stored messages, sets the
// startup display and watches what the chosen projector shows.
//
// Every projector command runs through the page context's TransferRunner ("Communication
// Status") and tells the operator through its Prompt. The status watch runs on a
// StatusPoller thread: it starts when the page is shown and after each command that ends
// normally, and only for a projector with the extended options; it stops (without being
// waited for) before every command, when the projector drop-down opens and when the page is
// left. Its results arrive as queued calls on the GUI thread; results of a stopped watch
// are dropped.

#include <cstdint>
#include <optional>

#include "commands/DisplayCommands.h"
#include "commands/ManyProjectorRun.h"
#include "commands/SendCommand.h"
#include "commands/StartupDisplay.h"
#include "commands/StatusWatch.h"
#include "text/TextId.h"
#include "ui/common/PageContext.h"
#include "ui/common/TabPage.h"
#include "ui/dialogs/ProjectorStateQuery.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QRadioButton;

namespace orvanta {

class SendToChoice;

class MainPage : public TabPage {
    Q_OBJECT
  public:
    explicit MainPage(PageContext context, QWidget* parent = nullptr,
                      StatusPollTimings pollTimings = {});
    ~MainPage() override;

    // Reloads the registry, restores the projector choice, rebuilds the message file list and
    // starts asking the projector for its startup display; once it has answered the status
    // poller runs. The page is usable while the projector answers.
    void showPage() override;
    // The tab is no longer shown: the status poller stops without being waited for, and a
    // state query still running is dropped (no box of it reaches another page).
    void leavePage() override;
    // The Send button's caption follows the send lock ("Send" / "Send[Locked]").
    void refreshSendCaption();
    // Where a dragged message file may be dropped on this page: the file list.
    QWidget* fileDropArea() const;
    // One message file dropped on the window while this tab is shown: asks, then copies it
    // into MessageData/ unless a file of that name is there already.
    void dropMessageFile(const QString& path);

  private:
    struct StatusLine {
        QLabel* first;
        QLabel* second;
        Text caption;  // what a screen reader says before the shown value
    };

    void buildControls();
    QHBoxLayout* buildProjectorRow();
    QGroupBox* buildStatusGroup();
    QGroupBox* buildFileGroup();
    QGroupBox* buildDisplayGroup();
    QGroupBox* buildClearGroup();
    QGroupBox* buildStartupGroup();
    void resetStatusFields();
    void applyStatus(const StatusLine& line, const StatusFields& fields);
    void pollResult(unsigned generation, const PollResult& result);
    void startPolling();
    void stopPolling();

    bool projectorChosen();
    ProjectorTarget takeTarget();
    // The context of a command for the chosen projector (takes the target).
    CommandContext commandContext();
    void rebuildFileList();

    void refreshStartup();
    void showStartupUnavailable();
    void showStartupState(bool valid, const StartupDisplay& startup);
    void startupCheckToggled(bool checked);
    void updateStartupMinutes();

    void chooseProjector(int index);
    // "Send to" changed between the projector above and many: what reads one projector back
    // (Confirm, the status fields, Mute, the startup area's Edit) follows.
    void applySendTo(bool single);
    // Runs `operation` for every projector of "Send to" in the many-projector dialog, after
    // asking its questions once; false when none is chosen or the operator called it off.
    void runOnMany(ManyProjectorOperation operation, std::shared_ptr<AnswerBook> answers);
    void sendToMany(const SendRequest& request);
    void confirm();
    void send();
    void display(DisplayCommand command);
    void clear();
    void mute();
    void editStartup();

    PageContext context_;
    ProjectorInfo info_;
    StatusPoller poller_;
    unsigned pollGeneration_ = 0;
    // The projector whose answers the status fields and Mute show; none while they show "-".
    // A watch that starts again for it keeps them until its first answer.
    std::optional<std::uint32_t> statusOf_;
    std::uint32_t watched_ = 0;  // the projector of the running watch
    // Between showPage and leavePage. A command or query that lets events run (a hidden
    // transfer) can see the tab left before it ends; the watch then stays stopped.
    bool shown_ = false;
    int currentFile_ = 0;
    QString rememberedTime_;  // display-time text kept while the check box is unchecked
    StartupDisplay startupShown_;
    bool startupValidShown_ = false;
    bool showingProjectorStartup_ = false;  // the check box follows the projector, not the operator

    QComboBox* projectors_ = nullptr;
    SendToChoice* sendTo_ = nullptr;
    StatusLine message_{};
    StatusLine alarm_{};
    QPushButton* mute_ = nullptr;
    QComboBox* fileSavedNumber_ = nullptr;
    QComboBox* files_ = nullptr;
    QPushButton* confirm_ = nullptr;
    QCheckBox* startupCheck_ = nullptr;
    QComboBox* startupTime_ = nullptr;
    QLabel* startupTimeMinutes_ = nullptr;
    QPushButton* send_ = nullptr;
    QComboBox* displaySavedNumber_ = nullptr;
    QButtonGroup* clearScope_ = nullptr;
    QRadioButton* clearSaved_ = nullptr;
    QComboBox* clearList_ = nullptr;
    QLabel* startupSavedValue_ = nullptr;
    QLabel* startupTimeValue_ = nullptr;
    QLabel* startupValueMinutes_ = nullptr;
    QPushButton* startupEdit_ = nullptr;
    // Last: its callbacks use the members above, and it ends its queries before they go.
    ProjectorStateQuery query_;
};

}  // namespace orvanta
