// The main window as the commands see it: what it shows for a line, and the notifications a
// running computation sends it. The window implements it; tests fake it; with none set
// (KeyTree::view null) the commands run headless. Dialogs, clock, cursor and the message pump
// stay with Desktop.
#pragma once

#include <string>

#include "book/Book.h"
#include "platform/Desktop.h"

namespace morvane {

class KeyTree;

// The main window's activity modes; each has its caption in the status bar.
enum ActivityMode : int {
    kActivityIdle = 0,
    kActivityEncrypting = 1,
    kActivityDecrypting = 2,
    kActivityRandom = 4,
    kActivitySigning = 5,
    kActivityVerifying = 6,
};

class MainView {
public:
    virtual ~MainView() = default;

    // The window's part of the selection display for line: which boxes, buttons and labels
    // it offers. Runs after the old marking is cleared and before line is marked; -1 stops the
    // display there and leaves line unmarked.
    virtual int ShowLine(KeyTree& tree, Node line) = 0;
    // Repaints line's row (its text or record changed under a running command).
    virtual void RepaintLine(Node line) = 0;

    // A running computation's progress in percent; repaint at once, nothing is pumped.
    virtual void ProgressChanged(int percent) = 0;
    // The activity mode changed (idle, encrypting, ...).
    virtual void ActivityChanged(ActivityMode mode) = 0;
    // The key generation status text changed.
    virtual void StatusTextChanged(const Phrase& text) = 0;

    // The random collection's 10 ms timer; each tick calls the collection's tick operation.
    virtual void StartCollectionTimer() = 0;
    virtual void StopCollectionTimer() = 0;
};

}  // namespace morvane
