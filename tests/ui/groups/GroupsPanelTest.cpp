// The Discovery tab's groups panel: making, renaming and deleting groups and changing their
// members, with the changes written off the GUI thread and refusals told through the prompt.

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTest>

#include "projectors/ProjectorGroups.h"
#include "protocol/Transfer.h"
#include "support/ScriptedPrompt.h"
#include "support/UiTestSupport.h"
#include "text/LanguageText.h"
#include "ui/common/MainState.h"
#include "ui/groups/GroupListModel.h"
#include "ui/groups/GroupsPanel.h"
#include "ui/models/ProjectorRegistryModel.h"

using namespace orvanta;

TEST(GroupsPanel, ChangesReachTheFileAndRefusalsAreTold) {
    test::app();
    setInterfaceLanguage(LanguageId::English);
    MainState state;
    state.programFolder = test::scratchFolder("groups-panel");
    ScriptedPrompt prompt{PromptAnswer::Yes};
    TransferFlags flags;
    BlockingTransferRunner runner{flags};
    ProjectorRegistryModel projectors{state};
    for (const std::uint32_t a : {0x0A000001u, 0x0A000002u}) {
        ProjectorRecord r;
        r.address = a;
        r.name = "PJ" + std::to_string(a & 0xFF);
        ASSERT_EQ(projectors.add(r), "");
    }
    int registeredRow = -1;
    GroupsPanel panel(PageContext{state, prompt, runner, projectors},
                      [&] { return registeredRow; });
    auto* name = panel.findChild<QLineEdit*>(QStringLiteral("groupName"));
    auto button = [&](const char* n) {
        return panel.findChild<QPushButton*>(QLatin1StringView(n));
    };
    auto* members = panel.findChild<QListView*>(QStringLiteral("groupMemberList"));
    auto written = [&] {
        return test::processEventsUntil([&] { return !panel.groups()->writing(); });
    };
    auto fileGroups = [&] { return readProjectorGroups(state.programFolder).valueOr({}).groups; };

    EXPECT_FALSE(button("newGroupButton")->isEnabled());  // no name yet
    QTest::keyClicks(name, QStringLiteral("Hall A"));
    ASSERT_TRUE(button("newGroupButton")->isEnabled());
    button("newGroupButton")->click();
    ASSERT_TRUE(written());
    EXPECT_FALSE(button("addToGroupButton")->isEnabled());  // no registered projector picked
    registeredRow = 1;
    panel.registeredSelectionChanged();
    ASSERT_TRUE(button("addToGroupButton")->isEnabled());
    button("addToGroupButton")->click();
    ASSERT_TRUE(written());
    ASSERT_EQ(members->model()->rowCount(), 1);
    EXPECT_EQ(members->model()->index(0, 0).data().toString(), QStringLiteral("10.0.0.2  PJ2"));

    // The same projector twice, and a second group of the same name, are refused and told.
    button("addToGroupButton")->click();
    ASSERT_TRUE(written());
    button("newGroupButton")->click();
    ASSERT_TRUE(written());
    ASSERT_EQ(prompt.entries().size(), 2u);
    EXPECT_EQ(prompt.entries()[0].text.rfind(languageText(Text::GroupAlreadyMember), 0), 0u);
    EXPECT_EQ(prompt.entries()[1].text.rfind(languageText(Text::GroupSameName), 0), 0u);

    name->setText(QStringLiteral("Floor 2"));
    button("renameGroupButton")->click();
    ASSERT_TRUE(written());
    std::vector<ProjectorGroup> expected{{"Floor 2", {0x0A000002u}}};
    EXPECT_EQ(fileGroups(), expected);

    // A change made by another program at the same time shows once the page reloads; a member
    // that leaves the registry stays, marked missing, and can still be removed.
    ASSERT_TRUE(createGroup(state.programFolder, "From the command line").ok());
    ASSERT_TRUE(unregisterProjector(state.programFolder, 0x0A000002u).ok());
    projectors.reload();
    panel.reload();
    EXPECT_EQ(panel.groups()->rowCount(), 2);
    members->setCurrentIndex(members->model()->index(0, 0));
    EXPECT_EQ(members->model()->index(0, 0).data().toString(),
              QStringLiteral("10.0.0.2 (missing)"));
    button("removeFromGroupButton")->click();
    ASSERT_TRUE(written());
    button("deleteGroupButton")->click();
    ASSERT_TRUE(written());
    expected = {{"From the command line", {}}};
    EXPECT_EQ(fileGroups(), expected);
}
