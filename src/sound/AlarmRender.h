#pragma once
// Offline rendering of alarm tunes through the same frame code as the audio output, for files,
// tests and the command-line front end.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Result.h"
#include "sound/Synthesizer.h"

namespace orvanta {

// Ten minutes: far beyond any built-in tune; a cap for hand-written texts that would not end.
constexpr size_t kMaxRenderFrames = static_cast<size_t>(alarm::kSampleRate) * 600;

// Interleaved left/right 16-bit samples at 44.1 kHz, from the first frame until every voice has
// ended (or `maxFrames` frames).
std::vector<int16_t> renderTune(const AlarmTune& tune, size_t maxFrames = kMaxRenderFrames);
std::vector<int16_t> renderAlarm(int soundNumber);

// A complete 16-bit stereo 44.1 kHz PCM WAV file holding interleaved samples.
std::string wavFileBytes(const std::vector<int16_t>& interleaved);

// Writes interleaved samples as a WAV file (replaced only once completely written).
Result<> writeWavFile(const std::string& path, const std::vector<int16_t>& interleaved);

// Renders an alarm sound into a WAV file (replaced only once completely written).
Result<> renderAlarmToWav(int soundNumber, const std::string& path);

}  // namespace orvanta
