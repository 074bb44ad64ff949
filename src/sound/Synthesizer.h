#pragma once
// The alarm synthesizer: up to eight voices, each reading its own music-macro text, rendered
// sample by sample in integer arithmetic to 44.1 kHz 16-bit stereo.
//
// The synthesizer holds all its state itself, so offline rendering and tests can run any number
// of them; the audio output keeps exactly one for the process.
//
// The language, per voice text (letters in either case, numbers unsigned decimal; a command
// without digits leaves its value unchanged):
//   c d e f g a b  notes in the current octave, "N" n a note by number, "R" a rest; each may be
//                  followed by "#"/"+" (sharp), "-" (flat), a length (4 = quarter), dots,
//                  "," gate percent for this note only, and "&"/"^" to tie it to the next note
//   "<" ">"        octave down / up       "O" n  octave      "L" n  default length
//   "@" n          instrument             "V" n  volume      "P" n  pan (0 left, 64 centre, 128
//   right) "Q" n          gate percent           "T" n  tempo, shared by all voices
// Spaces, tabs and line feeds are ignored; any other character ends the voice with the
// diagnostic "MML Error at Track <voice>".

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace orvanta {

namespace alarm {

constexpr int kSampleRate = 44100;
constexpr int kVoiceCount = 8;

// Equal-tempered frequency of MIDI-style note number 0..127 in millihertz (69 = 440000).
int32_t noteFrequency(int note);

// Phase increment per sample for a frequency in millihertz, rounded to nearest; 0 for 0.
int32_t phaseStepFor(int64_t milliHertz);

// Samples of a note of length `length` (4 = quarter) at `tempo` quarter notes per minute,
// rounded to the nearest sample; a dotted note lasts one and a half times as long. 0 when the
// tempo or the length is 0.
int32_t noteSamples(int32_t tempo, int32_t length, bool dotted);

}  // namespace alarm

// One voice text per voice; an empty text is a voice that ends at once.
using AlarmTune = std::array<std::string_view, alarm::kVoiceCount>;

struct SynthVoice {
    int32_t octave = 4;
    int32_t defaultLength = 4;
    int32_t gatePercent = 95;
    int32_t volume = 120;
    int32_t instrument = 0;
    int32_t pan = 64;
    bool ended = false;
    size_t cursor = 0;        // next character of the voice's text
    uint32_t phase = 0;       // 0..65535, one cycle = 65536
    int32_t phaseStep = 0;    // 0 for a rest
    int32_t sampleCount = 0;  // samples since the note started
    int32_t gateLength = 0;   // samples that sound before the release
    int32_t noteLength = 0;   // samples until the next note is read
    bool tied = false;        // the current note runs on into the next one
};

class Synthesizer {
  public:
    // Called with the voice number when a voice text holds something that is no command.
    using SyntaxErrorSink = void (*)(int voice, void* context);

    Synthesizer();

    // Loads one voice text per voice (copied; this is the only place that allocates) and puts
    // the tempo and every voice to their start values.
    void load(const AlarmTune& tune);

    // Computes one stereo frame.
    void renderFrame(int16_t& left, int16_t& right);

    // Fills an audio buffer of `len` bytes with 16-bit little-endian stereo frames. Trailing
    // bytes that do not make a whole frame are set to silence. Returns true when every voice
    // has ended.
    bool fill(uint8_t* stream, int len);

    bool allEnded() const;
    int32_t tempo() const { return tempo_; }
    const SynthVoice& voice(int index) const { return voices_[static_cast<size_t>(index)]; }

    // By default the syntax diagnostic goes to standard output.
    void setSyntaxErrorSink(SyntaxErrorSink sink, void* context);

  private:
    void parseNextNote(int index);
    void endVoice(int index, bool syntaxError);

    int32_t tempo_ = 120;
    std::array<SynthVoice, alarm::kVoiceCount> voices_{};
    std::array<std::string, alarm::kVoiceCount> texts_{};
    SyntaxErrorSink syntaxErrorSink_;
    void* syntaxErrorContext_ = nullptr;
};

}  // namespace orvanta
