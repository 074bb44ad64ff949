// Time to encode the largest message the projector takes (a 3968-byte body), against a
// baseline measured in the same run: writing the same units big-endian into a buffer with no
// colors, line breaking or checks. The ratio printed at the end is what to compare between
// machines.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "RatioReporter.h"
#include "message/Payload.h"
#include "support/ScriptedPrompt.h"
#include "text/LanguageText.h"

namespace {

using namespace orvanta;

constexpr Rgb kWhite = 0xFFFFFF;
constexpr Rgb kSilver = 0xC0C0C0;
constexpr Rgb kRed = 0xFF0000;

// 1917 characters in one color: 128 + 6 + 2 * 1917 = 3968 bytes.
Message largestPlain() {
    Message m;
    m.title = RichText(u"Notice", kWhite, kSilver);
    std::u16string text;
    while (text.size() < 1917) {
        text += u"Attention please ";
    }
    text.resize(1917);
    m.body = RichText(text, kWhite, kSilver);
    return m;
}

// A color change every 9 characters: 160 runs of 6 + 18 bytes, 128 + 3840 = 3968 bytes.
Message largestColored() {
    Message m;
    m.title = RichText(u"Notice", kWhite, kSilver);
    for (int run = 0; run < 160; ++run) {
        m.body.append(u"Colours! ", run % 2 ? kRed : kWhite, kSilver);
    }
    return m;
}

void checkLength(const Message& message, benchmark::State& state) {
    Message copy = message;
    ScriptedPrompt prompt;
    const EncodeResult r = encodeMessage(copy, {}, prompt);
    if (!r || r.value().bodyLength != kMaxBodyBytes) {
        state.SkipWithError("the benchmark message does not encode to a full body");
    }
}

void BM_Baseline_CopyUnits(benchmark::State& state) {
    const Message m = largestPlain();
    std::vector<std::uint8_t> out(kBodyBufferBytes);
    for (auto _ : state) {
        std::size_t off = kTitleAreaBytes;
        for (const RichUnit& u : m.body.units) {
            out[off++] = static_cast<std::uint8_t>(u.ch >> 8);
            out[off++] = static_cast<std::uint8_t>(u.ch & 0xFF);
        }
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_Baseline_CopyUnits);

void encodeLoop(benchmark::State& state, const Message& message, ProjectorCapabilities caps) {
    checkLength(message, state);
    ScriptedPrompt prompt;
    for (auto _ : state) {
        Message copy = message;
        EncodeResult r = encodeMessage(copy, {EncodePurpose::Send, caps, false, false}, prompt);
        benchmark::DoNotOptimize(r);
    }
}

void BM_EncodeLargest_Wide(benchmark::State& state) {
    encodeLoop(state, largestPlain(), ProjectorCapabilities{1, 0});
}
BENCHMARK(BM_EncodeLargest_Wide);

void BM_EncodeLargest_Narrow(benchmark::State& state) {
    encodeLoop(state, largestPlain(), ProjectorCapabilities{4, 3});
}
BENCHMARK(BM_EncodeLargest_Narrow);

void BM_EncodeLargest_ColorRuns(benchmark::State& state) {
    encodeLoop(state, largestColored(), ProjectorCapabilities{1, 0});
}
BENCHMARK(BM_EncodeLargest_ColorRuns);

}  // namespace

int main(int argc, char** argv) {
    setInterfaceLanguage(LanguageId::English);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatios("BM_Baseline_CopyUnits",
                         "per encoding of a 3968-byte body, relative to copying its units:");
    benchmark::Shutdown();
    return reporter.exitStatus();
}
