// The desktop program as installed, with one addition for the tests of the recovery file,
// which kill a running program: before the program's own arguments it takes
//   --edit-script FILE   a recovery file whose options, icon, colors and display mode the Edit
//                        tab takes, and whose title and message are then typed into it key by
//                        key; "FILE.typed" appears once every key is in;
//   --draft-delay MS     how long the draft keeper waits after a change.
// Everything else is the shipped program's start-up, called through the same entry.

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QTextEdit>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "message/RecoveryFile.h"
#include "ui/common/UiText.h"
#include "ui/edit/DraftKeeper.h"
#include "ui/edit/EditPage.h"
#include "ui/frame/DesktopProgram.h"
#include "ui/frame/MainWindow.h"
#include "ui/frame/PageTabs.h"

using namespace orvanta;

namespace {

struct EditScript {
    QString file;
    std::optional<int> draftDelayMs;
};

void typeInto(QTextEdit* edit, const RichText& text) {
    edit->setFocus();
    for (const RichUnit& unit : text.units) {
        const bool paragraph = unit.ch == u'\r';
        QKeyEvent key(QEvent::KeyPress, paragraph ? Qt::Key_Return : Qt::Key_A, Qt::NoModifier,
                      paragraph ? QStringLiteral("\r") : QString(QChar(unit.ch)));
        QApplication::sendEvent(edit, &key);
    }
}

void runEditScript(MainWindow& window, const EditScript& script) {
    const Result<Draft, DraftProblem> read = readDraft(utf8(script.file));
    if (!read) {
        std::fprintf(stderr, "orvanta-scripted: %s: %s\n", qPrintable(script.file),
                     read.error().c_str());
        return;
    }
    if (DraftKeeper* keeper = window.draftKeeper(); keeper != nullptr && script.draftDelayMs) {
        keeper->setDelay(*script.draftDelayMs);
    }
    window.view()->tabs()->setCurrentIndex(PageTabs::EditTab);
    EditPage* page = window.view()->editTab();
    Draft start = read.value();
    const Message typed = start.message;
    start.message.title = {};
    start.message.body = {};
    page->restoreDraft(start);
    typeInto(page->findChild<QTextEdit*>(QStringLiteral("titleEdit")), typed.title);
    typeInto(page->findChild<QTextEdit*>(QStringLiteral("messageEdit")), typed.body);
    QFile marker(script.file + QStringLiteral(".typed"));
    if (!marker.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "orvanta-scripted: %s: %s\n", qPrintable(marker.fileName()),
                     qPrintable(marker.errorString()));
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::optional<EditScript> script;
    std::vector<char*> rest{argv[0]};
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (hasValue && std::strcmp(argv[i], "--edit-script") == 0) {
            if (!script) {
                script.emplace();
            }
            script->file = QString::fromLocal8Bit(argv[++i]);
        } else if (hasValue && std::strcmp(argv[i], "--draft-delay") == 0) {
            if (!script) {
                script.emplace();
            }
            script->draftDelayMs = std::stoi(argv[++i]);
        } else {
            rest.push_back(argv[i]);
        }
    }
    rest.push_back(nullptr);
    int restCount = static_cast<int>(rest.size()) - 1;
    WindowShownHook shown;
    if (script && !script->file.isEmpty()) {
        shown = [edit = *script](MainWindow& window) { runEditScript(window, edit); };
    }
    return runDesktopProgram(restCount, rest.data(), shown);
}
