#include "sound/AlarmRender.h"

#include "platform/AtomicFile.h"
#include "sound/AlarmTunes.h"

namespace orvanta {

std::vector<int16_t> renderTune(const AlarmTune& tune, size_t maxFrames) {
    Synthesizer synth;
    synth.load(tune);
    std::vector<int16_t> out;
    for (size_t frame = 0; frame < maxFrames; ++frame) {
        int16_t left = 0;
        int16_t right = 0;
        synth.renderFrame(left, right);
        // The frame in which the last voice ends carries nothing from any voice.
        if (synth.allEnded()) {
            break;
        }
        out.push_back(left);
        out.push_back(right);
    }
    return out;
}

std::vector<int16_t> renderAlarm(int soundNumber) {
    return renderTune(alarmTune(soundNumber));
}

namespace {

void put16(std::string& out, uint32_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>((v >> 8) & 0xFF));
}

void put32(std::string& out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

}  // namespace

std::string wavFileBytes(const std::vector<int16_t>& interleaved) {
    constexpr uint32_t kChannels = 2;
    constexpr uint32_t kBytesPerSample = 2;
    const auto dataBytes = static_cast<uint32_t>(interleaved.size() * kBytesPerSample);
    std::string out;
    out.reserve(44 + dataBytes);
    out += "RIFF";
    put32(out, 36 + dataBytes);
    out += "WAVEfmt ";
    put32(out, 16);  // size of the format chunk
    put16(out, 1);   // PCM
    put16(out, kChannels);
    put32(out, alarm::kSampleRate);
    put32(out, alarm::kSampleRate * kChannels * kBytesPerSample);
    put16(out, kChannels * kBytesPerSample);
    put16(out, 8 * kBytesPerSample);
    out += "data";
    put32(out, dataBytes);
    for (const int16_t s : interleaved) {
        put16(out, static_cast<uint16_t>(s));
    }
    return out;
}

Result<> writeWavFile(const std::string& path, const std::vector<int16_t>& interleaved) {
    return writeFileAtomically(path, wavFileBytes(interleaved));
}

Result<> renderAlarmToWav(int soundNumber, const std::string& path) {
    return writeWavFile(path, renderAlarm(soundNumber));
}

}  // namespace orvanta
