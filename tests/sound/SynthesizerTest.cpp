// The music-macro language and the frame mixing, observed through the voice state after the
// first note has been read and through the samples.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "sound/AlarmRender.h"
#include "sound/AlarmTunes.h"
#include "sound/Synthesizer.h"

namespace orvanta {
namespace {

// A synthesizer that has read the first note of a one-voice text.
Synthesizer firstNote(std::string_view text) {
    Synthesizer synth;
    synth.load(AlarmTune{text});
    int16_t l = 0;
    int16_t r = 0;
    synth.renderFrame(l, r);
    return synth;
}

TEST(AlarmTables, FrequenciesPhaseStepsAndLengths) {
    EXPECT_EQ(alarm::noteFrequency(0), 8176);
    EXPECT_EQ(alarm::noteFrequency(60), 261626);
    EXPECT_EQ(alarm::noteFrequency(69), 440000);
    EXPECT_EQ(alarm::noteFrequency(127), 12543854);
    EXPECT_EQ(alarm::noteFrequency(128), 0);
    EXPECT_EQ(alarm::phaseStepFor(440000), 654);
    EXPECT_EQ(alarm::phaseStepFor(0), 0);
    // 120 quarter notes a minute: half a second, 22050.5 samples rounded down at .5.
    EXPECT_EQ(alarm::noteSamples(120, 4, false), 22050);
    EXPECT_EQ(alarm::noteSamples(120, 4, true), 33075);
    EXPECT_EQ(alarm::noteSamples(180, 2, false), 29400);
    EXPECT_EQ(alarm::noteSamples(152, 8, false), 8704);
    EXPECT_EQ(alarm::noteSamples(152, 32, true), 3264);
    EXPECT_EQ(alarm::noteSamples(0, 4, false), 0);
    EXPECT_EQ(alarm::noteSamples(120, 0, false), 0);
    EXPECT_EQ(alarm::noteSamples(INT32_MAX, INT32_MAX, true), 0);
}

TEST(AlarmTables, FrequencyTableIsEqualTempered) {
    for (int n = 0; n < 128; ++n) {
        const long double exact = 440000.0L * std::pow(2.0L, (n - 69) / 12.0L);
        EXPECT_EQ(alarm::noteFrequency(n), std::llround(exact)) << n;
    }
}

struct PitchCase {
    const char* text;
    int32_t phaseStep;
};

TEST(AlarmLanguage, Pitches) {
    const PitchCase cases[] = {
        {"o4 c", 389},   {"o4 a", 654},   {"O4A", 654},
        {"n69", 654},    {"o4 c-", 367},  // note 59
        {"o3 b+", 389},  {"o4 c#", 412},  {"o4 c % # -- +", 389},
        {"o5 < a", 654}, {"o3 > a", 654}, {"o0 < c", 12},  // octave -1: c is note 0
        {"o0 < c-", 0},  {"o0 << c", 0},                   // below note 0: silent
        {"n128", 0},     {"n", 12},       {"r", 0},
        {"o9 g#", 0},    {"o6 a", 2615},  {"o7 e", 3919},
    };
    for (const PitchCase& c : cases) {
        const Synthesizer synth = firstNote(c.text);
        EXPECT_FALSE(synth.voice(0).ended) << c.text;
        EXPECT_EQ(synth.voice(0).phaseStep, c.phaseStep) << c.text;
    }
}

struct LengthCase {
    const char* text;
    int32_t noteLength;
    int32_t gateLength;
};

TEST(AlarmLanguage, LengthsDotsGatesAndTies) {
    const LengthCase cases[] = {
        {"c", 22050, 20947},         {"l4 c", 22050, 20947},  {"c4", 22050, 20947},
        {"c4.", 33075, 31421},       {"c4 ..", 33075, 31421}, {"r4.", 33075, 31421},
        {"l8 c", 11025, 10473},      {"c4,50", 22050, 11025}, {"q50 c", 22050, 11025},
        {"q50 c,", 22050, 11025},    {"c4&", 22050, 22050},   {"c^^", 22050, 22050},
        {"t180 l2 c", 29400, 27930}, {"t0 c", 0, 0},          {"l0 c", 0, 0},
        {"c - 4", 22050, 20947},     {"n60 8", 11025, 10473}, {"t60 c1,200", 176400, 352800},
    };
    for (const LengthCase& c : cases) {
        const Synthesizer synth = firstNote(c.text);
        EXPECT_EQ(synth.voice(0).noteLength, c.noteLength) << c.text;
        EXPECT_EQ(synth.voice(0).gateLength, c.gateLength) << c.text;
    }
}

TEST(AlarmLanguage, SettingsAndMissingNumbers) {
    const Synthesizer s2 = firstNote("@5 v100 p10 o3 l8 q80 t150 @ v p o l q t c");
    const SynthVoice& w = s2.voice(0);
    EXPECT_FALSE(w.ended);
    EXPECT_EQ(w.instrument, 5);
    EXPECT_EQ(w.volume, 100);
    EXPECT_EQ(w.pan, 10);
    EXPECT_EQ(w.octave, 3);
    EXPECT_EQ(w.defaultLength, 8);
    EXPECT_EQ(w.gatePercent, 80);
    EXPECT_EQ(s2.tempo(), 150);
    EXPECT_EQ(w.phaseStep, 194);  // c3 = note 48, 130813 mHz
}

std::vector<int16_t> render(std::initializer_list<std::string_view> voices) {
    AlarmTune tune{};
    size_t i = 0;
    for (const std::string_view v : voices) {
        tune[i++] = v;
    }
    return renderTune(tune);
}

TEST(AlarmLanguage, TiedNotesSoundAsOneWithoutRestart) {
    // With the gate at 100 the tied pair and the whole note have the same gate, so any restart
    // of phase, transient or envelope at the tie would show in the samples.
    const std::vector<int16_t> tied = render({"t180 @1 q100 l2 c&c"});
    const std::vector<int16_t> whole = render({"t180 @1 q100 c1"});
    ASSERT_EQ(tied.size(), 2u * 58800);
    EXPECT_EQ(tied, whole);

    Synthesizer synth;
    synth.load(AlarmTune{"t180 l2 c&c"});
    int16_t l = 0;
    int16_t r = 0;
    for (int i = 0; i <= 29400; ++i) {
        synth.renderFrame(l, r);
    }
    const SynthVoice& v = synth.voice(0);
    EXPECT_EQ(v.noteLength, 58800);
    EXPECT_EQ(v.gateLength, 29400 + 27930);
    EXPECT_EQ(v.sampleCount, 29401);
    EXPECT_EQ(v.phase, (29401u * 389u) % 65536u);
    EXPECT_FALSE(v.tied);
}

TEST(AlarmLanguage, TieChangesPitchInPlace) {
    Synthesizer synth;
    synth.load(AlarmTune{"c8&a8"});
    int16_t l = 0;
    int16_t r = 0;
    for (int i = 0; i <= 11025; ++i) {
        synth.renderFrame(l, r);
    }
    EXPECT_EQ(synth.voice(0).phaseStep, 654);
    EXPECT_EQ(synth.voice(0).phase, (11025u * 389u + 654u) % 65536u);
}

TEST(AlarmLanguage, InstrumentBeyondTheTableIsInstrumentZero) {
    EXPECT_EQ(render({"@200 o4 a"}), render({"@0 o4 a"}));
    EXPECT_NE(render({"@81 o4 a"}), render({"@0 o4 a"}));
}

void collectError(int voice, void* context) {
    static_cast<std::vector<int>*>(context)->push_back(voice);
}

TEST(AlarmLanguage, UnknownCommandEndsOnlyItsVoice) {
    Synthesizer synth;
    std::vector<int> errors;
    synth.setSyntaxErrorSink(collectError, &errors);
    synth.load(AlarmTune{"c x c", "c c", "", "c4 $"});
    int16_t l = 0;
    int16_t r = 0;
    for (int i = 0; i <= 22050; ++i) {
        synth.renderFrame(l, r);
    }
    EXPECT_TRUE(synth.voice(0).ended);
    EXPECT_FALSE(synth.voice(1).ended);
    EXPECT_TRUE(synth.voice(2).ended);
    EXPECT_TRUE(synth.voice(3).ended);
    EXPECT_EQ(errors, (std::vector<int>{0, 3}));
    for (int i = 0; i < 22049; ++i) {
        synth.renderFrame(l, r);
    }
    EXPECT_FALSE(synth.allEnded());
    synth.renderFrame(l, r);
    EXPECT_TRUE(synth.allEnded());

    // The diagnostic goes to standard output by default; a text that simply ends gives none.
    testing::internal::CaptureStdout();
    EXPECT_EQ(render({"c x c", "c c", "c4 t120 "}).size(), 2u * 44100);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "MML Error at Track 0\n");
}

TEST(AlarmTunes, VoiceCounts) {
    for (int sound = 0; sound <= 5; ++sound) {
        Synthesizer synth;
        synth.load(alarmTune(sound));
        int16_t l = 0;
        int16_t r = 0;
        synth.renderFrame(l, r);
        int sounding = 0;
        for (int v = 0; v < alarm::kVoiceCount; ++v) {
            sounding += synth.voice(v).ended ? 0 : 1;
        }
        EXPECT_EQ(sounding, sound == 4 ? 8 : (sound >= 1 && sound <= 3 ? 2 : 1)) << sound;
    }
}

struct MixCase {
    int voices;
    int frame;  // 0: first half of the square wave (negative), 51: second half
    int16_t left;
    int16_t right;
};

TEST(AlarmMixing, PanVolumeAndClipping) {
    // One full-left square at volume 127: (-32768 * 127) >> 7 = -32512 on the left before the
    // final halving; two of them reach -65024 (-32512 out); three clip.
    const MixCase cases[] = {
        {1, 0, -16256, 0}, {2, 0, -32512, 0}, {3, 0, -32768, 0}, {8, 0, -32768, 0},
        {1, 51, 16256, 0}, {2, 51, 32512, 0}, {3, 51, 32767, 0},
    };
    for (const MixCase& c : cases) {
        AlarmTune tune{};
        for (int i = 0; i < c.voices; ++i) {
            tune[static_cast<size_t>(i)] = "@0 v127 p0 o4 a";
        }
        const std::vector<int16_t> s = renderTune(tune, 100);
        EXPECT_EQ(s[2 * static_cast<size_t>(c.frame)], c.left) << c.voices << " voices";
        EXPECT_EQ(s[2 * static_cast<size_t>(c.frame) + 1], c.right) << c.voices << " voices";
    }
    const std::vector<int16_t> right = renderTune(AlarmTune{"@0 v127 p128 o4 a"}, 1);
    EXPECT_EQ(right[0], 0);
    EXPECT_EQ(right[1], -16256);
    const std::vector<int16_t> centre = renderTune(AlarmTune{"@0 v127 o4 a"}, 1);
    EXPECT_EQ(centre[0], -8128);
    EXPECT_EQ(centre[1], -8128);
}

TEST(AlarmMixing, FillWritesWholeLittleEndianFramesOnly) {
    Synthesizer synth;
    synth.load(AlarmTune{"@0 v127 p0 o4 a"});
    uint8_t buffer[10];
    std::fill(std::begin(buffer), std::end(buffer), 0xAA);
    // Six bytes hold one frame and half of another: the half is silence, nothing is written
    // beyond the buffer.
    EXPECT_FALSE(synth.fill(buffer, 6));
    const uint8_t expected[10] = {0x80, 0xC0, 0, 0, 0, 0, 0xAA, 0xAA, 0xAA, 0xAA};
    EXPECT_TRUE(std::equal(std::begin(buffer), std::end(buffer), std::begin(expected)));
    EXPECT_EQ(synth.voice(0).sampleCount, 1);
    EXPECT_FALSE(synth.fill(buffer, 0));
    EXPECT_EQ(synth.voice(0).sampleCount, 1);
}

TEST(AlarmMixing, HostileTextsStayDefined) {
    // Huge numbers, runaway octaves, lengths and gates beyond any sense: no overflow, no hang.
    const char* texts[] = {
        "t99999999999999 c",
        "v99999999999 p99999999999 @81 c",
        "o2147483647 > c",
        "o0 <<<<<<<<<<<< c",
        "l1 t1 c1,99999999999&c&c&c",
        "n99999999999 r r",
        "p-5 c",
        "v2147483647 p2147483647 @32 c c c",
        "q4294967296 c",
        "&&&",
    };
    for (const char* t : texts) {
        testing::internal::CaptureStdout();
        const std::vector<int16_t> s = renderTune(AlarmTune{t, t}, 30000);
        testing::internal::GetCapturedStdout();
        EXPECT_LE(s.size(), 60000u) << t;
    }
}

}  // namespace
}  // namespace orvanta
