#include "ui/edit/AdvancedOptionsDialog.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <optional>

#include "sound/AlarmPlayer.h"
#include "text/LanguageText.h"
#include "ui/common/Accessibility.h"
#include "ui/common/DialogButtons.h"
#include "ui/common/ReceiverLink.h"
#include "ui/common/UiText.h"

namespace orvanta {
namespace {

// A whole non-negative decimal number, nothing else.
std::optional<int> number(const QString& typed) {
    const QString t = typed.trimmed();
    if (t.isEmpty() || t.size() > 6) {
        return std::nullopt;
    }
    for (QChar c : t) {
        if (!c.isDigit() || c.unicode() > u'9') {
            return std::nullopt;
        }
    }
    return t.toInt();
}

QStringList numbers(std::initializer_list<int> values) {
    QStringList out;
    for (int v : values) {
        out << QString::number(v);
    }
    return out;
}

void select(QComboBox* list, int index) {
    list->setCurrentIndex(index >= 0 && index < list->count() ? index : 0);
}

}  // namespace

AdvancedOptionsDialog::AdvancedOptionsDialog(MessageOptions& options, std::uint8_t backgroundColor,
                                             const ProjectorCapabilities& capabilities,
                                             Prompt& prompt, QWidget* parent)
    : QDialog(parent),
      options_(options),
      backgroundColor_(backgroundColor),
      capabilities_(capabilities),
      prompt_(prompt),
      levelAllowsPosition_(capabilities.positionOptionsEditable()) {
    setObjectName(QStringLiteral("advancedDialog"));
    setWindowTitle(text(Text::AdvancedCaption));
    auto* left = new QVBoxLayout;
    left->addWidget(buildTitleGroup());
    left->addWidget(buildMessageGroup());
    auto* right = new QVBoxLayout;
    right->addWidget(buildCommonGroup());
    right->addWidget(buildAlarmGroup());
    auto* columns = new QHBoxLayout;
    columns->addLayout(left);
    columns->addLayout(right);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns);
    layout->addWidget(addOkCancelButtons(*this));

    // The level rule is in the groups; the style and display-time rules decide the rest.
    applyStyleRules();
    if (options_.displayHalfMinute > 2) {
        seconds_->setEnabled(false);
    }
    connect(style_, &QComboBox::currentIndexChanged, this, &AdvancedOptionsDialog::applyStyleRules);
}

QGroupBox* AdvancedOptionsDialog::group(Text caption,
                                        std::initializer_list<std::pair<Text, QWidget*>> rows) {
    auto* box = new QGroupBox(text(caption), this);
    auto* form = new QFormLayout(box);
    for (const auto& [label, field] : rows) {
        form->addRow(text(label), field);
    }
    return box;
}

QGroupBox* AdvancedOptionsDialog::buildTitleGroup() {
    titlePosition_ = list("titlePositionList", Text::PositionLabel,
                          {text(Text::TitlePositionLeft), text(Text::TitlePositionCenter),
                           text(Text::TitlePositionRight)});
    select(titlePosition_, options_.titlePosition);
    return group(Text::TitleOptionGroup, {{Text::PositionLabel, titlePosition_}});
}

