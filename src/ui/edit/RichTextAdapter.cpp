#include "ui/edit/RichTextAdapter.h"

#include <QMimeData>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextEdit>

#include "message/Rtf.h"
#include "message/TextUnits.h"

namespace orvanta {
namespace {

Rgb rgbOf(const QBrush& brush, Rgb fallback) {
    if (brush.style() == Qt::NoBrush) {
        return fallback;
    }
    return static_cast<Rgb>(brush.color().rgb() & 0xFFFFFFu);
}

QTextCharFormat formatFor(const RichUnit& unit, qreal pointSize) {
    QTextCharFormat format;
    format.setForeground(QColor::fromRgb(unit.color));
    format.setBackground(QColor::fromRgb(unit.background));
    format.setFontPointSize(pointSize);
    return format;
}

// Appends the units of one block between document positions [from, to).
void appendBlock(RichText& out, const QTextBlock& block, int from, int to,
                 const RichDefaults& defaults) {
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        const int start = fragment.position();
        const int end = start + fragment.length();
        if (end <= from || start >= to) {
            continue;
        }
        const QTextCharFormat format = fragment.charFormat();
        const Rgb color = rgbOf(format.foreground(), defaults.color);
        const Rgb background = rgbOf(format.background(), defaults.background);
        const QString text = fragment.text();
        for (int i = std::max(start, from) - start; i < std::min(end, to) - start; ++i) {
            char16_t unit = text.at(i).unicode();
            // A line break inside a paragraph (Shift+Enter) is a paragraph end for the projector.
            if (unit == QChar::LineSeparator || unit == QChar::ParagraphSeparator) {
                unit = kCr;
            }
            out.units.push_back({unit, color, background});
        }
    }
}

// The colors a paragraph end takes: those of the character before it, else the block's.
RichUnit paragraphEnd(const RichText& out, const QTextBlock& block, const RichDefaults& defaults) {
    if (!out.empty()) {
        return {kCr, out.units.back().color, out.units.back().background};
    }
    const QTextCharFormat format = block.charFormat();
    return {kCr, rgbOf(format.foreground(), defaults.color),
            rgbOf(format.background(), defaults.background)};
}

RichText richTextBetween(const QTextDocument& document, int from, int to,
                         const RichDefaults& defaults) {
    RichText out;
    out.units.reserve(static_cast<std::size_t>(std::max(0, to - from)));
    for (QTextBlock block = document.findBlock(from); block.isValid() && block.position() <= to;
         block = block.next()) {
        if (block.position() > from) {
            out.units.push_back(paragraphEnd(out, block, defaults));
        }
        appendBlock(out, block, from, to, defaults);
    }
    return out;
}

}  // namespace

RichText richTextFromDocument(const QTextDocument& document, const RichDefaults& defaults) {
    return richTextBetween(document, 0, document.characterCount() - 1, defaults);
}

RichText richTextFromSelection(const QTextCursor& cursor, const RichDefaults& defaults) {
    if (!cursor.hasSelection() || cursor.document() == nullptr) {
        return {};
    }
    return richTextBetween(*cursor.document(), cursor.selectionStart(), cursor.selectionEnd(),
                           defaults);
}

void insertRichText(QTextCursor& cursor, const RichText& text, qreal pointSize) {
    cursor.beginEditBlock();
    cursor.removeSelectedText();
    QString run;
    RichUnit runFormat;
    const auto flush = [&] {
        if (!run.isEmpty()) {
            cursor.insertText(run, formatFor(runFormat, pointSize));
            run.clear();
        }
    };
    for (const RichUnit& unit : text.units) {
        if (unit.ch == kCr || unit.ch == u'\n') {
            flush();
            cursor.insertBlock(QTextBlockFormat(), formatFor(unit, pointSize));
            continue;
        }
        if (!run.isEmpty() &&
            (unit.color != runFormat.color || unit.background != runFormat.background)) {
            flush();
        }
        if (run.isEmpty()) {
            runFormat = unit;
        }
        run.append(QChar(unit.ch));
    }
    flush();
    cursor.endEditBlock();
}

void setRichText(QTextEdit& edit, const RichText& text, qreal pointSize) {
    edit.clear();
    QTextCursor cursor(edit.document());
    insertRichText(cursor, text, pointSize);
}

QMimeData* mimeDataFor(const RichText& text, int fontHalfPoints) {
    auto* data = new QMimeData;
    const std::string rtf = writeRtf(text, fontHalfPoints);
    data->setData(QStringLiteral("text/rtf"),
                  QByteArray(rtf.data(), static_cast<qsizetype>(rtf.size())));
    QTextDocument document;
    QTextCursor cursor(&document);
    insertRichText(cursor, text, fontHalfPoints / 2.0);
    data->setHtml(document.toHtml());
    QString plain = QString::fromUtf16(text.text().data(), static_cast<qsizetype>(text.size()));
    plain.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    data->setText(plain);
    return data;
}

std::optional<RichText> richTextFromMimeData(const QMimeData& data, const RichDefaults& defaults) {
    for (const QString& format : {QStringLiteral("text/rtf"), QStringLiteral("application/rtf")}) {
        if (data.hasFormat(format)) {
            const QByteArray bytes = data.data(format);
            Result<RichText, RtfError> read =
                readRtf(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())),
                        RtfDefaults{defaults.color, defaults.background});
            if (read) {
                return std::move(read).value();
            }
        }
    }
    if (data.hasHtml()) {
        QTextDocument document;
        document.setHtml(data.html());
        return richTextFromDocument(document, defaults);
    }
    if (data.hasText()) {
        const QString plain = data.text();
        RichText out;
        out.units.reserve(static_cast<std::size_t>(plain.size()));
        for (int i = 0; i < plain.size(); ++i) {
            char16_t unit = plain.at(i).unicode();
            if (unit == u'\n') {
                if (i > 0 && plain.at(i - 1) == QLatin1Char('\r')) {
                    continue;
                }
                unit = kCr;
            }
            out.units.push_back({unit, defaults.color, defaults.background});
        }
        return out;
    }
    return std::nullopt;
}

}  // namespace orvanta
