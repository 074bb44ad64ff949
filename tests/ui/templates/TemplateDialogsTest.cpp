// "Send from template" and "Save as template": filling a template as the operator types and
// sending it to a group through the many-projector dialog (simulated projectors on
// 127.0.128.2x), and saving the Edit tab's message with its fields.

#include <gtest/gtest.h>

#include <QAccessible>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include "projectors/ProjectorGroups.h"
#include "support/ScriptedPrompt.h"
#include "support/SimProcess.h"
#include "support/TransferTestSupport.h"
#include "support/UiTestSupport.h"
#include "templates/Template.h"
#include "text/LanguageText.h"
#include "ui/common/MainState.h"
#include "ui/common/UiText.h"
#include "ui/groups/ManyProjectorDialog.h"
#include "ui/groups/SendToChoice.h"
#include "ui/models/ProjectorRegistryModel.h"
#include "ui/templates/TemplateEditDialog.h"
#include "ui/templates/TemplateSendDialog.h"

using namespace orvanta;
using namespace orvanta::testsupport;

namespace {

MessageTemplate roomClosed() {
    MessageTemplate t;
    t.name = "Room closed";
    t.fields = {{"room", "Room", FieldKind::Text, true, "", 8, {}},
                {"until", "Until", FieldKind::Time, true, "14:30", 40, {}}};
    t.message.title = RichText(u"CLOSED", 0xFFFF00, 0xC0C0C0);
    t.message.body =
        RichText(u"{projector}: room {room} is closed until {until}", 0xFFFFFF, 0xC0C0C0);
    return t;
}

QString heard(QWidget* w) {
    return QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name);
}

}  // namespace

TEST(TemplateSendDialog, FillsAsTheOperatorTypesAndSendsToAGroup) {
    test::app();
    test::unlockSendLock();
    setInterfaceLanguage(LanguageId::English);
    SimProcess sims(
        {"--address", "127.0.128.20", "--address", "127.0.128.21", "--save-polls", "0"});
    ASSERT_TRUE(sims.ready()) << sims.output();
    MainState state;
    state.programFolder = test::scratchFolder("template-send");
    ASSERT_TRUE(saveTemplate(templatesFolder(state.programFolder), roomClosed()).ok());
    ScriptedPrompt prompt{PromptAnswer::Yes};
    TransferFlags flags;
    BlockingTransferRunner runner{flags, quickTimings()};
    ProjectorRegistryModel projectors{state};
    ASSERT_TRUE(createGroup(state.programFolder, "Hall A").ok());
    for (const char* a : {"127.0.128.20", "127.0.128.21"}) {
        ProjectorRecord r;
        r.address = ipv4(a);
        ASSERT_EQ(projectors.add(r), "");
        ASSERT_TRUE(addToGroup(state.programFolder, "Hall A", ipv4(a)).ok());
    }

    TemplateSendDialog dialog(PageContext{state, prompt, runner, projectors});
    auto* room = dialog.findChild<QLineEdit*>(QStringLiteral("field_room"));
    auto* send = dialog.findChild<QPushButton*>(QStringLiteral("templateSendButton"));
    auto* measure = dialog.findChild<QLabel*>(QStringLiteral("templateMeasure"));
    auto* problem = dialog.findChild<QLabel*>(QStringLiteral("templateProblem"));
    ASSERT_TRUE(room && send && measure && problem);

    struct Typing {
        QString room;
        bool sendable;
        QString shown;  // in the size line when sendable, else in the problem line
    };
    const Typing typing[] = {
        {QString(), false, QStringLiteral("Field \"room\": a value is needed.")},
        {QStringLiteral("B1\u65E5"), true, QStringLiteral(" of 3968 bytes, ")},  // wide set
        {QStringLiteral("B12"), true, QStringLiteral(" of 3968 bytes, 2 lines")},
    };
    for (const Typing& t : typing) {
        SCOPED_TRACE(t.room.toStdString());
        room->setText(t.room);
        EXPECT_EQ(send->isEnabled(), t.sendable);
        QLabel* line = t.sendable ? measure : problem;
        EXPECT_TRUE(line->text().contains(t.shown))
            << measure->text().toStdString() << problem->text().toStdString();
        // A screen reader hears the line that says why Send is off, never an earlier one, and
        // is told when it changes (a name set on the line is what tells it), as for the size.
        EXPECT_TRUE(heard(line).contains(t.shown)) << heard(line).toStdString();
        EXPECT_EQ(problem->accessibleName(), problem->text());
    }
    EXPECT_TRUE(prompt.texts().empty()) << "a box opened while the operator typed";

    auto* sendTo = dialog.findChild<SendToChoice*>(QStringLiteral("sendToChoice"));
    sendTo->setCurrentIndex(sendTo->findText(QStringLiteral("Group: Hall A")));
    send->click();
    auto* group = dialog.findChild<ManyProjectorDialog*>();
    ASSERT_NE(group, nullptr);
    ASSERT_TRUE(test::processEventsUntil([&] { return !group->running(); }, 30000));
    EXPECT_EQ(group->summaryText(), QStringLiteral("2 of 2 complete, 0 failed"));
    for (const char* a : {"127.0.128.20", "127.0.128.21"}) {
        EXPECT_TRUE(sims.waitForLine(std::string(a) + ":9719 PUT")) << sims.output();
    }
}

TEST(TemplateEditDialog, SavesTheMessageWithTheFieldsItUses) {
    test::app();
    setInterfaceLanguage(LanguageId::English);
    const std::string folder = templatesFolder(test::scratchFolder("template-edit"));
    Message message;
    message.title = RichText(u"Moved", 0xFFFFFF, 0xC0C0C0);
    message.body = RichText(u"{projector}: go to {room}", 0xFFFFFF, 0xC0C0C0);
    ScriptedPrompt prompt{PromptAnswer::Yes};

    TemplateEditDialog dialog(message, folder, prompt);
    auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("templateName"));
    auto* fields = dialog.findChild<QTableWidget*>(QStringLiteral("templateFields"));
    ASSERT_TRUE(name && fields);
    // Only {room} is the template's own: {projector} the program fills.
    ASSERT_EQ(fields->rowCount(), 1);
    EXPECT_EQ(fields->item(0, 0)->text(), QStringLiteral("room"));

    name->setText(QStringLiteral("Moved"));
    fields->item(0, 1)->setText(QStringLiteral("New room"));
    ASSERT_TRUE(dialog.save());
    const auto saved = loadTemplate(folder, "Moved");
    ASSERT_TRUE(saved.ok()) << saved.error();
    EXPECT_EQ(saved.value().fields.at(0).label, "New room");
    EXPECT_EQ(saved.value().message.body, message.body);

    // Without the row, the message uses a field the template does not define: nothing saved.
    fields->removeRow(0);
    name->setText(QStringLiteral("Broken"));
    EXPECT_FALSE(dialog.save());
    EXPECT_NE(prompt.texts().back().find("Field \"room\""), std::string::npos);
    EXPECT_FALSE(loadTemplate(folder, "Broken").ok());
}
