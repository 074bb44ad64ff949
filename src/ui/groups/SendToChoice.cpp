#include "ui/groups/SendToChoice.h"

#include "commands/Recipients.h"
#include "text/LanguageText.h"
#include "ui/common/Accessibility.h"
#include "ui/common/PostToGui.h"
#include "ui/common/UiText.h"
#include "ui/groups/GroupListModel.h"
#include "ui/groups/ManyProjectorDialog.h"
#include "ui/models/ProjectorRegistryModel.h"

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
    : QComboBox(parent), folder_(programFolder), groups_(new GroupListModel(programFolder, this)) {
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

Recipients SendToChoice::targets() const {
    const QString chosen = currentData().toString();
    if (chosen == kAll) {
        return resolveRecipients(folder_, {RecipientScope::AllRegistered, {}});
    }
    if (chosen.startsWith(QLatin1Char('='))) {
        return resolveRecipients(folder_, {RecipientScope::Group, utf8(chosen.mid(1))});
    }
    return std::vector<ManyProjectorTarget>{};
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
    Recipients resolved = choice.targets();
    if (!resolved) {
        context.prompt.inform(resolved.error(), PromptIcon::Error);
        return;
    }
    std::vector<ManyProjectorTarget> targets = std::move(resolved).value();
    if (targets.empty()) {
        context.prompt.inform(languageText(Text::PleaseSelectProjector));
        return;
    }
    openManyProjectorDialog(parent, std::move(targets), std::move(operation), std::move(answers),
                            context.runner.timings(), context.history);
}

}  // namespace orvanta
