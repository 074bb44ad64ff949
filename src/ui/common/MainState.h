#pragma once
// What the main window holds for all pages and the transfers they start. It lives from
// start-up to exit; pages read and write it on the user-interface thread only.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "projectors/Adaptors.h"
#include "projectors/ProjectorRegistry.h"
#include "settings/SendLockStore.h"

namespace orvanta {

// The projector of the next exchange, copied from a record just before a transfer starts.
struct CurrentTarget {
    std::uint32_t address = 0;
    std::int32_t authentication = 0;
    std::string password;
};

struct MainState {
    std::string programFolder;  // ends with '/'
    std::vector<AdaptorEntry> adaptors;
    // Lists the adaptors again ("Find"); set at start-up, replaced in tests. A system that
    // cannot list its interfaces shows none.
    std::function<std::vector<AdaptorEntry>()> adaptorSource = [] {
        return enumerateAdaptors().valueOr({});
    };
    std::int32_t selectedAdaptor = -1;  // the adaptor discovery is narrowed to; -1: every one
    ProjectorRegistry projectors;
    std::int32_t currentProjector = 0;
    CurrentTarget target;
    // The desktop's list of recently used files; empty: the desktop's own (tests name one).
    std::string recentFilesList;
    // The colors of the three tool-bar buttons. backgroundColor is also the Edit tab's
    // message background: its only home, written by the button and by New, Open, Get and a
    // drop alike, so that the button always shows and applies what the message has.
    std::uint8_t characterColor = 7;
    std::uint8_t characterBackgroundColor = 8;
    std::uint8_t backgroundColor = 8;
    // What the send lock settings said when last read. The file is the one owner of the lock:
    // it is read again before each Send and whenever a page or the lock menu shows it, and
    // written only when the operator locks or unlocks.
    bool sendLocked = false;

    void reloadProjectors() { projectors = loadRegistry(programFolder); }
    bool readSendLock() {
        sendLocked = readSendLockSettings(sendLockSettingsPath()).locked;
        return sendLocked;
    }
};

}  // namespace orvanta
