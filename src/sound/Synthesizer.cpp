#include "sound/Synthesizer.h"

#include <algorithm>
#include <cstdio>
#include <limits>

#include "sound/Instruments.h"

namespace orvanta {

namespace alarm {

namespace {

// round(440000 * 2^((n - 69) / 12)) for n = 0..127.
constexpr int32_t kNoteMilliHertz[128] = {
    8176,    8662,    9177,    9723,    10301,    10913,    11562,    12250,    //
    12978,   13750,   14568,   15434,   16352,    17324,    18354,    19445,    //
    20602,   21827,   23125,   24500,   25957,    27500,    29135,    30868,    //
    32703,   34648,   36708,   38891,   41203,    43654,    46249,    48999,    //
    51913,   55000,   58270,   61735,   65406,    69296,    73416,    77782,    //
    82407,   87307,   92499,   97999,   103826,   110000,   116541,   123471,   //
    130813,  138591,  146832,  155563,  164814,   174614,   184997,   195998,   //
    207652,  220000,  233082,  246942,  261626,   277183,   293665,   311127,   //
    329628,  349228,  369994,  391995,  415305,   440000,   466164,   493883,   //
    523251,  554365,  587330,  622254,  659255,   698456,   739989,   783991,   //
    830609,  880000,  932328,  987767,  1046502,  1108731,  1174659,  1244508,  //
    1318510, 1396913, 1479978, 1567982, 1661219,  1760000,  1864655,  1975533,  //
    2093005, 2217461, 2349318, 2489016, 2637020,  2793826,  2959955,  3135963,  //
    3322438, 3520000, 3729310, 3951066, 4186009,  4434922,  4698636,  4978032,  //
    5274041, 5587652, 5919911, 6271927, 6644875,  7040000,  7458620,  7902133,  //
    8372018, 8869844, 9397273, 9956063, 10548082, 11175303, 11839822, 12543854,
};

}  // namespace

int32_t noteFrequency(int note) {
    return note >= 0 && note < 128 ? kNoteMilliHertz[note] : 0;
}

int32_t phaseStepFor(int64_t milliHertz) {
    if (milliHertz <= 0) {
        return 0;
    }
    // 65536 phase units per cycle, 44100000 millisamples per second, rounded to nearest.
    return static_cast<int32_t>((milliHertz * 65536 + 22050000) / 44100000);
}

int32_t noteSamples(int32_t tempo, int32_t length, bool dotted) {
    if (tempo <= 0 || length <= 0) {
        return 0;
    }
    // A whole note lasts 4 beats = 4 * 60 * 44100 / tempo samples; the numerators below are
    // that times 2 (and times 3 for a dotted note), plus half the divisor for rounding.
    const int64_t tl = static_cast<int64_t>(tempo) * length;
    return static_cast<int32_t>((tl + (dotted ? 31752000 : 21168000)) / (2 * tl));
}

}  // namespace alarm

namespace {

constexpr int32_t kMaxInt32 = std::numeric_limits<int32_t>::max();

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
char toUpper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Reads unsigned decimal digits at `pos`; leaves `value` alone when there are none. Absurdly
// long numbers stop growing at the largest int32 instead of overflowing.
void readNumber(std::string_view text, size_t& pos, int32_t& value) {
    if (pos >= text.size() || !isDigit(text[pos])) {
        return;
    }
    int64_t v = 0;
    while (pos < text.size() && isDigit(text[pos])) {
        v = std::min<int64_t>(v * 10 + (text[pos] - '0'), kMaxInt32);
        ++pos;
    }
    value = static_cast<int32_t>(v);
}

int32_t wrappingAdd(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

int32_t saturatingLength(int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, 0, kMaxInt32));
}

// The note number of a letter in octave 0 counted from note 12 (so that c4 is note 60).
int letterNote(char upper) {
    switch (upper) {
        case 'C':
            return 12;
        case 'D':
            return 14;
        case 'E':
            return 16;
        case 'F':
            return 17;
        case 'G':
            return 19;
        case 'A':
            return 21;
        case 'B':
            return 23;
        default:
            return -1;
    }
}

int16_t clipToSample(int64_t sum) {
    if (sum < -0x10000) {
        return -0x8000;
    }
    if (sum > 0xFFFF) {
        return 0x7FFF;
    }
    return static_cast<int16_t>(sum >> 1);
}

void printSyntaxError(int voice, void*) {
    std::printf("MML Error at Track %d\n", voice);
    std::fflush(stdout);
}

}  // namespace

