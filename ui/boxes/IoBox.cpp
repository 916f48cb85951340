// Placeholder until the boxes land: shows the text, no write-through yet.
#include "ui/boxes/IoBox.h"

#include <QFontMetrics>

#include "ui/common/QtText.h"

namespace morvane {

IoBox::IoBox(Role role, KeyTree& tree, QWidget* parent) : QPlainTextEdit(parent), role_(role), tree_(tree) {}

void IoBox::Apply(const BoxDisplay& display)
{
    setVisible(display.visible);
    setPlainText(ToQt(display.text));
    setEnabled(display.enabled);
}

int IoBox::Columns() const
{
    const int w = fontMetrics().horizontalAdvance(QLatin1Char('A'));
    return w > 0 ? viewport()->width() / w : 1;
}

void IoBox::enterEvent(QEnterEvent* event)
{
    QPlainTextEdit::enterEvent(event);
    hovering_ = true;
    Q_EMIT hoverChanged(true);
}

void IoBox::leaveEvent(QEvent* event)
{
    QPlainTextEdit::leaveEvent(event);
    hovering_ = false;
    Q_EMIT hoverChanged(false);
}

}  // namespace morvane
