#pragma once
// What every tab page and its dialogs may use. A page gets this and nothing else of the main
// window; it tells the frame what changed through its signals, and the frame connects pages
// to each other.

namespace orvanta {

struct MainState;
class Prompt;
class TransferRunner;
class ProjectorRegistryModel;
class CommandHistory;

struct PageContext {
    MainState& state;                    // options, capabilities, send lock
    Prompt& prompt;                      // every message box and question
    TransferRunner& runner;              // every projector command ("Communication Status")
    ProjectorRegistryModel& projectors;  // the one model of the registered projectors
    CommandHistory* history = nullptr;   // where projector commands are recorded; none: nowhere
};

}  // namespace orvanta
