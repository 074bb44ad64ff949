#include "ui/models/ProjectorListModel.h"

#include <QComboBox>

#include "ui/common/UiText.h"
#include "ui/frame/MainState.h"

namespace orvanta {

ProjectorListModel::ProjectorListModel(MainState& state, QObject* parent)
    : QAbstractTableModel(parent), state_(state) {}

int ProjectorListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(state_.projectors.records.size());
}

int ProjectorListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ProjectorListModel::data(const QModelIndex& index, int role) const {
    const ProjectorRecord* r = record(index.row());
    if (r == nullptr || (role != Qt::DisplayRole && role != Qt::AccessibleTextRole)) {
        return {};
    }
    switch (index.column()) {
        case NameColumn:
            return qs(r->name);
        case MacColumn:
            return qs(r->mac);
        case AddressColumn:
            return qs(formatAddress(r->address));
        default:
            return {};
    }
}

QVariant ProjectorListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return {};
    }
    switch (section) {
        case NameColumn:
            return text(Text::ColumnProjectorName);
        case MacColumn:
            return text(Text::ColumnMacAddress);
        case AddressColumn:
            return text(Text::ColumnIpAddress);
        default:
            return {};
    }
}

const ProjectorList& ProjectorListModel::list() const {
    return state_.projectors;
}

const ProjectorRecord* ProjectorListModel::record(int row) const {
    const auto& records = state_.projectors.records;
    return row >= 0 && static_cast<std::size_t>(row) < records.size()
               ? &records[static_cast<std::size_t>(row)]
               : nullptr;
}

void ProjectorListModel::reload() {
    showFileContents();
}

void ProjectorListModel::showFileContents() {
    ProjectorList fresh = loadProjectorList(state_.programFolder);
    if (fresh.records == state_.projectors.records) {
        return;
    }
    beginResetModel();
    state_.projectors = std::move(fresh);
    endResetModel();
    emit registryChanged();
}

std::string ProjectorListModel::add(const ProjectorRecord& record) {
    std::string error = registerProjector(state_.programFolder, record).error();
    showFileContents();
    return error;
}

std::string ProjectorListModel::remove(int row) {
    const ProjectorRecord* shown = record(row);
    if (shown == nullptr) {
        return {};
    }
    std::string error = unregisterProjector(state_.programFolder, shown->address).error();
    showFileContents();
    return error;
}

std::string ProjectorListModel::setCredentials(int row, std::int32_t authentication,
                                               const std::string& password) {
    const ProjectorRecord* shown = record(row);
    if (shown == nullptr) {
        return {};
    }
    std::string error =
        setProjectorCredentials(state_.programFolder, shown->address, authentication, password)
            .error();
    showFileContents();
    return error;
}

QString ProjectorListModel::writeErrorText(const std::string& error) {
    return text(Text::RegistryWriteFailed) + QStringLiteral("\n(") + qs(error) + QLatin1Char(')');
}

void bindProjectorCombo(QComboBox& combo, ProjectorListModel& model) {
    combo.setModel(&model);
    combo.setModelColumn(ProjectorListModel::AddressColumn);
    combo.setPlaceholderText(text(Text::PleaseSelectProjector));
}

}  // namespace orvanta
