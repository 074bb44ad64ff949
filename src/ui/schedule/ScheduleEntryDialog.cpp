#include "ui/schedule/ScheduleEntryDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QDir>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTimeEdit>
#include <QVBoxLayout>

#include "projectors/ProjectorGroups.h"
#include "projectors/ProjectorRegistry.h"
#include "templates/Template.h"
#include "ui/common/Accessibility.h"
#include "ui/common/DialogButtons.h"
#include "ui/common/UiText.h"

namespace orvanta {
namespace {

// The order of the What choice.
constexpr ScheduleActionKind kActions[] = {
    ScheduleActionKind::SendFile, ScheduleActionKind::SendTemplate, ScheduleActionKind::Show,
    ScheduleActionKind::Hide,     ScheduleActionKind::Clear,        ScheduleActionKind::Mute,
    ScheduleActionKind::Startup};
constexpr Text kActionTexts[] = {
    Text::ScheduleSendFile, Text::ScheduleSendTemplate, Text::ScheduleShow,   Text::ScheduleHide,
    Text::ScheduleClear,    Text::ScheduleMute,         Text::ScheduleStartup};
constexpr Text kWeekdayTexts[] = {Text::ScheduleMon, Text::ScheduleTue, Text::ScheduleWed,
                                  Text::ScheduleThu, Text::ScheduleFri, Text::ScheduleSat,
                                  Text::ScheduleSun};

QDate toQDate(const CivilDate& d) {
    return {d.year, d.month, d.day};
}
CivilDate fromQDate(const QDate& d) {
    return {d.year(), d.month(), d.day()};
}

QWidget* row(std::initializer_list<QWidget*> widgets) {
    auto* box = new QWidget;
    auto* layout = new QHBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    for (QWidget* w : widgets) {
        layout->addWidget(w);
    }
    layout->addStretch();
    return box;
}

}  // namespace

ScheduleEntryDialog::ScheduleEntryDialog(const std::string& programFolder,
                                         const ScheduleEntry& entry, QWidget* parent)
    : QDialog(parent),
      name_(new QLineEdit(qs(entry.name))),
      repeat_(new QComboBox),
      date_(new QDateEdit),
      time_(new QTimeEdit),
      fromOn_(new QCheckBox(text(Text::ScheduleFrom))),
      from_(new QDateEdit),
      untilOn_(new QCheckBox(text(Text::ScheduleUntil))),
      until_(new QDateEdit),
      skip_(new QPlainTextEdit),
      action_(new QComboBox),
      actionPages_(new QStackedWidget),
      file_(new QComboBox),
      template_(new QComboBox),
      values_(new QPlainTextEdit),
      slot_(new QComboBox),
      display_(new QCheckBox(text(Text::ScheduleDisplayAfter))),
      powerOn_(new QCheckBox(text(Text::SchedulePowerOn))),
      clear_(new QComboBox),
      startupOff_(new QCheckBox(text(Text::ScheduleStartupOff))),
      startupMinutes_(new QSpinBox),
      target_(new QComboBox),
      problem_(new QLabel),
      enabled_(entry.enabled) {
    setWindowTitle(text(Text::ScheduleDialogTitle));
    setObjectName(QStringLiteral("scheduleEntryDialog"));
    const QDate today = QDate::currentDate();
    for (QDateEdit* d : {date_, from_, until_}) {
        d->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        d->setCalendarPopup(true);
        d->setDate(today);
    }
    time_->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    for (Text t : {Text::ScheduleOnce, Text::ScheduleDaily, Text::ScheduleWeekdays}) {
        repeat_->addItem(text(t));
    }
    for (const Text t : kActionTexts) {
        action_->addItem(text(t));
    }
    slot_->addItem(text(Text::ScheduleQuick));
    for (int s = 1; s <= 12; ++s) {
        slot_->addItem(QString::number(s));
    }
    clear_->addItem(text(Text::ScheduleAllMessages), QStringLiteral("all"));
    clear_->addItem(text(Text::ScheduleQuick), QStringLiteral("quick"));
    clear_->addItem(text(Text::ScheduleSavedAll), QStringLiteral("saved-all"));
    for (int s = 1; s <= 12; ++s) {
        clear_->addItem(QString::number(s), QString::number(s));
    }
    startupMinutes_->setRange(0, 127);

    // What the lists offer.
    const QStringList files = QDir(qs(programFolder + "MessageData"))
                                  .entryList({QStringLiteral("*.ovx")}, QDir::Files, QDir::Name);
    file_->addItems(files);
    file_->setEditable(true);
    for (const MessageTemplate& t : loadTemplates(templatesFolder(programFolder)).templates) {
        template_->addItem(qs(t.name));
    }
    template_->setEditable(true);
    target_->addItem(text(Text::FleetAllRegistered));
    const auto groups = readProjectorGroups(programFolder);
    if (groups) {
        for (const ProjectorGroup& g : groups.value().groups) {
            target_->addItem(text(Text::ScheduleGroupPrefix) + qs(g.name), qs(g.name));
        }
    }
    for (const ProjectorRecord& r : loadRegistry(programFolder).records) {
        const QString address = qs(formatAddress(r.address));
        target_->addItem(r.name.empty()
                             ? address
                             : address + QStringLiteral(" (") + qs(r.name) + QStringLiteral(")"),
                         address);
    }

    // The entry.
    const ScheduleWhen& when = entry.when;
    repeat_->setCurrentIndex(static_cast<int>(when.repeat));
    if (when.repeat == Repeat::Once) {
        date_->setDate(toQDate(when.date));
    }
    time_->setTime(QTime(when.time.hour, when.time.minute, when.time.second));
    auto* weekdayRow = new QWidget;
    auto* weekdayLayout = new QHBoxLayout(weekdayRow);
    weekdayLayout->setContentsMargins(0, 0, 0, 0);
    for (int d = 0; d < 7; ++d) {
        auto* box = new QCheckBox(text(kWeekdayTexts[d]));
        box->setObjectName(QStringLiteral("weekday%1").arg(d));
        box->setChecked(when.repeat == Repeat::Weekdays ? (when.weekdays & (1u << d)) != 0 : d < 5);
        weekdays_.push_back(box);
        weekdayLayout->addWidget(box);
    }
    fromOn_->setChecked(when.from.has_value());
    if (when.from) {
        from_->setDate(toQDate(*when.from));
    }
    untilOn_->setChecked(when.until.has_value());
    if (when.until) {
        until_->setDate(toQDate(*when.until));
    }
    QStringList skipped;
    for (const CivilDate& d : when.skip) {
        skipped << qs(formatDate(d));
    }
    skip_->setPlainText(skipped.join(QLatin1Char('\n')));

    const ScheduleAction& act = entry.action;
    for (std::size_t i = 0; i < std::size(kActions); ++i) {
        if (kActions[i] == act.kind) {
            action_->setCurrentIndex(static_cast<int>(i));
        }
    }
    if (!act.file.empty()) {
        file_->setCurrentText(qs(act.file));
    }
    if (!act.templateName.empty()) {
        template_->setCurrentText(qs(act.templateName));
    }
    QStringList values;
    for (const auto& [field, value] : act.values) {
        values << qs(field + "=" + value);
    }
    values_->setPlainText(values.join(QLatin1Char('\n')));
    slot_->setCurrentIndex(act.kind == ScheduleActionKind::Startup ? act.startup.savedNumber
                                                                   : act.slot);
    display_->setChecked(act.display);
    powerOn_->setChecked(act.powerOn);
    if (const int c = clear_->findData(qs(act.clear)); c >= 0) {
        clear_->setCurrentIndex(c);
    }
    startupOff_->setChecked(act.kind == ScheduleActionKind::Startup && !act.startup.on);
    startupMinutes_->setValue(act.startup.on ? act.startup.displayTime : 5);

    const ScheduleTarget& to = entry.target;
    if (to.kind == ScheduleTarget::Kind::Group) {
        target_->setCurrentIndex(std::max(0, target_->findData(qs(to.group))));
    } else if (to.kind == ScheduleTarget::Kind::Projectors && !to.projectors.empty()) {
        target_->setCurrentIndex(std::max(0, target_->findData(qs(to.projectors.front()))));
    }

    // What each choice of What needs.
    auto* sendPage = new QWidget;
    auto* sendForm = new QFormLayout(sendPage);
    sendForm->addRow(text(Text::ScheduleFile), file_);
    sendForm->addRow(text(Text::ScheduleTemplate), template_);
    sendForm->addRow(text(Text::ScheduleValues), values_);
    actionPages_->addWidget(sendPage);
    auto* clearPage = new QWidget;
    auto* clearForm = new QFormLayout(clearPage);
    clearForm->addRow(text(Text::ScheduleClearWhat), clear_);
    actionPages_->addWidget(clearPage);
    auto* startupPage = new QWidget;
    auto* startupForm = new QFormLayout(startupPage);
    startupForm->addRow(text(Text::ScheduleMinutes), startupMinutes_);
    startupForm->addRow(startupOff_);
    actionPages_->addWidget(startupPage);
    actionPages_->addWidget(new QWidget);

    auto* form = new QFormLayout;
    form->addRow(text(Text::ScheduleName), name_);
    form->addRow(text(Text::ScheduleRepeat), repeat_);
    form->addRow(text(Text::ScheduleDate), date_);
    form->addRow(text(Text::ScheduleTime), time_);
    form->addRow(QString(), weekdayRow);
    form->addRow(row({fromOn_, from_, untilOn_, until_}));
    form->addRow(text(Text::ScheduleSkip), skip_);
    form->addRow(text(Text::ScheduleAction), action_);
    form->addRow(text(Text::ScheduleSlot), row({slot_, display_, powerOn_}));
    form->addRow(actionPages_);
    form->addRow(text(Text::ScheduleTarget), target_);
    problem_->setObjectName(QStringLiteral("problem"));
    problem_->setWordWrap(true);
    problem_->setStyleSheet(QStringLiteral("color: #b00000"));

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(problem_);
    layout->addWidget(addOkCancelButtons(*this));

    name_->setObjectName(QStringLiteral("name"));
    repeat_->setObjectName(QStringLiteral("repeat"));
    date_->setObjectName(QStringLiteral("date"));
    time_->setObjectName(QStringLiteral("time"));
    action_->setObjectName(QStringLiteral("action"));
    file_->setObjectName(QStringLiteral("file"));
    template_->setObjectName(QStringLiteral("template"));
    values_->setObjectName(QStringLiteral("values"));
    slot_->setObjectName(QStringLiteral("slot"));
    clear_->setObjectName(QStringLiteral("clear"));
    target_->setObjectName(QStringLiteral("target"));
    skip_->setObjectName(QStringLiteral("skip"));
    nameControl(name_, text(Text::ScheduleName));
    nameControl(repeat_, text(Text::ScheduleRepeat));
    nameControl(date_, text(Text::ScheduleDate));
    nameControl(time_, text(Text::ScheduleTime));
    nameControl(from_, text(Text::ScheduleFrom));
    nameControl(until_, text(Text::ScheduleUntil));
    nameControl(skip_, text(Text::ScheduleSkip));
    nameControl(action_, text(Text::ScheduleAction));
    nameControl(file_, text(Text::ScheduleFile));
    nameControl(template_, text(Text::ScheduleTemplate));
    nameControl(values_, text(Text::ScheduleValues));
    nameControl(slot_, text(Text::ScheduleSlot));
    nameControl(clear_, text(Text::ScheduleClearWhat));
    nameControl(startupMinutes_, text(Text::ScheduleMinutes));
    nameControl(target_, text(Text::ScheduleTarget));

    // Enabling follows the choices, whichever way they are made.
    connect(repeat_, &QComboBox::currentIndexChanged, this, [this] { updateEnabling(); });
    connect(action_, &QComboBox::currentIndexChanged, this, [this] { updateEnabling(); });
    connect(fromOn_, &QCheckBox::toggled, this, [this] { updateEnabling(); });
    connect(untilOn_, &QCheckBox::toggled, this, [this] { updateEnabling(); });
    connect(startupOff_, &QCheckBox::toggled, this, [this] { updateEnabling(); });
    updateEnabling();
}

void ScheduleEntryDialog::updateEnabling() {
    const auto repeat = static_cast<Repeat>(repeat_->currentIndex());
    date_->setEnabled(repeat == Repeat::Once);
    for (QCheckBox* box : weekdays_) {
        box->setEnabled(repeat == Repeat::Weekdays);
    }
    from_->setEnabled(fromOn_->isChecked());
    until_->setEnabled(untilOn_->isChecked());
    const ScheduleActionKind kind = kActions[std::max(0, action_->currentIndex())];
    const bool send =
        kind == ScheduleActionKind::SendFile || kind == ScheduleActionKind::SendTemplate;
    file_->setEnabled(kind == ScheduleActionKind::SendFile);
    template_->setEnabled(kind == ScheduleActionKind::SendTemplate);
    values_->setEnabled(kind == ScheduleActionKind::SendTemplate);
    slot_->setEnabled(send || kind == ScheduleActionKind::Show ||
                      kind == ScheduleActionKind::Hide ||
                      (kind == ScheduleActionKind::Startup && !startupOff_->isChecked()));
    display_->setEnabled(send);
    powerOn_->setEnabled(kind == ScheduleActionKind::Show);
    startupMinutes_->setEnabled(!startupOff_->isChecked());
    actionPages_->setCurrentIndex(send                                  ? 0
                                  : kind == ScheduleActionKind::Clear   ? 1
                                  : kind == ScheduleActionKind::Startup ? 2
                                                                        : 3);
}

ScheduleEntry ScheduleEntryDialog::entry() const {
    ScheduleEntry e;
    e.name = utf8(name_->text().trimmed());
    e.enabled = enabled_;
    ScheduleWhen& when = e.when;
    when.repeat = static_cast<Repeat>(repeat_->currentIndex());
    when.date = fromQDate(date_->date());
    const QTime t = time_->time();
    when.time = {t.hour(), t.minute(), t.second()};
    for (int d = 0; d < 7; ++d) {
        if (weekdays_[static_cast<std::size_t>(d)]->isChecked()) {
            when.weekdays |= 1u << d;
        }
    }
    if (when.repeat != Repeat::Weekdays) {
        when.weekdays = 0;
    }
    if (fromOn_->isChecked()) {
        when.from = fromQDate(from_->date());
    }
    if (untilOn_->isChecked()) {
        when.until = fromQDate(until_->date());
    }
    for (const QString& line : skip_->toPlainText().split(QLatin1Char('\n'))) {
        if (const auto d = parseDate(utf8(line.trimmed()))) {
            when.skip.push_back(*d);
        }
    }
    std::sort(when.skip.begin(), when.skip.end());
    when.skip.erase(std::unique(when.skip.begin(), when.skip.end()), when.skip.end());

    ScheduleAction& act = e.action;
    act.kind = kActions[std::max(0, action_->currentIndex())];
    const int slot = slot_->currentIndex();
    switch (act.kind) {
        case ScheduleActionKind::SendFile:
        case ScheduleActionKind::SendTemplate:
            act.slot = slot;
            act.display = display_->isChecked();
            if (act.kind == ScheduleActionKind::SendFile) {
                act.file = utf8(file_->currentText().trimmed());
            } else {
                act.templateName = utf8(template_->currentText().trimmed());
                for (const QString& line : values_->toPlainText().split(QLatin1Char('\n'))) {
                    if (const auto pair = parseAssignment(utf8(line.trimmed()))) {
                        act.values.push_back(pair.value());
                    }
                }
            }
            break;
        case ScheduleActionKind::Show:
        case ScheduleActionKind::Hide:
            act.slot = slot;
            act.powerOn = act.kind == ScheduleActionKind::Show && powerOn_->isChecked();
            break;
        case ScheduleActionKind::Clear:
            act.clear = utf8(clear_->currentData().toString());
            break;
        case ScheduleActionKind::Mute:
            break;
        case ScheduleActionKind::Startup:
            if (!startupOff_->isChecked()) {
                act.startup = {true, slot, startupMinutes_->value()};
            }
            break;
    }

    const QVariant chosen = target_->currentData();
    if (target_->currentIndex() <= 0 || !chosen.isValid()) {
        e.target.kind = ScheduleTarget::Kind::AllRegistered;
    } else if (parseAddress(utf8(chosen.toString()))) {
        e.target.kind = ScheduleTarget::Kind::Projectors;
        e.target.projectors = {utf8(chosen.toString())};
    } else {
        e.target.kind = ScheduleTarget::Kind::Group;
        e.target.group = utf8(chosen.toString());
    }
    return e;
}

void ScheduleEntryDialog::accept() {
    const std::string problem = entryProblem(entry());
    problem_->setText(qs(problem));
    if (problem.empty()) {
        QDialog::accept();
    }
}

}  // namespace orvanta
