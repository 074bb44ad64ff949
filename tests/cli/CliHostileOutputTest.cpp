// What the command line prints of text that came from a projector or a hand-edited file: no
// control character reaches the terminal and one record stays one line; JSON stays valid
// UTF-8. And every send that reached a projector leaves one history record, however it
// ended. Simulated projectors on 127.0.150.x.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "cli/CliTestSupport.h"
#include "history/History.h"
#include "platform/TextCodec.h"
#include "projectors/ProjectorRegistry.h"
#include "support/SimProcess.h"
#include "text/LanguageText.h"

namespace orvanta {
namespace {

using testsupport::CliFolders;
using testsupport::CliOutcome;
using testsupport::ipv4;
using testsupport::SimProcess;

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        out.push_back(line);
    }
    return out;
}

bool hasControl(const std::string& text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return (u < 0x20 && c != '\n') || u == 0x7F;
    });
}

TEST(CliHostileOutput, NamesAndTitlesAreShownNeverObeyed) {
    setInterfaceLanguage(LanguageId::English);
    CliFolders folders("hostile-output");
    const std::string hostile = "\x1B[2J\x1B]0;owned\x07Lobby\nforged 10.0.0.1  -  10.0.0.1";
    ProjectorRecord r;
    r.address = ipv4("127.0.150.40");
    r.name = hostile;
    r.mac = "00-11-22-33-44-55\r";
    ASSERT_TRUE(registerProjector(folders.program(), r).ok());
    HistoryRecord h;
    h.time = 1700000000000;
    h.user = "op\x1B[31m";
    h.address = "127.0.150.40";
    h.projector = hostile;
    h.command = "send";
    h.slot = 3;
    h.result = "done";
    h.title =
        "Drill\xE2\x80\xAE"
        "evil\n\xFF\xFE";  // a direction override, a line break, not UTF-8
    ASSERT_TRUE(HistoryFile(historyPath(folders.program())).append(h).ok());

    struct Case {
        std::vector<std::string> args;
        std::size_t lineCount;
        bool json;
    };
    const Case cases[] = {
        {{"projectors", "list"}, 1, false},
        {{"history"}, 1, false},
        {{"history", "--json"}, 1, true},
        {{"status", "--all-registered"}, 2, false},  // a heading and the projector
        {{"status", "--all-registered", "--json"}, 3, true},
    };
    for (const Case& c : cases) {
        const CliOutcome o = folders.run(c.args);
        SCOPED_TRACE(c.args.front() + " " + c.args.back());
        EXPECT_FALSE(hasControl(o.out)) << o.out;
        EXPECT_EQ(lines(o.out).size(), c.lineCount) << o.out;
        EXPECT_TRUE(decodeUtf8Strict(o.out).has_value()) << o.out;
        if (!c.json) {
            EXPECT_NE(o.out.find("<U+001B>"), std::string::npos) << o.out;
        }
    }
}

TEST(CliHostileOutput, EverySendThatReachedAProjectorIsRecorded) {
    setInterfaceLanguage(LanguageId::English);
    CliFolders folders("records");
    struct Case {
        const char* what;
        std::string address;
        std::vector<std::string> fault;  // the simulator's switches; none: nobody there
        const char* result;
    };
    const Case cases[] = {
        {"complete", "127.0.150.2", {"--save-polls", "0"}, "done"},
        {"busy at the first query", "127.0.150.3", {"--busy"}, "failed"},
        {"refused password", "127.0.150.4", {"--password", "secret"}, "failed"},
        {"garbage", "127.0.150.5", {"--garbage"}, "failed"},
        {"dropped connection", "127.0.150.6", {"--drop"}, "failed"},
        {"nobody at the address", "127.0.150.9", {}, nullptr},
    };
    std::vector<std::unique_ptr<SimProcess>> sims;
    std::vector<std::string> args = {"send", "m.ovx", "--slot", "2"};
    for (const Case& c : cases) {
        if (!c.fault.empty()) {
            std::vector<std::string> simArgs = {"--address", c.address};
            simArgs.insert(simArgs.end(), c.fault.begin(), c.fault.end());
            sims.push_back(std::make_unique<SimProcess>(simArgs));
            ASSERT_TRUE(sims.back()->ready()) << sims.back()->output();
        }
        args.insert(args.end(), {"--projector", c.address});
    }
    Message m;
    m.title = RichText(u"Drill", 0xFFFFFF, 0xC0C0C0);
    m.body = RichText(u"Leave now", 0xFFFFFF, 0xC0C0C0);
    ASSERT_TRUE(testsupport::writeMessageFile(folders.messageData("m.ovx"), m));

    const CliOutcome o = folders.run(args);
    EXPECT_EQ(o.status, 1) << o.out << o.err;
    const Result<HistoryFile::Contents> read = HistoryFile(historyPath(folders.program())).read();
    ASSERT_TRUE(read.ok()) << read.error();
    std::map<std::string, std::vector<std::string>> results;
    for (const HistoryRecord& rec : read.value().records) {
        results[rec.address].push_back(rec.result);
        EXPECT_EQ(rec.title, "Drill") << rec.address;
    }
    for (const Case& c : cases) {
        const std::vector<std::string> expected =
            c.result ? std::vector<std::string>{c.result} : std::vector<std::string>{};
        EXPECT_EQ(results[c.address], expected) << c.what << "\n" << o.out;
    }
}

}  // namespace
}  // namespace orvanta
