#include "GlyphArt.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <algorithm>

#include "message/WidthTables.h"

namespace orvanta::glyphgen {

namespace {

constexpr int kPixelSize = 17;
constexpr int kBaseline = 18;  // leaves the descenders rows 19..22 and row 23 as paper

// Any pixel that is not white paper becomes ink, so no grey survives a scaled outline.
QImage toInkAndPaper(const QImage& drawn) {
    QImage out(drawn.size(), QImage::Format_Mono);
    out.setColor(0, qRgb(0, 0, 0));
    out.setColor(1, qRgb(255, 255, 255));
    for (int y = 0; y < drawn.height(); ++y) {
        for (int x = 0; x < drawn.width(); ++x) {
            const QRgb p = drawn.pixel(x, y);
            const bool ink = qGray(p) < 160 && y < kGlyphHeight - 1;
            out.setPixel(x, y, ink ? 0 : 1);
        }
    }
    return out;
}

}  // namespace

QImage drawGlyph(int code, const QString& family) {
    const int width = narrowCharacterWidth(static_cast<char16_t>(code));
    QImage canvas(std::max(width, 1), kGlyphHeight, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    const bool printable = code >= 0x20 && code != 0x7F && !(code >= 0x80 && code < 0xA0);
    if (printable && code != 0x20 && code != 0xA0) {
        QFont font(family);
        font.setPixelSize(kPixelSize);
        font.setStyleStrategy(QFont::NoAntialias);
        font.setHintingPreference(QFont::PreferFullHinting);
        const QString ch(QChar(static_cast<char16_t>(code)));
        const QFontMetricsF metrics(font);
        const QRectF ink = metrics.tightBoundingRect(ch);
        // One column of the cell stays paper so neighbouring glyphs never touch; a glyph wider
        // than the rest is narrowed to fit instead of being cut.
        const double room = std::max(1, width - 1);
        const double scale = ink.width() > room ? room / ink.width() : 1.0;
        QPainter painter(&canvas);
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setRenderHint(QPainter::TextAntialiasing, false);
        painter.setFont(font);
        painter.setPen(Qt::black);
        const double left = (room - ink.width() * scale) / 2.0;
        painter.translate(left, 0);
        painter.scale(scale, 1.0);
        painter.drawText(QPointF(-ink.left(), kBaseline), ch);
    }
    return toInkAndPaper(canvas);
}

QImage drawIcon(int icon) {
    QImage img(kIconSize, kIconSize, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, true);
    const QRectF disc(1.5, 1.5, 21, 21);
    QFont mark(QStringLiteral("DejaVu Sans"));
    mark.setBold(true);
    mark.setPixelSize(17);
    auto centredMark = [&](const QString& text, const QColor& color) {
        p.setFont(mark);
        p.setPen(color);
        p.drawText(QRectF(0, 1, kIconSize, kIconSize), Qt::AlignCenter, text);
    };
    switch (icon) {
        case 1: {  // Warning: a red stop sign with a white bar
            QPolygonF octagon;
            for (const auto& [x, y] : {std::pair{8.0, 1.0},
                                       {16.0, 1.0},
                                       {23.0, 8.0},
                                       {23.0, 16.0},
                                       {16.0, 23.0},
                                       {8.0, 23.0},
                                       {1.0, 16.0},
                                       {1.0, 8.0}}) {
                octagon << QPointF(x, y);
            }
            p.setPen(QPen(QColor(120, 0, 0), 1));
            p.setBrush(QColor(220, 0, 0));
            p.drawPolygon(octagon);
            p.setPen(Qt::NoPen);
            p.setBrush(Qt::white);
            p.drawRect(QRectF(5, 10, 14, 4));
            break;
        }
        case 2: {  // Attention: a yellow triangle with an exclamation mark
            QPolygonF triangle;
            triangle << QPointF(12, 1) << QPointF(23, 22) << QPointF(1, 22);
            p.setPen(QPen(Qt::black, 1.5));
            p.setBrush(QColor(255, 210, 0));
            p.drawPolygon(triangle);
            p.setPen(Qt::NoPen);
            p.setBrush(Qt::black);
            p.drawRect(QRectF(10.5, 7, 3, 8));
            p.drawRect(QRectF(10.5, 17, 3, 3));
            break;
        }
        case 3:  // Question: a blue disc with a question mark
            p.setPen(QPen(QColor(0, 40, 140), 1));
            p.setBrush(QColor(30, 90, 220));
            p.drawEllipse(disc);
            centredMark(QStringLiteral("?"), Qt::white);
            break;
        case 4:  // Contact: a teal disc with an "i", the sign for information
            p.setPen(QPen(QColor(0, 80, 80), 1));
            p.setBrush(QColor(0, 150, 150));
            p.drawEllipse(disc);
            centredMark(QStringLiteral("i"), Qt::white);
            break;
        case 5: {  // Clip: a paper clip, two nested loops of wire
            QPainterPath wire;
            wire.moveTo(15, 6);
            wire.lineTo(15, 17);
            wire.arcTo(QRectF(9, 14, 6, 6), 0, -180);
            wire.lineTo(9, 4);
            wire.arcTo(QRectF(9, 1, 9, 7), 180, -180);
            wire.lineTo(18, 19);
            wire.arcTo(QRectF(6, 14, 12, 9), 0, -180);
            wire.lineTo(6, 8);
            p.setPen(QPen(QColor(70, 70, 80), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.setBrush(Qt::NoBrush);
            p.translate(0, 0);
            p.drawPath(wire);
            break;
        }
        default:
            break;
    }
    return img;
}

}  // namespace orvanta::glyphgen
