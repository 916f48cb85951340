#include "ui/tree/BookDelegate.h"

#include <QPainter>

#include "ui/tree/BookModel.h"

namespace morvane {

namespace {

constexpr int kIconLeft = 1;   // from the item's left edge to the icon
constexpr int kIconSize = 16;
constexpr int kIconGap = 3;    // from the icon to the label
constexpr int kTextPad = 3;    // inside the label, on both sides
constexpr int kRowPad = 2;     // above and below the taller of icon and text

}  // namespace

BookDelegate::Parts BookDelegate::Layout(const QStyleOptionViewItem& option, const QString& text)
{
    const QRect& r = option.rect;
    Parts parts;
    parts.icon = QRect(r.left() + kIconLeft, r.top() + (r.height() - kIconSize) / 2, kIconSize, kIconSize);
    const int left = parts.icon.right() + 1 + kIconGap;
    const int width = option.fontMetrics.horizontalAdvance(text) + 2 * kTextPad;
    // A label never reaches past the column: what does not fit is elided.
    parts.clipped = left + width - 1 > r.right();
    const int right = parts.clipped ? r.right() : left + width - 1;
    parts.label = QRect(QPoint(left, r.top() + 1), QPoint(right, r.bottom() - 1));
    return parts;
}

void BookDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const QString text = index.data(Qt::DisplayRole).toString();
    const Parts parts = Layout(option, text);
    painter->save();

    const QIcon icon = qvariant_cast<QIcon>(index.data(Qt::DecorationRole));
    const bool cut = index.data(BookModel::CutRole).toBool();
    icon.paint(painter, parts.icon, Qt::AlignCenter, cut ? QIcon::Disabled : QIcon::Normal);

    const auto* model = qobject_cast<const BookModel*>(index.model());
    const bool dropTarget = model && drop_ && model->NodeOf(index) == drop_;
    if (parts.label.width() > 0) {
        QVariant background = index.data(Qt::BackgroundRole);
        QVariant foreground = index.data(Qt::ForegroundRole);
        if (dropTarget) {
            background = option.palette.color(QPalette::Highlight);
            foreground = option.palette.color(QPalette::HighlightedText);
        }
        if (background.isValid()) {
            painter->setRenderHint(QPainter::Antialiasing, true);
            painter->setPen(Qt::NoPen);
            painter->setBrush(qvariant_cast<QColor>(background));
            painter->drawRoundedRect(QRectF(parts.label), 3, 3);
            painter->setRenderHint(QPainter::Antialiasing, false);
        }
        const QColor textColour =
            foreground.isValid() ? qvariant_cast<QColor>(foreground) : option.palette.color(QPalette::Text);

        QFont font = option.font;
        if (model && hot_ && model->NodeOf(index) == hot_)
            font.setUnderline(true);
        painter->setFont(font);
        painter->setPen(textColour);
        const QRect textRect = parts.label.adjusted(kTextPad, 0, -kTextPad, 0);
        // The measured width is rounded: only a label that the column cuts is elided.
        if (parts.clipped)
            painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                              option.fontMetrics.elidedText(text, Qt::ElideRight, textRect.width()));
        else
            painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextDontClip, text);

        if (option.state & QStyle::State_HasFocus) {
            QPen pen(textColour, 1, Qt::DotLine);
            painter->setPen(pen);
            painter->setBrush(Qt::NoBrush);
            painter->drawRect(parts.label.adjusted(0, 0, -1, -1));
        }
    }
    painter->restore();
}

QSize BookDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const QString text = index.data(Qt::DisplayRole).toString();
    const int width = kIconLeft + kIconSize + kIconGap + option.fontMetrics.horizontalAdvance(text) + 2 * kTextPad + 2;
    const int height = std::max(kIconSize, option.fontMetrics.height()) + 2 * kRowPad;
    return {width, height};
}

}  // namespace morvane
