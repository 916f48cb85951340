#include "support/RecordingView.h"

namespace morvane {

int RecordingView::ShowLine(KeyTree& tree, Node line)
{
    shownLines.push_back(line);
    return onShowLine ? onShowLine(tree, line) : 0;
}

void RecordingView::RepaintLine(Node line)
{
    repaintedLines.push_back(line);
}

void RecordingView::ProgressChanged(int percent)
{
    progress.push_back(percent);
}

void RecordingView::ActivityChanged(ActivityMode mode)
{
    activities.push_back(mode);
}

void RecordingView::StatusTextChanged(const Phrase& text)
{
    statusTexts.push_back(text.Gbk());
}

void RecordingView::StartCollectionTimer()
{
    ++timerStarts;
    timerRunning = true;
}

void RecordingView::StopCollectionTimer()
{
    ++timerStops;
    timerRunning = false;
    if (onStopTimer)
        onStopTimer();
}

}  // namespace morvane
