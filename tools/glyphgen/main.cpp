// orvanta-glyphgen: writes the projector glyphs (mfont/0x0020.bmp .. mfont/0x00ff.bmp) and the
// title icons (micon/BG_ICN_<name>.bmp) that the preview draws with.
//   orvanta-glyphgen --font FILE.ttf --out DIR [--sheet FILE.png]
// --sheet also writes an overview of everything, enlarged three times, to look at.

#include <QByteArray>
#include <QDir>
#include <QGuiApplication>
#include <QPainter>
#include <QSaveFile>
#include <QStringList>
#include <QtEndian>
#include <cstdio>
#include <string>

#include "GlyphArt.h"
#include "message/MessageOptions.h"

namespace {

void put16(QByteArray& out, int value) {
    const quint16 le = qToLittleEndian(static_cast<quint16>(value));
    out.append(reinterpret_cast<const char*>(&le), 2);
}

void put32(QByteArray& out, qint64 value) {
    const quint32 le = qToLittleEndian(static_cast<quint32>(value));
    out.append(reinterpret_cast<const char*>(&le), 4);
}

// Writes `image` as a BMP file: one bit a pixel (black, white) for a glyph, 24 bits for an
// icon. Written here rather than by the image library, whose writer leaves the padding at the
// end of each row as it finds it: drawing the same glyphs again must give the same files.
bool writeBitmap(const QImage& image, const QString& path) {
    const bool mono = image.format() == QImage::Format_Mono;
    const int bits = mono ? 1 : 24;
    const int rowBytes = (image.width() * bits + 31) / 32 * 4;
    const int paletteBytes = mono ? 8 : 0;
    const int offset = 14 + 40 + paletteBytes;
    QByteArray out;
    out.append("BM");
    put32(out, offset + static_cast<qint64>(rowBytes) * image.height());
    put32(out, 0);
    put32(out, offset);
    put32(out, 40);
    put32(out, image.width());
    put32(out, image.height());  // rows from the bottom up
    put16(out, 1);
    put16(out, bits);
    put32(out, 0);  // no compression
    put32(out, static_cast<qint64>(rowBytes) * image.height());
    put32(out, 3780);  // 96 dots an inch
    put32(out, 3780);
    put32(out, mono ? 2 : 0);
    put32(out, mono ? 2 : 0);
    if (mono) {
        put32(out, 0x000000);
        put32(out, 0xFFFFFF);
    }
    for (int y = image.height() - 1; y >= 0; --y) {
        QByteArray row(rowBytes, '\0');
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            if (mono) {
                if ((p & 0xFFFFFFu) != 0) {
                    row[x / 8] = static_cast<char>(row[x / 8] | (0x80 >> (x % 8)));
                }
            } else {
                row[x * 3] = static_cast<char>(qBlue(p));
                row[x * 3 + 1] = static_cast<char>(qGreen(p));
                row[x * 3 + 2] = static_cast<char>(qRed(p));
            }
        }
        out.append(row);
    }
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(out) == out.size() && file.commit();
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = QGuiApplication::arguments();
    const qsizetype fontAt = args.indexOf(QStringLiteral("--font"));
    const qsizetype outAt = args.indexOf(QStringLiteral("--out"));
    if (fontAt < 0 || outAt < 0 || fontAt + 1 >= args.size() || outAt + 1 >= args.size()) {
        std::fprintf(stderr,
                     "usage: orvanta-glyphgen --font FILE.ttf --out DIR [--sheet FILE.png]\n");
        return 2;
    }
    const auto font = orvanta::glyphgen::GlyphFont::open(args[fontAt + 1].toStdString());
    if (!font) {
        std::fprintf(stderr, "cannot read the font file %s\n", qPrintable(args[fontAt + 1]));
        return 1;
    }
    const QDir out(args[outAt + 1]);
    if (!out.mkpath(QStringLiteral("mfont")) || !out.mkpath(QStringLiteral("micon"))) {
        std::fprintf(stderr, "cannot create the folders under %s\n", qPrintable(out.path()));
        return 1;
    }
    for (int code = 0x20; code <= 0xFF; ++code) {
        const QString name = QStringLiteral("mfont/0x00%1.bmp").arg(code, 0, 16);
        if (!writeBitmap(orvanta::glyphgen::drawGlyph(code, *font), out.filePath(name))) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(out.filePath(name)));
            return 1;
        }
    }
    for (int icon = 1; icon <= 5; ++icon) {
        const std::string stem(orvanta::iconBitmapName(icon));
        const QString name =
            QStringLiteral("micon/BG_ICN_%1.bmp").arg(QString::fromStdString(stem));
        if (!writeBitmap(orvanta::glyphgen::drawIcon(icon), out.filePath(name))) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(out.filePath(name)));
            return 1;
        }
    }
    const qsizetype sheetAt = args.indexOf(QStringLiteral("--sheet"));
    if (sheetAt >= 0 && sheetAt + 1 < args.size()) {
        // 16 codes a row, 14 rows of glyphs, then the icons on six message backgrounds, as
        // the preview shows them (their white paper in the band's colour); 16 px cells, 3x
        // enlarged.
        const QRgb bands[] = {qRgb(192, 192, 192), qRgb(0, 0, 0),   qRgb(0, 0, 255),
                              qRgb(255, 255, 255), qRgb(255, 0, 0), qRgb(255, 255, 0)};
        QImage sheet(16 * 16, 17 * 26, QImage::Format_RGB32);
        sheet.fill(QColor(200, 200, 200));
        QPainter p(&sheet);
        for (int code = 0x20; code <= 0xFF; ++code) {
            const int cell = code - 0x20;
            p.drawImage(QPoint(cell % 16 * 16, cell / 16 * 26),
                        orvanta::glyphgen::drawGlyph(code, *font));
        }
        for (int b = 0; b < 6; ++b) {
            const QPoint band(b % 2 * 128, (14 + b / 2) * 26);
            p.fillRect(QRect(band, QSize(128, 24)), QColor(bands[b]));
            for (int icon = 1; icon <= 5; ++icon) {
                QImage shown = orvanta::glyphgen::drawIcon(icon);
                for (int y = 0; y < shown.height(); ++y) {
                    for (int x = 0; x < shown.width(); ++x) {
                        if (shown.pixel(x, y) == orvanta::glyphgen::kIconPaper) {
                            shown.setPixel(x, y, bands[b]);
                        }
                    }
                }
                p.drawImage(band + QPoint(4 + (icon - 1) * 24, 0), shown);
            }
        }
        p.end();
        sheet.scaled(sheet.size() * 3).save(args[sheetAt + 1]);
    }
    return 0;
}
