#include "ui/groups/GroupListModel.h"

#include "text/LanguageText.h"
#include "ui/common/BackgroundTask.h"
#include "ui/common/UiText.h"

namespace orvanta {

GroupListModel::GroupListModel(std::string programFolder, QObject* parent)
    : QAbstractListModel(parent), folder_(std::move(programFolder)), writer_(1) {
    reload();
}

GroupListModel::~GroupListModel() = default;

int GroupListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(groups_.groups.size());
}

QVariant GroupListModel::data(const QModelIndex& index, int role) const {
    const ProjectorGroup* g = group(index.row());
    if (g == nullptr ||
        (role != Qt::DisplayRole && role != Qt::AccessibleTextRole && role != Qt::EditRole)) {
        return {};
    }
    return qs(g->name);
}

const ProjectorGroup* GroupListModel::group(int row) const {
    return row >= 0 && static_cast<std::size_t>(row) < groups_.groups.size()
               ? &groups_.groups[static_cast<std::size_t>(row)]
               : nullptr;
}

int GroupListModel::rowOf(const std::string& name) const {
    for (std::size_t i = 0; i < groups_.groups.size(); ++i) {
        if (groups_.groups[i].name == name) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void GroupListModel::reload() {
    Result<ProjectorGroups, GroupProblem> read = readProjectorGroups(folder_);
    readError_ = read.ok() ? std::string() : read.error();
    ProjectorGroups fresh = read.valueOr({});
    if (fresh.groups == groups_.groups) {
        return;
    }
    beginResetModel();
    groups_ = std::move(fresh);
    endResetModel();
    emit groupsChanged();
}

void GroupListModel::change(Change change, ChangeDone done) {
    if (++pending_ == 1) {
        emit writingChanged(true);
    }
    const Result<void> queued = runInBackground(
        writer_, this, [folder = folder_, change = std::move(change)] { return change(folder); },
        [this, done](const GroupResult& changed) { finishChange(changed, done); });
    if (!queued) {
        finishChange(fail(GroupProblem::WriteFailed, languageText(Text::NoWorkerThread)), done);
    }
}

void GroupListModel::finishChange(const GroupResult& changed, const ChangeDone& done) {
    reload();
    if (--pending_ == 0) {
        emit writingChanged(false);
    }
    if (done) {
        done(changed);
    }
}

}  // namespace orvanta
