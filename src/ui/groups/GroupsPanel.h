#pragma once
// The Discovery page's groups: create, rename and delete named groups of registered
// projectors, and add the projector selected in the registered list to a group or remove a
// member. Groups.txt is changed on the group model's writer thread (it waits for the registry
// lock), so the page never waits; the buttons follow the selection, the name field and
// whether a change is still being written. A change that fails is told through the prompt.

#include <QGroupBox>
#include <functional>

#include "projectors/ProjectorGroups.h"
#include "ui/common/PageContext.h"

class QLineEdit;
class QListView;
class QPushButton;

namespace orvanta {

class GroupListModel;
class GroupMembersModel;

class GroupsPanel : public QGroupBox {
    Q_OBJECT
  public:
    // `selectedRegistered` gives the row of the registered list the operator selected (-1:
    // none).
    GroupsPanel(PageContext context, std::function<int()> selectedRegistered,
                QWidget* parent = nullptr);

    // Reads Groups.txt again.
    void reload();
    // The registered list's selection changed.
    void registeredSelectionChanged();

    GroupListModel* groups() const { return groups_; }

  private:
    void create();
    void rename();
    void remove();
    void addMember();
    void removeMember();
    void showMembers();
    // Selects the group called `name` (none when there is no such group).
    void selectGroup(const std::string& name);
    void updateButtons();
    int selectedGroup() const;
    int selectedMember() const;
    std::function<void(const GroupResult&)> reportChange();

    PageContext context_;
    std::function<int()> selectedRegistered_;
    GroupListModel* groups_;
    GroupMembersModel* members_;
    QListView* groupList_;
    QListView* memberList_;
    QLineEdit* name_;
    QPushButton* create_;
    QPushButton* rename_;
    QPushButton* delete_;
    QPushButton* add_;
    QPushButton* removeMember_;
    // The group the operator picked: kept selected when the file changes under the page.
    std::string shownName_;
};

}  // namespace orvanta
