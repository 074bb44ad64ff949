// orvanta-cli alarm N [--wav FILE]: audition the projector's alarm sounds.

#include <atomic>
#include <charconv>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "cli/CliCommands.h"
#include "sound/AlarmPlayer.h"
#include "sound/AlarmRender.h"
#include "sound/Synthesizer.h"

namespace orvanta::cli {

namespace {

constexpr const char* kAlarmUsage =
    "usage: orvanta-cli alarm N [--wav FILE]\n"
    "\n"
    "Plays alarm sound N (1 to 4; other numbers are two seconds of silence) until it ends or\n"
    "Ctrl+C is pressed. With --wav, renders it to FILE instead (16-bit stereo, 44.1 kHz).\n";

int usageError(const char* what, const std::string& detail) {
    std::fprintf(stderr, "orvanta-cli alarm: %s%s\n\n%s", what, detail.c_str(), kAlarmUsage);
    return kExitUsage;
}

std::optional<int> parseNumber(const std::string& text) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc{} || ptr != end) {
        return std::nullopt;
    }
    return value;
}

std::atomic<bool> interrupted{false};

extern "C" void onInterrupt(int) {
    interrupted = true;
}

int renderToFile(int sound, const std::string& path) {
    const std::vector<int16_t> samples = renderAlarm(sound);
    if (const Result<> written = writeWavFile(path, samples); !written) {
        std::fprintf(stderr, "orvanta-cli alarm: cannot write %s: %s\n", path.c_str(),
                     written.error().c_str());
        return kExitFailed;
    }
    std::printf("%s: sound %d, %.3f s\n", path.c_str(), sound,
                static_cast<double>(samples.size() / 2) / alarm::kSampleRate);
    return kExitOk;
}

int playThroughSoundCard(int sound) {
    std::mutex mutex;
    std::condition_variable wake;
    bool ended = false;
    auto onEnded = [&] {
        std::lock_guard<std::mutex> lock(mutex);
        ended = true;
        wake.notify_all();
    };

    interrupted = false;
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    struct sigaction previous {};
    sigaction(SIGINT, &action, &previous);

    const AlarmPreviewStart start = playAlarmPreview(sound, onEnded);
    if (start.status != AlarmPreviewStatus::Playing) {
        // The preview waits for STOP when nothing can be heard; end it right away.
        stopAlarmPreview();
    }
    {
        std::unique_lock<std::mutex> lock(mutex);
        bool stopSent = false;
        while (!wake.wait_for(lock, std::chrono::milliseconds(100), [&] { return ended; })) {
            if (interrupted && !stopSent) {
                stopAlarmPreview();
                stopSent = true;
            }
        }
    }
    sigaction(SIGINT, &previous, nullptr);

    switch (start.status) {
        case AlarmPreviewStatus::Playing:
            return kExitOk;
        case AlarmPreviewStatus::NoAudioDevice:
            std::fprintf(stderr, "orvanta-cli alarm: no audio output: %s\n", start.detail.c_str());
            return kExitFailed;
        case AlarmPreviewStatus::AlreadyPlaying:
            std::fputs("orvanta-cli alarm: another preview is still playing\n", stderr);
            return kExitFailed;
    }
    return kExitFailed;
}

}  // namespace

int runAlarmCommand(const CliContext&, const std::vector<std::string>& args) {
    std::optional<int> sound;
    std::optional<std::string> wavPath;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            std::fputs(kAlarmUsage, stdout);
            return kExitOk;
        }
        if (a == "--wav") {
            if (i + 1 >= args.size()) {
                return usageError("--wav needs a file name", {});
            }
            wavPath = args[++i];
        } else if (a.starts_with("--wav=")) {
            wavPath = a.substr(6);
        } else if (a.starts_with("-") && a.size() > 1 && !parseNumber(a)) {
            return usageError("unknown option ", a);
        } else if (sound) {
            return usageError("more than one sound number: ", a);
        } else if (!(sound = parseNumber(a))) {
            return usageError("not a sound number: ", a);
        }
    }
    if (!sound) {
        return usageError("which sound? ", "(a number from 1 to 4)");
    }
    if (wavPath && wavPath->empty()) {
        return usageError("--wav needs a file name", {});
    }
    return wavPath ? renderToFile(*sound, *wavPath) : playThroughSoundCard(*sound);
}

}  // namespace orvanta::cli
