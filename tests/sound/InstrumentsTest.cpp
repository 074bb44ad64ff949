// The building blocks checked at hand-computed points: the ends of each segment, the wrap of
// 3 * phase and 4 * phase past 65536, and negative values shifted right (which round down).

#include <gtest/gtest.h>

#include <cstdint>

#include "sound/Instruments.h"

namespace orvanta::alarm {
namespace {

struct Point {
    uint32_t x;
    int32_t expected;
};

TEST(AlarmShapes, SignedReadingTriangleAndParabola) {
    for (const Point& p :
         {Point{0, 0}, {0x7FFF, 32767}, {0x8000, -32768}, {0xFFFF, -1}, {0x10005, 5}}) {
        EXPECT_EQ(signedPhase(p.x), p.expected) << std::hex << p.x;
    }
    for (const Point& p : {Point{0, 0},
                           {0x2000, 16384},
                           {0x3FFF, 32766},
                           {0x4000, 32768},
                           {0x8000, 0},
                           {0xBFFF, -32766},
                           {0xC000, -32768},
                           {0xFFFF, -2}}) {
        EXPECT_EQ(triangle(p.x), p.expected) << std::hex << p.x;
    }
    // (0x8000 - y) * y >> 13 with y = x & 0x7FFF, negated in the second half.
    for (const Point& p : {Point{0, 0},
                           {1, 3},
                           {0x2000, 24576},
                           {0x4000, 32768},
                           {0x7FFF, 3},
                           {0x8000, 0},
                           {0xA000, -24576},
                           {0xC000, -32768},
                           {0xFFFF, -3}}) {
        EXPECT_EQ(parabola(p.x), p.expected) << std::hex << p.x;
    }
}

struct WavePoint {
    int wave;
    uint32_t phase;
    int32_t expected;
};

TEST(AlarmShapes, Waveforms) {
    const WavePoint points[] = {
        {1, 0, -32768},
        {1, 0x7FFF, -32768},
        {1, 0x8000, 32768},
        {2, 0x3FFF, -32768},
        {2, 0x4000, 32768},
        {2, 0xFFFF, 32768},
        {3, 0x1234, 4660},
        {3, 0x8000, -32768},
        {4, 0xC000, -32768},
        {5, 0xA000, -24576},
        // triangle plus a quarter of the triangle at four times the phase (0x3FFFC wraps to 0xFFFC)
        {6, 0x1000, 16384},
        {6, 0x3000, 16384},
        {6, 0x4000, 32768},
        {6, 0xFFFF, -4},
        // a = phase / 2, bent by a*a >> 15, then the parabola
        {7, 0, 0},
        {7, 0x4000, 28160},
        {7, 0x8000, 24576},
        {7, 0xFFFF, -11},
        // parabola plus half the parabola at three times the phase
        {8, 0x2000, 36864},
        {8, 0x4000, 16384},
        {8, 0xC000, -16384},
        // saw plus half a parabola at three times the phase; -3 >> 1 is -2
        {9, 0x1000, 19456},
        {9, 0x2000, 20480},
        {9, 0x4000, 0},
        {9, 0x5555, 21843},
        // a quarter of the triangle at 3 * phase on a pulse that is high from 0x2000
        {10, 0x1555, -24577},
        {10, 0x1FFF, -28671},
        {10, 0x2000, 36864},
        {10, 0x5555, 32767},
        // half of the triangle at 3 * phase on a pulse that is high from 0x6000
        {11, 0x5555, -32769},
        {11, 0x6000, 40960},
        // parabola at 3 * phase scaled by (phase >> 2) + 0x8000
        {12, 0x4000, -36864},
        {12, 0xC000, 45056},
        {12, 0x5555, -4},
        // s * |s| >> 15
        {13, 1, 0},
        {13, 0x4000, 8192},
        {13, 0x8000, -32768},
        {13, 0xFFFF, -1},
        // saw plus half the saw at three times the phase
        {14, 0x3000, -2048},
        {14, 0x4000, 8192},
        {14, 0x5555, 21844},
    };
    for (const WavePoint& p : points) {
        const WaveformFn f = waveformByNumber(p.wave);
        ASSERT_NE(f, nullptr) << p.wave;
        EXPECT_EQ(f(p.phase), p.expected) << "W" << p.wave << " at " << std::hex << p.phase;
    }
    EXPECT_EQ(waveformByNumber(0), nullptr);
    EXPECT_EQ(waveformByNumber(15), nullptr);
}

struct TransientPoint {
    int transient;
    uint32_t phase;
    int32_t count;
    int32_t expected;
};

TEST(AlarmShapes, Transients) {
    const TransientPoint points[] = {
        {1, 0, 0, 32768},
        {1, 0x3FFF, 100, 32668},
        {1, 0x4000, 100, 0},
        {1, 0, 0x7FFF, 1},
        {1, 0, 0x8000, 0},
        {2, 0x5FFF, 10, 32758},
        {2, 0x6000, 10, 0},
        {3, 0x1FFF, 0x1FFF, 2},
        {3, 0x2000, 0, 0},
        {3, 0, 0x2000, 0},
        {4, 0x3FFF, 100, 16184},
        {4, 0x4000, 100, 0},
        {5, 0x7FFF, 0, 16384},
        {5, 0x8000, 0, 0},
        // (0x8000 - 4n) * TRI(3 * phase) >> 15, rounding down for negative products
        {6, 0x1555, 0, 32766},
        {6, 0x5555, 0x1000, -1},
        {6, 0x5555, 0x1001, -1},
        {6, 0x4000, 0x1FFF, -4},
        {6, 0x1555, 0x2000, 0},
        // noise from the sample count alone, products wrapped to 16 bits
        {7, 0x1234, 0, 0},
        {7, 0, 1, 346},
        {7, 0xFFFF, 100, 18216},
        {7, 0, 1000000, 2688},
        {7, 0, 151, -1511},
    };
    for (const TransientPoint& p : points) {
        const TransientFn f = transientByNumber(p.transient);
        ASSERT_NE(f, nullptr) << p.transient;
        EXPECT_EQ(f(p.phase, p.count), p.expected) << "A" << p.transient << " at phase " << std::hex
                                                   << p.phase << std::dec << " n " << p.count;
    }
    EXPECT_EQ(transientByNumber(0), nullptr);
    EXPECT_EQ(transientByNumber(8), nullptr);
}

struct EnvelopePoint {
    int envelope;
    int32_t count;
    int32_t gate;
    int32_t expected;
};

TEST(AlarmShapes, Envelopes) {
    const EnvelopePoint points[] = {
        {0, 0, 0, 32768},
        {0, 1000, 1000, 32768},
        {0, 1001, 1000, 0},
        // attack 64n up to 512, sustain 0x8000 - ((n - 512) >> 1) not below 0x1000, release 64
        {1, 0, 1000, 0},
        {1, 100, 1000, 6400},
        {1, 511, 1000, 32704},
        {1, 512, 1000, 32768},
        {1, 600, 1000, 32724},
        {1, 100000, 200000, 4096},
        {1, 1010, 1000, 31884},
        {1, 1508, 1000, 12},
        {1, 1509, 1000, 0},
        {1, 300, 100, 19200},  // the attack runs on past a short gate
        {1, 512, 100, 6606},   // then falls from the level the sustain had at the gate
        {2, 600, 1000, 32680},
        {2, 40000, 50000, 0},
        {2, 1001, 1000, 32216},
        {3, 1000, 2000, 32524},
        {3, 100000, 200000, 0},
        {4, 1000, 5000, 31792},
        {4, 1496, 1000, 48},
        {4, 1497, 1000, 0},
        // slow attack 4n up to 0x2000, then held at 0x8000
        {5, 0x1000, 0x10000, 16384},
        {5, 0x2000, 0x10000, 32768},
        {5, 0x2000, 0x1FFF, 32705},
        {5, 0x2000, 0x1000, 0},
        {6, 0x40, 1000, 16384},
        {6, 0x80, 1000, 32768},
        {6, 1005, 1000, 32448},
        {7, 0x4000, 0x10000, 16384},
        {7, 0x9000, 0x10000, 32768},
        {7, 0x9010, 0x9000, 32512},
    };
    for (const EnvelopePoint& p : points) {
        const EnvelopeFn f = envelopeByNumber(p.envelope);
        ASSERT_NE(f, nullptr) << p.envelope;
        EXPECT_EQ(f(p.count, p.gate), p.expected)
            << "E" << p.envelope << " n " << p.count << " gate " << p.gate;
    }
    EXPECT_EQ(envelopeByNumber(8), nullptr);
}

TEST(AlarmShapes, EnvelopesStayDefinedForExtremeCounts) {
    for (int e = 0; e < kEnvelopeCount; ++e) {
        const EnvelopeFn f = envelopeByNumber(e);
        EXPECT_EQ(f(INT32_MAX, 0), 0) << e;
        EXPECT_GE(f(INT32_MAX, INT32_MAX), 0) << e;
    }
}

struct ModulationPoint {
    int modulation;
    int32_t count;
    int32_t expected;
};

TEST(AlarmShapes, Modulations) {
    const ModulationPoint points[] = {
        {1, 0, 256},      {1, 1, 256},      {1, 0x2000, 288}, {1, 0x6000, 224},
        {1, 0x7FFF, 255},  // TRI(0xFFFE) = -4, and -4 >> 10 is -1
        {1, 0x8000, 256}, {2, 0x2000, 320}, {2, 0x6000, 192}, {2, 0x7FFF, 255},
        {3, 0x800, 288},  {3, 0x1800, 224}, {3, 0x2000, 256}, {3, 0x2800, 288},
    };
    for (const ModulationPoint& p : points) {
        const ModulationFn f = modulationByNumber(p.modulation);
        ASSERT_NE(f, nullptr) << p.modulation;
        EXPECT_EQ(f(p.count), p.expected) << "M" << p.modulation << " n " << p.count;
    }
}

TEST(AlarmInstruments, BankCombinesTheRightParts) {
    struct Row {
        int number;
        int waveform, transient, envelope, modulation;  // 0 = none (envelopes are all present)
    };
    const Row rows[] = {
        {0, 1, 0, 0, 0},   {4, 6, 3, 1, 0},   {5, 7, 6, 1, 1},   {8, 2, 3, 1, 0},
        {10, 5, 0, 3, 1},  {11, 5, 0, 3, 1},  {13, 4, 6, 2, 0},  {16, 5, 2, 3, 1},
        {24, 8, 0, 6, 1},  {25, 5, 3, 1, 0},  {29, 2, 3, 1, 0},  {31, 13, 0, 1, 0},
        {32, 0, 7, 0, 0},  {38, 4, 4, 3, 0},  {40, 3, 0, 3, 0},  {41, 9, 0, 7, 3},
        {47, 5, 4, 4, 0},  {48, 4, 5, 3, 0},  {52, 9, 0, 7, 3},  {55, 12, 0, 7, 3},
        {56, 14, 6, 4, 0}, {57, 10, 1, 6, 2}, {72, 11, 1, 5, 2}, {80, 4, 0, 5, 2},
        {81, 1, 0, 5, 0},  {82, 3, 0, 5, 0},  {83, 1, 0, 0, 0},  {128, 1, 0, 0, 0},
    };
    for (const Row& r : rows) {
        const Instrument& ins = instrumentFor(r.number);
        EXPECT_EQ(ins.waveform, waveformByNumber(r.waveform)) << r.number;
        EXPECT_EQ(ins.transient, transientByNumber(r.transient)) << r.number;
        EXPECT_EQ(ins.envelope, envelopeByNumber(r.envelope)) << r.number;
        EXPECT_EQ(ins.modulation, modulationByNumber(r.modulation)) << r.number;
    }
    EXPECT_EQ(&instrumentFor(129), &instrumentFor(0));
    EXPECT_EQ(&instrumentFor(200), &instrumentFor(0));
    EXPECT_EQ(&instrumentFor(-1), &instrumentFor(0));
}

}  // namespace
}  // namespace orvanta::alarm
