#include "render/Image.h"

#include <QByteArray>
#include <QFile>
#include <QImageWriter>
#include <QSaveFile>
#include <algorithm>

namespace orvanta::render {

namespace {

QRgb toQRgb(Rgb color) {
    return 0xFF000000u | (color & 0xFFFFFFu);
}

// Clips a copy of width x height from (sx, sy) in `sourceRect` to (dx, dy) in `targetRect`;
// false when nothing remains.
bool clipCopy(const QRect& targetRect, const QRect& sourceRect, int& dx, int& dy, int& width,
              int& height, int& sx, int& sy) {
    auto clipAxis = [](int& d, int& s, int& len, int dLimit, int sLimit) {
        if (d < 0) {
            s -= d;
            len += d;
            d = 0;
        }
        if (s < 0) {
            d -= s;
            len += s;
            s = 0;
        }
        len = std::min({len, dLimit - d, sLimit - s});
        return len > 0;
    };
    return clipAxis(dx, sx, width, targetRect.width(), sourceRect.width()) &&
           clipAxis(dy, sy, height, targetRect.height(), sourceRect.height());
}

}  // namespace

std::optional<QImage> loadImage(const std::string& path) {
    QImage image;
    if (!image.load(QString::fromStdString(path)) || image.isNull()) {
        return std::nullopt;
    }
    return image.convertToFormat(QImage::Format_RGB32);
}

QImage createImage(int width, int height) {
    QImage image(std::max(width, 1), std::max(height, 1), QImage::Format_RGB32);
    image.fill(0xFF000000u);
    return image;
}

Rgb pixelAt(const QImage& image, int x, int y) {
    if (!image.valid(x, y)) {
        return 0;
    }
    return image.pixel(x, y) & 0xFFFFFFu;
}

void setPixelAt(QImage& image, int x, int y, Rgb color) {
    if (image.valid(x, y)) {
        image.setPixel(x, y, toQRgb(color));
    }
}

void fillRect(QImage& target, int x, int y, int width, int height, Rgb color) {
    const QRect area = QRect(x, y, width, height).intersected(target.rect());
    if (area.isEmpty()) {
        return;
    }
    const QRgb value = toQRgb(color);
    for (int row = area.top(); row <= area.bottom(); ++row) {
        auto* line = reinterpret_cast<QRgb*>(target.scanLine(row));
        std::fill(line + area.left(), line + area.left() + area.width(), value);
    }
}

void copyRect(QImage& target, int dx, int dy, int width, int height, const QImage& source, int sx,
              int sy) {
    if (!clipCopy(target.rect(), source.rect(), dx, dy, width, height, sx, sy)) {
        return;
    }
    for (int row = 0; row < height; ++row) {
        const auto* from = reinterpret_cast<const QRgb*>(source.constScanLine(sy + row)) + sx;
        auto* to = reinterpret_cast<QRgb*>(target.scanLine(dy + row)) + dx;
        std::copy(from, from + width, to);
    }
}

namespace {

void stretch(QImage& target, int dx, int dy, const QImage& source, int factor,
             std::optional<Rgb> clear) {
    factor = std::max(factor, 1);
    for (int y = 0; y < source.height() * factor; ++y) {
        const int ty = dy + y;
        if (ty < 0 || ty >= target.height()) {
            continue;
        }
        const auto* from = reinterpret_cast<const QRgb*>(source.constScanLine(y / factor));
        auto* to = reinterpret_cast<QRgb*>(target.scanLine(ty));
        for (int x = 0; x < source.width() * factor; ++x) {
            const int tx = dx + x;
            const QRgb pixel = from[x / factor];
            if (tx >= 0 && tx < target.width() && (!clear || (pixel & 0xFFFFFFu) != *clear)) {
                to[tx] = pixel;
            }
        }
    }
}

}  // namespace

void stretchCopy(QImage& target, int dx, int dy, const QImage& source, int factor) {
    stretch(target, dx, dy, source, factor, std::nullopt);
}

void stretchCopyOver(QImage& target, int dx, int dy, const QImage& source, int factor, Rgb clear) {
    stretch(target, dx, dy, source, factor, clear & 0xFFFFFFu);
}

bool saveImage(const QImage& image, const std::string& path) {
    const QString name = QString::fromStdString(path);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const qsizetype slash = name.lastIndexOf(QLatin1Char('/'));
    if (dot < 0 || dot < slash) {
        return false;
    }
    const QByteArray format = name.mid(dot + 1).toLower().toLatin1();
    if (!QImageWriter::supportedImageFormats().contains(format)) {
        return false;
    }
    // The BMP writer keeps 24 bits per pixel for an RGB32 image; other formats take it as is.
    QSaveFile file(name);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    QImageWriter writer(&file, format);
    if (!writer.write(image.convertToFormat(QImage::Format_RGB32))) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

}  // namespace orvanta::render
