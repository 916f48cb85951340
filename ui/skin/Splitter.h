// The vertical bars beside the edit pane. Role 1, between the tree and the edit pane, is
// dragged: a dotted outline follows the pointer within the limits the window sets, and the
// bar moves on release. Role 2, right of the edit pane, only shows.
#pragma once

#include <QWidget>
#include <functional>

namespace morvane {

class Splitter : public QWidget {
    Q_OBJECT
public:
    enum Role { Tree = 1, Edge = 2 };
    // The outline's left edge (parent coordinates) for a pointer at x, from its current left.
    using DragRule = std::function<int(int currentLeft, int pointX)>;

    Splitter(Role role, QWidget* parent);
    Role role() const { return role_; }
    void SetDragRule(DragRule rule) { rule_ = std::move(rule); }
    bool Dragging() const { return tracking_; }
    // The outline while dragging (parent coordinates).
    QRect Outline() const { return outline_; }

Q_SIGNALS:
    // The drag ended with the bar's left edge here (parent coordinates).
    void dropped(int left);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void ShowOutline(const QRect& r);

    Role role_;
    DragRule rule_;
    bool tracking_ = false;
    QRect outline_;
    QWidget* outlineView_ = nullptr;  // drawn over the panes, in the parent
};

}  // namespace morvane
