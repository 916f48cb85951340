// Paints one tree line as the key tree shows it: the kind's icon (ghosted while the item is
// cut), then the label on its own background where the colour rules give one, underlined
// while the mouse is over it, with a thin frame on the focus line. The focus line itself gets
// no highlight: only marks do.
#pragma once

#include <QStyledItemDelegate>

#include "book/Book.h"

namespace morvane {

class BookDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // Where the icon and the label of a line lie inside option.rect; the same rectangles
    // serve painting and hit-testing, so a click counts exactly where the line is drawn.
    struct Parts {
        QRect icon;
        QRect label;
        bool clipped = false;  // the column ends inside the label
    };
    static Parts Layout(const QStyleOptionViewItem& option, const QString& text);

    // The node whose label is drawn underlined.
    void SetHot(Node n) { hot_ = n; }
    // The node drawn as the drop target of a drag.
    void SetDropTarget(Node n) { drop_ = n; }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    Node hot_;
    Node drop_;
};

}  // namespace morvane
