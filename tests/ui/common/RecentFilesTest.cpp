// The desktop's list of recent files: what the program adds, what it keeps of other
// programs' entries, and what it reads back for the File menu.

#include <gtest/gtest.h>

#include <QDateTime>
#include <QFile>
#include <QTimeZone>
#include <fstream>

#include "platform/AtomicFile.h"
#include "support/UiTestSupport.h"
#include "ui/common/RecentFiles.h"

namespace orvanta {
namespace {

QString write(const std::string& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
    return QString::fromStdString(path);
}

std::string read(const QString& path) {
    std::string content;
    readWholeFile(path.toStdString(), content);
    return content;
}

QDateTime at(int minute) {
    return QDateTime(QDate(2026, 5, 1), QTime(10, minute), QTimeZone::utc());
}

// What another program leaves in the list: one entry of its own, with a group and a private
// flag this program knows nothing about.
const char kOtherProgramsList[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<xbel version=\"1.0\"\n"
    "      xmlns:bookmark=\"http://www.freedesktop.org/standards/desktop-bookmarks\"\n"
    "      xmlns:mime=\"http://www.freedesktop.org/standards/shared-mime-info\"\n"
    ">\n"
    "  <bookmark href=\"file:///home/u/notes%20and%20more.txt\" added=\"2026-04-01T09:00:00Z\""
    " modified=\"2026-04-01T09:00:00.5Z\" visited=\"2026-04-01T09:00:00Z\">\n"
    "    <info>\n"
    "      <metadata owner=\"http://freedesktop.org\">\n"
    "        <mime:mime-type type=\"text/plain\"/>\n"
    "        <bookmark:groups><bookmark:group>Editors</bookmark:group></bookmark:groups>\n"
    "        <bookmark:applications>\n"
    "          <bookmark:application name=\"editor\" exec=\"&apos;editor %u&apos;\""
    " modified=\"2026-04-01T09:00:00Z\" count=\"3\"/>\n"
    "        </bookmark:applications>\n"
    "        <bookmark:private/>\n"
    "      </metadata>\n"
    "    </info>\n"
    "  </bookmark>\n"
    "</xbel>\n";

TEST(RecentFiles, AddingKeepsOtherProgramsEntriesAndCountsOwnUses) {
    test::app();
    const std::string dir = test::scratchFolder("recent-add");
    const QString a = write(dir + "a message.ovx", "x");
    const QString b = write(dir + "b#2.ovx", "x");
    const QString shared = write(dir + "shared.txt", "x");
    const QString list = QString::fromStdString(dir + "xdg/recently-used.xbel");
    const RecentFiles recent(list);

    // A list in a folder that does not exist yet is created, private to the user.
    ASSERT_EQ(recent.add(a, QStringLiteral("application/x-orvanta-message"), at(1)), QString());
    EXPECT_EQ(QFile::permissions(list) & (QFile::ReadGroup | QFile::ReadOther), 0);
    EXPECT_EQ(recent.files(8), QStringList{a});

    // Another program writes the list anew; this program then adds to it.
    write(list.toStdString(), kOtherProgramsList);
    ASSERT_EQ(recent.add(a, QStringLiteral("application/x-orvanta-message"), at(2)), QString());
    ASSERT_EQ(recent.add(b, QStringLiteral("application/x-orvanta-message"), at(3)), QString());
    ASSERT_EQ(recent.add(a, QStringLiteral("application/x-orvanta-message"), at(4)), QString());
    std::string content = read(list);
    for (const char* kept : {"href=\"file:///home/u/notes%20and%20more.txt\"",
                             "<bookmark:group>Editors</bookmark:group>", "name=\"editor\"",
                             "count=\"3\"", "<bookmark:private/>", "type=\"text/plain\""}) {
        EXPECT_NE(content.find(kept), std::string::npos) << kept << " lost:\n" << content;
    }
    EXPECT_NE(content.find("count=\"2\""), std::string::npos) << content;  // a: twice since
    EXPECT_EQ(recent.files(8), (QStringList{a, b}));

    // A file another program used gets this program's record beside that program's.
    const std::string sharedUri = "file://" + dir + "shared.txt";
    std::string withShared = kOtherProgramsList;
    withShared.replace(withShared.find("file:///home/u/notes%20and%20more.txt"),
                       std::string("file:///home/u/notes%20and%20more.txt").size(), sharedUri);
    write(list.toStdString(), withShared);
    ASSERT_EQ(recent.add(shared, QStringLiteral("text/plain"), at(5)), QString());
    content = read(list);
    EXPECT_EQ(content.find(sharedUri), content.rfind(sharedUri)) << "entry doubled:\n" << content;
    EXPECT_NE(content.find("name=\"editor\""), std::string::npos) << content;
    EXPECT_NE(content.find("name=\"orvanta\""), std::string::npos) << content;
    EXPECT_EQ(recent.files(8), QStringList{shared});
}

TEST(RecentFiles, ListsOwnExistingFilesNewestFirstUpToTheLimit) {
    test::app();
    const std::string dir = test::scratchFolder("recent-list");
    const QString list = QString::fromStdString(dir + "recently-used.xbel");
    const RecentFiles recent(list);
    QStringList files;
    for (const char* name : {"one.ovx", "two.ovx", "three.ovx", "gone.ovx", "four.txt"}) {
        files << write(dir + name, "x");
    }
    // Added out of order in time: the list follows the time of use, not the order of entries.
    const int minutes[] = {3, 1, 5, 9, 7};
    for (int i = 0; i < files.size(); ++i) {
        ASSERT_EQ(recent.add(files[i], QStringLiteral("text/plain"), at(minutes[i])), QString());
    }
    QFile::remove(files[3]);  // deleted since: not offered

    struct Case {
        int limit;
        QStringList expected;
    };
    const Case cases[] = {
        {8, {files[4], files[2], files[0], files[1]}},
        {2, {files[4], files[2]}},
        {0, {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(recent.files(c.limit), c.expected) << c.limit;
    }
    EXPECT_EQ(recent.folders(8), QStringList{QString::fromStdString(dir).chopped(1)});
    // Other programs' entries are never listed as this program's.
    write(list.toStdString(), kOtherProgramsList);
    EXPECT_EQ(recent.files(8), QStringList{});
}

TEST(RecentFiles, AListThatIsNotOneIsLeftAlone) {
    test::app();
    const std::string dir = test::scratchFolder("recent-broken");
    const QString file = write(dir + "m.ovx", "x");
    const std::string cases[] = {
        "<?xml version=\"1.0\"?>\n<xbel><bookmark href=\"file:///a\">\n",  // cut short
        "<?xml version=\"1.0\"?>\n<html><body/></html>\n",                 // something else
        "not XML at all",
    };
    for (const std::string& content : cases) {
        const QString list = write(dir + "recently-used.xbel", content);
        const RecentFiles recent(list);
        EXPECT_NE(recent.add(file, QStringLiteral("text/plain"), at(1)), QString()) << content;
        EXPECT_EQ(read(list), content);
        EXPECT_EQ(recent.files(8), QStringList{}) << content;
    }
}

}  // namespace
}  // namespace orvanta
