// What guards the book's secrets around the window: the clipboard that forgets, the idle lock
// (Ctrl+L) and the preferences that time them, reached from the skinned caption's window menu.
#pragma once

#include <QObject>

#include "ui/common/Preferences.h"

class QAction;
class QMenu;

namespace morvane {

class Desktop;
class IdleLock;
class KeyTree;
class MainWindow;
class SecretClipboard;

class Safeguards : public QObject {
    Q_OBJECT
public:
    // Reads the preferences file and applies it.
    Safeguards(MainWindow& window, KeyTree& tree, Desktop& desktop);

    SecretClipboard& Clipboard() const { return *clipboard_; }
    IdleLock& Lock() const { return *lock_; }
    const Preferences& Current() const { return prefs_; }
    void Apply(const Preferences& prefs);

    // The window menu's entries: lock (Ctrl+L) and preferences.
    void AddMenuEntries(QMenu& menu);
    // The preferences dialog; OK applies and saves the values.
    void EditPreferences();

private:
    MainWindow& window_;
    Desktop& desktop_;
    SecretClipboard* clipboard_ = nullptr;
    IdleLock* lock_ = nullptr;
    QAction* preferences_ = nullptr;
    Preferences prefs_;
};

}  // namespace morvane
