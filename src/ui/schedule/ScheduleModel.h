#pragma once
// The entries of the schedule file as a table for the Schedule tab: whether each is on, its
// name, when, what and to whom. The file is the reference copy: reload() shows what it holds
// when it has changed on disk. Changes wait for the file's lock, which another program may
// hold, so they run on a writer thread of the model's own, one after the other; afterwards the
// model reads the file again and `done` hears how the change ended. GUI thread only.

#include <QThreadPool>
#include <functional>
#include <memory>
#include <string>

#include "schedule/Schedule.h"
#include "schedule/ScheduleStore.h"
#include "ui/common/CaptionedTableModel.h"

namespace orvanta {

class ScheduleModel : public CaptionedTableModel {
    Q_OBJECT
  public:
    enum Column { OnColumn, NameColumn, WhenColumn, WhatColumn, ToColumn, ColumnCount };

    explicit ScheduleModel(std::string programFolder, QObject* parent = nullptr);
    ~ScheduleModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // The On column's check switches the entry on or off in the file.
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    const Schedule& schedule() const { return schedule_; }
    const std::string& programFolder() const { return folder_; }
    // What went wrong when the file was last read; empty when it was read.
    const std::string& readError() const { return readError_; }

    // Reads the file again when it changed on disk (or always with `force`).
    void reload(bool force = false);

    using ChangeDone = std::function<void(const std::string& error)>;
    void change(ScheduleChange change, ChangeDone done = {});

  signals:
    void scheduleChanged();
    // A change ended with `error` (empty: it was written).
    void changeFailed(const QString& error);

  private:
    struct Guard;
    void finishChange(const std::string& error, const ChangeDone& done);

    std::string folder_;
    Schedule schedule_;
    FileStamp stamp_;
    std::string readError_;
    std::shared_ptr<Guard> guard_;
    // Declared last: destroyed first, it waits for the changes still running.
    QThreadPool writer_;
};

}  // namespace orvanta
