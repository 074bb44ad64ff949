#pragma once
// The three tab pages. Each owns its controls and runs its own show step when the view makes
// it current; their commands are added page by page.

#include <QWidget>

class QComboBox;
class QLabel;

namespace orvanta {

class CMainFrame;

// Fills a projector drop-down with one dotted address per registered projector, or the single
// entry "Please select PROJECTOR" when there is none, and selects the current projector.
void fillProjectorCombo(QComboBox& combo, const CMainFrame& frame);

class CMainTab : public QWidget {
    Q_OBJECT
  public:
    explicit CMainTab(CMainFrame& frame);
    // Reload the registry, restore the projector choice, then let the status poller run.
    void showPage();
    QComboBox* projectorCombo() const { return projectors_; }

  private:
    CMainFrame& frame_;
    QComboBox* projectors_;
};

class CPjList : public QWidget {
    Q_OBJECT
  public:
    explicit CPjList(CMainFrame& frame);
    // Reload the registry; a discovery run starts here once discovery exists.
    void showPage();

  private:
    void refreshRegistered();
    CMainFrame& frame_;
    QLabel* registered_;
};

class CMessageEdit : public QWidget {
    Q_OBJECT
  public:
    explicit CMessageEdit(CMainFrame& frame);
    void showPage();
    // Asked before the program closes: false keeps the program open.
    bool confirmDiscardOrSave();
    QComboBox* projectorCombo() const { return projectors_; }

  private:
    CMainFrame& frame_;
    QComboBox* projectors_;
};

}  // namespace orvanta
