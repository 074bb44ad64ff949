#include "sound/Instruments.h"

#include <algorithm>
#include <array>

namespace orvanta::alarm {

namespace {

constexpr uint32_t wrap16(uint32_t x) {
    return x & 0xFFFFu;
}

// Products such as 3 * phase are taken modulo 65536; unsigned arithmetic keeps that free of
// overflow whatever the sample count.
constexpr uint32_t times(uint32_t factor, uint32_t x) {
    return wrap16(factor * x);
}

}  // namespace

int32_t signedPhase(uint32_t x) {
    x = wrap16(x);
    return x < 0x8000u ? static_cast<int32_t>(x) : static_cast<int32_t>(x) - 0x10000;
}

int32_t triangle(uint32_t x) {
    x = wrap16(x);
    const int32_t v = static_cast<int32_t>(x);
    if (x >= 0x4000u && x <= 0xBFFFu) {
        return 0x10000 - 2 * v;
    }
    return x >= 0x8000u ? 2 * v - 0x20000 : 2 * v;
}

int32_t parabola(uint32_t x) {
    x = wrap16(x);
    const int32_t y = static_cast<int32_t>(x & 0x7FFFu);
    const int32_t b = ((0x8000 - y) * y) >> 13;
    return x < 0x8000u ? b : -b;
}

namespace {

// Waveforms.
int32_t squareWave(uint32_t p) {
    return wrap16(p) < 0x8000u ? -0x8000 : 0x8000;
}
int32_t pulseWave(uint32_t p) {
    return wrap16(p) < 0x4000u ? -0x8000 : 0x8000;
}
int32_t sawWave(uint32_t p) {
    return signedPhase(p);
}
int32_t triangleWave(uint32_t p) {
    return triangle(p);
}
int32_t sineWave(uint32_t p) {
    return parabola(p);
}
int32_t triangleWithFourth(uint32_t p) {
    return triangle(p) + (triangle(times(4, p)) >> 2);
}
int32_t bentSine(uint32_t p) {
    const int32_t a = static_cast<int32_t>(wrap16(p) >> 1);
    const int32_t c = a + ((a * a) >> 15);  // at most 0xFFFD: still one cycle
    return parabola(static_cast<uint32_t>(c));
}
int32_t sineWithThird(uint32_t p) {
    return parabola(p) + (parabola(times(3, p)) >> 1);
}
int32_t sawWithThird(uint32_t p) {
    return signedPhase(p) + (parabola(times(3, p)) >> 1);
}
int32_t narrowPulseWithThird(uint32_t p) {
    return (triangle(times(3, p)) >> 2) + (wrap16(p) < 0x2000u ? -0x8000 : 0x8000);
}
int32_t widePulseWithThird(uint32_t p) {
    return (triangle(times(3, p)) >> 1) + (wrap16(p) < 0x6000u ? -0x8000 : 0x8000);
}
int32_t risingThird(uint32_t p) {
    // Up to 0x8000 * 0xBFFF: just inside 32 bits, but kept in 64 to stay obviously safe.
    const int64_t amp = static_cast<int64_t>(wrap16(p) >> 2) + 0x8000;
    return static_cast<int32_t>((parabola(times(3, p)) * amp) >> 15);
}
int32_t squaredSaw(uint32_t p) {
    const int32_t s = signedPhase(p);
    return (s * (s < 0 ? -s : s)) >> 15;
}
int32_t sawWithSawThird(uint32_t p) {
    return signedPhase(p) + (signedPhase(times(3, p)) >> 1);
}

constexpr std::array<WaveformFn, kWaveformCount> kWaveforms = {
    squareWave,         pulseWave,   sawWave,       triangleWave,   sineWave,
    triangleWithFourth, bentSine,    sineWithThird, sawWithThird,   narrowPulseWithThird,
    widePulseWithThird, risingThird, squaredSaw,    sawWithSawThird};

// Transients: a short click or burst at the start of a note, added to the waveform.
int32_t decayingGate(uint32_t p, int32_t n, uint32_t below) {
    return n < 0x8000 && wrap16(p) < below ? 0x8000 - n : 0;
}
int32_t fastDecayingGate(uint32_t p, int32_t n, uint32_t below) {
    return n < 0x2000 && wrap16(p) < below ? 0x4000 - 2 * n : 0;
}
int32_t transientQuarterPulse(uint32_t p, int32_t n) {
    return decayingGate(p, n, 0x4000);
}
int32_t transientWidePulse(uint32_t p, int32_t n) {
    return decayingGate(p, n, 0x6000);
}
int32_t transientEighthClick(uint32_t p, int32_t n) {
    return fastDecayingGate(p, n, 0x2000);
}
int32_t transientQuarterClick(uint32_t p, int32_t n) {
    return fastDecayingGate(p, n, 0x4000);
}
int32_t transientHalfClick(uint32_t p, int32_t n) {
    return fastDecayingGate(p, n, 0x8000);
}
int32_t transientThirdHarmonic(uint32_t p, int32_t n) {
    return n < 0x2000 ? ((0x8000 - 4 * n) * triangle(times(3, p))) >> 15 : 0;
}
int32_t transientNoise(uint32_t, int32_t n) {
    // A cheap noise from the sample count alone; the phase is not used.
    const auto u = static_cast<uint32_t>(n);
    return (triangle(times(73, u)) + triangle(times(139, u)) + signedPhase(times(307, u)) +
            signedPhase(times(653, u))) >>
           2;
}

constexpr std::array<TransientFn, kTransientCount> kTransients = {
    transientQuarterPulse, transientWidePulse,     transientEighthClick, transientQuarterClick,
    transientHalfClick,    transientThirdHarmonic, transientNoise};

// Envelopes. The attack is checked first and runs to its end even past the gate; then the
// sustain level holds while the gate is open; after the gate the level falls linearly from the
// sustain level at the gate. Sample counts are 32-bit, so the arithmetic is done in 64 bits.
struct EnvelopeShape {
    int64_t attackEnd;  // samples; 0 for none
    int64_t attackSlope;
    int64_t sustainStart;  // L(n) = max(sustainStart - ((n - sustainOffset) * num >> shift), floor)
    int64_t sustainOffset;
    int64_t sustainNum;
    int shift;
    int64_t floor;
    int64_t releaseFactor;
    int64_t silentAtOrBelow;
};

constexpr int64_t sustainLevel(const EnvelopeShape& e, int64_t n) {
    return std::max(e.sustainStart - (((n - e.sustainOffset) * e.sustainNum) >> e.shift), e.floor);
}

constexpr int32_t envelopeValue(const EnvelopeShape& e, int32_t count, int32_t gate) {
    const int64_t n = count;
    const int64_t g = gate;
    if (n < e.attackEnd) {
        return static_cast<int32_t>(n * e.attackSlope);
    }
    if (n < g) {
        return static_cast<int32_t>(sustainLevel(e, n));
    }
    const int64_t r = (g - n) * e.releaseFactor + sustainLevel(e, g);
    return r <= e.silentAtOrBelow ? 0 : static_cast<int32_t>(r);
}

// Sustain 0x8000 - ((n - 512) >> 1), never below 0x1000.
constexpr EnvelopeShape kPianoLike{512, 64, 0x8000, 512, 1, 1, 0x1000, 64, 0};
// 0x8200 - n, down to silence.
constexpr EnvelopeShape kFastDecay{512, 64, 0x8200, 0, 1, 0, 0, 64, 0};
// 0x8000 - ((n - 512) >> 1), down to silence.
constexpr EnvelopeShape kSlowDecay{512, 64, 0x8000, 512, 1, 1, 0, 64, 0};
// 0x8400 - 2n, down to silence.
constexpr EnvelopeShape kFasterDecay{512, 64, 0x8400, 0, 2, 0, 0, 64, 1};
// Slow swell, then held at 0x8000 or more.
constexpr EnvelopeShape kSwell{0x2000, 4, 0xA000, 0, 1, 0, 0x8000, 64, 0};
// Quick attack, then held.
constexpr EnvelopeShape kOrganLike{0x80, 256, 0x8080, 0, 1, 0, 0x8000, 64, 0};
// Very slow swell, long release.
constexpr EnvelopeShape kPadLike{0x8000, 1, 0x10000, 0, 1, 0, 0x8000, 16, 0};

int32_t envelopeGate(int32_t n, int32_t g) {
    return n <= g ? 0x8000 : 0;
}

// E1..E7 differ only in their shape.
template <const EnvelopeShape& Shape>
int32_t shapedEnvelope(int32_t n, int32_t g) {
    return envelopeValue(Shape, n, g);
}

constexpr std::array<EnvelopeFn, kEnvelopeCount> kEnvelopes = {
    envelopeGate,
    shapedEnvelope<kPianoLike>,
    shapedEnvelope<kFastDecay>,
    shapedEnvelope<kSlowDecay>,
    shapedEnvelope<kFasterDecay>,
    shapedEnvelope<kSwell>,
    shapedEnvelope<kOrganLike>,
    shapedEnvelope<kPadLike>,
};

// Modulations: a slow triangle around unity (256).
uint32_t countBits(int32_t n, uint32_t mask) {
    return static_cast<uint32_t>(n) & mask;
}
int32_t modulationSlight(int32_t n) {
    return 256 + (triangle(2 * countBits(n, 0x7FFF)) >> 10);
}
int32_t modulationDeep(int32_t n) {
    return 256 + (triangle(2 * countBits(n, 0x7FFF)) >> 9);
}
int32_t modulationFast(int32_t n) {
    return 256 + (triangle(8 * countBits(n, 0x1FFF)) >> 10);
}

constexpr std::array<ModulationFn, kModulationCount> kModulations = {
    modulationSlight, modulationDeep, modulationFast};

struct InstrumentRange {
    int first;
    int last;
    int waveform;  // numbers as above; 0 = none (-1 for the envelope)
    int transient;
    int envelope;
    int modulation;
};

constexpr int kNone = 0;
constexpr int kNoEnvelope = -1;

// The instrument bank; ranges share one sound.
constexpr InstrumentRange kBank[] = {
    {0, 0, 1, kNone, 0, kNone},   {1, 4, 6, 3, 1, kNone},        {5, 6, 7, 6, 1, 1},
    {7, 8, 2, 3, 1, kNone},       {9, 12, 5, kNone, 3, 1},       {13, 14, 4, 6, 2, kNone},
    {15, 16, 5, 2, 3, 1},         {17, 24, 8, kNone, 6, 1},      {25, 26, 5, 3, 1, kNone},
    {27, 29, 2, 3, 1, kNone},     {30, 31, 13, kNone, 1, kNone}, {32, 32, kNone, 7, 0, kNone},
    {33, 38, 4, 4, 3, kNone},     {39, 40, 3, kNone, 3, kNone},  {41, 45, 9, kNone, 7, 3},
    {46, 47, 5, 4, 4, kNone},     {48, 48, 4, 5, 3, kNone},      {49, 52, 9, kNone, 7, 3},
    {53, 55, 12, kNone, 7, 3},    {56, 56, 14, 6, 4, kNone},     {57, 64, 10, 1, 6, 2},
    {65, 72, 11, 1, 5, 2},        {73, 80, 4, kNone, 5, 2},      {81, 81, 1, kNone, 5, kNone},
    {82, 82, 3, kNone, 5, kNone}, {83, 128, 1, kNone, 0, kNone},
};

std::array<Instrument, kInstrumentCount> buildBank() {
    std::array<Instrument, kInstrumentCount> bank{};
    for (const InstrumentRange& r : kBank) {
        for (int i = r.first; i <= r.last; ++i) {
            bank[static_cast<size_t>(i)] =
                Instrument{waveformByNumber(r.waveform), transientByNumber(r.transient),
                           r.envelope == kNoEnvelope ? nullptr : envelopeByNumber(r.envelope),
                           modulationByNumber(r.modulation)};
        }
    }
    return bank;
}

}  // namespace

WaveformFn waveformByNumber(int number) {
    return number >= 1 && number <= kWaveformCount ? kWaveforms[static_cast<size_t>(number - 1)]
                                                   : nullptr;
}

TransientFn transientByNumber(int number) {
    return number >= 1 && number <= kTransientCount ? kTransients[static_cast<size_t>(number - 1)]
                                                    : nullptr;
}

EnvelopeFn envelopeByNumber(int number) {
    return number >= 0 && number < kEnvelopeCount ? kEnvelopes[static_cast<size_t>(number)]
                                                  : nullptr;
}

ModulationFn modulationByNumber(int number) {
    return number >= 1 && number <= kModulationCount ? kModulations[static_cast<size_t>(number - 1)]
                                                     : nullptr;
}

const Instrument& instrumentFor(int32_t number) {
    static const std::array<Instrument, kInstrumentCount> bank = buildBank();
    if (number < 0 || number >= kInstrumentCount) {
        number = 0;
    }
    return bank[static_cast<size_t>(number)];
}

}  // namespace orvanta::alarm
