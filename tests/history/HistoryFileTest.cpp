// The history file: records survive the trip through JSON Lines with any text, a crash in the
// middle of a write costs only the record being written, the file stays within its bound, and
// writers in many threads and processes at once lose nothing.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <thread>
#include <vector>

#include "history/History.h"
#include "history/HistoryRecorder.h"

namespace orvanta {
namespace {

std::string scratch(const std::string& name) {
    const auto dir = std::filesystem::temp_directory_path() /
                     ("orvanta-history-" + std::to_string(::getpid()) + "-" + name);
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir.string() + "/";
}

HistoryRecord sample(int n, std::string title = "Fire drill") {
    HistoryRecord r;
    r.time = 1796716104379 + n;
    r.user = "operator";
    r.address = "127.0.0.2";
    r.projector = "Hall";
    r.command = "send";
    r.slot = n % 13;
    r.result = "done";
    r.text = "Complete.";
    r.title = std::move(title);
    r.message = "{\\rtf1 OPTNUM=10\\par\n}";
    r.source = "/home/op/MessageData/drill.ovx";
    return r;
}

TEST(HistoryLine, EveryTextComesBackAndOtherLinesAreRefused) {
    HistoryRecord noSlot = sample(1);
    noSlot.slot = -1;
    noSlot.command = "mute";
    noSlot.message.clear();
    const std::vector<HistoryRecord> records = {
        sample(0),
        noSlot,
        sample(2, "quote \" backslash \\ slash / tab \t line\nend\r"),
        sample(3, std::string("control \x01\x1f\x7f and NUL-free")),
        sample(4, "日本語のタイトル 中文 😀"),
    };
    for (const HistoryRecord& r : records) {
        const std::string line = historyLine(r);
        EXPECT_EQ(line.find('\n'), std::string::npos) << line;
        const std::optional<HistoryRecord> back = parseHistoryLine(line);
        ASSERT_TRUE(back) << line;
        EXPECT_EQ(*back, r) << line;
    }
    // Escapes other programs write are read as well.
    const auto escaped = parseHistoryLine(
        R"({"time":5,"command":"send","title":"\u00e9\ud83d\ude00\/x","slot":3,"extra":true})");
    ASSERT_TRUE(escaped);
    EXPECT_EQ(escaped->title, "é😀/x");
    EXPECT_EQ(escaped->slot, 3);

    for (const char* bad :
         {"", "{", "[]", "{\"time\":1}", "{\"command\":\"send\"}",
          "{\"time\":\"x\",\"command\":\"send\"}", "{\"time\":1,\"command\":\"send\"",
          "{\"time\":1,\"command\":\"se", "{\"time\":1,\"command\":\"send\"} trailing",
          "{\"time\":1,\"command\":\"\\q\"}"}) {
        EXPECT_FALSE(parseHistoryLine(bad)) << bad;
    }
}

TEST(HistoryFile, ACrashMidWriteCostsOnlyThatRecord) {
    const std::string folder = scratch("torn");
    const HistoryFile file(historyPath(folder));
    ASSERT_TRUE(file.append(sample(1)).ok());
    ASSERT_TRUE(file.append(sample(2)).ok());
    {
        // What a writer killed in the middle of its record leaves.
        std::ofstream out(file.path(), std::ios::app);
        out << historyLine(sample(3)).substr(0, 40);
    }
    Result<HistoryFile::Contents> read = file.read();
    ASSERT_TRUE(read.ok()) << read.error();
    EXPECT_EQ(read.value().records, (std::vector<HistoryRecord>{sample(1), sample(2)}));
    EXPECT_EQ(read.value().skippedLines, 1u);

    // The next record starts on a line of its own: it is whole, the torn one stays skipped.
    ASSERT_TRUE(file.append(sample(4)).ok());
    read = file.read();
    ASSERT_TRUE(read.ok());
    EXPECT_EQ(read.value().records, (std::vector<HistoryRecord>{sample(1), sample(2), sample(4)}));
    EXPECT_EQ(read.value().skippedLines, 1u);

    // No history yet is an empty one.
    const Result<HistoryFile::Contents> none = HistoryFile(historyPath(scratch("none"))).read();
    ASSERT_TRUE(none.ok());
    EXPECT_TRUE(none.value().records.empty());
}

TEST(HistoryFile, OlderRecordsRotateOutAndTheNewestStay) {
    const std::string folder = scratch("rotate");
    const std::size_t lineBytes = historyLine(sample(0)).size() + 1;
    const HistoryFile file(historyPath(folder), lineBytes * 10);
    for (int n = 0; n < 35; ++n) {
        ASSERT_TRUE(file.append(sample(n)).ok());
    }
    EXPECT_EQ(file.rotatedPath(), folder + "history.1.jsonl");
    EXPECT_LE(std::filesystem::file_size(file.path()), lineBytes * 10);
    EXPECT_LE(std::filesystem::file_size(file.rotatedPath()), lineBytes * 10);
    const Result<HistoryFile::Contents> read = file.read();
    ASSERT_TRUE(read.ok());
    const std::vector<HistoryRecord>& records = read.value().records;
    // Between one and two files' worth, in order, ending with the last one written.
    ASSERT_GE(records.size(), 11u);
    ASSERT_LE(records.size(), 20u);
    for (std::size_t i = 0; i < records.size(); ++i) {
        EXPECT_EQ(records[i], sample(static_cast<int>(35 - records.size() + i)));
    }
}

TEST(HistoryFile, WritersInThreadsAndProcessesAtOnceLoseNothing) {
    const std::string folder = scratch("many");
    const std::string path = historyPath(folder);
    constexpr int kProcesses = 4;
    constexpr int kThreads = 4;
    constexpr int kEach = 25;
    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            std::vector<std::thread> threads;
            bool ok = true;
            std::mutex okMutex;
            for (int t = 0; t < kThreads; ++t) {
                threads.emplace_back([&, t] {
                    const HistoryFile file(path);
                    for (int i = 0; i < kEach; ++i) {
                        const bool appended =
                            file.append(sample((p * kThreads + t) * kEach + i)).ok();
                        std::lock_guard<std::mutex> lock(okMutex);
                        ok = ok && appended;
                    }
                });
            }
            for (std::thread& t : threads) {
                t.join();
            }
            ::_exit(ok ? 0 : 1);
        }
        children.push_back(pid);
    }
    {
        // The desktop program's way: a writer thread of its own.
        HistoryWriterThread writer{HistoryFile(path)};
        for (int i = 0; i < kEach; ++i) {
            writer.append(sample(10000 + i));
        }
        writer.flush();
    }
    for (const pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const Result<HistoryFile::Contents> read = HistoryFile(path).read();
    ASSERT_TRUE(read.ok());
    EXPECT_EQ(read.value().skippedLines, 0u);
    std::multiset<std::int64_t> times;
    for (const HistoryRecord& r : read.value().records) {
        times.insert(r.time);
    }
    std::multiset<std::int64_t> expected;
    for (int n = 0; n < kProcesses * kThreads * kEach; ++n) {
        expected.insert(sample(n).time);
    }
    for (int i = 0; i < kEach; ++i) {
        expected.insert(sample(10000 + i).time);
    }
    EXPECT_EQ(times, expected);
}

}  // namespace
}  // namespace orvanta

