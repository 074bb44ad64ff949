#include "sound/AlarmPlayer.h"

#include <SDL/SDL.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <utility>

#include "platform/WorkerPool.h"
#include "sound/AlarmTunes.h"
#include "sound/Synthesizer.h"

namespace orvanta {

namespace {

constexpr auto kPoll = std::chrono::milliseconds(1000);
constexpr int kDrainMilliseconds = 1000;  // lets the device finish before the library goes
constexpr Uint16 kFramesPerBuffer = 4096;

// The preview whose completion notice runs on this thread, if any.
thread_local const void* noticeInProgress = nullptr;

}  // namespace

struct AlarmPlayer::Preview {
    Synthesizer synth;  // touched only by the audio callback while the device is open
    // Set by STOP, by the destructor, and by the audio callback once every voice has ended.
    std::atomic<bool> stopRequested{false};
    std::atomic<bool> closed{false};  // the device is closed and the library is down

    std::mutex mutex;  // guards the wake-up below; the closer waits on `wake`
    std::condition_variable wake;

    // Held while the notice runs, so that a player going away can switch the notice off and be
    // sure that none is still running once it has.
    std::mutex noticeMutex;
    bool notify = true;
    AlarmPreviewEnded onEnded;

    bool libraryUp = false;
    bool deviceOpen = false;

    void requestStop() {
        {
            std::lock_guard lock(mutex);
            stopRequested = true;
        }
        wake.notify_all();
    }

    static void fillAudio(void* preview, uint8_t* stream, int len) {
        auto* self = static_cast<Preview*>(preview);
        if (self->synth.fill(stream, len)) {
            // The audio thread takes no lock; the closer sees this at its next look.
            self->stopRequested = true;
        }
    }

    // Waits for the end, closes the device, lets the library go, and gives the notice.
    void closeWhenStopped() {
        {
            std::unique_lock lock(mutex);
            while (!wake.wait_for(lock, kPoll, [this] { return stopRequested.load(); })) {
            }
        }
        if (deviceOpen) {
            SDL_CloseAudio();
        }
        if (libraryUp) {
            SDL_Delay(kDrainMilliseconds);
            SDL_Quit();
        }
        {
            std::lock_guard lock(mutex);
            closed = true;
        }
        wake.notify_all();
        std::lock_guard notice(noticeMutex);
        // Taken out, so that what it holds goes with this task rather than with the player.
        const AlarmPreviewEnded ended = std::move(onEnded);
        if (notify && ended) {
            noticeInProgress = this;
            ended();
            noticeInProgress = nullptr;
        }
    }
};

AlarmPlayer::AlarmPlayer() {
    // The closer tasks run on the shared pool: made first, it is destroyed after this player,
    // and a closer still running then is joined by it.
    static_cast<void>(WorkerPool::shared());
}

AlarmPlayer::~AlarmPlayer() {
    std::shared_ptr<Preview> preview;
    {
        std::lock_guard lock(control_);
        preview = std::move(last_);
    }
    if (!preview) {
        return;
    }
    if (noticeInProgress == preview.get()) {
        preview->notify = false;  // this thread holds the notice lock; the device is closed
        return;
    }
    preview->requestStop();
    {
        std::lock_guard notice(preview->noticeMutex);
        preview->notify = false;
    }
    // The next player of the process may open the device right after: wait until it is free.
    std::unique_lock lock(preview->mutex);
    preview->wake.wait(lock, [&] { return preview->closed.load(); });
}

AlarmPreviewStart AlarmPlayer::play(int soundNumber, AlarmPreviewEnded onEnded) {
    std::unique_lock lock(control_);
    // The dialog offers PLAY only when no preview runs; a second request while one is still
    // playing or closing is refused rather than stacked.
    if (last_ && !last_->closed) {
        return {AlarmPreviewStatus::AlreadyPlaying, {}};
    }

    auto preview = std::make_shared<Preview>();
    AlarmPreviewStart result;
    // Audio only; the library's handlers for fatal signals are left out so that crashes are
    // reported as usual.
    const bool libraryUp = SDL_Init(SDL_INIT_AUDIO | SDL_INIT_NOPARACHUTE) == 0;
    bool deviceOpen = false;
    if (!libraryUp) {
        result = {AlarmPreviewStatus::NoAudioDevice, SDL_GetError()};
    } else {
        SDL_AudioSpec wanted{};
        wanted.freq = alarm::kSampleRate;
        wanted.format = AUDIO_S16LSB;
        wanted.channels = 2;
        wanted.samples = kFramesPerBuffer;
        wanted.callback = &Preview::fillAudio;
        wanted.userdata = preview.get();
        // Without an "obtained" description the library converts to the device format itself.
        deviceOpen = SDL_OpenAudio(&wanted, nullptr) == 0;
        if (!deviceOpen) {
            result = {AlarmPreviewStatus::NoAudioDevice, SDL_GetError()};
        } else {
            // The device starts paused, but its thread already runs: hand the new state over
            // under the library's lock.
            SDL_LockAudio();
            preview->synth.load(alarmTune(soundNumber));
            SDL_UnlockAudio();
            SDL_PauseAudio(0);
        }
    }

    preview->libraryUp = libraryUp;
    preview->deviceOpen = deviceOpen;
    preview->onEnded = std::move(onEnded);
    last_ = preview;
    // The task holds the preview (and with it the audio callback's state) until it ends.
    if (Result<void> queued =
            WorkerPool::shared().submit([preview] { preview->closeWhenStopped(); });
        !queued) {
        // No thread could take the closing: nothing is heard, and it ends here and now (the
        // notice may call back into this player).
        result = {AlarmPreviewStatus::NoAudioDevice, queued.error()};
        lock.unlock();
        preview->stopRequested = true;
        preview->closeWhenStopped();
    }
    return result;
}

void AlarmPlayer::stop() {
    std::lock_guard lock(control_);
    if (last_) {
        last_->requestStop();
    }
}

bool AlarmPlayer::active() const {
    std::lock_guard lock(control_);
    return last_ && !last_->closed;
}

bool AlarmPlayer::stopRequested() const {
    std::lock_guard lock(control_);
    return !last_ || last_->stopRequested;
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
