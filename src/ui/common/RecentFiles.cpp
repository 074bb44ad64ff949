#include "ui/common/RecentFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QStandardPaths>
#include <QTimeZone>
#include <QUrl>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "platform/AtomicFile.h"
#include "ui/common/UiText.h"

namespace orvanta {
namespace {

const QString kBookmarkNs =
    QStringLiteral("http://www.freedesktop.org/standards/desktop-bookmarks");
const QString kMimeNs = QStringLiteral("http://www.freedesktop.org/standards/shared-mime-info");
const QString kOwner = QStringLiteral("http://freedesktop.org");
// How the list names this program: by the name of its program file, as other programs do.
const QString kProgram = QStringLiteral("orvanta");
const QString kExec = QStringLiteral("'orvanta %u'");

const char kEmptyList[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<xbel version=\"1.0\"\n"
    "      xmlns:bookmark=\"http://www.freedesktop.org/standards/desktop-bookmarks\"\n"
    "      xmlns:mime=\"http://www.freedesktop.org/standards/shared-mime-info\"\n"
    ">\n"
    "</xbel>\n";

QString stamp(const QDateTime& when) {
    // Microseconds, as the desktop's own writers put them.
    return when.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")) +
           QStringLiteral("000Z");
}

// "2024-05-01T10:00:00.123456Z" and the same without a fraction; invalid when neither.
QDateTime parseStamp(QStringView text) {
    const QDate date = QDate::fromString(text.left(10).toString(), QStringLiteral("yyyy-MM-dd"));
    const QTime time = QTime::fromString(text.mid(11, 8).toString(), QStringLiteral("HH:mm:ss"));
    if (!date.isValid() || !time.isValid() || text.size() < 20) {
        return {};
    }
    int ms = 0;
    if (text[19] == QLatin1Char('.')) {
        int scale = 100;  // digits beyond the milliseconds add nothing
        for (qsizetype i = 20; i < text.size() && text[i].isDigit(); ++i, scale /= 10) {
            ms += text[i].digitValue() * scale;
        }
    }
    return QDateTime(date, time, QTimeZone::utc()).addMSecs(ms);
}

QXmlStreamAttributes withValues(const QXmlStreamAttributes& attributes,
                                const std::vector<std::pair<QString, QString>>& values) {
    QXmlStreamAttributes out;
    for (const QXmlStreamAttribute& a : attributes) {
        const bool replaced = std::any_of(values.begin(), values.end(), [&](const auto& v) {
            return a.namespaceUri().isEmpty() && a.name() == v.first;
        });
        if (!replaced) {
            out.append(a);
        }
    }
    for (const auto& [name, value] : values) {
        out.append(name, value);
    }
    return out;
}

void startElementLike(QXmlStreamWriter& out, const QXmlStreamReader& in,
                      const QXmlStreamAttributes& attributes) {
    out.writeStartElement(in.namespaceUri().toString(), in.name().toString());
    for (const QXmlStreamNamespaceDeclaration& d : in.namespaceDeclarations()) {
        out.writeNamespace(d.namespaceUri().toString(), d.prefix().toString());
    }
    out.writeAttributes(attributes);
}

void writeApplication(QXmlStreamWriter& out, const QString& when, int count) {
    out.writeEmptyElement(kBookmarkNs, QStringLiteral("application"));
    out.writeAttribute(QStringLiteral("name"), kProgram);
    out.writeAttribute(QStringLiteral("exec"), kExec);
    out.writeAttribute(QStringLiteral("modified"), when);
    out.writeAttribute(QStringLiteral("count"), QString::number(count));
}

void writeMetadata(QXmlStreamWriter& out, const QString& mimeType, const QString& when) {
    out.writeStartElement(QStringLiteral("metadata"));
    out.writeAttribute(QStringLiteral("owner"), kOwner);
    out.writeEmptyElement(kMimeNs, QStringLiteral("mime-type"));
    out.writeAttribute(QStringLiteral("type"), mimeType);
    out.writeStartElement(kBookmarkNs, QStringLiteral("applications"));
    writeApplication(out, when, 1);
    out.writeEndElement();
    out.writeEndElement();
}

void writeInfo(QXmlStreamWriter& out, const QString& mimeType, const QString& when) {
    out.writeStartElement(QStringLiteral("info"));
    writeMetadata(out, mimeType, when);
    out.writeEndElement();
}

// Copies the list from `in` to `out`, with `uri` recorded as used by this program at `when`:
// its entry updated (other programs' records in it kept) or a new one added at the end.
QString recordUse(const QByteArray& in, QByteArray& out, const QString& uri,
                  const QString& mimeType, const QString& when) {
    QXmlStreamReader reader(in);
    QXmlStreamWriter writer(&out);
    int depth = 0;
    int entryDepth = -1;  // depth of the entry of `uri` while inside it
    bool found = false;
    bool infoSeen = false;
    bool applicationsSeen = false;
    bool inApplications = false;
    bool ownSeen = false;
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::Invalid) {
            break;
        }
        if (token == QXmlStreamReader::StartElement) {
            ++depth;
            const QStringView name = reader.name();
            const bool inEntry = entryDepth > 0;
            if (depth == 1 && (name != u"xbel" || !reader.namespaceUri().isEmpty())) {
                return QStringLiteral("not a list of recent files");
            }
            if (!found && name == u"bookmark" && reader.namespaceUri().isEmpty() &&
                reader.attributes().value(QStringLiteral("href")) == uri) {
                found = true;
                entryDepth = depth;
                std::vector<std::pair<QString, QString>> values{{QStringLiteral("modified"), when},
                                                                {QStringLiteral("visited"), when}};
                if (!reader.attributes().hasAttribute(QStringLiteral("added"))) {
                    values.emplace_back(QStringLiteral("added"), when);
                }
                startElementLike(writer, reader, withValues(reader.attributes(), values));
                continue;
            }
            if (inEntry && name == u"info" && depth == entryDepth + 1) {
                infoSeen = true;
            } else if (inEntry && name == u"applications" && reader.namespaceUri() == kBookmarkNs) {
                applicationsSeen = true;
                inApplications = true;
            } else if (inEntry && inApplications && name == u"application" &&
                       reader.namespaceUri() == kBookmarkNs &&
                       reader.attributes().value(QStringLiteral("name")) == kProgram && !ownSeen) {
                ownSeen = true;
                const int count = reader.attributes().value(QStringLiteral("count")).toInt() + 1;
                startElementLike(writer, reader,
                                 withValues(reader.attributes(),
                                            {{QStringLiteral("exec"), kExec},
                                             {QStringLiteral("modified"), when},
                                             {QStringLiteral("count"), QString::number(count)}}));
                continue;
            }
            writer.writeCurrentToken(reader);
            continue;
        }
        if (token == QXmlStreamReader::EndElement) {
            const QStringView name = reader.name();
            if (entryDepth > 0) {
                if (inApplications && name == u"applications" &&
                    reader.namespaceUri() == kBookmarkNs) {
                    inApplications = false;
                    if (!ownSeen) {
                        writeApplication(writer, when, 1);
                        ownSeen = true;
                    }
                } else if (name == u"info" && depth == entryDepth + 1 && !applicationsSeen) {
                    writeMetadata(writer, mimeType, when);
                    applicationsSeen = true;
                } else if (depth == entryDepth) {
                    if (!infoSeen) {
                        writeInfo(writer, mimeType, when);
                    }
                    entryDepth = -1;
                }
            }
            if (depth == 1 && !found) {
                writer.writeStartElement(QStringLiteral("bookmark"));
                writer.writeAttribute(QStringLiteral("href"), uri);
                writer.writeAttribute(QStringLiteral("added"), when);
                writer.writeAttribute(QStringLiteral("modified"), when);
                writer.writeAttribute(QStringLiteral("visited"), when);
                writeInfo(writer, mimeType, when);
                writer.writeEndElement();
                writer.writeCharacters(QStringLiteral("\n"));
                found = true;
            }
            --depth;
        }
        writer.writeCurrentToken(reader);
    }
    if (reader.hasError()) {
        return QStringLiteral("not a list of recent files (line %1: %2)")
            .arg(reader.lineNumber())
            .arg(reader.errorString());
    }
    if (!found) {
        return QStringLiteral("not a list of recent files");
    }
    return {};
}

struct Use {
    QString file;
    QDateTime when;
    qsizetype order;
};

// The local files of the entries this program has a record in.
std::vector<Use> ownUses(const QByteArray& content) {
    std::vector<Use> uses;
    QXmlStreamReader reader(content);
    QString file;
    QDateTime entryWhen;
    bool own = false;
    QDateTime ownWhen;
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::StartElement) {
            const QXmlStreamAttributes a = reader.attributes();
            if (reader.name() == u"bookmark" && reader.namespaceUri().isEmpty()) {
                const QUrl url(a.value(QStringLiteral("href")).toString());
                file = url.isLocalFile() ? url.toLocalFile() : QString();
                entryWhen = parseStamp(a.value(QStringLiteral("modified")));
                own = false;
                ownWhen = QDateTime();
            } else if (reader.name() == u"application" && reader.namespaceUri() == kBookmarkNs &&
                       a.value(QStringLiteral("name")) == kProgram) {
                own = true;
                ownWhen = parseStamp(a.value(QStringLiteral("modified")));
            }
        } else if (token == QXmlStreamReader::EndElement && reader.name() == u"bookmark" &&
                   reader.namespaceUri().isEmpty()) {
            if (own && !file.isEmpty()) {
                uses.push_back({file, ownWhen.isValid() ? ownWhen : entryWhen,
                                static_cast<qsizetype>(uses.size())});
            }
            file.clear();
            own = false;
        }
    }
    // The most recent first; entries of the same time in the order the list has them, last
    // first, since writers append.
    std::sort(uses.begin(), uses.end(), [](const Use& a, const Use& b) {
        if (a.when != b.when) {
            return a.when > b.when;
        }
        return a.order > b.order;
    });
    return uses;
}

}  // namespace

