// What a screen reader finds in the program: every control of every page and dialog has a
// name, live fields say their value, and a projector drop-down lists one row per projector.

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QAccessible>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>

#include "platform/AtomicFile.h"
#include "support/ScriptedPrompt.h"
#include "support/SimProcess.h"
#include "support/TransferTestSupport.h"
#include "support/UiTestSupport.h"
#include "text/LanguageText.h"
#include "ui/common/UiText.h"
#include "ui/dialogs/ChangePasswordDialog.h"
#include "ui/dialogs/CommunicationStatusDialog.h"
#include "ui/dialogs/PaletteDialog.h"
#include "ui/dialogs/SendLockDialog.h"
#include "ui/discovery/ManualEntryDialog.h"
#include "ui/discovery/ProjectorPasswordDialog.h"
#include "ui/edit/AdvancedOptionsDialog.h"
#include "ui/edit/EditPage.h"
#include "ui/edit/PreviewDialog.h"
#include "ui/edit/UnsupportedCharactersDialog.h"
#include "ui/fleet/FleetPage.h"
#include "ui/frame/DesktopProgram.h"
#include "ui/frame/MainWindow.h"
#include "ui/frame/PageTabs.h"
#include "ui/main/MainPage.h"
#include "ui/main/StartupDisplayDialog.h"
#include "ui/main/StoredMessagesDialog.h"
#include "ui/models/ProjectorRegistryModel.h"

using namespace orvanta;
using namespace orvanta::testsupport;

namespace {

// The roles a screen reader stops at and reads by name.
bool isControl(QAccessible::Role role) {
    switch (role) {
        case QAccessible::PushButton:
        case QAccessible::CheckBox:
        case QAccessible::RadioButton:
        case QAccessible::ComboBox:
        case QAccessible::EditableText:
        case QAccessible::SpinBox:
        case QAccessible::Slider:
        case QAccessible::List:
        case QAccessible::Table:
        case QAccessible::Tree:
        case QAccessible::ButtonMenu:
        case QAccessible::ButtonDropDown:
        case QAccessible::PageTabList:
            return true;
        default:
            return false;
    }
}

// Qt's own parts of a control, which the keyboard does not reach or which their control
// names: a drop-down's pop-up list, scroll bars, the scroll buttons of a tab bar, a table's
// corner button and the overflow buttons of menu and tool bars.
bool partOfAQtControl(const QWidget* w) {
    if (qobject_cast<const QScrollBar*>(w) != nullptr || w->inherits("QTableCornerButton") ||
        w->objectName().startsWith(QLatin1StringView("qt_"))) {
        return true;
    }
    for (const QObject* p = w->parent(); p != nullptr; p = p->parent()) {
        if (const auto* combo = qobject_cast<const QComboBox*>(p)) {
            return w != combo->lineEdit();
        }
        if (p->inherits("QTabBar") || p->inherits("QScrollBar")) {
            return true;
        }
    }
    return false;
}

// "class objectName (role)" of every control under `root` that a screen reader would read
// without a name.
QStringList unnamedControls(QWidget* root) {
    QList<QWidget*> widgets = root->findChildren<QWidget*>();
    widgets.prepend(root);
    QStringList unnamed;
    for (QWidget* w : widgets) {
        if (partOfAQtControl(w)) {
            continue;
        }
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
        if (a == nullptr || !isControl(a->role())) {
            continue;
        }
        if (a->text(QAccessible::Name).trimmed().isEmpty()) {
            // A part without a name of its own is told by the control it belongs to.
            const QString where = w->objectName().isEmpty() && w->parentWidget() != nullptr
                                      ? w->parentWidget()->objectName() + QStringLiteral("/")
                                      : w->objectName();
            unnamed << QStringLiteral("%1 %2 (role %3)")
                           .arg(QString::fromLatin1(w->metaObject()->className()), where)
                           .arg(static_cast<int>(a->role()), 0, 16);
        }
    }
    return unnamed;
}

QString accessibleName(QWidget* w) {
    return QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name);
}

// Two registered projectors on loopback addresses where nothing listens: showing a page asks
// them and is refused at once.
const char kTwoProjectors[] =
    "[RESIST NUM]\r\nNUM=2\r\n"
    "[RESIST "
    "PROJECTOR1]\r\nNUM=1\r\nIP=2130722564\r\nProjectorName=Hall\r\nMAC=0\r\nAuth=0\r\nPass=\r\n"
    "[RESIST "
    "PROJECTOR2]\r\nNUM=2\r\nIP=2130722565\r\nProjectorName=Lobby\r\nMAC=0\r\nAuth=0\r\nPass=\r\n";

