#include "ui/common/Accessibility.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

namespace orvanta {

QString accessibleCaption(const QString& caption) {
    QString plain = caption;
    plain.remove(QLatin1Char('&'));
    plain = plain.simplified();
    while (plain.endsWith(QLatin1Char(':')) || plain.endsWith(QChar(0xFF1A))) {
        plain.chop(1);
        plain = plain.trimmed();
    }
    return plain;
}

void nameControl(QWidget* control, const QString& caption) {
    const QString name = accessibleCaption(caption);
    control->setAccessibleName(name);
    if (auto* combo = qobject_cast<QComboBox*>(control);
        combo != nullptr && combo->lineEdit() != nullptr) {
        combo->lineEdit()->setAccessibleName(name);
    }
}

void showLiveValue(QLabel* field, const QString& caption, const QString& value) {
    field->setText(value);
    // setAccessibleName tells assistive technology that the name changed.
    field->setAccessibleName(accessibleCaption(caption) + QStringLiteral(": ") + value);
}

void showStatusLine(QLabel* label, const QString& line) {
    label->setText(line);
    label->setAccessibleName(line);
}

}  // namespace orvanta