QGroupBox* AdvancedOptionsDialog::buildMessageGroup() {
    const MessageOptions& o = options_;
    style_ = list("styleList", Text::StyleLabel,
                  {text(Text::StyleScroll), text(Text::StyleBox), text(Text::StylePopOn)});
    if (levelAllowsPosition_ && capabilities_.pictureSideSupported()) {
        style_->addItem(text(Text::StylePictureSide));
    }
    select(style_, o.style);

    scrollCount_ = list("scrollNumList", Text::ScrollNumLabel, {text(Text::ScrollRepeat)}, true);
    scrollCount_->addItems(numbers({1, 2, 4, 6, 8, 10, 20, 40, 60, 80, 100}));
    if (o.scrollCount == 0 || o.scrollCount == kOptionNotSet) {
        scrollCount_->setCurrentIndex(0);
    } else {
        scrollCount_->setCurrentIndex(-1);
        scrollCount_->setEditText(QString::number(o.scrollCount));
    }
    connect(scrollCount_->lineEdit(), &QLineEdit::textEdited, this, [this](const QString& t) {
        const auto n = number(t);
        if (!t.isEmpty() && (!n || *n == 0)) {
            scrollCount_->setCurrentIndex(0);
        }
    });
    scrollSpeed_ = list("scrollSpeedList", Text::ScrollSpeedLabel,
                        {text(Text::SpeedSlow), text(Text::SpeedStandard), text(Text::SpeedFast)});
    select(scrollSpeed_, o.scrollSpeed <= 2 ? o.scrollSpeed : 1);

    minutes_ =
        list("minutesList", Text::DisplayTimeLabel, {text(Text::DisplayTimeUnlimited)}, true);
    minutes_->addItems(numbers({0, 1, 2, 4, 6, 8, 10, 20, 40, 60, 80, 100, 127}));
    seconds_ = list("secondsList", Text::SecondsLabel, {QStringLiteral("0"), QStringLiteral("30")});
    if ((o.displayMinutes == 0 && o.displayHalfMinute == 0) || o.displayMinutes == kOptionNotSet) {
        minutes_->setCurrentIndex(0);
    } else {
        const int found = minutes_->findText(QString::number(o.displayMinutes));
        minutes_->setCurrentIndex(found);
        if (found < 0) {
            minutes_->setEditText(QString::number(o.displayMinutes));
        }
    }
    seconds_->setCurrentIndex(o.displayHalfMinute == 1 ? 1 : 0);
    // Whatever chose "Unlimited" (mouse, keys, assistive technology), the seconds follow.
    connect(minutes_, &QComboBox::currentIndexChanged, this,
            [this] { applyDisplayTimeRule(false); });
    connect(minutes_->lineEdit(), &QLineEdit::textEdited, this,
            &AdvancedOptionsDialog::onMinutesTyped);

    auto* time = new QWidget(this);
    auto* timeRow = new QHBoxLayout(time);
    timeRow->setContentsMargins(0, 0, 0, 0);
    // Each list is tied to the label that names it, so that it is heard by its caption and
    // not only by the number it shows.
    auto* minutesUnit = new QLabel(text(Text::MinutesLabel), time);
    minutesUnit->setBuddy(minutes_);
    auto* secondsUnit = new QLabel(text(Text::SecondsLabel), time);
    secondsUnit->setBuddy(seconds_);
    timeRow->addWidget(minutes_);
    timeRow->addWidget(minutesUnit);
    timeRow->addWidget(seconds_);
    timeRow->addWidget(secondsUnit);
    QGroupBox* box = group(Text::MessageOptionGroup, {{Text::StyleLabel, style_},
                                                      {Text::ScrollNumLabel, scrollCount_},
                                                      {Text::ScrollSpeedLabel, scrollSpeed_},
                                                      {Text::DisplayTimeLabel, time}});
    if (auto* form = qobject_cast<QFormLayout*>(box->layout())) {
        if (auto* caption = qobject_cast<QLabel*>(form->labelForField(time))) {
            caption->setBuddy(minutes_);
        }
    }
    return box;
}

QGroupBox* AdvancedOptionsDialog::buildCommonGroup() {
    const MessageOptions& o = options_;
    size_ = list("characterSizeList", Text::CharacterFontSizeLabel,
                 {text(Text::SizeStandard), text(Text::SizeDouble)});
    select(size_, o.characterSize);
    vertical_ =
        list("verticalPositionList", Text::VerticalPositionLabel,
             {text(Text::VerticalUpper), text(Text::VerticalCenter), text(Text::VerticalLower)});
    select(vertical_, o.verticalPosition);
    horizontal_ = list("horizontalPositionList", Text::HorizontalPositionLabel,
                       {text(Text::HorizontalLeft), text(Text::HorizontalRight)});
    select(horizontal_, o.horizontalPosition == 2 ? 1 : 0);
    level_ = list("levelList", Text::LevelLabel,
                  {text(Text::LevelLow), text(Text::LevelMiddle), text(Text::LevelHigh)});
    select(level_, o.level);
    blink_ = list("blinkList", Text::BlinkLabel, {text(Text::BlinkOff), text(Text::BlinkOn)});
    select(blink_, o.blink);
    lapped_ = list("lappedOverPictureList", Text::LappedOverPictureLabel,
                   {text(Text::LappedDisable), text(Text::LappedEnable)});
    select(lapped_, o.lappedOverPicture);
    // The Picture Side options follow the style (applyStyleRules) within what the level allows.
    horizontal_->setEnabled(false);
    lapped_->setEnabled(false);
    return group(Text::CommonOptionGroup, {{Text::CharacterFontSizeLabel, size_},
                                           {Text::VerticalPositionLabel, vertical_},
                                           {Text::HorizontalPositionLabel, horizontal_},
                                           {Text::LevelLabel, level_},
                                           {Text::BlinkLabel, blink_},
                                           {Text::LappedOverPictureLabel, lapped_}});
}

