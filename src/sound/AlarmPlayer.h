#pragma once
// Playing an alarm tune through the sound card, for the "PLAY"/"STOP" buttons of the options
// dialog and the command-line front end.
//
// Playback runs on the audio library's callback thread; a closer task on the shared worker pool
// checks once a second whether playback should end (every voice has ended; STOP wakes it at
// once), closes the audio device, and then tells whoever started the preview that it has ended.
// That notice comes from the closer's thread: a user interface must hand it over to its own
// thread (a queued call). The pool owns that thread and joins it, so a player may even be
// destroyed from inside its own notice.
//
// One preview at a time: the audio library has one output stream per process.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace orvanta {

// The completion notice of a preview (called on the closer's thread, after the device is closed).
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
    // Stops a running preview and waits until its device is closed (about a second); the
    // completion notice is then no longer given, since its receiver may be going away too.
    // From inside the notice itself it waits for nothing: the device is closed by then.
    ~AlarmPlayer();
    AlarmPlayer(const AlarmPlayer&) = delete;
    AlarmPlayer& operator=(const AlarmPlayer&) = delete;

    // Starts the tune of an alarm sound number (1..4; other numbers play a silent rest).
    AlarmPreviewStart play(int soundNumber, AlarmPreviewEnded onEnded);
    // Asks the running preview to end; it ends within about two seconds.
    void stop();

    // True from play() until the device is closed, just before the completion notice.
    bool active() const;
    bool stopRequested() const;

  private:
    // One preview's state, shared by the player and its closer task, so that the task never
    // reaches into a player that is gone.
    struct Preview;

    mutable std::mutex control_;     // play, stop, the destructor and the two questions above
    std::shared_ptr<Preview> last_;  // the running or the last preview; none before the first
};

// The process's one player.
AlarmPlayer& processAlarmPlayer();

AlarmPreviewStart playAlarmPreview(int soundNumber, AlarmPreviewEnded onEnded);
void stopAlarmPreview();

}  // namespace orvanta
