#pragma once
// The registered projectors, as one model for every view of them: the Main and Edit tabs'
// projector drop-downs and the Discovery tab's registered list. LastPj.txt is the reference
// copy: reload() shows what the file holds, and every change is written to the file first
// and then read back, so the views never show a projector the file does not have.
// GUI thread only.

#include <QAbstractTableModel>
#include <cstddef>
#include <string>

#include "projectors/ProjectorList.h"

class QComboBox;

namespace orvanta {

struct MainState;

class ProjectorListModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Column { NameColumn = 0, MacColumn = 1, AddressColumn = 2, ColumnCount = 3 };

    explicit ProjectorListModel(MainState& state, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    const ProjectorList& list() const;
    // The record of `row`, or nullptr outside the list.
    const ProjectorRecord* record(int row) const;

    // Reads LastPj.txt again; views are told only when something differs.
    void reload();

    // Registry changes. Each returns an empty string on success, else what went wrong; the
    // model then shows what the file really holds. A caller must tell the operator about a
    // failure (writeErrorText): a change that silently did not happen is lost work.
    std::string add(const ProjectorRecord& record);
    std::string remove(int row);
    std::string setCredentials(int row, std::int32_t authentication, const std::string& password);

    // What the operator is told when a change could not be written; `error` is the system's
    // reason.
    static QString writeErrorText(const std::string& error);

  signals:
    // After any change of the rows (reload, add, remove, credentials).
    void registryChanged();

  private:
    void showFileContents();
    MainState& state_;
};

// Makes `combo` a view of the model's addresses; with no projector registered it shows
// "Please select PROJECTOR".
void bindProjectorCombo(QComboBox& combo, ProjectorListModel& model);

}  // namespace orvanta
