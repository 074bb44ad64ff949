#pragma once
// The sound-building blocks of the alarm synthesizer: waveforms, attack transients, volume
// envelopes and vibrato-like modulations, all on 16-bit phases and integer sample counts, and
// the 129-entry instrument table that combines them.
//
// Phases are 16-bit values (one full cycle = 65536). Every function takes its phase as an
// unsigned value and reduces it modulo 65536 itself, so callers may pass products such as 3 * phase
// unreduced. All shifts of negative values are arithmetic (rounding towards minus infinity).

#include <cstdint>

namespace orvanta::alarm {

// The signed reading of a 16-bit value: -0x8000 .. 0x7FFF.
int32_t signedPhase(uint32_t x);
// A triangle from -0x8000 to +0x8000 over one cycle, rising through 0 at phase 0.
int32_t triangle(uint32_t x);
// A parabolic approximation of a sine, -0x8000 .. +0x8000.
int32_t parabola(uint32_t x);

using WaveformFn = int32_t (*)(uint32_t phase);
using TransientFn = int32_t (*)(uint32_t phase, int32_t sampleCount);
using EnvelopeFn = int32_t (*)(int32_t sampleCount, int32_t gateLength);
using ModulationFn = int32_t (*)(int32_t sampleCount);

constexpr int kWaveformCount = 14;   // numbered 1..14
constexpr int kTransientCount = 7;   // numbered 1..7
constexpr int kEnvelopeCount = 8;    // numbered 0..7
constexpr int kModulationCount = 3;  // numbered 1..3

// Look-ups by number; nullptr for a number outside the ranges above.
WaveformFn waveformByNumber(int number);
TransientFn transientByNumber(int number);
EnvelopeFn envelopeByNumber(int number);
ModulationFn modulationByNumber(int number);

// One instrument: any part may be absent (nullptr).
struct Instrument {
    WaveformFn waveform;
    TransientFn transient;
    EnvelopeFn envelope;      // result 0 .. about 0x8000, applied as d * e >> 15
    ModulationFn modulation;  // result around 256 = unity, applied as d * m >> 8
};

constexpr int kInstrumentCount = 129;

// The instrument for an "@" number; numbers outside 0..128 fall back to instrument 0.
const Instrument& instrumentFor(int32_t number);

}  // namespace orvanta::alarm
