#pragma once
// "Advanced" dialog of the Edit tab: the display options of the message (style, positions,
// size, level, scrolling, display time, blink, alarm) in drop-down lists. Only the options
// the chosen style and the projector can use are enabled; OK checks the typed values and
// writes them into the given MessageOptions, Cancel leaves them alone. "PLAY" / "STOP"
// audition the chosen alarm sound; the end of a tune comes back as a queued call, and
// closing the dialog stops it.

#include <QDialog>
#include <utility>

#include "message/MessageOptions.h"
#include "text/Prompt.h"
#include "text/TextId.h"

class QComboBox;
class QGroupBox;
class QPushButton;

namespace orvanta {

class AdvancedOptionsDialog : public QDialog {
    Q_OBJECT
  public:
    // `capabilities.level` is the projector's firmware level as last queried.
    AdvancedOptionsDialog(MessageOptions& options, std::uint8_t backgroundColor,
                          const ProjectorCapabilities& capabilities, Prompt& prompt,
                          QWidget* parent = nullptr);
    ~AdvancedOptionsDialog() override;

    void accept() override;
    void done(int result) override;

  private:
    // One group box each, as the dialog shows them; each sets its lists from the options.
    QGroupBox* buildTitleGroup();
    QGroupBox* buildMessageGroup();
    QGroupBox* buildCommonGroup();
    QGroupBox* buildAlarmGroup();
    QGroupBox* group(Text caption, std::initializer_list<std::pair<Text, QWidget*>> rows);
    QComboBox* list(const char* name, Text label, std::initializer_list<QString> entries,
                    bool editable = false);
    void applyStyleRules();
    void applyDisplayTimeRule(bool typed);
    void onMinutesTyped(const QString& typed);
    void play();
    void stop();
    // PLAY while a sound is shown and none plays; STOP while one plays.
    void updateAuditionButtons();

    MessageOptions& options_;
    std::uint8_t backgroundColor_;
    ProjectorCapabilities capabilities_;
    Prompt& prompt_;
    const bool levelAllowsPosition_;
    bool playing_ = false;
    bool alarmOffered_ = false;
    bool soundWarned_ = false;

    QComboBox* titlePosition_ = nullptr;
    QComboBox* style_ = nullptr;
    QComboBox* scrollCount_ = nullptr;
    QComboBox* scrollSpeed_ = nullptr;
    QComboBox* minutes_ = nullptr;
    QComboBox* seconds_ = nullptr;
    QComboBox* size_ = nullptr;
    QComboBox* vertical_ = nullptr;
    QComboBox* horizontal_ = nullptr;
    QComboBox* level_ = nullptr;
    QComboBox* blink_ = nullptr;
    QComboBox* lapped_ = nullptr;
    QComboBox* volume_ = nullptr;
    QComboBox* sound_ = nullptr;
    QComboBox* customSound_ = nullptr;
    QComboBox* loop_ = nullptr;
    QComboBox* interval_ = nullptr;
    QPushButton* play_ = nullptr;
    QPushButton* stop_ = nullptr;
};

}  // namespace orvanta