struct Window {
    MainState state;
    ScriptedPrompt prompt;
    std::unique_ptr<MainWindow> frame;

    explicit Window(const std::string& folder) {
        test::unlockSendLock();
        state.programFolder = folder;
        EXPECT_TRUE(writeFileAtomically(folder + "LastPj.txt", kTwoProjectors).ok());
        StartupOptions options;
        options.socketLayerAvailable = [] { return true; };
        // The Discovery page searches when shown: never on this machine's interfaces.
        options.adaptors = [] { return std::vector<AdaptorEntry>{}; };
        frame = createMainWindow(state, prompt, options);
    }
};

}  // namespace

TEST(Accessibility, EveryControlOfEveryPageAndDialogHasAName) {
    struct Case {
        LanguageId language;
        const char* name;
    };
    for (const Case& c : {Case{LanguageId::English, "en"}, Case{LanguageId::Japanese, "ja"}}) {
        setInterfaceLanguage(c.language);
        Window w(test::scratchFolder(std::string("names-") + c.name));
        ScriptedPrompt prompt;
        TransferFlags flags;
        BlockingTransferRunner runner{flags, quickTimings()};
        ProjectorInfo info;
        const ProjectorTarget target{ipv4("127.0.63.2"), ""};
        const CommandContext context{target, prompt, runner, info};
        MessageOptions options;
        const std::string lockPath = sendLockSettingsPath();
        Message message;
        message.title = RichText(u"T", 0xFFFFFF, 0xC0C0C0);
        message.body = RichText(u"B", 0xFFFFFF, 0xC0C0C0);

        std::vector<std::pair<const char*, std::unique_ptr<QWidget>>> dialogs;
        dialogs.emplace_back("ChangePasswordDialog",
                             std::make_unique<ChangePasswordDialog>(prompt, lockPath));
        dialogs.emplace_back("CommunicationStatusDialog",
                             std::make_unique<CommunicationStatusDialog>());
        dialogs.emplace_back("PaletteDialog", std::make_unique<PaletteDialog>(
                                                  PaletteDialog::Kind::CharacterColor, 7));
        dialogs.emplace_back("SendLockDialog", std::make_unique<SendLockDialog>(
                                                   SendLockDialog::Mode::Lock, prompt, lockPath));
        dialogs.emplace_back("ManualEntryDialog", std::make_unique<ManualEntryDialog>(prompt));
        dialogs.emplace_back(
            "ProjectorPasswordDialog",
            std::make_unique<ProjectorPasswordDialog>(QStringLiteral("Hall"), 0, std::string()));
        dialogs.emplace_back("AdvancedOptionsDialog", std::make_unique<AdvancedOptionsDialog>(
                                                          options, kColorHalfTransparent,
                                                          ProjectorCapabilities{4, 7}, prompt));
        dialogs.emplace_back(
            "PreviewDialog",
            std::make_unique<PreviewDialog>(
                render::makePreviewInput(message),
                render::GlyphSet::load(std::string(ORVANTA_TEST_SOURCE_DIR) + "/data", 0),
                w.state.programFolder));
        dialogs.emplace_back("UnsupportedCharactersDialog",
                             std::make_unique<UnsupportedCharactersDialog>(QStringLiteral("x")));
        dialogs.emplace_back("StartupDisplayDialog", std::make_unique<StartupDisplayDialog>(
                                                         StartupDisplay{true, 3, 5}, context));
        dialogs.emplace_back("StoredMessagesDialog",
                             std::make_unique<StoredMessagesDialog>(ipv4("127.0.63.2"), ""));

        std::vector<std::pair<const char*, QWidget*>> walked = {
            {"MainWindow", w.frame.get()},
            {"MainPage", w.frame->view()->mainTab()},
            {"EditPage", w.frame->view()->editTab()},
            {"FleetPage", w.frame->view()->fleetTab()},
        };
        for (auto& [name, dialog] : dialogs) {
            walked.emplace_back(name, dialog.get());
        }
        for (const auto& [name, root] : walked) {
            EXPECT_EQ(unnamedControls(root).join(QLatin1Char('\n')).toStdString(), "")
                << name << " " << c.name;
        }
    }
    setInterfaceLanguage(LanguageId::English);
}

