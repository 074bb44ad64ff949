// Saves a picture of the main window: one page, in one interface language, optionally with a
// message file opened on the Edit tab. Questions the program would ask are answered with
// their default button and written to stderr, so that a run never waits for anyone.
//
//   orvanta-screenshot --program-folder DIR --language en|ja|zh
//                      --page main|discovery|edit|fleet|schedule|history|group-send|template
//                      [--open FILE.ovx] --out FILE.png

#include <algorithm>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QCommandLineParser>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "history/History.h"
#include "text/LanguageText.h"
#include "text/Prompt.h"
#include "ui/common/MainState.h"
#include "ui/common/UiText.h"
#include "ui/dialogs/CommunicationStatusDialog.h"
#include "ui/discovery/DiscoveryPage.h"
#include "ui/edit/EditPage.h"
#include "ui/fleet/FleetModel.h"
#include "ui/frame/DesktopProgram.h"
#include "ui/frame/MainWindow.h"
#include "ui/frame/PageTabs.h"
#include "ui/groups/ManyProjectorDialog.h"
#include "ui/groups/SendToChoice.h"
#include "ui/history/HistoryDialog.h"
#include "ui/main/MainPage.h"
#include "ui/templates/TemplateSendDialog.h"

namespace {

using namespace orvanta;

class LoggingPrompt : public Prompt {
  public:
    void inform(const std::string& message, PromptIcon) override {
        std::fprintf(stderr, "box: %s\n", message.c_str());
    }
    PromptAnswer ask(const std::string& message, PromptButtons buttons, PromptIcon) override {
        std::fprintf(stderr, "question: %s\n", message.c_str());
        switch (buttons) {
            case PromptButtons::Ok:
            case PromptButtons::OkCancel:
                return PromptAnswer::Ok;
            case PromptButtons::YesNo:
            case PromptButtons::YesNoCancel:
                return PromptAnswer::No;
        }
        return PromptAnswer::Cancel;
    }
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption folderOption(QStringLiteral("program-folder"),
                                          QStringLiteral("Program folder."), QStringLiteral("DIR"));
    const QCommandLineOption languageOption(QStringLiteral("language"),
                                            QStringLiteral("en, ja or zh."), QStringLiteral("LANG"),
                                            QStringLiteral("en"));
    const QCommandLineOption pageOption(
        QStringLiteral("page"),
        QStringLiteral("main, discovery, edit, fleet, schedule, history, group-send (the Main\n"
                       "tab's Send to the first group: the many-projector dialog) or template\n"
                       "(the Main tab's Template... with \"Room closed\" filled in)."),
        QStringLiteral("PAGE"), QStringLiteral("main"));
    const QCommandLineOption openOption(QStringLiteral("open"),
                                        QStringLiteral("Message file for the Edit tab."),
                                        QStringLiteral("FILE"));
    const QCommandLineOption outOption(QStringLiteral("out"), QStringLiteral("PNG to write."),
                                       QStringLiteral("FILE"));
    parser.addOptions({folderOption, languageOption, pageOption, openOption, outOption});
    parser.process(app);
    if (!parser.isSet(outOption)) {
        std::fprintf(stderr, "orvanta-screenshot: --out is required\n");
        return 2;
    }

    const QString language = parser.value(languageOption);
    setInterfaceLanguage(language == QStringLiteral("ja")   ? LanguageId::Japanese
                         : language == QStringLiteral("zh") ? LanguageId::ChineseSimplified
                                                            : LanguageId::English);
    MainState state;
    std::vector<std::string> args;
    if (parser.isSet(folderOption)) {
        args = {"--program-folder", utf8(parser.value(folderOption))};
    }
    state.programFolder = resolveProgramFolder(args);

    LoggingPrompt prompt;
    auto frame = createMainWindow(state, prompt, {});
    const QString page = parser.value(pageOption);
    const int index = page == QStringLiteral("edit")        ? PageTabs::EditTab
                      : page == QStringLiteral("discovery") ? PageTabs::DiscoveryTab
                      : page == QStringLiteral("fleet")     ? PageTabs::FleetTab
                      : page == QStringLiteral("schedule")  ? PageTabs::ScheduleTab
                                                            : PageTabs::MainTab;
    frame->view()->tabs()->setCurrentIndex(index);
    if (parser.isSet(openOption)) {
        frame->view()->editTab()->openMessageFile(parser.value(openOption));
    }
    // The History window over the Main tab, once it has read the program folder's history.
    std::unique_ptr<HistoryDialog> history;
    bool historyLoaded = false;
    if (page == QStringLiteral("history")) {
        history = std::make_unique<HistoryDialog>(state.programFolder, frame.get());
        QObject::connect(history.get(), &HistoryDialog::loaded, [&] { historyLoaded = true; });
        history->setModal(false);
        history->show();
    }

