#pragma once
// The projector groups of Groups.txt as a list of names, for the Discovery page's group
// management and the "Send to" choice of the Main and Edit pages. The file is the reference
// copy: reload() shows what it holds. A change waits for the registry lock another program may
// hold, so changes run on a writer thread of the model's own, one after the other; afterwards
// the model shows the file again and `done` hears how the change ended. GUI thread only.

#include <QAbstractListModel>
#include <functional>
#include <memory>
#include <string>

#include "platform/WorkerPool.h"
#include "projectors/ProjectorGroups.h"

namespace orvanta {

class GroupListModel : public QAbstractListModel {
    Q_OBJECT
  public:
    explicit GroupListModel(std::string programFolder, QObject* parent = nullptr);
    ~GroupListModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    const ProjectorGroups& groups() const { return groups_; }
    // The group of `row`, or nullptr outside the list.
    const ProjectorGroup* group(int row) const;
    // The row of the group called `name`, or -1.
    int rowOf(const std::string& name) const;
    // What went wrong when the file was last read; empty when it was read.
    const std::string& readError() const { return readError_; }

    void reload();

    // `done` hears how the change ended, with the reason of a failure; it is not called once
    // the model is gone.
    using ChangeDone = std::function<void(const GroupResult& changed)>;
    using Change = std::function<GroupResult(const std::string& programFolder)>;
    void change(Change change, ChangeDone done);
    bool writing() const { return pending_ > 0; }

  signals:
    void groupsChanged();
    void writingChanged(bool writing);

  private:
    void finishChange(const GroupResult& changed, const ChangeDone& done);

    std::string folder_;
    ProjectorGroups groups_;
    std::string readError_;
    int pending_ = 0;
    // One thread, so that changes reach the file in the order they were asked for. Declared
    // last: destroyed first, it waits for the changes still running.
    WorkerPool writer_;
};

}  // namespace orvanta
