#pragma once
// Widget tests run offscreen; the settings store, the list of recent files and the
// single-instance files go to a private folder so that tests never touch the user's own.

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <string>

namespace orvanta::test {

inline std::string scratchFolder(const std::string& name) {
    // The process id alone is not unique: inside a process namespace every test program has
    // the same small one, and two namespaces share /tmp.
    static const std::string process =
        std::to_string(::getpid()) + "-" + std::to_string(std::random_device{}());
    const auto dir =
        std::filesystem::temp_directory_path() / ("orvanta-ui-" + process + "-" + name);
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir.string() + "/";
}

inline QApplication& app() {
    static int argc = 1;
    static char name[] = "test_ui";
    static char* argv[] = {name, nullptr};
    static QApplication* instance = [] {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
        ::setenv("XDG_CONFIG_HOME", scratchFolder("config").c_str(), 1);
        // Opening and saving files records them in the desktop's list of recent files.
        ::setenv("XDG_DATA_HOME", scratchFolder("data").c_str(), 1);
        return new QApplication(argc, argv);
    }();
    return *instance;
}

// The send lock lives in the per-user settings file, which every test of this process shares
// (see app()): a test that sends starts from an unlocked file.
inline void unlockSendLock() {
    app();
    const std::string path = std::string(std::getenv("XDG_CONFIG_HOME")) + "/TAVRIX/PJOrvanta.conf";
    std::filesystem::remove(path);
}

// Runs the event loop until `done` holds or `ms` have passed (a generous limit: a loaded
// machine is slow, never wrong).
inline bool processEventsUntil(const std::function<bool()>& done, int ms = 60000) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return done();
}

// Until the state queries that showing a page or choosing a projector starts (they run beside
// the page) have ended, in `root` or any widget under it.
inline bool stateQueriesEnded(QObject* root, int ms = 15000) {
    return processEventsUntil(
        [root] { return root->findChild<QObject*>(QStringLiteral("stateQueryStatus")) == nullptr; },
        ms);
}

}  // namespace orvanta::test
