// The preview's cost on the GUI thread: one animation tick of each style (averaged over whole
// cycles of typing, scrolling and page renders) and the render of one full "Box" page, against
// a baseline measured in the same run: a plain copy of a 1000 x 300 QImage. The timers tick
// every 8 ms and 17 ms, so a tick must stay far below 2 ms.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "RatioReporter.h"
#include "render/Image.h"
#include "render/PreviewPlayer.h"

namespace {

using namespace orvanta;

std::string dataFolder() {
    return std::string(ORVANTA_BENCH_SOURCE_DIR) + "/data";
}

// Twenty lines of text that fill the width, with a color change in every line.
Message fullMessage(MessageStyle style) {
    Message m;
    m.title = RichText(u"Evacuation notice", 0xFFFFFF, 0xC0C0C0);
    for (int line = 0; line < 20; ++line) {
        m.body.append(u"Please leave the building by the ", 0xFFFFFF, 0xC0C0C0);
        m.body.append(u"nearest exit", 0xFFFF00, 0xFF0000);
        m.body.append(u" and wait outside.\r", 0xFFFFFF, 0xC0C0C0);
    }
    m.icon = 1;
    m.options.style = static_cast<std::uint8_t>(style);
    m.options.blink = 1;
    m.options.scrollCount = 0;
    m.options.displayMinutes = 0;
    m.options.displayHalfMinute = 0;
    return m;
}

void BM_Baseline_ImageCopy(benchmark::State& state) {
    const QImage source = render::createImage(1000, 300);
    for (auto _ : state) {
        QImage copy = source.copy();
        benchmark::DoNotOptimize(copy.constBits());
    }
}
BENCHMARK(BM_Baseline_ImageCopy);

void tickLoop(benchmark::State& state, MessageStyle style) {
    std::int64_t now = 0;
    render::PreviewPlayer player(render::makePreviewInput(fullMessage(style)),
                                 render::GlyphSet::load(dataFolder(), 1), [&now] { return now; });
    std::int64_t ticks = 0;
    for (auto _ : state) {
        player.tick();
        if (++ticks % 60 == 0) {
            ++now;  // about a second of 17 ms ticks: lets "Pop on" blink
        }
    }
}

void BM_Tick_Scroll(benchmark::State& state) {
    tickLoop(state, MessageStyle::Scroll);
}
BENCHMARK(BM_Tick_Scroll);
void BM_Tick_Box(benchmark::State& state) {
    tickLoop(state, MessageStyle::Box);
}
BENCHMARK(BM_Tick_Box);
void BM_Tick_PopOn(benchmark::State& state) {
    tickLoop(state, MessageStyle::PopOn);
}
BENCHMARK(BM_Tick_PopOn);
void BM_Tick_PictureSide(benchmark::State& state) {
    tickLoop(state, MessageStyle::PictureSide);
}
BENCHMARK(BM_Tick_PictureSide);

void BM_RenderFullBoxPage(benchmark::State& state) {
    const render::PreviewInput input = render::makePreviewInput(fullMessage(MessageStyle::Box));
    const render::GlyphSet glyphs = render::GlyphSet::load(dataFolder(), 1);
    const render::MessageRenderer renderer(input, glyphs);
    for (auto _ : state) {
        render::RenderedBitmap page = renderer.renderMessage(0);
        benchmark::DoNotOptimize(page.image.constBits());
    }
}
BENCHMARK(BM_RenderFullBoxPage);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatios("BM_Baseline_ImageCopy", "relative to copying a 1000 x 300 image:");
    benchmark::Shutdown();
    return reporter.exitStatus();
}
