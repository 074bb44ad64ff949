#include "projectors/Discovery.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/DiscoveryEventLog.h"
#include "support/SimProcess.h"

using namespace orvanta;
using Bytes = std::vector<std::uint8_t>;

namespace {

AnswerRecord answer(std::uint32_t address, std::string_view name,
                    std::array<std::uint8_t, 6> mac = {0x00, 0x1B, 0xA9, 0xFF, 0x0A, 0x01},
                    std::string_view magic = "DeviceAnswer") {
    AnswerRecord r{};
    r[0] = 0x01;
    r[1] = 0x7E;  // not examined
    std::memcpy(r.data() + 2, magic.data(), std::min<std::size_t>(12, magic.size()));
    r[14] = static_cast<std::uint8_t>(address >> 24);
    r[15] = static_cast<std::uint8_t>(address >> 16);
    r[16] = static_cast<std::uint8_t>(address >> 8);
    r[17] = static_cast<std::uint8_t>(address);
    std::copy(mac.begin(), mac.end(), r.begin() + 18);
    std::memcpy(r.data() + 24, name.data(), std::min<std::size_t>(64, name.size()));
    return r;
}

Bytes join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts) {
        all.insert(all.end(), p.begin(), p.end());
    }
    return all;
}

Bytes bytesOf(const AnswerRecord& r) {
    return Bytes(r.begin(), r.end());
}
Bytes bytesOf(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

const AnswerRecord kFirst = answer(0xC0A80114u, "Hall A");
const AnswerRecord kSecond = answer(0xC0A80115u, "Hall B");

}  // namespace

TEST(DiscoveryDatagrams, SearchCarriesTheAdaptorAddressMostSignificantFirst) {
    const SearchDatagram d = buildSearchDatagram(0xC0A80114u);  // 192.168.1.20
    const Bytes expected = join({{0x01, 0x00}, bytesOf("DeviceSearch"), {192, 168, 1, 20}});
    EXPECT_EQ(Bytes(d.begin(), d.end()), expected);
}

