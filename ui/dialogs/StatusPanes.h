// The two-pane status bar at the bottom of the find and add item dialogs.
#pragma once

class QLabel;
class QStatusBar;
class QWidget;

namespace morvane {

// A status bar of two panes, three quarters and one quarter of its width. first receives the
// first pane (the one the dialogs write to); the second stays empty.
QStatusBar* MakeStatusPanes(QWidget* parent, QLabel*& first);

}  // namespace morvane