Synthesizer::Synthesizer() : syntaxErrorSink_(printSyntaxError) {
    // Build the instrument table now rather than on the audio thread.
    (void)alarm::instrumentFor(0);
    for (SynthVoice& v : voices_) {
        v.ended = true;
    }
}

void Synthesizer::setSyntaxErrorSink(SyntaxErrorSink sink, void* context) {
    syntaxErrorSink_ = sink != nullptr ? sink : printSyntaxError;
    syntaxErrorContext_ = context;
}

void Synthesizer::load(const AlarmTune& tune) {
    tempo_ = 120;
    for (size_t i = 0; i < voices_.size(); ++i) {
        texts_[i].assign(tune[i]);
        voices_[i] = SynthVoice{};
    }
}

bool Synthesizer::allEnded() const {
    return std::all_of(voices_.begin(), voices_.end(), [](const SynthVoice& v) { return v.ended; });
}

void Synthesizer::endVoice(int index, bool syntaxError) {
    voices_[static_cast<size_t>(index)].ended = true;
    if (syntaxError) {
        syntaxErrorSink_(index, syntaxErrorContext_);
    }
}

void Synthesizer::parseNextNote(int index) {
    SynthVoice& v = voices_[static_cast<size_t>(index)];
    const std::string_view text = texts_[static_cast<size_t>(index)];
    size_t pos = v.cursor;

    // Commands up to and including the note letter.
    int64_t note = 0;
    bool rest = false;
    for (;;) {
        if (pos >= text.size()) {
            v.cursor = pos;
            endVoice(index, false);
            return;
        }
        const char c = toUpper(text[pos++]);
        int32_t* setting = nullptr;
        switch (c) {
            case ' ':
            case '\t':
            case '\n':
                continue;
            case '<':
                v.octave = wrappingAdd(v.octave, -1);
                continue;
            case '>':
                v.octave = wrappingAdd(v.octave, 1);
                continue;
            case '@':
                setting = &v.instrument;
                break;
            case 'L':
                setting = &v.defaultLength;
                break;
            case 'O':
                setting = &v.octave;
                break;
            case 'P':
                setting = &v.pan;
                break;
            case 'Q':
                setting = &v.gatePercent;
                break;
            case 'T':
                setting = &tempo_;
                break;
            case 'V':
                setting = &v.volume;
                break;
            case 'N': {
                int32_t number = 0;
                readNumber(text, pos, number);
                note = number;
                break;
            }
            case 'R':
                rest = true;
                break;
            default:
                if (letterNote(c) < 0) {
                    v.cursor = pos;
                    endVoice(index, true);
                    return;
                }
                note = 12 * static_cast<int64_t>(v.octave) + letterNote(c);
                break;
        }
        if (setting != nullptr) {
            readNumber(text, pos, *setting);
            continue;
        }
        break;
    }

    // What follows the note: accidentals, length, dots, gate, tie.
    for (; pos < text.size(); ++pos) {
        const char c = text[pos];
        if (c == '#' || c == '+') {
            ++note;
        } else if (c == '-') {
            --note;
        } else if (!isBlank(c) && c != '%') {
            break;
        }
    }
    int32_t length = v.defaultLength;
    readNumber(text, pos, length);
    while (pos < text.size() && isBlank(text[pos])) {
        ++pos;
    }
    bool dotted = false;
    while (pos < text.size() && text[pos] == '.') {
        dotted = true;
        ++pos;
    }
    int32_t gatePercent = v.gatePercent;
    if (pos < text.size() && text[pos] == ',') {
        ++pos;
        readNumber(text, pos, gatePercent);
    }
    bool tie = false;
    while (pos < text.size() && (text[pos] == '&' || text[pos] == '^')) {
        tie = true;
        ++pos;
    }

    const bool audible = !rest && note >= 0 && note <= 127;
    const int32_t step =
        audible ? alarm::phaseStepFor(alarm::noteFrequency(static_cast<int>(note))) : 0;
    const int32_t noteLen = alarm::noteSamples(tempo_, length, dotted);
    const int32_t gateLen =
        tie ? noteLen : saturatingLength(static_cast<int64_t>(noteLen) * gatePercent / 100);

    if (v.tied) {
        // The new pitch takes over the running note: no new attack, no phase restart.
        v.noteLength = saturatingLength(static_cast<int64_t>(v.noteLength) + noteLen);
        v.gateLength = saturatingLength(static_cast<int64_t>(v.gateLength) + gateLen);
    } else {
        v.noteLength = noteLen;
        v.gateLength = gateLen;
        v.phase = 0;
        v.sampleCount = 0;
    }
    v.phaseStep = step;
    v.tied = tie;
    v.cursor = pos;
}

