#include "ui/common/MenuKeys.h"

#include <QKeyEvent>

namespace orvanta {

QList<QKeySequence> menuKeys(MenuKey command) {
    // Written out rather than taken from the platform's standard keys: those differ between
    // desktops, and the second shortcuts must be there on every one.
    switch (command) {
        case MenuKey::New:
            return {QKeySequence(Qt::CTRL | Qt::Key_N)};
        case MenuKey::Open:
            return {QKeySequence(Qt::CTRL | Qt::Key_O)};
        case MenuKey::Save:
            return {QKeySequence(Qt::CTRL | Qt::Key_S)};
        case MenuKey::Undo:
            return {QKeySequence(Qt::CTRL | Qt::Key_Z), QKeySequence(Qt::ALT | Qt::Key_Backspace)};
        case MenuKey::Cut:
            return {QKeySequence(Qt::CTRL | Qt::Key_X), QKeySequence(Qt::SHIFT | Qt::Key_Delete)};
        case MenuKey::Copy:
            return {QKeySequence(Qt::CTRL | Qt::Key_C), QKeySequence(Qt::CTRL | Qt::Key_Insert)};
        case MenuKey::Paste:
            return {QKeySequence(Qt::CTRL | Qt::Key_V), QKeySequence(Qt::SHIFT | Qt::Key_Insert)};
    }
    return {};
}

bool isMenuKey(const QKeyEvent& event) {
    // The keypad's modifier says where the key sits, not what it means.
    const QKeySequence pressed(
        QKeyCombination(event.modifiers() & ~Qt::KeypadModifier, Qt::Key(event.key())));
    for (MenuKey command : {MenuKey::New, MenuKey::Open, MenuKey::Save, MenuKey::Undo, MenuKey::Cut,
                            MenuKey::Copy, MenuKey::Paste}) {
        if (menuKeys(command).contains(pressed)) {
            return true;
        }
    }
    return false;
}

}  // namespace orvanta
