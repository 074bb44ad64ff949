#pragma once
// The registered projectors, as one model for every view of them: the Main and Edit tabs'
// projector drop-downs and the Discovery tab's registered list. LastPj.txt is the reference
// copy: reload() shows what the file holds, and every change is written to the file first
// and then read back, so the views never show a projector the file does not have.
//
// A change waits for the registry lock another program may hold, so the changes the pages
// ask for run on a writer thread of the model's own, one after the other in the order asked;
// the window goes on meanwhile. Destroying the model (at exit) waits for the changes already
// asked for, so a change asked for just before closing still reaches the file.
// GUI thread only.

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

#include "platform/WorkerPool.h"
#include "projectors/ProjectorRegistry.h"
#include "ui/common/CaptionedTableModel.h"

class QComboBox;

namespace orvanta {

struct MainState;

// The captions of the registry's columns, in Column order.
inline constexpr Text kRegistryCaptions[] = {Text::ColumnProjectorName, Text::ColumnMacAddress,
                                             Text::ColumnIpAddress};

class ProjectorRegistryModel : public CaptionedTableModel {
    Q_OBJECT
  public:
    enum Column { NameColumn = 0, MacColumn = 1, AddressColumn = 2, ColumnCount = 3 };

    explicit ProjectorRegistryModel(MainState& state, QObject* parent = nullptr);
    ~ProjectorRegistryModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    const ProjectorRegistry& registry() const;
    // The record of `row`, or nullptr outside the list.
    const ProjectorRecord* record(int row) const;

    // Reads LastPj.txt again; views are told only when something differs.
    void reload();

    // Registry changes, run on the writer thread. Afterwards, on the GUI thread, the model shows
    // what the file holds and `done` hears how the change ended, with the reason of a failure.
    // A caller must tell the operator about a failure (writeErrorText): a change that silently
    // did not happen is lost work. `done` is not called once the model is gone.
    using WriteDone = std::function<void(const RegistryResult& written)>;
    void add(const ProjectorRecord& record, WriteDone done);
    void remove(int row, WriteDone done);
    void setCredentials(int row, std::int32_t authentication, const std::string& password,
                        WriteDone done);
    // The adaptor the Discovery tab narrows its search to ("" for every adaptor).
    void saveAdaptorChoice(const std::string& dottedAddress, const std::string& description,
                           WriteDone done);
    // True while a change asked for has not ended.
    bool writing() const { return pending_ > 0; }

    // add() on the calling thread, waiting for the registry lock: for setting up tests only,
    // never from a page.
    std::string add(const ProjectorRecord& record);

    // What the operator is told when a change could not be written; `error` is the system's
    // reason.
    static QString writeErrorText(const std::string& error);

  signals:
    // After any change of the rows (reload, add, remove, credentials).
    void registryChanged();
    // writing() changed.
    void writingChanged(bool writing);

  private:
    void showFileContents();
    void runWrite(std::function<RegistryResult(const std::string& programFolder)> write,
                  WriteDone done);
    void finishWrite(const RegistryResult& written, const WriteDone& done);

    MainState& state_;
    int pending_ = 0;
    // One thread, so that changes reach the file in the order they were asked for. Declared
    // last: it is destroyed first and waits for the changes still running.
    WorkerPool writer_;
};

// Makes `combo` a view of the model's addresses; with no projector registered it shows
// "Please select PROJECTOR".
void bindProjectorCombo(QComboBox& combo, ProjectorRegistryModel& model);

}  // namespace orvanta
