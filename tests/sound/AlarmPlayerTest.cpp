// Playback through the audio library's disk driver, which writes the device stream to a file at
// a chosen pace: the stream must be the offline rendering, and the completion notice must come
// once the tune ends or STOP is pressed (the waits for it are only a guard against a hang).

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/AtomicFile.h"
#include "sound/AlarmPlayer.h"
#include "sound/AlarmRender.h"
#include "support/WaitUntil.h"

namespace orvanta {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr auto kGiveUp = milliseconds(20000);

struct EndedLatch {
    std::mutex mutex;
    std::condition_variable wake;
    bool ended = false;
    int calls = 0;

    AlarmPreviewEnded callback() {
        return [this] {
            std::lock_guard<std::mutex> lock(mutex);
            ended = true;
            ++calls;
            wake.notify_all();
        };
    }
    bool waitFor(Clock::duration d) {
        std::unique_lock<std::mutex> lock(mutex);
        return wake.wait_for(lock, d, [this] { return ended; });
    }
};

class AlarmPlayerTest : public testing::Test {
  protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("orvanta-audio-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir_);
        diskFile_ = (dir_ / "stream.raw").string();
    }
    void TearDown() override {
        std::filesystem::remove_all(dir_);
        ::unsetenv("SDL_AUDIODRIVER");
    }
    void useDiskDriver(int millisecondsPerBuffer) {
        ::setenv("SDL_AUDIODRIVER", "disk", 1);
        ::setenv("SDL_DISKAUDIOFILE", diskFile_.c_str(), 1);
        ::setenv("SDL_DISKAUDIODELAY", std::to_string(millisecondsPerBuffer).c_str(), 1);
    }
    // What the disk device has written so far.
    std::uintmax_t diskBytes() const {
        std::error_code error;
        const std::uintmax_t size = std::filesystem::file_size(diskFile_, error);
        return error ? 0 : size;
    }
    std::vector<int16_t> diskSamples() const {
        const auto bytesRead = readWholeFile(diskFile_);
        EXPECT_TRUE(bytesRead.ok());
        const std::string bytes = bytesRead.valueOr({});
        std::vector<int16_t> out(bytes.size() / 2);
        for (size_t i = 0; i < out.size(); ++i) {
            const auto lo = static_cast<uint8_t>(bytes[2 * i]);
            const auto hi = static_cast<uint8_t>(bytes[2 * i + 1]);
            out[i] = static_cast<int16_t>(static_cast<uint16_t>(lo | (hi << 8)));
        }
        return out;
    }

    std::filesystem::path dir_;
    std::string diskFile_;
};

size_t firstNonZero(const std::vector<int16_t>& s) {
    return static_cast<size_t>(std::find_if(s.begin(), s.end(), [](int16_t v) { return v != 0; }) -
                               s.begin());
}

TEST_F(AlarmPlayerTest, DeviceStreamIsTheOfflineRenderingAndTheEndIsReported) {
    useDiskDriver(10);
    AlarmPlayer player;
    EndedLatch latch;
    const AlarmPreviewStart start = player.play(3, latch.callback());
    ASSERT_EQ(start.status, AlarmPreviewStatus::Playing) << start.detail;
    EXPECT_TRUE(player.active());

    // The tune ends by itself, and says so.
    ASSERT_TRUE(latch.waitFor(kGiveUp));
    EXPECT_FALSE(player.active());

    const std::vector<int16_t> offline = renderAlarm(3);
    const std::vector<int16_t> stream = diskSamples();
    // The device may run a few silent buffers before it is unpaused; after them comes the tune.
    const size_t lead = firstNonZero(stream) - firstNonZero(offline);
    ASSERT_LT(firstNonZero(stream), stream.size());
    EXPECT_EQ(lead % (2 * 4096), 0u) << "silence before the tune is whole buffers";
    ASSERT_GE(stream.size(), lead + offline.size());
    EXPECT_TRUE(
        std::equal(offline.begin(), offline.end(), stream.begin() + static_cast<long>(lead)));
    EXPECT_TRUE(std::all_of(stream.begin() + static_cast<long>(lead + offline.size()), stream.end(),
                            [](int16_t v) { return v == 0; }));
    EXPECT_EQ(latch.calls, 1);
}

TEST_F(AlarmPlayerTest, StopEndsPlaybackAndPlayWaitsForTheEnd) {
    useDiskDriver(90);  // about real time
    AlarmPlayer player;
    EndedLatch first;
    ASSERT_EQ(player.play(4, first.callback()).status, AlarmPreviewStatus::Playing);
    ASSERT_TRUE(test::waitUntil([&] { return diskBytes() > 0; }, kGiveUp)) << "the device plays";

    EndedLatch refused;
    EXPECT_EQ(player.play(1, refused.callback()).status, AlarmPreviewStatus::AlreadyPlaying);

    player.stop();
    EXPECT_TRUE(player.stopRequested());
    ASSERT_TRUE(first.waitFor(kGiveUp));
    EXPECT_FALSE(refused.waitFor(milliseconds(1)));

    // Far less than the whole tune went out: the notice answered STOP, not the tune's end.
    EXPECT_LT(diskSamples().size(), renderAlarm(4).size());

    // The next preview starts normally.
    useDiskDriver(5);
    EndedLatch second;
    ASSERT_EQ(player.play(2, second.callback()).status, AlarmPreviewStatus::Playing);
    ASSERT_TRUE(second.waitFor(kGiveUp));
}

TEST_F(AlarmPlayerTest, MissingAudioDeviceStillEndsOnStop) {
    ::setenv("SDL_AUDIODRIVER", "nonexistent", 1);
    AlarmPlayer player;
    EndedLatch latch;
    const AlarmPreviewStart start = player.play(1, latch.callback());
    EXPECT_EQ(start.status, AlarmPreviewStatus::NoAudioDevice);
    EXPECT_FALSE(start.detail.empty());
    // Nothing plays, so nothing ends the preview but STOP.
    EXPECT_FALSE(latch.waitFor(milliseconds(1500)));
    EXPECT_TRUE(player.active());
    player.stop();
    ASSERT_TRUE(latch.waitFor(kGiveUp));
}

TEST_F(AlarmPlayerTest, DestroyingAPlayingPlayerEndsItWithoutANotice) {
    useDiskDriver(90);
    EndedLatch latch;
    {
        AlarmPlayer player;
        ASSERT_EQ(player.play(4, latch.callback()).status, AlarmPreviewStatus::Playing);
        ASSERT_TRUE(test::waitUntil([&] { return diskBytes() > 0; }, kGiveUp))
            << "the device plays";
    }
    EXPECT_EQ(latch.calls, 0);
}

// A window may let go of its player from inside the player's own notice: the player must
// neither wait for itself nor leave its closer reaching into it, and the next player gets the
// device at once.
TEST_F(AlarmPlayerTest, APlayerDestroyedFromItsOwnNoticeLeavesTheDeviceToTheNext) {
    useDiskDriver(1);
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        auto* player = new AlarmPlayer;
        EndedLatch latch;
        const AlarmPreviewEnded told = latch.callback();
        const AlarmPreviewStart start = player->play(0, [player, told] {
            delete player;
            told();
        });
        ASSERT_EQ(start.status, AlarmPreviewStatus::Playing) << start.detail;
        ASSERT_TRUE(latch.waitFor(kGiveUp));
    }
}

}  // namespace
}  // namespace orvanta
