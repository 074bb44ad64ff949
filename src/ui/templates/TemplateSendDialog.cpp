#include "ui/templates/TemplateSendDialog.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QTimeEdit>
#include <QVBoxLayout>

#include "commands/TemplateSend.h"
#include "message/Payload.h"
#include "render/PreviewPlayer.h"
#include "text/LanguageText.h"
#include "ui/common/Accessibility.h"
#include "ui/common/BackgroundTask.h"
#include "ui/common/MainState.h"
#include "ui/common/UiText.h"
#include "ui/groups/SendToChoice.h"
#include "ui/models/ProjectorRegistryModel.h"

namespace orvanta {

namespace {

// What a send is measured against before the projector has told its kind: the narrow
// character set where the values allow it (the one the preview draws), else the wide one.
constexpr ProjectorCapabilities kNarrow{4, 0x3u};
constexpr ProjectorCapabilities kWide{4, 0x7u};

QString fieldCaption(const TemplateField& field) {
    return qs(field.label.empty() ? field.name : field.label) + QStringLiteral(":");
}

QWidget* inputFor(const TemplateField& field, QWidget* parent) {
    QWidget* input = nullptr;
    switch (field.kind) {
        case FieldKind::Text: {
            auto* line = new QLineEdit(qs(field.defaultValue), parent);
            line->setMaxLength(field.maxLength);
            input = line;
            break;
        }
        case FieldKind::Choice: {
            auto* list = new QComboBox(parent);
            if (!field.required) {
                list->addItem(QString());
            }
            for (const std::string& choice : field.choices) {
                list->addItem(qs(choice));
            }
            list->setCurrentText(qs(field.defaultValue));
            input = list;
            break;
        }
        case FieldKind::Time: {
            auto* time = new QTimeEdit(parent);
            time->setDisplayFormat(QStringLiteral("HH:mm"));
            const QTime given = QTime::fromString(qs(field.defaultValue), QStringLiteral("HH:mm"));
            time->setTime(given.isValid() ? given : QTime::currentTime());
            input = time;
            break;
        }
        case FieldKind::Date: {
            auto* date = new QDateEdit(parent);
            date->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
            date->setCalendarPopup(true);
            const QDate given = QDate::fromString(qs(field.defaultValue), Qt::ISODate);
            date->setDate(given.isValid() ? given : QDate::currentDate());
            input = date;
            break;
        }
    }
    input->setObjectName(QStringLiteral("field_") + qs(field.name));
    nameControl(input, fieldCaption(field));
    return input;
}

std::string valueOf(const QWidget* input) {
    if (const auto* line = qobject_cast<const QLineEdit*>(input)) {
        return utf8(line->text());
    }
    if (const auto* list = qobject_cast<const QComboBox*>(input)) {
        return utf8(list->currentText());
    }
    if (const auto* time = qobject_cast<const QTimeEdit*>(input)) {
        return utf8(time->time().toString(QStringLiteral("HH:mm")));
    }
    if (const auto* date = qobject_cast<const QDateEdit*>(input)) {
        return utf8(date->date().toString(Qt::ISODate));
    }
    return {};
}

}  // namespace

TemplateSendDialog::TemplateSendDialog(PageContext context, QWidget* parent)
    : QDialog(parent),
      context_(context),
      filled_(fail(TemplateProblem{TemplateProblemKind::NotFound, {}},
                   languageText(Text::TemplateNoTemplates))) {
    setObjectName(QStringLiteral("templateSendDialog"));
    setWindowTitle(text(Text::TemplateSendCaption));

    const TemplateSet set = loadTemplates(prepareTemplatesFolder(context_.state.programFolder));
    templates_ = set.templates;

    templateList_ = new QComboBox(this);
    templateList_->setObjectName(QStringLiteral("templateList"));
    for (const MessageTemplate& t : templates_) {
        templateList_->addItem(qs(t.name));
    }
    auto* templateLabel = new QLabel(text(Text::TemplateChoice), this);
    templateLabel->setBuddy(templateList_);
    nameControl(templateList_, text(Text::TemplateChoice));

    projector_ = new QComboBox(this);
    projector_->setObjectName(QStringLiteral("templateProjector"));
    bindProjectorCombo(*projector_, context_.projectors);
    const int wanted = context_.state.currentProjector;
    projector_->setCurrentIndex(wanted >= 0 && wanted < projector_->count() ? wanted
                                : projector_->count() > 0                   ? 0
                                                                            : -1);
    auto* projectorLabel = new QLabel(text(Text::TemplatePreviewFor), this);
    projectorLabel->setBuddy(projector_);
    nameControl(projector_, text(Text::TemplatePreviewFor));

    sendTo_ = new SendToChoice(context_.state.programFolder, this);
    auto* sendToLabel = new QLabel(text(Text::MainSendTo), this);
    sendToLabel->setBuddy(sendTo_);

    slot_ = new QComboBox(this);
    slot_->setObjectName(QStringLiteral("templateSlot"));
    slot_->addItem(text(Text::SlotQuick));
    for (int i = 1; i <= 12; ++i) {
        slot_->addItem(QString::number(i));
    }
    auto* slotLabel = new QLabel(text(Text::TemplateSavedNumber), this);
    slotLabel->setBuddy(slot_);
    nameControl(slot_, text(Text::TemplateSavedNumber));

    auto* top = new QFormLayout;
    top->addRow(templateLabel, templateList_);
    form_ = new QFormLayout;
    auto* bottom = new QFormLayout;
    bottom->addRow(projectorLabel, projector_);
    bottom->addRow(sendToLabel, sendTo_);
    bottom->addRow(slotLabel, slot_);

    measure_ = new QLabel(this);
    measure_->setObjectName(QStringLiteral("templateMeasure"));
    problem_ = new QLabel(this);
    problem_->setObjectName(QStringLiteral("templateProblem"));
    problem_->setWordWrap(true);
    preview_ = new QLabel(this);
    preview_->setObjectName(QStringLiteral("templatePreview"));
    preview_->setAccessibleName(text(Text::TemplatePreviewCaption));
    preview_->setMinimumSize(370, 300);
    preview_->setAlignment(Qt::AlignCenter);
    preview_->setWordWrap(true);

    auto* buttons = new QDialogButtonBox(this);
    send_ = buttons->addButton(text(Text::TemplateSendButton), QDialogButtonBox::AcceptRole);
    send_->setObjectName(QStringLiteral("templateSendButton"));
    send_->setDefault(true);
    QPushButton* close =
        buttons->addButton(text(Text::TemplateCloseButton), QDialogButtonBox::RejectRole);
    close->setObjectName(QStringLiteral("templateCloseButton"));
    connect(send_, &QPushButton::clicked, this, &TemplateSendDialog::send);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);

