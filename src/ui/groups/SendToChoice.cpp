#include "ui/groups/SendToChoice.h"

#include "text/LanguageText.h"
#include "ui/common/Accessibility.h"
#include "ui/common/PostToGui.h"
#include "ui/common/UiText.h"
#include "ui/groups/GroupListModel.h"
#include "ui/groups/ManyProjectorDialog.h"
#include "ui/models/ProjectorListModel.h"

namespace orvanta {

namespace {

// Item data: "" the projector above, "*" all registered, "=name" a group.
const QString kSingle;
const QString kAll = QStringLiteral("*");

// Hands each record of a row's thread to the history on the GUI thread, where the program's
// history reads the registry for the projector's name.
class GuiThreadHistory : public CommandHistory {
  public:
    GuiThreadHistory(QObject* receiver, CommandHistory& inner)
        : receiver_(receiver), inner_(inner) {}
    void record(const ProjectorTarget& target, const CommandRecord& record,
                const Outcome& outcome) override {
        postToGui(receiver_, [inner = &inner_, target, record, outcome] {
            inner->record(target, record, outcome);
        });
    }

  private:
    QObject* receiver_;
    CommandHistory& inner_;
};

}  // namespace

SendToChoice::SendToChoice(const std::string& programFolder, QWidget* parent)
    : QComboBox(parent), groups_(new GroupListModel(programFolder, this)) {
    setObjectName(QStringLiteral("sendToChoice"));
    nameControl(this, text(Text::MainSendTo));
    rebuild();
    connect(groups_, &GroupListModel::groupsChanged, this, &SendToChoice::rebuild);
    connect(this, &QComboBox::currentIndexChanged, this, [this] {
        const bool now = single();
        if (now != single_) {
            single_ = now;
            emit singleChanged(now);
        }
    });
}

SendToChoice::~SendToChoice() = default;

void SendToChoice::reload() {
    groups_->reload();
}

void SendToChoice::rebuild() {
    const QString kept = currentData().toString();
    const QSignalBlocker quiet(this);
    clear();
    addItem(text(Text::MainSendToChosen), kSingle);
    addItem(text(Text::MainSendToAll), kAll);
    for (const ProjectorGroup& g : groups_->groups().groups) {
        addItem(text(Text::MainSendToGroupPrefix) + qs(g.name), QStringLiteral("=") + qs(g.name));
    }
    const int index = findData(kept);
    setCurrentIndex(index >= 0 ? index : 0);
    if (single() != single_) {
        single_ = single();
        emit singleChanged(single_);
    }
}

bool SendToChoice::single() const {
    return currentIndex() <= 0;
}

std::vector<ManyProjectorTarget> SendToChoice::targets(const ProjectorList& registry) const {
    std::vector<ManyProjectorTarget> out;
    const QString chosen = currentData().toString();
    if (chosen == kAll) {
        for (const ProjectorRecord& r : registry.records) {
            out.push_back({{r.address, r.password}, r.name, false});
        }
    } else if (chosen.startsWith(QLatin1Char('='))) {
        if (const ProjectorGroup* g = groups_->groups().find(utf8(chosen.mid(1)))) {
            for (const GroupMember& m : groupMembers(*g, registry)) {
                out.push_back(m.record ? ManyProjectorTarget{{m.address, m.record->password},
                                                             m.record->name,
                                                             false}
                                       : ManyProjectorTarget{{m.address, {}}, {}, true});
            }
        }
    }
    return out;
}

ManyProjectorDialog* openManyProjectorDialog(QWidget* parent,
                                             std::vector<ManyProjectorTarget> targets,
                                             ManyProjectorOperation operation,
                                             std::shared_ptr<const AnswerBook> answers,
                                             const TransferTimings& timings,
                                             CommandHistory* history) {
    ManyProjectorRunOptions options;
    options.answers = std::move(answers);
    options.timings = timings;
    // The page outlives the dialog, and the program's history outlives the page.
    std::unique_ptr<CommandHistory> handOver;
    if (history != nullptr) {
        handOver = std::make_unique<GuiThreadHistory>(parent, *history);
    }
    auto* dialog = new ManyProjectorDialog(std::move(targets), std::move(operation),
                                           std::move(options), parent, std::move(handOver));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    // It holds nothing of the window: while forty projectors answer, the operator reads the
    // Fleet tab or types the next message.
    dialog->setWindowModality(Qt::NonModal);
    dialog->start();
    dialog->show();
    return dialog;
}

void runOnChosenProjectors(QWidget* parent, const SendToChoice& choice, const PageContext& context,
                           ManyProjectorOperation operation,
                           std::shared_ptr<const AnswerBook> answers) {
    if (!answers) {
        return;
    }
    std::vector<ManyProjectorTarget> targets = choice.targets(context.projectors.list());
    if (targets.empty()) {
        context.prompt.inform(languageText(Text::PleaseSelectProjector));
        return;
    }
    openManyProjectorDialog(parent, std::move(targets), std::move(operation), std::move(answers),
                            context.runner.timings(), context.history);
}

}  // namespace orvanta
