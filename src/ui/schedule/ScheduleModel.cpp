#include "ui/schedule/ScheduleModel.h"

#include <mutex>

#include "ui/common/UiText.h"

namespace orvanta {

namespace {

constexpr Text kCaptions[] = {Text::ScheduleColumnOn, Text::ScheduleColumnName,
                              Text::ScheduleColumnWhen, Text::ScheduleColumnWhat,
                              Text::ScheduleColumnTo};
static_assert(std::size(kCaptions) == ScheduleModel::ColumnCount);

}  // namespace

struct ScheduleModel::Guard {
    std::mutex mutex;
    ScheduleModel* model = nullptr;
};

ScheduleModel::ScheduleModel(std::string programFolder, QObject* parent)
    : CaptionedTableModel(kCaptions, parent),
      folder_(std::move(programFolder)),
      guard_(std::make_shared<Guard>()) {
    guard_->model = this;
    writer_.setMaxThreadCount(1);
    reload(true);
}

ScheduleModel::~ScheduleModel() {
    std::lock_guard lock(guard_->mutex);
    guard_->model = nullptr;
}

int ScheduleModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(schedule_.entries.size());
}

QVariant ScheduleModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    const ScheduleEntry& e = schedule_.entries[static_cast<std::size_t>(index.row())];
    if (role == Qt::CheckStateRole && index.column() == OnColumn) {
        return e.enabled ? Qt::Checked : Qt::Unchecked;
    }
    if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole) {
        return {};
    }
    switch (index.column()) {
        case OnColumn:
            return role == Qt::AccessibleTextRole
                       ? QVariant(text(e.enabled ? Text::ScheduleColumnOn : Text::FleetReachableNo))
                       : QVariant();
        case NameColumn:
            return qs(e.name);
        case WhenColumn:
            return qs(describeWhen(e.when));
        case WhatColumn:
            return qs(describeAction(e.action));
        case ToColumn:
            return qs(describeTarget(e.target));
        default:
            return {};
    }
}

Qt::ItemFlags ScheduleModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.isValid() && index.column() == OnColumn) {
        f |= Qt::ItemIsUserCheckable;
    }
    return f;
}

bool ScheduleModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || index.column() != OnColumn || role != Qt::CheckStateRole ||
        index.row() >= rowCount()) {
        return false;
    }
    const std::string name = schedule_.entries[static_cast<std::size_t>(index.row())].name;
    const bool on = value.toInt() == Qt::Checked;
    change([name, on](Schedule& s) -> Result<> {
        if (ScheduleEntry* e = s.find(name)) {
            e->enabled = on;
        }
        return {};
    });
    return true;
}

void ScheduleModel::reload(bool force) {
    const FileStamp stamp = fileStamp(schedulePath(folder_));
    if (!force && stamp == stamp_) {
        return;
    }
    stamp_ = stamp;
    Result<Schedule> read = readSchedule(folder_);
    beginResetModel();
    if (read) {
        schedule_ = std::move(read).value();
        readError_.clear();
    } else {
        readError_ = read.error();
    }
    endResetModel();
    emit scheduleChanged();
}

void ScheduleModel::change(ScheduleChange change, ChangeDone done) {
    writer_.start(
        [guard = guard_, folder = folder_, change = std::move(change), done = std::move(done)] {
            const Result<> result = changeSchedule(folder, change);
            const std::string error = result.ok() ? std::string() : result.error();
            std::lock_guard lock(guard->mutex);
            if (ScheduleModel* model = guard->model) {
                QMetaObject::invokeMethod(
                    model, [model, error, done] { model->finishChange(error, done); },
                    Qt::QueuedConnection);
            }
        });
}

void ScheduleModel::finishChange(const std::string& error, const ChangeDone& done) {
    reload(true);
    if (!error.empty()) {
        emit changeFailed(qs(error));
    }
    if (done) {
        done(error);
    }
}

}  // namespace orvanta