    auto* left = new QVBoxLayout;
    left->addLayout(top);
    left->addLayout(form_);
    left->addLayout(bottom);
    left->addWidget(measure_);
    left->addWidget(problem_);
    left->addStretch();
    auto* columns = new QHBoxLayout;
    columns->addLayout(left, 1);
    columns->addWidget(preview_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns);
    layout->addWidget(buttons);

    previewTimer_.setSingleShot(true);
    previewTimer_.setInterval(150);
    connect(&previewTimer_, &QTimer::timeout, this, &TemplateSendDialog::renderPreview);
    connect(templateList_, &QComboBox::currentIndexChanged, this,
            &TemplateSendDialog::chooseTemplate);
    connect(projector_, &QComboBox::currentIndexChanged, this, &TemplateSendDialog::refresh);
    chooseTemplate(templateList_->currentIndex());
    templateList_->setFocus();
    if (!set.errors.empty()) {
        QString damaged;
        for (const TemplateFileError& e : set.errors) {
            damaged += qs(e.text) + QStringLiteral("\n");
        }
        showStatusLine(problem_, damaged.trimmed());
    }
}

void TemplateSendDialog::chooseTemplate(int index) {
    for (auto& [name, input] : inputs_) {
        form_->removeRow(input);
    }
    inputs_.clear();
    if (index >= 0 && index < static_cast<int>(templates_.size())) {
        QWidget* previous = templateList_;
        for (const TemplateField& field : templates_[static_cast<std::size_t>(index)].fields) {
            QWidget* input = inputFor(field, this);
            auto* label = new QLabel(fieldCaption(field), this);
            label->setBuddy(input);
            form_->addRow(label, input);
            inputs_.emplace_back(field.name, input);
            setTabOrder(previous, input);
            previous = input;
            if (auto* line = qobject_cast<QLineEdit*>(input)) {
                connect(line, &QLineEdit::textChanged, this, &TemplateSendDialog::refresh);
            } else if (auto* list = qobject_cast<QComboBox*>(input)) {
                connect(list, &QComboBox::currentTextChanged, this, &TemplateSendDialog::refresh);
            } else if (auto* time = qobject_cast<QTimeEdit*>(input)) {
                connect(time, &QTimeEdit::timeChanged, this, &TemplateSendDialog::refresh);
            } else if (auto* date = qobject_cast<QDateEdit*>(input)) {
                connect(date, &QDateEdit::dateChanged, this, &TemplateSendDialog::refresh);
            }
        }
        setTabOrder(previous, projector_);
    }
    refresh();
}

FieldValues TemplateSendDialog::values() const {
    FieldValues out;
    for (const auto& [name, input] : inputs_) {
        out[name] = valueOf(input);
    }
    return out;
}