    // group-send: once the Main tab is quiet, Send to the first group; the picture is the
    // many-projector dialog once every projector has finished.
    const bool manySend = page == QStringLiteral("group-send");
    ManyProjectorDialog* manyDialog = nullptr;
    // template: the "Send from template" window with the starter "Room closed" filled in.
    const bool fromTemplate = page == QStringLiteral("template");
    TemplateSendDialog* templateDialog = nullptr;

    int status = 0;
    // Once the page's own exchanges (their status dialogs) are over, a search of the
    // Discovery tab has ended ("Find" is enabled again) and the layout has settled, the
    // picture is taken.
    const auto* find =
        frame->view()->discoveryTab()->findChild<QPushButton*>(QStringLiteral("findButton"));
    // The fleet table is shot once every row has its first answer (or failure).
    const auto* fleet = frame->view()->findChild<QAbstractItemView*>(QStringLiteral("fleetTable"));
    const auto fleetAsking = [&] {
        if (index != PageTabs::FleetTab || fleet == nullptr) {
            return false;
        }
        const QAbstractItemModel* model = fleet->model();
        for (int row = 0; row < model->rowCount(); ++row) {
            if (model->index(row, FleetModel::ReachableColumn).data().toString() ==
                text(Text::FleetAsking)) {
                return true;
            }
        }
        return false;
    };
    QTimer timer;
    int quietTicks = 0;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        const bool searching =
            index == PageTabs::DiscoveryTab && find != nullptr && !find->isEnabled();
        // The Communication Status dialog is not modal; a message box is.
        const QWidgetList tops = QApplication::topLevelWidgets();
        const bool exchanging = std::any_of(tops.begin(), tops.end(), [&](const QWidget* w) {
            return w->isVisible() && qobject_cast<const CommunicationStatusDialog*>(w) != nullptr;
        });
        // The many-projector dialog is window-modal itself: it is quiet once it has finished.
        const bool modal = QApplication::activeModalWidget() != nullptr &&
                           QApplication::activeModalWidget() != manyDialog;
        // The template window's preview is drawn on the pool: quiet once it is there.
        const QLabel* preview =
            templateDialog != nullptr
                ? templateDialog->findChild<QLabel*>(QStringLiteral("templatePreview"))
                : nullptr;
        const bool drawing = preview != nullptr && preview->pixmap().isNull();
        quietTicks = !modal && !drawing && !exchanging && !searching &&
                             (!history || historyLoaded) && !fleetAsking() &&
                             (manyDialog == nullptr || !manyDialog->running())
                         ? quietTicks + 1
                         : 0;
        if (quietTicks < 3) {
            return;
        }
        if (fromTemplate && templateDialog == nullptr) {
            frame->view()
                ->mainTab()
                ->findChild<QPushButton*>(QStringLiteral("templateButton"))
                ->click();
            templateDialog = frame->view()->mainTab()->findChild<TemplateSendDialog*>();
            if (templateDialog == nullptr) {
                timer.stop();
                QCoreApplication::exit(status = 1);
                return;
            }
            auto* list = templateDialog->findChild<QComboBox*>(QStringLiteral("templateList"));
            list->setCurrentIndex(std::max(0, list->findText(QStringLiteral("Room closed"))));
            if (auto* room = templateDialog->findChild<QLineEdit*>(QStringLiteral("field_room"))) {
                room->setText(QStringLiteral("B12"));
            }
            if (auto* moved =
                    templateDialog->findChild<QLineEdit*>(QStringLiteral("field_moved"))) {
                moved->setText(QStringLiteral("the library"));
            }
            quietTicks = 0;
            return;
        }
        if (manySend && manyDialog == nullptr) {
            auto* sendTo = frame->view()->mainTab()->findChild<SendToChoice*>();
            if (sendTo == nullptr || sendTo->count() < 3) {
                std::fprintf(stderr, "orvanta-screenshot: no group to send to\n");
                timer.stop();
                QCoreApplication::exit(status = 1);
                return;
            }
            sendTo->setCurrentIndex(2);
            frame->view()
                ->mainTab()
                ->findChild<QPushButton*>(QStringLiteral("sendButton"))
                ->click();
            manyDialog = frame->view()->mainTab()->findChild<ManyProjectorDialog*>();
            quietTicks = 0;
            if (manyDialog == nullptr) {
                timer.stop();
                QCoreApplication::exit(status = 1);
            }
            return;
        }
        timer.stop();
        const QString out = parser.value(outOption);
        const QPixmap picture = templateDialog != nullptr ? templateDialog->grab()
                                : manyDialog != nullptr   ? manyDialog->grab()
                                : history                 ? history->grab()
                                                          : frame->grab();
        if (!picture.save(out, "PNG")) {
            std::fprintf(stderr, "orvanta-screenshot: cannot write %s\n", utf8(out).c_str());
            status = 1;
        }
        QCoreApplication::exit(status);
    });
    timer.start(100);
    app.exec();
    return status;
}
