#include "ui/skin/Splitter.h"

#include <QMouseEvent>
#include <QPainter>

#include "ui/skin/Artwork.h"

namespace morvane {

namespace {

// The drag outline: a dotted frame that inverts what lies under it, so it shows on the white
// edit pane and the dark tree alike.
class DragOutline : public QWidget {
public:
    explicit DragOutline(QWidget* parent) : QWidget(parent)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        QPen pen(Qt::white, 0, Qt::DotLine);
        p.setPen(pen);
        p.drawRect(0, 0, width() - 1, height() - 1);
    }
};

}  // namespace

Splitter::Splitter(Role role, QWidget* parent) : QWidget(parent), role_(role)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    if (role_ == Edge) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
    } else {
        setCursor(skin::SplitterCursor());
        outlineView_ = new DragOutline(parent);
        outlineView_->hide();
    }
}

void Splitter::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    // The keyboard focus (the arrows move the bar).
    if (hasFocus()) {
        p.setPen(QPen(QColor(51, 51, 255), 1, Qt::DotLine));
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

void Splitter::ShowOutline(const QRect& r)
{
    outline_ = r;
    if (!outlineView_)
        return;
    outlineView_->setGeometry(r);
    outlineView_->raise();
    outlineView_->show();
}

void Splitter::mousePressEvent(QMouseEvent* event)
{
    if (role_ != Tree || event->button() != Qt::LeftButton || tracking_) {
        QWidget::mousePressEvent(event);
        return;
    }
    tracking_ = true;
    ShowOutline(geometry());
}

void Splitter::mouseMoveEvent(QMouseEvent* event)
{
    if (!tracking_ || !parentWidget())
        return;
    const int x = mapToParent(event->position().toPoint()).x();
    const int left = rule_ ? rule_(outline_.left(), x) : outline_.left();
    if (left != outline_.left())
        ShowOutline(QRect(left, outline_.top(), outline_.width(), outline_.height()));
}

void Splitter::mouseReleaseEvent(QMouseEvent* event)
{
    if (!tracking_ || event->button() != Qt::LeftButton)
        return;
    tracking_ = false;
    if (outlineView_)
        outlineView_->hide();
    Q_EMIT dropped(outline_.left());
}

}  // namespace morvane
