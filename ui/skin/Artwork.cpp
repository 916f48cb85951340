// Placeholder pictures until the artwork lands: flat fills in the skin's colours.
#include "ui/skin/Artwork.h"

#include <QPainter>
#include <QPixmap>

namespace morvane::skin {

void Draw(QPainter& painter, Art art, const QRectF& target)
{
    QColor c(200, 210, 230);
    switch (art) {
    case Art::Logo: case Art::Header: c = QColor(0, 65, 198); break;
    case Art::ButtonHot: c = QColor(220, 232, 255); break;
    case Art::ButtonPressed: c = QColor(170, 190, 230); break;
    case Art::ButtonDisabled: c = QColor(230, 230, 230); break;
    case Art::CloseHot: c = QColor(220, 60, 60); break;
    case Art::ProgressFill: c = QColor(60, 180, 90); break;
    default: break;
    }
    painter.fillRect(target, c);
}

QSizeF NaturalSize(Art art)
{
    return art == Art::ToolCap ? QSizeF(40, 30) : QSizeF(16, 16);
}

QIcon KindIcon(int kind)
{
    QPixmap pm(16, 16);
    pm.fill(QColor::fromHsv((kind * 37) % 360, 120, 220));
    return QIcon(pm);
}

QIcon AppIcon() { return KindIcon(1); }

QCursor SplitterCursor() { return QCursor(Qt::SplitHCursor); }

}  // namespace morvane::skin