TEST(DiscoveryDatagrams, ScanFindsCompleteRecords) {
    const Bytes first = bytesOf(kFirst);
    const Bytes firstCut(first.begin(), first.end() - 1);
    const struct {
        const char* what;
        Bytes datagram;
        std::vector<AnswerRecord> expected;
    } cases[] = {
        {"one record", first, {kFirst}},
        {"record followed by WL is discarded", join({first, bytesOf("WL")}), {}},
        {"record followed by other bytes", join({first, bytesOf("WX")}), {kFirst}},
        {"record followed by a lone W", join({first, bytesOf("W")}), {kFirst}},
        {"two records back to back", join({first, bytesOf(kSecond)}), {kFirst, kSecond}},
        {"WL only drops the record before it",
         join({first, bytesOf("WL"), bytesOf(kSecond)}),
         {kSecond}},
        {"bytes before the start byte are skipped",
         join({{0x00, 0x7F, 0xFF, 'D'}, first, {0x20, 0x02}, bytesOf(kSecond)}),
         {kFirst, kSecond}},
        {"an incomplete record is dropped", firstCut, {}},
        {"a record and the start of another", join({first, firstCut}), {kFirst}},
        {"empty datagram", {}, {}},
        {"no start byte at all", Bytes(300, 0x02), {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(scanAnswerDatagram(c.datagram), c.expected) << c.what;
    }
}

TEST(DiscoveryDatagrams, ScanRestartsAtEveryStartByteOfARun) {
    // A datagram of start bytes holds as many records as fit whole: 1024 / 88 = 11.
    const Bytes ones(kMaxAnswerDatagram, 0x01);
    EXPECT_EQ(scanAnswerDatagram(ones).size(), 11u);
}

TEST(DiscoveryDatagrams, DecodesAnswers) {
    const std::string longName(64, 'N');
    const struct {
        const char* what;
        AnswerRecord record;
        std::optional<DiscoveredProjector> expected;
        int codePage = 1252;
    } cases[] = {
        {"plain", kFirst, DiscoveredProjector{"Hall A", "00-1B-A9-FF-0A-01", 0xC0A80114u}},
        {"64-byte name without a zero byte is taken whole",
         answer(0x0A000001u, longName, {0xAB, 0xCD, 0xEF, 0x01, 0x02, 0x03}),
         DiscoveredProjector{longName, "AB-CD-EF-01-02-03", 0x0A000001u}},
        {"name ends at the first zero byte", answer(1, std::string_view("Foyer\0Extra", 11)),
         DiscoveredProjector{"Foyer", "00-1B-A9-FF-0A-01", 1}},
        {"8-bit name becomes UTF-8", answer(0xFFFFFFFFu, "Caf\xE9 \x80"),
         DiscoveredProjector{"Caf\xC3\xA9 \xE2\x82\xAC", "00-1B-A9-FF-0A-01", 0xFFFFFFFFu}},
        // Sites name their projectors in their own script and code page.
        {"Japanese name in code page 932", answer(2, "\x89\xEF\x8B\x63\x8E\xBA"),
         DiscoveredProjector{"\xE4\xBC\x9A\xE8\xAD\xB0\xE5\xAE\xA4", "00-1B-A9-FF-0A-01", 2}, 932},
        {"Chinese name in code page 936", answer(3, "\xBB\xE1\xD2\xE9\xCA\xD2"),
         DiscoveredProjector{"\xE4\xBC\x9A\xE8\xAE\xAE\xE5\xAE\xA4", "00-1B-A9-FF-0A-01", 3}, 936},
        {"a lead byte without its trail byte", answer(4, "A\x89"),
         DiscoveredProjector{"A\xEF\xBF\xBD", "00-1B-A9-FF-0A-01", 4}, 932},
        {"wrong magic", answer(1, "X", {}, "DeviceSearch"), std::nullopt},
        {"magic in the wrong case", answer(1, "X", {}, "deviceanswer"), std::nullopt},
    };
    for (const auto& c : cases) {
        const auto got = decodeAnswerRecord(c.record, c.codePage);
        ASSERT_EQ(got.has_value(), c.expected.has_value()) << c.what;
        if (got) {
            EXPECT_EQ(got->name, c.expected->name) << c.what;
            EXPECT_EQ(got->mac, c.expected->mac) << c.what;
            EXPECT_EQ(got->address, c.expected->address) << c.what;
        }
    }
    // Without a code page given, the interface language's is used.
    setInterfaceLanguage(LanguageId::Japanese);
    EXPECT_EQ(decodeAnswerRecord(answer(2, "\x89\xEF\x8B\x63\x8E\xBA"))->name,
              "\xE4\xBC\x9A\xE8\xAD\xB0\xE5\xAE\xA4");
    setInterfaceLanguage(LanguageId::English);
}

TEST(DiscoveryFoundList, AppliesTheRulesInOrder) {
    std::vector<std::uint32_t> probed;
    std::vector<std::uint32_t> refusing;
    FoundProjectors found([&](std::uint32_t a) {
        probed.push_back(a);
        return std::find(refusing.begin(), refusing.end(), a) == refusing.end();
    });
    refusing = {3};
    const struct {
        AnswerRecord record;
        AnswerOutcome expected;
    } steps[] = {
        {answer(1, "One"), AnswerOutcome::Added},
        {answer(1, "One again, another adaptor"), AnswerOutcome::KnownAddress},
        {answer(2, "Bad", {}, "DeviceAnswe!"), AnswerOutcome::NotAnAnswer},
        {answer(3, "Refuses"), AnswerOutcome::ProbeRefused},
        {answer(2, "Two"), AnswerOutcome::Added},
    };
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        EXPECT_EQ(found.handleAnswer(steps[i].record), steps[i].expected) << "step " << i;
    }
    // Only new addresses of well-formed answers were probed; a refusal leaves no trace.
    EXPECT_EQ(probed, (std::vector<std::uint32_t>{1, 3, 2}));
    refusing.clear();
    EXPECT_EQ(found.handleAnswer(answer(3, "Now listening")), AnswerOutcome::Added);

    const std::vector<ProjectorRecord> expected = {
        {"One", 1, 1, "", "00-1B-A9-FF-0A-01"},
        {"Two", 2, 1, "", "00-1B-A9-FF-0A-01"},
        {"Now listening", 3, 1, "", "00-1B-A9-FF-0A-01"},
    };
    EXPECT_EQ(found.records(), expected);
}

TEST(DiscoveryFoundList, AddsAtMost256PerRun) {
    int probes = 0;
    FoundProjectors found([&](std::uint32_t) {
        ++probes;
        return true;
    });
    for (std::uint32_t a = 1; a <= kMaxFoundPerRun; ++a) {
        ASSERT_EQ(found.handleAnswer(answer(a, "P")), AnswerOutcome::Added);
    }
    EXPECT_EQ(found.handleAnswer(answer(1000, "257th")), AnswerOutcome::RunFull);
    EXPECT_EQ(probes, 256);
    EXPECT_EQ(found.records().size(), 256u);

    // Coming back to the page starts a new run: earlier rows stay, known ones stay ignored.
    found.startRun();
    EXPECT_EQ(found.handleAnswer(answer(1, "P")), AnswerOutcome::KnownAddress);
    EXPECT_EQ(found.handleAnswer(answer(1000, "New")), AnswerOutcome::Added);
    EXPECT_EQ(found.records().size(), 257u);

    found.clear();
    EXPECT_TRUE(found.records().empty());
    EXPECT_EQ(found.handleAnswer(answer(1, "P")), AnswerOutcome::Added);
}

// These runs send nothing: either there is no adaptor, or the gate address is 0.
TEST(DiscoveryRunThread, EndsAtOnceWithoutAdaptors) {
    std::atomic<bool> stop{true};
    testsupport::DiscoveryEventLog log;
    DiscoveryRun run(stop);
    run.start(DiscoveryJob{}, log.sink());
    ASSERT_TRUE(log.waitFor(std::chrono::seconds(10), DiscoveryEventKind::DiscoveryFinished));
    EXPECT_EQ(log.events().size(), 1u);
    EXPECT_FALSE(stop.load()) << "start clears the stop flag";
}

TEST(DiscoveryRunThread, NewStartStopsTheEarlierRunFirst) {
    std::atomic<bool> stop{false};
    testsupport::DiscoveryEventLog waiting;
    testsupport::DiscoveryEventLog second;
    {
        DiscoveryRun run(stop);
        DiscoveryJob gated;
        gated.adaptors = {0x7F000001u};
        gated.gate = 0;
        gated.timings.gateWait = std::chrono::milliseconds(5);
        run.start(gated, waiting.sink());
        // Closed gate: the run keeps waiting for it and reports nothing.
        EXPECT_FALSE(
            waiting.waitFor(std::chrono::milliseconds(50), DiscoveryEventKind::DiscoveryFinished));
        EXPECT_TRUE(run.running());
        EXPECT_TRUE(waiting.events().empty());

        run.start(gated, second.sink());
        // The first run has ended before the second began.
        ASSERT_EQ(waiting.events().size(), 1u);
        EXPECT_FALSE(stop.load());
        EXPECT_TRUE(run.running());
    }  // the destructor stops and joins the second
    ASSERT_EQ(second.events().size(), 1u);
    EXPECT_EQ(second.events()[0].kind, DiscoveryEventKind::DiscoveryFinished);
    EXPECT_TRUE(stop.load());
}

TEST(DiscoveryProbe, ConnectsToTheCommandPortOnly) {
    testsupport::SimProcess sim({"--address", "127.0.31.2"});
    ASSERT_TRUE(sim.ready()) << sim.output();
    EXPECT_TRUE(probeProjector(testsupport::ipv4("127.0.31.2")));
    EXPECT_FALSE(probeProjector(testsupport::ipv4("127.0.31.3"))) << "nothing listens there";
    EXPECT_FALSE(probeProjector(testsupport::ipv4("127.0.31.2"), kProbeTimeout, 9))
        << "another port of the same host";
}

TEST(DiscoveryJobFor, SearchesEveryAdaptorUnlessTheOperatorNarrowedItToOne) {
    // As enumerateAdaptors orders them: loopback last.
    const std::vector<AdaptorEntry> adaptors = {{0x0A000001, "10.0.0.1", "eth0", false},
                                                {0xC0A80001, "192.168.0.1", "wlan0", false},
                                                {0x7F000001, "127.0.0.1", "lo", true}};
    struct Case {
        std::vector<AdaptorEntry> adaptors;
        int narrowedTo;
        std::vector<std::uint32_t> searched;
        std::uint32_t gate;
    };
    const Case cases[] = {
        {adaptors, -1, {0x0A000001, 0xC0A80001, 0x7F000001}, 0x0A000001},
        {adaptors, 1, {0xC0A80001}, 0xC0A80001},
        {adaptors, 2, {0x7F000001}, 0x7F000001},
        {adaptors, 3, {0x0A000001, 0xC0A80001, 0x7F000001}, 0x0A000001},  // gone since
        {{adaptors[2]}, -1, {0x7F000001}, 0x7F000001},  // loopback alone is searched too
        {{}, -1, {}, 0},
    };
    for (const Case& c : cases) {
        const DiscoveryJob job = discoveryJobFor(c.adaptors, c.narrowedTo);
        EXPECT_EQ(job.adaptors, c.searched) << c.narrowedTo;
        EXPECT_EQ(job.gate, c.gate) << c.narrowedTo;
    }
}
