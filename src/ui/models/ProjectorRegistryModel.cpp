#include "ui/models/ProjectorRegistryModel.h"

#include <QComboBox>
#include <QSortFilterProxyModel>

#include "text/LanguageText.h"
#include "ui/common/BackgroundTask.h"
#include "ui/common/MainState.h"
#include "ui/common/UiText.h"

namespace orvanta {

ProjectorRegistryModel::ProjectorRegistryModel(MainState& state, QObject* parent)
    : CaptionedTableModel(kRegistryCaptions, parent), state_(state), writer_(1) {}

ProjectorRegistryModel::~ProjectorRegistryModel() = default;

int ProjectorRegistryModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(state_.projectors.records.size());
}

QVariant ProjectorRegistryModel::data(const QModelIndex& index, int role) const {
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

const ProjectorRegistry& ProjectorRegistryModel::registry() const {
    return state_.projectors;
}

const ProjectorRecord* ProjectorRegistryModel::record(int row) const {
    const auto& records = state_.projectors.records;
    return row >= 0 && static_cast<std::size_t>(row) < records.size()
               ? &records[static_cast<std::size_t>(row)]
               : nullptr;
}

void ProjectorRegistryModel::reload() {
    showFileContents();
}

void ProjectorRegistryModel::showFileContents() {
    ProjectorRegistry fresh = loadRegistry(state_.programFolder);
    if (fresh.records == state_.projectors.records) {
        return;
    }
    beginResetModel();
    state_.projectors = std::move(fresh);
    endResetModel();
    emit registryChanged();
}

void ProjectorRegistryModel::runWrite(std::function<RegistryResult(const std::string&)> write,
                                      WriteDone done) {
    if (++pending_ == 1) {
        emit writingChanged(true);
    }
    const Result<void> queued = runInBackground(
        writer_, this,
        [folder = state_.programFolder, write = std::move(write)] { return write(folder); },
        [this, done](const RegistryResult& written) { finishWrite(written, done); });
    if (!queued) {
        finishWrite(fail(RegistryProblem::WriteFailed, languageText(Text::NoWorkerThread)), done);
    }
}

void ProjectorRegistryModel::finishWrite(const RegistryResult& written, const WriteDone& done) {
    showFileContents();
    if (--pending_ == 0) {
        emit writingChanged(false);
    }
    if (done) {
        done(written);
    }
}

void ProjectorRegistryModel::add(const ProjectorRecord& record, WriteDone done) {
    runWrite([record](const std::string& folder) { return registerProjector(folder, record); },
             std::move(done));
}

std::string ProjectorRegistryModel::add(const ProjectorRecord& record) {
    std::string error = registerProjector(state_.programFolder, record).error();
    showFileContents();
    return error;
}

void ProjectorRegistryModel::remove(int row, WriteDone done) {
    const ProjectorRecord* shown = record(row);
    if (shown == nullptr) {
        return;
    }
    // The address is taken now: the rows may change before the writer gets to it.
    // The address is checked again against the row then: a file that holds it twice loses the
    // entry the operator chose.
    runWrite([address = shown->address, entry = static_cast<std::size_t>(row)](
                 const std::string& folder) { return unregisterProjector(folder, address, entry); },
             std::move(done));
}

void ProjectorRegistryModel::setCredentials(int row, std::int32_t authentication,
                                            const std::string& password, WriteDone done) {
    const ProjectorRecord* shown = record(row);
    if (shown == nullptr) {
        return;
    }
    runWrite(
        [address = shown->address, authentication, password,
         entry = static_cast<std::size_t>(row)](const std::string& folder) {
            return setProjectorCredentials(folder, address, authentication, password, entry);
        },
        std::move(done));
}

void ProjectorRegistryModel::saveAdaptorChoice(const std::string& dottedAddress,
                                               const std::string& description, WriteDone done) {
    runWrite(
        [dottedAddress, description](const std::string& folder) {
            return saveAdaptorSelection(folder, dottedAddress, description);
        },
        std::move(done));
}

QString ProjectorRegistryModel::writeErrorText(const std::string& error) {
    return text(Text::RegistryWriteFailed) + QStringLiteral("\n(") + qs(error) + QLatin1Char(')');
}

namespace {

// A drop-down shows one column, but its list tells assistive technology about every column
// of its model: this view of the registry has the address column only, so that each projector
// is one row there.
class AddressColumnModel : public QSortFilterProxyModel {
  public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

  protected:
    bool filterAcceptsColumn(int column, const QModelIndex&) const override {
        return column == ProjectorRegistryModel::AddressColumn;
    }
};

}  // namespace

void bindProjectorCombo(QComboBox& combo, ProjectorRegistryModel& model) {
    // Rows are neither filtered nor sorted: row n of the drop-down is row n of the registry.
    auto* addresses = new AddressColumnModel(&combo);
    addresses->setSourceModel(&model);
    combo.setModel(addresses);
    combo.setModelColumn(0);
    combo.setPlaceholderText(text(Text::PleaseSelectProjector));
}

}  // namespace orvanta
