#pragma once
// Playing an alarm tune through the sound card, for the "PLAY"/"STOP" buttons of the options
// dialog and the command-line front end.
//
// Playback runs on the audio library's callback thread; a closer thread owned by the player
// checks once a second whether playback should end (STOP, or every voice has ended), closes the
// audio device, and then tells whoever started the preview that it has ended. That notice comes
// from the closer thread: a user interface must hand it over to its own thread (a queued call).
//
// One preview at a time: the audio library has one output stream per process.

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "sound/Synthesizer.h"

namespace orvanta {

// The completion notice of a preview (called on the closer thread, after the device is closed).
using AlarmPreviewEnded = std::function<void()>;

// Event number under which a window may queue the completion notice to itself.
constexpr int kAlarmPreviewEndedEvent = 0x8041;

enum class AlarmPreviewStatus {
    Playing,         // the tune is being heard
    NoAudioDevice,   // nothing can be heard; the preview still runs until stopAlarmPreview(),
                     // and the completion notice still comes
    AlreadyPlaying,  // an earlier preview has not ended yet; nothing was started
};

struct AlarmPreviewStart {
    AlarmPreviewStatus status = AlarmPreviewStatus::Playing;
    std::string detail;  // the audio library's reason when no device could be used
};

class AlarmPlayer {
  public:
    AlarmPlayer();
    // Stops a running preview and waits for its closer thread (up to about two seconds); the
    // completion notice is then no longer given, since its receiver may be going away too.
    ~AlarmPlayer();
    AlarmPlayer(const AlarmPlayer&) = delete;
    AlarmPlayer& operator=(const AlarmPlayer&) = delete;

    // Starts the tune of an alarm sound number (1..4; other numbers play a silent rest).
    AlarmPreviewStart play(int soundNumber, AlarmPreviewEnded onEnded);
    // Asks the running preview to end; it ends within about two seconds.
    void stop();

    // True from play() until the completion notice has been given.
    bool active() const { return !closerDone_.load(); }
    bool stopRequested() const { return stopRequested_.load(); }

  private:
    static void fillAudio(void* player, uint8_t* stream, int len);
    void closerMain(bool libraryUp, bool deviceOpen, AlarmPreviewEnded onEnded);
    // Joins a closer thread that has finished; false when one is still running or when called
    // from the closer thread itself (from inside the completion notice).
    bool reapCloser();

    Synthesizer synth_;  // touched only by the audio callback while playing
    std::atomic<bool> stopRequested_{true};
    std::atomic<bool> closerDone_{true};
    std::atomic<bool> notifyOnEnd_{true};
    std::mutex control_;  // play, stop and the destructor
    std::thread closer_;
};

// The process's one player.
AlarmPlayer& processAlarmPlayer();

AlarmPreviewStart playAlarmPreview(int soundNumber, AlarmPreviewEnded onEnded);
void stopAlarmPreview();

}  // namespace orvanta