QGroupBox* AdvancedOptionsDialog::buildAlarmGroup() {
    const MessageOptions& o = options_;
    volume_ = list("volumeList", Text::VolumeLabel,
                   {text(Text::VolumeLow), text(Text::VolumeMid), text(Text::VolumeHigh)});
    sound_ = list("soundNumberList", Text::SoundNumberLabel, {text(Text::AlarmSoundNone)});
    sound_->addItems(numbers({1, 2, 3, 4}));
    customSound_ = list("customSoundList", Text::SoundCustomLabel, {});
    customSound_->addItems(numbers({0, 1, 2, 3, 4, 5, 6, 7}));
    customSound_->hide();  // never offered, kept for the stored value
    loop_ = list("loopList", Text::LoopLabel, {text(Text::AlarmLoopEndless)});
    loop_->addItems(numbers({1, 3, 5}));
    interval_ = list("intervalList", Text::IntervalLabel, {});
    interval_->addItems(numbers({0, 1, 2, 3, 4, 5}));
    select(volume_, o.alarmVolume);
    select(sound_, o.alarmSound);
    select(customSound_, o.alarmCustomSound);
    select(loop_, loop_->findText(QString::number(o.alarmLoop)));
    select(interval_, o.alarmInterval);

    play_ = new QPushButton(text(Text::PlayButton), this);
    play_->setObjectName(QStringLiteral("playButton"));
    play_->setAccessibleName(text(Text::PlayButton));
    stop_ = new QPushButton(text(Text::StopButton), this);
    stop_->setObjectName(QStringLiteral("stopButton"));
    stop_->setAccessibleName(text(Text::StopButton));
    connect(play_, &QPushButton::clicked, this, &AdvancedOptionsDialog::play);
    connect(stop_, &QPushButton::clicked, this, &AdvancedOptionsDialog::stop);

    // The alarm needs a projector that takes the extended options; each list only when the
    // message has a value for it.
    const bool alarm = levelAllowsPosition_ && capabilities_.extendedOptions();
    volume_->setEnabled(alarm && o.alarmVolume != kOptionNotSet);
    sound_->setEnabled(alarm && o.alarmSound != kOptionNotSet);
    customSound_->setEnabled(false);
    loop_->setEnabled(alarm && o.alarmLoop != kOptionNotSet);
    interval_->setEnabled(alarm && o.alarmInterval != kOptionNotSet);
    alarmOffered_ = alarm;
    connect(sound_, &QComboBox::currentIndexChanged, this,
            &AdvancedOptionsDialog::updateAuditionButtons);
    updateAuditionButtons();

    auto* buttons = new QWidget(this);
    auto* buttonRow = new QHBoxLayout(buttons);
    buttonRow->setContentsMargins(0, 0, 0, 0);
    buttonRow->addWidget(play_);
    buttonRow->addWidget(stop_);
    return group(Text::AlarmGroup, {{Text::VolumeLabel, volume_},
                                    {Text::SoundNumberLabel, sound_},
                                    {Text::LoopLabel, loop_},
                                    {Text::IntervalLabel, interval_},
                                    {Text::PlayButton, buttons}});
}

AdvancedOptionsDialog::~AdvancedOptionsDialog() {
    if (playing_) {
        stopAlarmPreview();
    }
}

QComboBox* AdvancedOptionsDialog::list(const char* name, Text label,
                                       std::initializer_list<QString> entries, bool editable) {
    auto* combo = new QComboBox(this);
    combo->setObjectName(QLatin1String(name));
    combo->setEditable(editable);
    if (editable) {
        combo->setInsertPolicy(QComboBox::NoInsert);
    }
    nameControl(combo, text(label));
    for (const QString& e : entries) {
        combo->addItem(e);
    }
    return combo;
}

void AdvancedOptionsDialog::applyStyleRules() {
    const auto style = static_cast<MessageStyle>(style_->currentIndex());
    const bool scroll = style == MessageStyle::Scroll;
    const bool pictureSide = style == MessageStyle::PictureSide;
    scrollCount_->setEnabled(scroll);
    scrollSpeed_->setEnabled(scroll);
    minutes_->setEnabled(!scroll);
    seconds_->setEnabled(!scroll);
    blink_->setEnabled(style == MessageStyle::PopOn);
    if (pictureSide) {
        titlePosition_->setCurrentIndex(0);
        size_->setCurrentIndex(0);
    }
    titlePosition_->setEnabled(!pictureSide);
    size_->setEnabled(!pictureSide);
    vertical_->setEnabled(!pictureSide);
    horizontal_->setEnabled(pictureSide && levelAllowsPosition_);
    lapped_->setEnabled(pictureSide && levelAllowsPosition_);
    applyDisplayTimeRule(false);
}

