#include "ui/edit/UnsupportedCharactersDialog.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/common/UiText.h"

namespace orvanta {

UnsupportedCharactersDialog::UnsupportedCharactersDialog(const QString& listText, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("notSupportedDialog"));
    setWindowTitle(text(Text::NotSupportedCaption));
    auto* list = new QPlainTextEdit(this);
    list->setObjectName(QStringLiteral("unsupportedList"));
    list->setAccessibleName(text(Text::NotSupportedCaption));
    list->setReadOnly(true);
    list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QString shown = listText;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    list->setPlainText(shown);
    auto* autoDel = new QPushButton(text(Text::AutoDelButton), this);
    autoDel->setObjectName(QStringLiteral("autoDelButton"));
    autoDel->setAccessibleName(text(Text::AutoDelButton));
    autoDel->setAutoDefault(false);
    auto* ok = new QPushButton(text(Text::OkButton), this);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setAccessibleName(text(Text::OkButton));
    ok->setAutoDefault(false);
    connect(autoDel, &QPushButton::clicked, this, [this] {
        result_ = Result::Delete;
        closing_ = true;
        done(QDialog::Accepted);
    });
    connect(ok, &QPushButton::clicked, this, [this] {
        result_ = Result::Keep;
        closing_ = true;
        done(QDialog::Accepted);
    });
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(autoDel);
    buttons->addWidget(ok);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list);
    layout->addLayout(buttons);
}

UnsupportedCharactersDialog::Result UnsupportedCharactersDialog::run(const QString& listText,
                                                                     QWidget* parent) {
    UnsupportedCharactersDialog dialog(listText, parent);
    dialog.exec();
    return dialog.choice();
}

void UnsupportedCharactersDialog::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape:
            event->accept();
            return;
        default:
            QDialog::keyPressEvent(event);
    }
}

void UnsupportedCharactersDialog::reject() {
    // Escape and the window's close button leave the dialog open; only its buttons end it.
    if (closing_) {
        QDialog::reject();
    }
}

}  // namespace orvanta
