// orvanta-glyphgen: writes the projector glyphs (mfont/0x0020.bmp .. mfont/0x00ff.bmp) and the
// title icons (micon/BG_ICN_<name>.bmp) that the preview draws with.
//   orvanta-glyphgen --font FILE.ttf --out DIR [--sheet FILE.png]
// --sheet also writes an overview of everything, enlarged three times, to look at.

#include <QDir>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QPainter>
#include <QStringList>
#include <cstdio>
#include <string>

#include "GlyphArt.h"
#include "message/MessageOptions.h"

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
    const int id = QFontDatabase::addApplicationFont(args[fontAt + 1]);
    const QStringList families = QFontDatabase::applicationFontFamilies(id);
    if (families.isEmpty()) {
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
        if (!orvanta::glyphgen::drawGlyph(code, families.front()).save(out.filePath(name), "BMP")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(out.filePath(name)));
            return 1;
        }
    }
    for (int icon = 1; icon <= 5; ++icon) {
        const std::string stem(orvanta::iconBitmapName(icon));
        const QString name =
            QStringLiteral("micon/BG_ICN_%1.bmp").arg(QString::fromStdString(stem));
        if (!orvanta::glyphgen::drawIcon(icon).save(out.filePath(name), "BMP")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(out.filePath(name)));
            return 1;
        }
    }
    const qsizetype sheetAt = args.indexOf(QStringLiteral("--sheet"));
    if (sheetAt >= 0 && sheetAt + 1 < args.size()) {
        // 16 codes a row, 14 rows of glyphs, then the icons; 16 px cells, 3x enlarged.
        QImage sheet(16 * 16, 15 * 26, QImage::Format_RGB32);
        sheet.fill(QColor(200, 200, 200));
        QPainter p(&sheet);
        for (int code = 0x20; code <= 0xFF; ++code) {
            const int cell = code - 0x20;
            p.drawImage(QPoint(cell % 16 * 16, cell / 16 * 26),
                        orvanta::glyphgen::drawGlyph(code, families.front()));
        }
        for (int icon = 1; icon <= 5; ++icon) {
            p.drawImage(QPoint((icon - 1) * 32, 14 * 26), orvanta::glyphgen::drawIcon(icon));
        }
        p.end();
        sheet.scaled(sheet.size() * 3).save(args[sheetAt + 1]);
    }
    return 0;
}