void AdvancedOptionsDialog::applyDisplayTimeRule(bool typed) {
    const bool scroll = style_->currentIndex() == static_cast<int>(MessageStyle::Scroll);
    if (!typed && minutes_->currentIndex() == 0 &&
        minutes_->currentText() == text(Text::DisplayTimeUnlimited)) {
        seconds_->setCurrentIndex(0);
        seconds_->setEnabled(false);
        return;
    }
    seconds_->setEnabled(!scroll);
    if (seconds_->currentIndex() < 0) {
        seconds_->setCurrentIndex(0);
    }
}

void AdvancedOptionsDialog::onMinutesTyped(const QString& typed) {
    if (typed.trimmed() == QStringLiteral("0")) {
        seconds_->setCurrentIndex(1);
    } else if (!typed.isEmpty() && !number(typed)) {
        minutes_->setEditText(QString());
    }
    applyDisplayTimeRule(true);
}

void AdvancedOptionsDialog::accept() {
    const QString scrollText = scrollCount_->currentText();
    const QString minutesText = minutes_->currentText().trimmed();
    const auto scroll = number(scrollText);
    const auto minutes = number(minutesText);
    if (scroll && *scroll > 100) {
        prompt_.inform(languageText(Text::ScrollNumInvalid));
        return;
    }
    if (minutes && *minutes >= 128) {
        prompt_.inform(languageText(Text::DisplayTimeInvalid));
        return;
    }
    if (minutesText == QStringLiteral("0") && seconds_->currentText() == QStringLiteral("0")) {
        prompt_.inform(languageText(Text::ZeroMinZeroSecInvalid));
        return;
    }
    if (minutesText.isEmpty()) {
        prompt_.inform(languageText(Text::DisplayTimeInvalid));
        return;
    }
    MessageOptions& o = options_;
    o.style = static_cast<std::uint8_t>(style_->currentIndex());
    o.verticalPosition = static_cast<std::uint8_t>(vertical_->currentIndex());
    o.horizontalPosition = horizontal_->currentIndex() == 0 ? 0 : 2;
    o.characterSize = static_cast<std::uint8_t>(size_->currentIndex());
    o.blink = static_cast<std::uint8_t>(blink_->currentIndex());
    o.level = static_cast<std::uint8_t>(level_->currentIndex());
    o.titlePosition = static_cast<std::uint8_t>(titlePosition_->currentIndex());
    o.lappedOverPicture = static_cast<std::uint8_t>(lapped_->currentIndex());
    o.background = packBackground(backgroundColor_);
    o.scrollCount = static_cast<std::uint8_t>(scroll.value_or(0));
    o.scrollSpeed = static_cast<std::uint8_t>(scrollSpeed_->currentIndex());
    o.displayMinutes = static_cast<std::uint8_t>(minutes.value_or(0));
    o.displayHalfMinute = seconds_->currentText() == QStringLiteral("30") ? 1 : 0;
    if (capabilities_.extendedOptions()) {
        o.alarmVolume = static_cast<std::uint8_t>(volume_->currentIndex());
        o.alarmSound = static_cast<std::uint8_t>(sound_->currentIndex());
        o.alarmCustomSound = static_cast<std::uint8_t>(customSound_->currentIndex());
        o.alarmInterval = static_cast<std::uint8_t>(interval_->currentIndex());
        o.alarmLoop = static_cast<std::uint8_t>(number(loop_->currentText()).value_or(0));
    }
    QDialog::accept();
}

void AdvancedOptionsDialog::done(int result) {
    stop();
    QDialog::done(result);
}

void AdvancedOptionsDialog::play() {
    if (playing_) {
        return;
    }
    // From the player's closer thread: the end reaches the dialog only while it lives.
    std::shared_ptr<ReceiverLink> link = ReceiverLink::to(this);
    const AlarmPreviewStart start = playAlarmPreview(sound_->currentIndex(), [this, link] {
        link->post([this, link] {
            link->cut();
            playing_ = false;
            updateAuditionButtons();
        });
    });
    if (start.status == AlarmPreviewStatus::AlreadyPlaying) {
        return;
    }
    playing_ = true;
    updateAuditionButtons();
    if (start.status == AlarmPreviewStatus::NoAudioDevice && !soundWarned_) {
        soundWarned_ = true;
        prompt_.inform(languageText(Text::NoSoundDevice), PromptIcon::Warning);
    }
}

void AdvancedOptionsDialog::stop() {
    if (playing_) {
        stopAlarmPreview();
    }
}

void AdvancedOptionsDialog::updateAuditionButtons() {
    // Item 0 is "None": playing it would be two seconds of silence.
    play_->setEnabled(alarmOffered_ && !playing_ && sound_->currentIndex() > 0);
    stop_->setEnabled(playing_);
}

}  // namespace orvanta
