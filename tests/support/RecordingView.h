#pragma once
// A MainView for headless tests: records every line shown or repainted and every notification,
// and lets a test answer the window's part of the selection display or act when the
// collection timer is stopped.

#include <functional>
#include <string>
#include <vector>

#include "book/MainView.h"

namespace morvane {

class RecordingView : public MainView {
public:
    std::vector<Node> shownLines;
    std::vector<Node> repaintedLines;
    std::vector<int> progress;
    std::vector<ActivityMode> activities;
    std::vector<std::string> statusTexts;  // GBK
    int timerStarts = 0;
    int timerStops = 0;
    bool timerRunning = false;

    // The window's part of the selection display; none answers 0.
    std::function<int(KeyTree&, Node)> onShowLine;
    // Runs after the collection timer was stopped (a tick may still arrive then).
    std::function<void()> onStopTimer;

    int ShowLine(KeyTree& tree, Node line) override;
    void RepaintLine(Node line) override;
    void ProgressChanged(int percent) override;
    void ActivityChanged(ActivityMode mode) override;
    void StatusTextChanged(const Phrase& text) override;
    void StartCollectionTimer() override;
    void StopCollectionTimer() override;
};

}  // namespace morvane
