#include "ui/groups/GroupsPanel.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "text/LanguageText.h"
#include "text/Prompt.h"
#include "ui/common/MainState.h"
#include "ui/common/UiText.h"
#include "ui/groups/GroupListModel.h"
#include "ui/groups/GroupMembersModel.h"
#include "ui/models/ProjectorRegistryModel.h"

namespace orvanta {

namespace {

QPushButton* makeButton(QWidget* parent, Text caption, const char* name) {
    auto* button = new QPushButton(text(caption), parent);
    button->setObjectName(QLatin1StringView(name));
    button->setAccessibleName(text(caption));
    button->setAutoDefault(false);
    return button;
}

QListView* makeList(QWidget* parent, const char* name, Text accessible) {
    auto* list = new QListView(parent);
    list->setObjectName(QLatin1StringView(name));
    list->setAccessibleName(text(accessible));
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    return list;
}

}  // namespace

GroupsPanel::GroupsPanel(PageContext context, std::function<int()> selectedRegistered,
                         QWidget* parent)
    : QGroupBox(text(Text::GroupsBox), parent),
      context_(context),
      selectedRegistered_(std::move(selectedRegistered)),
      groups_(new GroupListModel(context.state.programFolder, this)),
      members_(new GroupMembersModel(this)),
      groupList_(makeList(this, "groupList", Text::GroupsBox)),
      memberList_(makeList(this, "groupMemberList", Text::GroupMembersList)),
      name_(new QLineEdit(this)),
      create_(makeButton(this, Text::GroupNewButton, "newGroupButton")),
      rename_(makeButton(this, Text::GroupRenameButton, "renameGroupButton")),
      delete_(makeButton(this, Text::GroupDeleteButton, "deleteGroupButton")),
      add_(makeButton(this, Text::GroupAddMember, "addToGroupButton")),
      removeMember_(makeButton(this, Text::GroupRemoveMember, "removeFromGroupButton")) {
    setObjectName(QStringLiteral("groupsPanel"));
    groupList_->setModel(groups_);
    memberList_->setModel(members_);
    name_->setObjectName(QStringLiteral("groupName"));
    name_->setAccessibleName(text(Text::GroupNameLabel));
    name_->setMaxLength(static_cast<int>(kMaxGroupNameBytes));
    auto* nameLabel = new QLabel(text(Text::GroupNameLabel), this);
    nameLabel->setBuddy(name_);

    // The name gets a row of its own: beside three buttons it had room for a few letters.
    auto* nameRow = new QHBoxLayout;
    nameRow->addWidget(nameLabel);
    nameRow->addWidget(name_, 1);
    auto* groupButtons = new QHBoxLayout;
    groupButtons->addWidget(create_);
    groupButtons->addWidget(rename_);
    groupButtons->addWidget(delete_);
    auto* memberButtons = new QHBoxLayout;
    memberButtons->addStretch();
    memberButtons->addWidget(add_);
    memberButtons->addWidget(removeMember_);
    auto* lists = new QHBoxLayout;
    lists->addWidget(groupList_, 1);
    lists->addWidget(memberList_, 2);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(nameRow);
    layout->addLayout(groupButtons);
    layout->addLayout(lists, 1);
    layout->addLayout(memberButtons);

    connect(create_, &QPushButton::clicked, this, &GroupsPanel::create);
    connect(rename_, &QPushButton::clicked, this, &GroupsPanel::rename);
    connect(delete_, &QPushButton::clicked, this, &GroupsPanel::remove);
    connect(add_, &QPushButton::clicked, this, &GroupsPanel::addMember);
    connect(removeMember_, &QPushButton::clicked, this, &GroupsPanel::removeMember);
    connect(name_, &QLineEdit::textChanged, this, &GroupsPanel::updateButtons);
    connect(name_, &QLineEdit::returnPressed, this, [this] {
        if (create_->isEnabled()) {
            create();
        }
    });
    connect(groupList_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (const ProjectorGroup* g = groups_->group(selectedGroup())) {
            shownName_ = g->name;
            name_->setText(qs(g->name));
        }
        showMembers();
    });
    connect(memberList_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &GroupsPanel::updateButtons);
    connect(groups_, &GroupListModel::writingChanged, this, &GroupsPanel::updateButtons);
    // The model is reset when the file changes: the group picked is picked again.
    connect(groups_, &GroupListModel::groupsChanged, this, [this] { selectGroup(shownName_); });
    connect(&context_.projectors, &ProjectorRegistryModel::registryChanged, this,
            &GroupsPanel::showMembers);
    updateButtons();
}

