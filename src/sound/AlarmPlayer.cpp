#include "sound/AlarmPlayer.h"

#include <SDL/SDL.h>

#include "sound/AlarmTunes.h"

namespace orvanta {

namespace {

constexpr int kPollMilliseconds = 1000;
constexpr int kDrainMilliseconds = 1000;  // lets the device finish before the library goes
constexpr Uint16 kFramesPerBuffer = 4096;

}  // namespace

AlarmPlayer::AlarmPlayer() = default;

AlarmPlayer::~AlarmPlayer() {
    std::lock_guard<std::mutex> lock(control_);
    notifyOnEnd_ = false;
    stopRequested_ = true;
    if (closer_.joinable()) {
        if (closer_.get_id() == std::this_thread::get_id()) {
            closer_.detach();  // destroyed from its own notice: it returns right after
        } else {
            closer_.join();
        }
    }
}

void AlarmPlayer::fillAudio(void* player, uint8_t* stream, int len) {
    auto* self = static_cast<AlarmPlayer*>(player);
    if (self->synth_.fill(stream, len)) {
        self->stopRequested_ = true;
    }
}

bool AlarmPlayer::reapCloser() {
    if (!closerDone_) {
        return false;
    }
    if (closer_.joinable()) {
        if (closer_.get_id() == std::this_thread::get_id()) {
            return false;
        }
        closer_.join();
    }
    return true;
}

AlarmPreviewStart AlarmPlayer::play(int soundNumber, AlarmPreviewEnded onEnded) {
    std::lock_guard<std::mutex> lock(control_);
    // The dialog offers PLAY only when no preview runs; a second request while one is still
    // playing or closing is refused rather than stacked.
    if (!reapCloser()) {
        return {AlarmPreviewStatus::AlreadyPlaying, {}};
    }

    AlarmPreviewStart result;
    // Audio only; the library's handlers for fatal signals are left out so that crashes are
    // reported as usual.
    const bool libraryUp = SDL_Init(SDL_INIT_AUDIO | SDL_INIT_NOPARACHUTE) == 0;
    bool deviceOpen = false;
    stopRequested_ = false;
    if (!libraryUp) {
        result = {AlarmPreviewStatus::NoAudioDevice, SDL_GetError()};
    } else {
        SDL_AudioSpec wanted{};
        wanted.freq = alarm::kSampleRate;
        wanted.format = AUDIO_S16LSB;
        wanted.channels = 2;
        wanted.samples = kFramesPerBuffer;
        wanted.callback = &AlarmPlayer::fillAudio;
        wanted.userdata = this;
        // Without an "obtained" description the library converts to the device format itself.
        deviceOpen = SDL_OpenAudio(&wanted, nullptr) == 0;
        if (!deviceOpen) {
            result = {AlarmPreviewStatus::NoAudioDevice, SDL_GetError()};
        } else {
            // The device starts paused, but its thread already runs: hand the new state over
            // under the library's lock.
            SDL_LockAudio();
            synth_.load(alarmTune(soundNumber));
            SDL_UnlockAudio();
            SDL_PauseAudio(0);
        }
    }

    closerDone_ = false;
    notifyOnEnd_ = true;
    closer_ =
        std::thread(&AlarmPlayer::closerMain, this, libraryUp, deviceOpen, std::move(onEnded));
    return result;
}

void AlarmPlayer::stop() {
    std::lock_guard<std::mutex> lock(control_);
    stopRequested_ = true;
    reapCloser();
}

void AlarmPlayer::closerMain(bool libraryUp, bool deviceOpen, AlarmPreviewEnded onEnded) {
    while (!stopRequested_) {
        SDL_Delay(kPollMilliseconds);
    }
    if (deviceOpen) {
        SDL_CloseAudio();
    }
    if (libraryUp) {
        SDL_Delay(kDrainMilliseconds);
        SDL_Quit();
    }
    const bool notify = notifyOnEnd_;
    closerDone_ = true;
    if (notify && onEnded) {
        onEnded();
    }
}

AlarmPlayer& processAlarmPlayer() {
    static AlarmPlayer player;
    return player;
}

AlarmPreviewStart playAlarmPreview(int soundNumber, AlarmPreviewEnded onEnded) {
    return processAlarmPlayer().play(soundNumber, std::move(onEnded));
}

void stopAlarmPreview() {
    processAlarmPlayer().stop();
}

}  // namespace orvanta
