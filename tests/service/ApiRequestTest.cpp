// Reading command requests: what is accepted becomes the command the caller meant; anything
// else names the field at fault.

#include <gtest/gtest.h>

#include "service/ApiRequest.h"

namespace orvanta::service {
namespace {

TEST(ApiRequest, AcceptedShapesBecomeTheCommandMeant) {
    struct Case {
        ApiVerb verb;
        std::string body;
        std::function<void(const ApiCommand&)> check;
    };
    const std::vector<Case> cases = {
        {ApiVerb::Send, R"({"file":"Bell","target":{"group":"Hall A"}})",
         [](const ApiCommand& c) {
             EXPECT_EQ(c.file, "Bell");
             EXPECT_EQ(c.target.kind, ApiTarget::Kind::Group);
             EXPECT_EQ(c.target.name, "Hall A");
             EXPECT_EQ(c.slot, 0);
             EXPECT_FALSE(c.startup);
         }},
        {ApiVerb::Send,
         R"({"template":"Lockdown","fields":{"room":"B 12"},"slot":4,"startup":"repeat",
             "show":true,"target":{"all":true},"dry_run":true})",
         [](const ApiCommand& c) {
             EXPECT_EQ(c.templateName, "Lockdown");
             EXPECT_EQ(c.fields.at("room"), "B 12");
             EXPECT_EQ(c.slot, 4);
             EXPECT_EQ(c.startup, "repeat");
             EXPECT_TRUE(c.showNow && c.dryRun);
             EXPECT_EQ(c.target.kind, ApiTarget::Kind::All);
         }},
        {ApiVerb::Send,
         R"({"file":"Bell","slot":12,"startup":127,"target":{"projector":"10.0.0.1"}})",
         [](const ApiCommand& c) {
             EXPECT_EQ(c.startup, "127");
             EXPECT_EQ(c.target.name, "10.0.0.1");
         }},
        {ApiVerb::Show, R"({"slot":"quick","power_on":true,"target":{"all":true}})",
         [](const ApiCommand& c) { EXPECT_TRUE(c.powerOn && c.slot == 0); }},
        {ApiVerb::Clear, R"({"slot":"saved-all","target":{"all":true}})",
         [](const ApiCommand& c) { EXPECT_EQ(c.clear, ClearWhat::SavedAll); }},
        {ApiVerb::Clear, R"({"slot":7,"target":{"all":true}})",
         [](const ApiCommand& c) { EXPECT_TRUE(c.clear == ClearWhat::Saved && c.slot == 7); }},
        {ApiVerb::Mute, R"({"target":{"all":true}})", [](const ApiCommand&) {}},
    };
    for (const Case& c : cases) {
        const ApiReading r = readApiCommand(c.verb, c.body);
        ASSERT_TRUE(r.command) << c.body << ": " << r.problem.text;
        c.check(*r.command);
    }
}

TEST(ApiRequest, RefusalsNameTheField) {
    struct Case {
        ApiVerb verb;
        std::string body;
        std::string field;
    };
    const std::vector<Case> cases = {
        {ApiVerb::Send, R"({"file":"a","template":"b","target":{"all":true}})", "template"},
        {ApiVerb::Send, R"({"target":{"all":true}})", "file"},
        {ApiVerb::Send, R"({"template":"b","fields":{"room":5},"target":{"all":true}})",
         "fields.room"},
        {ApiVerb::Send, R"({"file":"a","fields":{},"target":{"all":true}})", "fields"},
        {ApiVerb::Send, R"({"file":"a","startup":0,"slot":1,"target":{"all":true}})", "startup"},
        {ApiVerb::Send, R"({"file":"","target":{"all":true}})", "file"},
        {ApiVerb::Send, R"({"file":"a","target":{"all":false}})", "target.all"},
        {ApiVerb::Send, R"({"file":"a","target":{"group":["x"]}})", "target.group"},
        {ApiVerb::Send, R"({"file":"a","target":{"room":"x"}})", "target.room"},
        {ApiVerb::Show, R"({"slot":1.5,"target":{"all":true}})", "slot"},
        {ApiVerb::Hide, R"({"slot":1,"power_on":true,"target":{"all":true}})", "power_on"},
        {ApiVerb::Mute, R"({"slot":1,"target":{"all":true}})", "slot"},
        {ApiVerb::Mute, "\xff\xfe", ""},
    };
    for (const Case& c : cases) {
        const ApiReading r = readApiCommand(c.verb, c.body);
        EXPECT_FALSE(r.command) << c.body;
        EXPECT_EQ(r.problem.field, c.field) << c.body << ": " << r.problem.text;
        EXPECT_NE(r.problem.text.find(c.field), std::string::npos) << r.problem.text;
    }
}

}  // namespace
}  // namespace orvanta::service
