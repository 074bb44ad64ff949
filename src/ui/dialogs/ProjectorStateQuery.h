#pragma once
// The state query a page runs when it is shown or a projector is chosen, without stopping the
// window: the page stays usable while the projector answers, and a projector that takes
// longer than a moment shows the "Communication Status" dialog beside the page, whose Cancel
// ends the query. A page that is left drops its query: the result, and any error box, belongs
// to the page that asked and never reaches another one. A command that needs the answer waits
// for it with the dialog shown modally (QtTransferRunner's before-run step calls finishAll).

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>
#include <vector>

#include "commands/ProjectorState.h"
#include "protocol/Transfer.h"

class QWidget;

namespace orvanta {

class CommunicationStatusDialog;

class ProjectorStateQuery : public QObject {
    Q_OBJECT
  public:
    // Queries run with `timings`; their dialogs show over `page`.
    explicit ProjectorStateQuery(QWidget* page, TransferTimings timings = {});
    // Cancels what still runs and waits for it (a cancelled wait ends within a reply step).
    ~ProjectorStateQuery() override;

    // Called on the GUI thread with the ended job of a query that was not dropped.
    using Done = std::function<void(const TransferJob& job)>;
    // Asks `target` for its state; a query still running is dropped first.
    void start(const ProjectorTarget& target, Done done);
    // Cancels the running query; its Done is never called.
    void drop();
    // A query runs whose Done is still to come.
    bool running() const;
    // Until the running query has ended (Done included): the dialog modally, with Cancel.
    void finish();
    // The dialog of the running query, if one runs (tests press its Cancel).
    CommunicationStatusDialog* dialog() const;

    // finish() for every query of the program.
    static void finishAll();

  private:
    struct Run;
    void ended(Run* run);

    QPointer<QWidget> page_;
    TransferTimings timings_;
    std::vector<std::unique_ptr<Run>> runs_;
};

}  // namespace orvanta