TEST(Accessibility, LiveFieldsAreHeardWithTheirValue) {
    SimProcess sim({"--address", "127.0.63.3", "--startup-word", "33541"});
    ASSERT_TRUE(sim.ready()) << sim.output();
    setInterfaceLanguage(LanguageId::English);
    test::unlockSendLock();
    MainState state;
    state.programFolder = test::scratchFolder("live");
    ScriptedPrompt prompt;
    TransferFlags flags;
    BlockingTransferRunner runner{flags, quickTimings()};
    ProjectorRegistryModel projectors{state};
    ProjectorRecord record;
    record.address = ipv4("127.0.63.3");
    ASSERT_EQ(projectors.add(record), "");
    StatusPollTimings polls;
    polls.pause = std::chrono::milliseconds(10);
    auto page =
        std::make_unique<MainPage>(PageContext{state, prompt, runner, projectors}, nullptr, polls);
    page->showPage();
    const auto heard = [&](const char* field) {
        return accessibleName(page->findChild<QLabel*>(QLatin1StringView(field)));
    };
    ASSERT_TRUE(test::processEventsUntil([&] {
        return heard("messageState") == QStringLiteral("Message: OFF");
    })) << heard("messageState").toStdString();
    struct Case {
        const char* field;
        const char* heard;
    };
    for (const Case& c :
         {Case{"alarmState", "Alarm: OFF"}, Case{"startupSavedNumber", "Saved number: 3"},
          Case{"startupDisplayTime", "Display time: 5"}}) {
        // The watch asks for the alarm after the message: wait for each field's answer.
        EXPECT_TRUE(test::processEventsUntil([&] {
            return heard(c.field) == QLatin1StringView(c.heard);
        })) << c.field
            << ": " << heard(c.field).toStdString();
    }
    page->leavePage();
    page.reset();
    test::processEventsUntil([] { return StatusPoller::threadsAlive() == 0; });
}

TEST(Accessibility, AProjectorDropDownListsOneRowPerProjector) {
    setInterfaceLanguage(LanguageId::English);
    Window w(test::scratchFolder("rows"));
    for (QWidget* page : {static_cast<QWidget*>(w.frame->view()->mainTab()),
                          static_cast<QWidget*>(w.frame->view()->editTab())}) {
        auto* combo = page->findChild<QComboBox*>(QStringLiteral("projectorList"));
        ASSERT_NE(combo, nullptr);
        ASSERT_EQ(combo->count(), 2);
        QAccessibleInterface* list = QAccessible::queryAccessibleInterface(combo->view());
        ASSERT_NE(list, nullptr);
        EXPECT_EQ(list->childCount(), 2) << page->metaObject()->className();
        ASSERT_GE(list->childCount(), 2);
        EXPECT_EQ(list->child(0)->text(QAccessible::Name), QStringLiteral("127.0.63.4"));
        EXPECT_EQ(list->child(1)->text(QAccessible::Name), QStringLiteral("127.0.63.5"));
    }
}

// A list is heard by the label beside it, not only by the value it shows ("127.0.63.4", "0").
TEST(Accessibility, ListsAreTiedToTheLabelsThatNameThem) {
    setInterfaceLanguage(LanguageId::English);
    Window w(test::scratchFolder("labels"));
    ScriptedPrompt prompt;
    MessageOptions options;
    AdvancedOptionsDialog advanced(options, kColorHalfTransparent, ProjectorCapabilities{4, 7},
                                   prompt);
    struct Case {
        QWidget* root;
        const char* list;
        QString label;
    };
    const Case cases[] = {
        {w.frame->view()->mainTab(), "projectorList", text(Text::ProjectorIpAddressLabel)},
        {&advanced, "minutesList", text(Text::MinutesLabel)},
        {&advanced, "secondsList", text(Text::SecondsLabel)},
    };
    for (const Case& c : cases) {
        auto* combo = c.root->findChild<QComboBox*>(QLatin1StringView(c.list));
        ASSERT_NE(combo, nullptr) << c.list;
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(combo);
        QStringList labels;
        for (const auto& [other, relation] : a->relations(QAccessible::Label)) {
            labels << other->text(QAccessible::Name);
        }
        EXPECT_TRUE(labels.contains(c.label)) << c.list << ": " << labels.join(u'|').toStdString();
    }
}
