#pragma once
// The keys of the File and Edit menus (Ctrl+S, Shift+Insert, ...). The frame binds them to its
// commands; a page whose editors have bindings of their own leaves these keys to the frame, so
// that each one runs the menu's command from every control of the page.

#include <QKeySequence>
#include <QList>

class QKeyEvent;

namespace orvanta {

enum class MenuKey { New, Open, Save, Undo, Cut, Copy, Paste };

// The menu's keys for the command: its first shortcut, then its second ones.
QList<QKeySequence> menuKeys(MenuKey command);

// The key pressed is one of the menus' keys.
bool isMenuKey(const QKeyEvent& event);

}  // namespace orvanta
