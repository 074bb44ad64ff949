// Rendering the four alarm tunes, reported as a multiple of real time (seconds of audio made per
// second of CPU), against a baseline measured in the same run: the same number of stereo frames
// of one plain square wave written by the simplest loop. The real-time multiple says whether
// playback can keep up; the ratio to the baseline is what to compare between machines.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "RatioReporter.h"
#include "sound/AlarmRender.h"
#include "sound/AlarmTunes.h"
#include "sound/Synthesizer.h"

namespace {

using namespace orvanta;

size_t framesOf(int sound) {
    return renderAlarm(sound).size() / 2;
}

size_t allTunesFrames() {
    size_t frames = 0;
    for (int sound = 1; sound <= kAlarmSoundCount; ++sound) {
        frames += framesOf(sound);
    }
    return frames;
}

void reportAudio(benchmark::State& state, size_t framesPerIteration) {
    // Divided by the CPU time: seconds of audio per second of CPU.
    state.counters["x_realtime"] =
        benchmark::Counter(static_cast<double>(framesPerIteration) *
                               static_cast<double>(state.iterations()) / alarm::kSampleRate,
                           benchmark::Counter::kIsRate);
}

void BM_Baseline_PlainSquare(benchmark::State& state) {
    const size_t frames = allTunesFrames();
    std::vector<int16_t> out(2 * frames);
    for (auto _ : state) {
        uint32_t phase = 0;
        for (size_t f = 0; f < frames; ++f) {
            const int16_t s = (phase & 0x8000u) != 0 ? 16000 : -16000;
            out[2 * f] = s;
            out[2 * f + 1] = s;
            phase = (phase + 654) & 0xFFFFu;
        }
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    reportAudio(state, frames);
}
BENCHMARK(BM_Baseline_PlainSquare);

void BM_RenderAllTunes(benchmark::State& state) {
    const size_t frames = allTunesFrames();
    for (auto _ : state) {
        for (int sound = 1; sound <= kAlarmSoundCount; ++sound) {
            std::vector<int16_t> samples = renderAlarm(sound);
            benchmark::DoNotOptimize(samples.data());
        }
    }
    reportAudio(state, frames);
}
BENCHMARK(BM_RenderAllTunes);

// One tune through the audio callback's path: 4096-frame buffers, no allocation per buffer.
void BM_FillBuffers(benchmark::State& state) {
    const int sound = static_cast<int>(state.range(0));
    const size_t frames = framesOf(sound);
    std::vector<uint8_t> buffer(4096 * 4);
    Synthesizer synth;
    for (auto _ : state) {
        synth.load(alarmTune(sound));
        while (!synth.fill(buffer.data(), static_cast<int>(buffer.size()))) {
            benchmark::DoNotOptimize(buffer.data());
        }
    }
    reportAudio(state, frames);
}
BENCHMARK(BM_FillBuffers)->DenseRange(1, kAlarmSoundCount);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const RatioReporter::Run* base = reporter.find("BM_Baseline_PlainSquare");
    const auto multiple = [](const RatioReporter::Run& run) {
        const auto c = run.counters.find("x_realtime");
        return c != run.counters.end() ? c->second.value : 0.0;
    };
    if (base != nullptr && multiple(*base) > 0) {
        std::printf("\naudio seconds per CPU second, and relative to the plain square baseline:\n");
        for (const auto& [name, run] : reporter.runs()) {
            std::printf("  %-32s %10.0f x real time  %7.1f x baseline time\n", name.c_str(),
                        multiple(run), multiple(*base) / multiple(run));
        }
    }
    benchmark::Shutdown();
    return reporter.exitStatus();
}
