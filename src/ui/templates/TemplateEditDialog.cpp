#include "ui/templates/TemplateEditDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "text/LanguageText.h"
#include "text/Prompt.h"
#include "ui/common/Accessibility.h"
#include "ui/common/UiText.h"

namespace orvanta {

namespace {

enum Column { kName, kLabel, kKind, kLimit, kChoices, kDefault, kRequired, kColumns };

constexpr Text kColumnTexts[kColumns] = {Text::TemplateColumnField,   Text::TemplateColumnLabel,
                                         Text::TemplateColumnKind,    Text::TemplateColumnLimit,
                                         Text::TemplateColumnChoices, Text::TemplateColumnDefault,
                                         Text::TemplateColumnRequired};

constexpr FieldKind kKinds[] = {FieldKind::Text, FieldKind::Choice, FieldKind::Time,
                                FieldKind::Date};
constexpr Text kKindTexts[] = {Text::TemplateKindText, Text::TemplateKindChoice,
                               Text::TemplateKindTime, Text::TemplateKindDate};

// Choices are typed on one line, separated by '|'.
std::vector<std::string> splitChoices(const QString& line) {
    std::vector<std::string> out;
    for (const QString& part : line.split(QLatin1Char('|'), Qt::SkipEmptyParts)) {
        if (const QString trimmed = part.trimmed(); !trimmed.isEmpty()) {
            out.push_back(utf8(trimmed));
        }
    }
    return out;
}

QString joinChoices(const std::vector<std::string>& choices) {
    QStringList parts;
    for (const std::string& c : choices) {
        parts << qs(c);
    }
    return parts.join(QStringLiteral(" | "));
}

}  // namespace

TemplateEditDialog::TemplateEditDialog(Message message, std::string templatesFolder, Prompt& prompt,
                                       QWidget* parent)
    : QDialog(parent),
      message_(std::move(message)),
      folder_(std::move(templatesFolder)),
      prompt_(prompt) {
    setObjectName(QStringLiteral("templateEditDialog"));
    setWindowTitle(text(Text::TemplateEditCaption));

    name_ = new QLineEdit(this);
    name_->setObjectName(QStringLiteral("templateName"));
    name_->setMaxLength(static_cast<int>(kMaxTemplateNameBytes));
    auto* nameLabel = new QLabel(text(Text::TemplateNameLabel), this);
    nameLabel->setBuddy(name_);
    nameControl(name_, text(Text::TemplateNameLabel));

    fields_ = new QTableWidget(0, kColumns, this);
    fields_->setObjectName(QStringLiteral("templateFields"));
    QStringList headers;
    for (Text t : kColumnTexts) {
        headers << text(t);
    }
    fields_->setHorizontalHeaderLabels(headers);
    fields_->horizontalHeader()->setStretchLastSection(false);
    fields_->setTabKeyNavigation(false);
    auto* fieldsLabel = new QLabel(text(Text::TemplateFieldsLabel), this);
    fieldsLabel->setBuddy(fields_);
    nameControl(fields_, text(Text::TemplateFieldsLabel));

    auto* add = new QPushButton(text(Text::TemplateAddField), this);
    add->setObjectName(QStringLiteral("templateAddField"));
    auto* remove = new QPushButton(text(Text::TemplateRemoveField), this);
    remove->setObjectName(QStringLiteral("templateRemoveField"));
    connect(add, &QPushButton::clicked, this, [this] {
        addRow(TemplateField{});
        fields_->setCurrentCell(fields_->rowCount() - 1, kName);
    });
    connect(remove, &QPushButton::clicked, this, [this] {
        if (fields_->currentRow() >= 0) {
            fields_->removeRow(fields_->currentRow());
        }
    });
    // Removing follows whether a row is chosen, whatever chose it.
    remove->setEnabled(false);
    connect(fields_, &QTableWidget::currentCellChanged, remove,
            [remove](int row) { remove->setEnabled(row >= 0); });

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    QPushButton* save =
        buttons->addButton(text(Text::TemplateSaveButton), QDialogButtonBox::AcceptRole);
    save->setObjectName(QStringLiteral("templateSave"));
    connect(save, &QPushButton::clicked, this, [this] {
        if (this->save()) {
            accept();
        }
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(name_, &QLineEdit::editingFinished, this, &TemplateEditDialog::loadFields);

    auto* form = new QFormLayout;
    form->addRow(nameLabel, name_);
    auto* rowButtons = new QHBoxLayout;
    rowButtons->addWidget(add);
    rowButtons->addWidget(remove);
    rowButtons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(fieldsLabel);
    layout->addWidget(fields_);
    layout->addLayout(rowButtons);
    layout->addWidget(buttons);
    resize(820, 360);
    loadFields();
}

void TemplateEditDialog::addRow(const TemplateField& field) {
    const int row = fields_->rowCount();
    fields_->insertRow(row);
    fields_->setItem(row, kName, new QTableWidgetItem(qs(field.name)));
    fields_->setItem(row, kLabel, new QTableWidgetItem(qs(field.label)));
    auto* kind = new QComboBox(fields_);
    for (std::size_t i = 0; i < std::size(kKinds); ++i) {
        kind->addItem(text(kKindTexts[i]));
        if (kKinds[i] == field.kind) {
            kind->setCurrentIndex(static_cast<int>(i));
        }
    }
    nameControl(kind, text(Text::TemplateColumnKind));
    fields_->setCellWidget(row, kKind, kind);
    auto* limit = new QSpinBox(fields_);
    limit->setRange(1, kMaxFieldLength);
    limit->setValue(field.maxLength);
    nameControl(limit, text(Text::TemplateColumnLimit));
    fields_->setCellWidget(row, kLimit, limit);
    fields_->setItem(row, kChoices, new QTableWidgetItem(joinChoices(field.choices)));
    fields_->setItem(row, kDefault, new QTableWidgetItem(qs(field.defaultValue)));
    auto* required = new QCheckBox(fields_);
    required->setChecked(field.required);
    nameControl(required, text(Text::TemplateColumnRequired));
    fields_->setCellWidget(row, kRequired, required);
    // What does not apply to the kind is disabled, following the kind however it was chosen.
    const auto apply = [limit, fields = fields_, row](int index) {
        limit->setEnabled(kKinds[index] == FieldKind::Text);
        if (QTableWidgetItem* choices = fields->item(row, kChoices)) {
            choices->setFlags(kKinds[index] == FieldKind::Choice
                                  ? choices->flags() | Qt::ItemIsEnabled | Qt::ItemIsEditable
                                  : choices->flags() & ~Qt::ItemIsEnabled);
        }
    };
    connect(kind, &QComboBox::currentIndexChanged, this, apply);
    apply(kind->currentIndex());
}

void TemplateEditDialog::loadFields() {
    std::vector<TemplateField> fields;
    if (auto existing = loadTemplate(folder_, utf8(name_->text())); existing) {
        fields = existing.value().fields;
    }
    const MessageTemplate probe{{}, {}, message_};
    for (const std::string& used : placeholderNames(probe)) {
        const bool known = std::any_of(fields.begin(), fields.end(),
                                       [&](const TemplateField& f) { return f.name == used; });
        if (!known && !isBuiltinField(used)) {
            TemplateField field;
            field.name = used;
            field.label = used;
            fields.push_back(field);
        }
    }
    // Rows typed by hand stay; only the names not shown yet are added.
    for (const TemplateField& field : fields) {
        bool shown = false;
        for (int row = 0; row < fields_->rowCount(); ++row) {
            shown = shown || (fields_->item(row, kName) != nullptr &&
                              utf8(fields_->item(row, kName)->text()) == field.name);
        }
        if (!shown) {
            addRow(field);
        }
    }
}

MessageTemplate TemplateEditDialog::currentTemplate() const {
    MessageTemplate t;
    t.name = utf8(name_->text());
    t.message = message_;
    for (int row = 0; row < fields_->rowCount(); ++row) {
        TemplateField f;
        const auto cell = [&](int column) {
            const QTableWidgetItem* item = fields_->item(row, column);
            return item != nullptr ? item->text().trimmed() : QString();
        };
        f.name = utf8(cell(kName));
        f.label = utf8(cell(kLabel));
        f.kind = kKinds[qobject_cast<QComboBox*>(fields_->cellWidget(row, kKind))->currentIndex()];
        f.maxLength = qobject_cast<QSpinBox*>(fields_->cellWidget(row, kLimit))->value();
        if (f.kind == FieldKind::Choice) {
            f.choices = splitChoices(cell(kChoices));
        }
        f.defaultValue = utf8(cell(kDefault));
        f.required = qobject_cast<QCheckBox*>(fields_->cellWidget(row, kRequired))->isChecked();
        t.fields.push_back(std::move(f));
    }
    return t;
}

bool TemplateEditDialog::save() {
    const MessageTemplate t = currentTemplate();
    if (auto valid = checkTemplate(t); !valid) {
        prompt_.inform(valid.error(), PromptIcon::Information);
        return false;
    }
    const auto existing = loadTemplate(folder_, t.name);
    const bool exists = existing.ok() || existing.reason().kind != TemplateProblemKind::NotFound;
    if (exists && prompt_.ask(languageText(Text::TemplateReplace), PromptButtons::YesNo) !=
                      PromptAnswer::Yes) {
        return false;
    }
    if (auto saved = saveTemplate(folder_, t); !saved) {
        prompt_.inform(saved.error(), PromptIcon::Error);
        return false;
    }
    return true;
}

}  // namespace orvanta
