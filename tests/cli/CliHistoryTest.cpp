// The history that orvanta-cli and the desktop program share: twenty command-line sends (one
// of them to several projectors at once) and the desktop program's writer at once leave exactly
// one record each, and `orvanta-cli history` prints and filters them. Simulated projectors on
// 127.0.102.x.

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cli/CliTestSupport.h"
#include "commands/ProjectorState.h"
#include "commands/SendCommand.h"
#include "history/HistoryRecorder.h"
#include "projectors/ProjectorRegistry.h"
#include "support/ScriptedPrompt.h"
#include "support/SimProcess.h"
#include "text/LanguageText.h"

namespace orvanta {
namespace {

using testsupport::CliFolders;
using testsupport::CliOutcome;
using testsupport::CliProcess;
using testsupport::ipv4;
using testsupport::SimProcess;

constexpr int kCliSends = 20;
constexpr int kDesktopSends = 5;
constexpr int kManyAtOnce = 4;
const std::string kDesktopAddress = "127.0.102.30";

std::string cliAddress(int i) {
    return "127.0.102." + std::to_string(2 + i);
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        out.push_back(line);
    }
    return out;
}

TEST(CliHistory, ConcurrentSendsLeaveOneRecordEachAndHistoryPrintsThem) {
    setInterfaceLanguage(LanguageId::English);
    CliFolders folders("history");
    std::vector<std::string> simArgs = {"--save-polls", "1"};
    for (int i = 0; i < kCliSends; ++i) {
        simArgs.insert(simArgs.end(), {"--address", cliAddress(i)});
    }
    simArgs.insert(simArgs.end(), {"--address", kDesktopAddress});
    SimProcess sim(simArgs);
    ASSERT_TRUE(sim.ready()) << sim.output();
    Message m;
    m.title = RichText(u"Evacuate", 0xFFFFFF, 0xC0C0C0);
    m.body = RichText(u"Use the east stairs", 0xFFFFFF, 0xC0C0C0);
    ASSERT_TRUE(testsupport::writeMessageFile(folders.messageData("m.ovx"), m));
    ProjectorRecord named;
    named.address = ipv4(cliAddress(3).c_str());
    named.name = "Lobby";
    named.mac = "-----";
    ASSERT_TRUE(registerProjector(folders.program(), named).ok());

    // The desktop program's way of recording: its recorder hands records to a writer thread.
    std::thread desktop([&] {
        HistoryWriterThread writer{HistoryFile(historyPath(folders.program()))};
        HistoryRecorder recorder(nullptr, [&](const HistoryRecord& r) { writer.append(r); });
        TransferFlags flags;
        BlockingTransferRunner runner(flags);
        ProjectorInfo info;
        ScriptedPrompt prompt(PromptAnswer::Yes);
        const CommandContext context{
            {ipv4(kDesktopAddress.c_str()), ""}, prompt, runner, info, &recorder};
        ASSERT_TRUE(refreshProjectorInfo(context).ok());
        for (int i = 0; i < kDesktopSends; ++i) {
            EXPECT_TRUE(
                sendMessageFile(context, {folders.messageData("m.ovx"), 1, false, ""}, false).ok());
        }
        writer.flush();
    });
    // The last few projectors are one run to many, whose rows record from threads of their own.
    std::vector<std::unique_ptr<CliProcess>> runs;
    std::vector<std::string> many = {"send", "m.ovx", "--slot", "1"};
    for (int i = 0; i < kCliSends; ++i) {
        if (i >= kCliSends - kManyAtOnce) {
            many.insert(many.end(), {"--projector", cliAddress(i)});
            continue;
        }
        runs.push_back(std::make_unique<CliProcess>(
            std::vector<std::string>{"send", "m.ovx", "--slot", std::to_string(1 + i % 12),
                                     "--projector", cliAddress(i)},
            folders.environment()));
    }
    runs.push_back(std::make_unique<CliProcess>(many, folders.environment()));
    for (const auto& run : runs) {
        const CliOutcome o = run->wait();
        EXPECT_EQ(o.status, 0) << o.out << o.err;
    }
    desktop.join();

    const Result<HistoryFile::Contents> read = HistoryFile(historyPath(folders.program())).read();
    ASSERT_TRUE(read.ok()) << read.error();
    EXPECT_EQ(read.value().skippedLines, 0u);
    std::map<std::string, int> perAddress;
    for (const HistoryRecord& r : read.value().records) {
        ++perAddress[r.address];
        EXPECT_EQ(r.command, "send");
        EXPECT_EQ(r.result, "done");
        EXPECT_EQ(r.title, "Evacuate");
        EXPECT_FALSE(r.message.empty());
        EXPECT_FALSE(r.user.empty());
    }
    for (int i = 0; i < kCliSends; ++i) {
        EXPECT_EQ(perAddress[cliAddress(i)], 1) << cliAddress(i);
    }
    EXPECT_EQ(perAddress[kDesktopAddress], kDesktopSends);
    EXPECT_EQ(read.value().records.size(), static_cast<std::size_t>(kCliSends + kDesktopSends));

    // What `history` prints, filtered by projector and day.
    const CliOutcome lobby = folders.run({"history", "--projector", cliAddress(3)});
    EXPECT_EQ(lobby.status, 0) << lobby.err;
    const std::vector<std::string> printed = lines(lobby.out);
    ASSERT_EQ(printed.size(), 1u) << lobby.out;
    EXPECT_NE(
        printed[0].find(cliAddress(3) + " (Lobby)  send  slot 4  done: Complete.  \"Evacuate\""),
        std::string::npos)
        << printed[0];
    const CliOutcome json = folders.run({"history", "--json"});
    EXPECT_EQ(lines(json.out).size(), static_cast<std::size_t>(kCliSends + kDesktopSends));
    for (const std::string& line : lines(json.out)) {
        EXPECT_TRUE(parseHistoryLine(line)) << line;
    }
    const CliOutcome later = folders.run({"history", "--since", "2999-01-01"});
    EXPECT_EQ(later.status, 0);
    EXPECT_EQ(later.out, "");
    const CliOutcome bad = folders.run({"history", "--since", "yesterday"});
    EXPECT_EQ(bad.status, 2);

    // Turned off, nothing is added.
    {
        auto env = folders.environment();
        env["ORVANTA_NO_HISTORY"] = "1";
        CliProcess off({"send", "m.ovx", "--projector", cliAddress(0)}, env);
        EXPECT_EQ(off.wait().status, 0);
    }
    const Result<HistoryFile::Contents> after = HistoryFile(historyPath(folders.program())).read();
    ASSERT_TRUE(after.ok());
    EXPECT_EQ(after.value().records.size(), static_cast<std::size_t>(kCliSends + kDesktopSends));
}

}  // namespace
}  // namespace orvanta
