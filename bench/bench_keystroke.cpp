// The cost of one keystroke in the Edit tab with a message at the 3968-byte limit: the key
// goes through the page's keyboard watch into the editor, the adapter rebuilds the message,
// the background check encodes it and the frame refreshes its edit commands. Reported as a
// ratio to the same keystroke in a plain QTextEdit holding the same text.

#include <QApplication>
#include <QKeyEvent>
#include <QTabWidget>
#include <QTextEdit>
#include <cstdio>
#include <cstdlib>

#include "RatioReporter.h"
#include "message/Payload.h"
#include "text/LanguageText.h"
#include "text/Prompt.h"
#include "ui/common/MainState.h"
#include "ui/edit/EditPage.h"
#include "ui/frame/MainWindow.h"
#include "ui/frame/PageTabs.h"

using namespace orvanta;

namespace {

class SilentPrompt : public Prompt {
  public:
    void inform(const std::string&, PromptIcon) override {}
    PromptAnswer ask(const std::string&, PromptButtons, PromptIcon) override {
        return PromptAnswer::Cancel;
    }
};

// Words of plain text whose encoding stays just under the body limit.
QString nearlyFullMessage() {
    QString text;
    while ((text.size() + 6) * 2 + 130 < static_cast<int>(kMaxBodyBytes)) {
        text += QStringLiteral("words ");
    }
    return text;
}

// One keystroke and its Backspace, so that the text stays the same size.
void typeAndErase(QTextEdit* edit) {
    QKeyEvent x(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
    QApplication::sendEvent(edit, &x);
    QKeyEvent back(QEvent::KeyPress, Qt::Key_Backspace, Qt::NoModifier);
    QApplication::sendEvent(edit, &back);
}

void BM_Baseline_QTextEditKeystroke(benchmark::State& state) {
    QTextEdit edit;
    edit.setPlainText(nearlyFullMessage());
    edit.moveCursor(QTextCursor::End);
    for (auto _ : state) {
        typeAndErase(&edit);
    }
}
BENCHMARK(BM_Baseline_QTextEditKeystroke)->Unit(benchmark::kMicrosecond);

void BM_EditTab_Keystroke(benchmark::State& state) {
    MainState main;
    main.programFolder = "/nonexistent/";
    SilentPrompt prompt;
    MainWindow frame(main, prompt);
    frame.createView();
    frame.view()->tabs()->setCurrentIndex(PageTabs::EditTab);
    auto* edit = frame.view()->editTab()->findChild<QTextEdit*>(QStringLiteral("messageEdit"));
    QFocusEvent in(QEvent::FocusIn);
    QApplication::sendEvent(edit, &in);
    edit->setPlainText(nearlyFullMessage());
    edit->moveCursor(QTextCursor::End);
    for (auto _ : state) {
        typeAndErase(edit);
    }
}
BENCHMARK(BM_EditTab_Keystroke)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    setInterfaceLanguage(LanguageId::English);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const RatioReporter::Run* base = reporter.find("BM_Baseline_QTextEditKeystroke");
    const RatioReporter::Run* page = reporter.find("BM_EditTab_Keystroke");
    if (base != nullptr && page != nullptr && base->GetAdjustedRealTime() > 0) {
        // Each iteration is two keys (one character and its Backspace).
        std::printf("\nper keystroke at the 3968-byte limit: %.1f us, %.1f x a plain QTextEdit\n",
                    page->GetAdjustedRealTime() / 2.0,
                    page->GetAdjustedRealTime() / base->GetAdjustedRealTime());
    }
    benchmark::Shutdown();
    return reporter.exitStatus();
}
