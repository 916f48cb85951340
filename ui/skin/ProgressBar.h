// The status bar's progress bar: the skin's fill picture over a dark ground with the
// percentage on top. The commands pump no events while they compute, so setting a position
// paints at once.
#pragma once

#include <QWidget>

namespace morvane {

class ProgressBar : public QWidget {
    Q_OBJECT
public:
    explicit ProgressBar(QWidget* parent = nullptr);

    // Stores the percentage and repaints now (not at the next event loop turn).
    void SetPosition(int percent);
    int Position() const { return position_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int position_ = 0;
};

}  // namespace morvane