SendFacts TemplateSendDialog::previewFacts() const {
    SendFacts facts;
    stampSendTime(facts);
    if (const ProjectorRecord* r = context_.projectors.record(projector_->currentIndex())) {
        facts.projectorName = r->name;
        facts.address = formatAddress(r->address);
    }
    return facts;
}

void TemplateSendDialog::refresh() {
    const int index = templateList_->currentIndex();
    if (index < 0 || index >= static_cast<int>(templates_.size())) {
        filled_ = fail(TemplateProblem{TemplateProblemKind::NotFound, {}},
                       languageText(Text::TemplateNoTemplates));
    } else {
        const MessageTemplate& tmpl = templates_[static_cast<std::size_t>(index)];
        const SendFacts facts = previewFacts();
        filled_ = fillTemplate(tmpl, values(), facts, kNarrow);
        if (!filled_) {
            // Characters only the wide set shows are for a projector of that kind to refuse.
            auto wide = fillTemplate(tmpl, values(), facts, kWide);
            if (wide) {
                filled_ = std::move(wide);
            }
        }
    }
    if (filled_) {
        const FilledMessage& f = filled_.value();
        showLiveValue(
            measure_, text(Text::TemplateMeasureCaption),
            textf(Text::TemplateMeasure, {static_cast<long long>(f.bodyBytes),
                                          static_cast<long long>(kMaxBodyBytes), f.displayLines}));
        showStatusLine(problem_, {});
    } else {
        measure_->clear();
        showStatusLine(problem_, qs(filled_.error()));
    }
    send_->setEnabled(filled_.ok());
    previewTimer_.start();
}

void TemplateSendDialog::renderPreview() {
    // Only the newest picture is shown: one still being drawn is dropped when it arrives.
    const unsigned generation = ++previewGeneration_;
    if (!filled_) {
        preview_->setPixmap({});
        preview_->clear();
        return;
    }
    const Message message = filled_.value().message;
    if (!fillTemplate(templates_[static_cast<std::size_t>(templateList_->currentIndex())], values(),
                      previewFacts(), kNarrow)) {
        preview_->setPixmap({});
        preview_->setText(text(Text::TemplatePreviewNarrowOnly));
        return;
    }
    // Reading the glyphs and playing to the first full page take a moment: on the pool.
    const QSize size = preview_->size();
    const Result<> queued = runInBackground(
        this,
        [message, folder = context_.state.programFolder, size] {
            render::PreviewPlayer player(
                render::makePreviewInput(message, render::kSynchronizeBackgroundsByDefault),
                render::GlyphSet::load(folder, message.icon), [] { return std::int64_t{0}; });
            // A still of the first page: the clock stands, so the page never moves on.
            player.playToFirstFullFrame(20000);
            return player.screen().scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        },
        [this, generation](const QImage& image) {
            if (generation == previewGeneration_) {
                preview_->setPixmap(QPixmap::fromImage(image));
            }
        });
    if (!queued) {
        preview_->setText(qs(queued.error()));
    }
}

void TemplateSendDialog::send() {
    if (!filled_) {
        return;
    }
    if (context_.state.readSendLock()) {
        context_.prompt.inform(languageText(Text::SendLocked));
        return;
    }
    std::vector<ManyProjectorTarget> targets;
    if (sendTo_->single()) {
        if (const ProjectorRecord* r = context_.projectors.record(projector_->currentIndex())) {
            targets.push_back({{r->address, r->password}, r->name, false});
        }
    } else {
        // Who the files name now: a projector removed meanwhile is not sent to.
        Recipients resolved = sendTo_->targets();
        if (!resolved) {
            context_.prompt.inform(resolved.error(), PromptIcon::Error);
            return;
        }
        targets = std::move(resolved).value();
    }
    if (targets.empty()) {
        context_.prompt.inform(languageText(Text::PleaseSelectProjector));
        return;
    }
    TemplateSend request = templateSendNow(
        templates_[static_cast<std::size_t>(templateList_->currentIndex())], values());
    request.slot = static_cast<std::uint8_t>(slot_->currentIndex());
    if (const QString choice = sendTo_->currentData().toString();
        choice.startsWith(QLatin1Char('='))) {
        request.group = utf8(choice.mid(1));
    }
    if (auto checked = checkTemplateSend(request, targets); !checked) {
        context_.prompt.inform(checked.error());
        return;
    }
    ManyProjectorOperation operation =
        templateSendOperation(std::make_shared<const TemplateSend>(std::move(request)), targets);
    openManyProjectorDialog(this, std::move(targets), std::move(operation),
                            std::make_shared<AnswerBook>(), context_.runner.timings(),
                            context_.history);
}

}  // namespace orvanta
