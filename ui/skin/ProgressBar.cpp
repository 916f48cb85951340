#include "ui/skin/ProgressBar.h"

#include <QPainter>

#include "ui/skin/Artwork.h"
#include "ui/skin/Fonts.h"

namespace morvane {

ProgressBar::ProgressBar(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ProgressBar::SetPosition(int percent)
{
    position_ = percent;
    repaint();
}

void ProgressBar::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const int w = width(), h = height();
    p.fillRect(rect(), QColor(84, 89, 99));
    // Past the end (and a nonsensical negative value) shows a full bar.
    const int shown = position_ >= 100 || position_ < 0 ? 100 : position_;
    const int filled = w * shown / 100;
    if (filled > 0) {
        // The picture is laid down at its own size from the left, not stretched: the fill
        // reveals it rather than squeezing it.
        const QSizeF natural = skin::NaturalSize(skin::Art::ProgressFill);
        p.save();
        p.setClipRect(0, 0, filled, h);
        skin::Draw(p, skin::Art::ProgressFill, QRectF(0, 0, std::max<qreal>(natural.width(), w),
                                                       std::max<qreal>(natural.height(), h)));
        p.restore();
    }
    if (position_ != 0) {
        p.setFont(skin::StandardFont(12, QFont::Medium));
        const QString text = QStringLiteral("%1%").arg(shown);
        const int textLeft = (w - p.fontMetrics().horizontalAdvance(text)) / 2;
        p.setPen(filled >= textLeft ? QColor(Qt::white) : QColor(0, 0, 255));
        p.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, text);
    }
    // A sunken edge: dark on the left and top, light on the bottom and right.
    p.fillRect(0, 0, 1, h, QColor(22, 47, 99));
    p.fillRect(0, 0, w, 1, QColor(22, 47, 99));
    p.fillRect(1, h - 1, w - 1, 1, QColor(177, 194, 229));
    p.fillRect(w - 1, 1, 1, h - 1, QColor(177, 194, 229));
}

}  // namespace morvane