namespace orvanta {
namespace {

// The command line's history of one run: the records of every projector, from the threads that
// ran them, arrive together when the run ends, each once; a file that cannot be written is
// told and costs the command nothing.
TEST(BufferedHistory, TheRecordsOfARunAreWrittenTogetherWhenItEnds) {
    const std::string folder = scratch("buffered");
    const HistoryFile file(historyPath(folder));
    constexpr int kProjectors = 32;
    {
        BufferedHistory history(
            file, [](std::uint32_t address) { return "Room " + std::to_string(address); });
        std::vector<std::thread> rows;
        for (int i = 0; i < kProjectors; ++i) {
            rows.emplace_back([&history, i] {
                CommandRecord command;
                command.command = "send";
                command.slot = 1;
                history.record({static_cast<std::uint32_t>(i + 1), ""}, command,
                               Outcome::success());
            });
        }
        for (std::thread& t : rows) {
            t.join();
        }
        EXPECT_FALSE(std::filesystem::exists(file.path()));  // not before the run ends
    }
    const Result<HistoryFile::Contents> read = file.read();
    ASSERT_TRUE(read.ok()) << read.error();
    std::set<std::string> projectors;
    for (const HistoryRecord& r : read.value().records) {
        EXPECT_EQ(r.command, "send");
        EXPECT_EQ(r.result, "done");
        projectors.insert(r.projector);
    }
    EXPECT_EQ(read.value().records.size(), static_cast<std::size_t>(kProjectors));
    EXPECT_EQ(projectors.size(), static_cast<std::size_t>(kProjectors));

    std::vector<std::string> problems;
    {
        BufferedHistory broken(HistoryFile(folder + "no/such/folder/history.jsonl"), {},
                               [&](const std::string& p) { problems.push_back(p); });
        CommandRecord mute;
        mute.command = "mute";
        broken.record({1, ""}, mute, Outcome::success());
    }
    EXPECT_EQ(problems.size(), 1u);
}

}  // namespace
}  // namespace orvanta
