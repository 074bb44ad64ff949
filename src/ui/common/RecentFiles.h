#pragma once
// The desktop's list of recently used files ($XDG_DATA_HOME/recently-used.xbel), which file
// managers and the desktop's file dialogs show as "Recent". The program records there the
// message files it opens and saves, and reads back its own for the File menu.
//
// Other programs write the same file: an update keeps every entry it does not own as it
// was, and a file that cannot be read as such a list is left alone rather than replaced.

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace orvanta {

class RecentFiles {
  public:
    // `listPath`: the list to use; empty means the desktop's own.
    explicit RecentFiles(QString listPath = QString());

    static QString desktopListPath();
    const QString& listPath() const { return path_; }

    // Records that the program used `file` now (`mimeType` as the desktop classifies it).
    // Returns what went wrong, empty on success.
    QString add(const QString& file, const QString& mimeType, const QDateTime& when) const;
    QString add(const QString& file) const;

    // The existing local files this program used, the most recent first, at most `limit`.
    QStringList files(int limit) const;
    // Their folders, the most recent first, each once.
    QStringList folders(int limit) const;

  private:
    QString path_;
};

}  // namespace orvanta