RecentFiles::RecentFiles(QString listPath)
    : path_(listPath.isEmpty() ? desktopListPath() : std::move(listPath)) {}

QString RecentFiles::desktopListPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/recently-used.xbel");
}

QString RecentFiles::add(const QString& file, const QString& mimeType,
                         const QDateTime& when) const {
    Result<std::string, ReadProblem> read = readWholeFile(utf8(path_));
    std::string content;
    if (read) {
        content = std::move(read).value();
    } else {
        switch (read.reason()) {
            case ReadProblem::Missing:
                content = kEmptyList;
                QDir().mkpath(QFileInfo(path_).absolutePath());
                break;
            case ReadProblem::NotRegular:
                return QStringLiteral("not a file");
            case ReadProblem::TooLarge:
                return QStringLiteral("too large");
            case ReadProblem::Failed:
            case ReadProblem::Foreign:
                return QStringLiteral("cannot be read");
        }
    }
    const QString uri = QString::fromUtf8(
        QUrl::fromLocalFile(QFileInfo(file).absoluteFilePath()).toEncoded(QUrl::FullyEncoded));
    QByteArray updated;
    const QString error = recordUse(
        QByteArray::fromStdString(content), updated, uri,
        mimeType.isEmpty() ? QStringLiteral("application/octet-stream") : mimeType, stamp(when));
    if (!error.isEmpty()) {
        return error;
    }
    // Private to the user, like the desktop's own writers make it: it names their files.
    return qs(writeFileAtomically(utf8(path_), updated.toStdString(), 0600).error());
}

QString RecentFiles::add(const QString& file) const {
    return add(file, QMimeDatabase().mimeTypeForFile(file).name(), QDateTime::currentDateTimeUtc());
}

QStringList RecentFiles::files(int limit) const {
    const Result<std::string, ReadProblem> read = readWholeFile(utf8(path_));
    if (!read) {
        return {};
    }
    const std::string& content = read.value();
    QStringList out;
    for (const Use& use : ownUses(QByteArray::fromStdString(content))) {
        if (out.size() >= limit) {
            break;
        }
        if (!out.contains(use.file) && QFileInfo(use.file).isFile()) {
            out.append(use.file);
        }
    }
    return out;
}

QStringList RecentFiles::folders(int limit) const {
    QStringList out;
    for (const QString& file : files(100)) {
        const QString folder = QFileInfo(file).absolutePath();
        if (out.size() >= limit) {
            break;
        }
        if (!out.contains(folder)) {
            out.append(folder);
        }
    }
    return out;
}

}  // namespace orvanta
