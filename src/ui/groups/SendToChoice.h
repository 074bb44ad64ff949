#pragma once
// "Send to:" beside the projector choice of the Main and Edit pages: the projector chosen
// above, every registered projector, or a group. While more than one projector is chosen,
// the pages send their commands through the many-projector dialog and disable what reads
// one projector back (enabling follows singleChanged).

#include <QComboBox>
#include <memory>
#include <string>
#include <vector>

#include "commands/ManyProjectorRun.h"
#include "commands/Recipients.h"
#include "projectors/ProjectorRegistry.h"
#include "ui/common/PageContext.h"

namespace orvanta {

class GroupListModel;
class ManyProjectorDialog;

class SendToChoice : public QComboBox {
    Q_OBJECT
  public:
    SendToChoice(const std::string& programFolder, QWidget* parent = nullptr);
    ~SendToChoice() override;

    // Reads Groups.txt again and keeps the choice where the same entry is still there.
    void reload();
    // The projector chosen above.
    bool single() const;
    // The projectors of the choice as the files say now (not as the page last showed them),
    // in the order of the registry or the group; members of a group that are no longer
    // registered come along as missing rows. Fails with the reason.
    Recipients targets() const;

  signals:
    void singleChanged(bool single);

  private:
    void rebuild();
    std::string folder_;
    GroupListModel* groups_;
    bool single_ = true;
};

// Opens the many-projector dialog for `targets` over `parent` (modeless: the window stays
// usable, and nothing waits for it) and starts the command; the dialog deletes itself when
// closed.
// `history` (may be null) hears each projector's command on the GUI thread.
ManyProjectorDialog* openManyProjectorDialog(QWidget* parent,
                                             std::vector<ManyProjectorTarget> targets,
                                             ManyProjectorOperation operation,
                                             std::shared_ptr<const AnswerBook> answers,
                                             const TransferTimings& timings,
                                             CommandHistory* history);

// The same for every projector `choice` names, as the pages run it: nothing when `answers` is
// null (the operator called the command off when asked), "Please select PROJECTOR" when the
// choice names none.
void runOnChosenProjectors(QWidget* parent, const SendToChoice& choice, const PageContext& context,
                           ManyProjectorOperation operation,
                           std::shared_ptr<const AnswerBook> answers);

}  // namespace orvanta
