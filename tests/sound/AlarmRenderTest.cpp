// The built-in tunes rendered offline: how long each lasts, what it sounds like, and the WAV file.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/AtomicFile.h"
#include "sound/AlarmRender.h"

namespace orvanta {
namespace {

struct TuneLength {
    int sound;
    size_t frames;
};

TEST(AlarmRender, EachTuneLastsUntilItsLongestVoiceEnds) {
    // Note lengths in samples: at tempo 152 an eighth is 8704 and a dotted 32nd 3264; at 120 a
    // whole note is 88200 and an eighth 11025; at 180 a whole note is 58800, a half 29400, an
    // eighth 7350 and a dotted sixteenth 5513. The echo voices start later and end last.
    const TuneLength lengths[] = {
        {1, 8704 + 3264 + 32 * 8704},          // r8 r32. then 32 eighths
        {2, 11025 + 2 * 88200},                // r8 a r
        {3, 7350 + 5513 + 2 * 58800},          // r8 r16. a r
        {4, 7350 + 5513 + 5 * 29400 + 58800},  // r8 r16. five halves r1
        {0, 88200},
        {5, 88200},
        {-7, 88200},
    };
    for (const TuneLength& t : lengths) {
        const std::vector<int16_t> samples = renderAlarm(t.sound);
        EXPECT_EQ(samples.size(), 2 * t.frames) << "sound " << t.sound;
        const bool audible =
            std::any_of(samples.begin(), samples.end(), [](int16_t s) { return s != 0; });
        EXPECT_EQ(audible, t.sound >= 1 && t.sound <= 4) << "sound " << t.sound;
    }
}

// Power of one frequency in a block of samples (Goertzel).
double power(const std::vector<double>& x, double hz) {
    const double w = 2.0 * M_PI * hz / alarm::kSampleRate;
    const double c = 2.0 * std::cos(w);
    double s1 = 0;
    double s2 = 0;
    for (const double v : x) {
        const double s0 = v + c * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    return s1 * s1 + s2 * s2 - c * s1 * s2;
}

TEST(AlarmRender, SoundTwoIsTheTwoTonesAAndE) {
    const std::vector<int16_t> samples = renderAlarm(2);
    // A stretch of the left channel after the rest and the swell, while both tones hold.
    std::vector<double> block;
    for (size_t f = 20000; f < 20000 + 8192; ++f) {
        block.push_back(samples[2 * f]);
    }
    std::vector<double> spectrum;
    constexpr double kFrom = 200;
    constexpr double kStep = 2;
    for (double hz = kFrom; hz <= 6000; hz += kStep) {
        spectrum.push_back(power(block, hz));
    }
    // The two strongest local peaks.
    std::vector<std::pair<double, double>> peaks;  // power, frequency
    for (size_t i = 1; i + 1 < spectrum.size(); ++i) {
        if (spectrum[i] > spectrum[i - 1] && spectrum[i] >= spectrum[i + 1]) {
            peaks.emplace_back(spectrum[i], kFrom + kStep * static_cast<double>(i));
        }
    }
    ASSERT_GE(peaks.size(), 2u);
    std::partial_sort(peaks.begin(), peaks.begin() + 2, peaks.end(), std::greater<>());
    const double low = std::min(peaks[0].second, peaks[1].second);
    const double high = std::max(peaks[0].second, peaks[1].second);
    EXPECT_NEAR(low, 1760.0, 17.6);
    EXPECT_NEAR(high, 2637.0, 26.4);
}

TEST(AlarmRender, WavFile) {
    const std::string bytes = wavFileBytes({1, -2, 0x7FFF, -0x8000});
    const std::string expected =
        std::string("RIFF") + std::string("\x2C\0\0\0", 4) + "WAVEfmt " +
        std::string("\x10\0\0\0\x01\0\x02\0\x44\xAC\0\0\x10\xB1\x02\0\x04\0\x10\0", 20) + "data" +
        std::string("\x08\0\0\0\x01\0\xFE\xFF\xFF\x7F\0\x80", 12);
    EXPECT_EQ(bytes, expected);

    const auto dir =
        std::filesystem::temp_directory_path() / ("orvanta-wav-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "sound3.wav").string();
    EXPECT_TRUE(renderAlarmToWav(3, path).ok());
    const auto writtenRead = readWholeFile(path);
    ASSERT_TRUE(writtenRead.ok());
    const std::string written = writtenRead.valueOr({});
    EXPECT_EQ(written, wavFileBytes(renderAlarm(3)));
    EXPECT_FALSE(renderAlarmToWav(3, (dir / "missing" / "x.wav").string()).ok());
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace orvanta
