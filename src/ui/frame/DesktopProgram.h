#pragma once
// Start-up of the desktop program: the main window with the shared state, and main's body.

#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "projectors/Adaptors.h"

namespace orvanta {

class MainWindow;
class Prompt;
class SingleInstance;
struct MainState;

struct StartupOptions {
    // Whether a TCP socket can be created; replaced in tests.
    std::function<bool()> socketLayerAvailable;
    // The adaptors discovery may search from; replaced in tests, which must never send
    // multicast on this machine's real interfaces.
    std::function<std::vector<AdaptorEntry>()> adaptors;
    // The file named on the command line: opened on the Edit page once the window shows.
    QString fileToOpen;
};

// Start-up steps after the single-instance check: builds the frame, reads the shared
// state, creates the pages and shows the window with its caption.
std::unique_ptr<MainWindow> createMainWindow(MainState& state, Prompt& prompt,
                                             const StartupOptions& options);

// Later starts of the program reach the window: it comes to the front and opens the file
// they name.
void connectLaterStarts(SingleInstance& instance, MainWindow& window);

// Called once with the window on screen, before the program handles its first event. The
// shipped program passes none; a test program passes one to drive the window as an operator
// would, so that the test-only code stays out of what is installed.
using WindowShownHook = std::function<void(MainWindow&)>;

// The whole program: returns the process exit status.
int runDesktopProgram(int argc, char** argv, const WindowShownHook& shown = {});

}  // namespace orvanta
