#include "ui/edit/PreviewDialog.h"

#include <QKeyEvent>
#include <QPainter>
#include <QString>

#include "ui/common/UiText.h"

namespace orvanta {

PreviewDialog::PreviewDialog(render::PreviewInput input, render::GlyphSet glyphs,
                             const std::string& scratchFolder, QWidget* parent,
                             render::SecondsClock clock)
    : QDialog(parent),
      player_(std::make_unique<render::PreviewPlayer>(std::move(input), std::move(glyphs),
                                                      std::move(clock), scratchFolder)) {
    setObjectName(QStringLiteral("previewDialog"));
    setWindowTitle(text(Text::ImageCaption));
    setAccessibleName(windowTitle());
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFixedSize(player_->layout().windowWidth, player_->layout().windowHeight);
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(player_->periodMs());
    connect(&timer_, &QTimer::timeout, this, &PreviewDialog::onTick);
}

void PreviewDialog::play(const Message& message, const ProjectorCapabilities& capabilities,
                         const std::string& programFolder, QWidget* parent, bool synchronize) {
    if (capabilities.extendedCharacterSet()) {
        return;
    }
    PreviewDialog dialog(render::makePreviewInput(message, synchronize),
                         render::GlyphSet::load(programFolder, message.icon), programFolder,
                         parent);
    dialog.exec();
}

void PreviewDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!player_->ended()) {
        timer_.start();
    }
}

void PreviewDialog::onTick() {
    const bool running = player_->tick();
    update();
    if (!running) {
        accept();
    }
}

void PreviewDialog::done(int result) {
    // Closing by any way stops the animation; the scratch files stay.
    timer_.stop();
    QDialog::done(result);
}

void PreviewDialog::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(QPoint(0, 0), player_->screen());
}

void PreviewDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        accept();
        return;
    }
    QDialog::keyPressEvent(event);  // Escape rejects
}

}  // namespace orvanta