void GroupsPanel::reload() {
    groups_->reload();
    showMembers();
}

void GroupsPanel::selectGroup(const std::string& name) {
    const int row = groups_->rowOf(name);
    if (row >= 0) {
        groupList_->setCurrentIndex(groups_->index(row));
    } else {
        groupList_->clearSelection();
    }
    showMembers();
}

void GroupsPanel::registeredSelectionChanged() {
    updateButtons();
}

int GroupsPanel::selectedGroup() const {
    const QModelIndexList rows = groupList_->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

int GroupsPanel::selectedMember() const {
    const QModelIndexList rows = memberList_->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void GroupsPanel::showMembers() {
    members_->show(groups_->group(selectedGroup()), context_.projectors.registry());
    updateButtons();
}

void GroupsPanel::updateButtons() {
    const bool idle = !groups_->writing();
    const bool group = selectedGroup() >= 0;
    const bool named = isValidGroupName(utf8(name_->text()));
    create_->setEnabled(idle && named);
    rename_->setEnabled(idle && group && named);
    delete_->setEnabled(idle && group);
    add_->setEnabled(idle && group && selectedRegistered_() >= 0);
    removeMember_->setEnabled(idle && group && selectedMember() >= 0);
}

std::function<void(const GroupResult&)> GroupsPanel::reportChange() {
    return [panel = QPointer<GroupsPanel>(this)](const GroupResult& changed) {
        if (panel != nullptr && !changed) {
            panel->context_.prompt.inform(changed.error(), PromptIcon::Warning);
        }
    };
}

void GroupsPanel::create() {
    const std::string name = utf8(name_->text());
    groups_->change([name](const std::string& folder) { return createGroup(folder, name); },
                    [this, name, report = reportChange()](const GroupResult& changed) {
                        report(changed);
                        if (changed) {
                            selectGroup(name);
                        }
                    });
}

void GroupsPanel::rename() {
    const ProjectorGroup* g = groups_->group(selectedGroup());
    if (g == nullptr) {
        return;
    }
    const std::string from = g->name;
    const std::string to = utf8(name_->text());
    groups_->change([from, to](const std::string& folder) { return renameGroup(folder, from, to); },
                    [this, to, report = reportChange()](const GroupResult& changed) {
                        report(changed);
                        if (changed) {
                            selectGroup(to);
                        }
                    });
}

void GroupsPanel::remove() {
    const ProjectorGroup* g = groups_->group(selectedGroup());
    if (g == nullptr || context_.prompt.ask(languageText(Text::GroupConfirmDelete),
                                            PromptButtons::YesNo) != PromptAnswer::Yes) {
        return;
    }
    const std::string name = g->name;
    groups_->change([name](const std::string& folder) { return deleteGroup(folder, name); },
                    reportChange());
}

void GroupsPanel::addMember() {
    const ProjectorGroup* g = groups_->group(selectedGroup());
    const ProjectorRecord* r = context_.projectors.record(selectedRegistered_());
    if (g == nullptr || r == nullptr) {
        return;
    }
    const std::string name = g->name;
    const std::uint32_t address = r->address;
    groups_->change(
        [name, address](const std::string& folder) { return addToGroup(folder, name, address); },
        reportChange());
}

void GroupsPanel::removeMember() {
    const ProjectorGroup* g = groups_->group(selectedGroup());
    const auto address = members_->address(selectedMember());
    if (g == nullptr || !address) {
        return;
    }
    const std::string name = g->name;
    groups_->change([name, a = *address](
                        const std::string& folder) { return removeFromGroup(folder, name, a); },
                    reportChange());
}

}  // namespace orvanta