void Synthesizer::renderFrame(int16_t& left, int16_t& right) {
    int64_t leftSum = 0;
    int64_t rightSum = 0;
    for (int i = 0; i < alarm::kVoiceCount; ++i) {
        SynthVoice& v = voices_[static_cast<size_t>(i)];
        if (v.ended) {
            continue;
        }
        if (v.sampleCount >= v.noteLength) {
            parseNextNote(i);
        }
        if (v.ended || v.sampleCount >= v.noteLength) {
            continue;
        }
        if (v.phaseStep != 0) {
            const alarm::Instrument& ins = alarm::instrumentFor(v.instrument);
            const int32_t n = v.sampleCount;
            int64_t d = ins.waveform != nullptr ? ins.waveform(v.phase) : 0;
            if (ins.transient != nullptr) {
                d += ins.transient(v.phase, n);
            }
            if (ins.envelope != nullptr) {
                d = (d * ins.envelope(n, v.gateLength)) >> 15;
            }
            if (ins.modulation != nullptr) {
                d = (d * ins.modulation(n)) >> 8;
            }
            // Voice values are 32-bit; with volumes and pans outside their usual ranges they
            // wrap rather than overflow.
            const int64_t s = static_cast<int32_t>((d * v.volume) >> 7);
            leftSum += static_cast<int32_t>(((128 - static_cast<int64_t>(v.pan)) * s) >> 7);
            rightSum += static_cast<int32_t>((static_cast<int64_t>(v.pan) * s) >> 7);
            v.phase = (v.phase + static_cast<uint32_t>(v.phaseStep)) & 0xFFFFu;
        }
        ++v.sampleCount;  // below noteLength, so no overflow
    }
    left = clipToSample(leftSum);
    right = clipToSample(rightSum);
}

bool Synthesizer::fill(uint8_t* stream, int len) {
    if (stream == nullptr || len <= 0) {
        return allEnded();
    }
    const int frames = len / 4;
    uint8_t* out = stream;
    for (int f = 0; f < frames; ++f) {
        int16_t left = 0;
        int16_t right = 0;
        renderFrame(left, right);
        const auto l = static_cast<uint16_t>(left);
        const auto r = static_cast<uint16_t>(right);
        out[0] = static_cast<uint8_t>(l & 0xFF);
        out[1] = static_cast<uint8_t>(l >> 8);
        out[2] = static_cast<uint8_t>(r & 0xFF);
        out[3] = static_cast<uint8_t>(r >> 8);
        out += 4;
    }
    for (int rest = len - frames * 4; rest > 0; --rest) {
        *out++ = 0;
    }
    return allEnded();
}

}  // namespace orvanta
