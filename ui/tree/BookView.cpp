#include "ui/tree/BookView.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <utility>

#include "book/ContextMenu.h"
#include "book/KeyTree.h"
#include "ui/tree/BookDelegate.h"
#include "ui/tree/BookModel.h"
#include "ui/tree/TreeMenu.h"

namespace morvane {

namespace {

constexpr int kScrollMargin = 16;      // a drag this close to the top or bottom edge scrolls
constexpr int kScrollIntervalMs = 60;
constexpr int kExpandDelayMs = 700;    // a drag resting this long on a closed item opens it
constexpr int kImageOffset = 12;       // the drag image starts this far right of the cursor

// Sets a flag for the lifetime of the guard.
class Guard {
public:
    explicit Guard(bool& flag) : flag_(flag), old_(std::exchange(flag, true)) {}
    ~Guard() { flag_ = old_; }
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;

private:
    bool& flag_;
    bool old_;
};

}  // namespace

BookView::BookView(KeyTree& tree, QWidget* parent)
    : QTreeView(parent), tree_(tree), model_(new BookModel(tree.book, this)), delegate_(new BookDelegate(this))
{
    setHeaderHidden(true);
    setUniformRowHeights(true);
    setSelectionMode(NoSelection);
    setEditTriggers(NoEditTriggers);
    setExpandsOnDoubleClick(false);  // done here, only on an item's icon or label
    setDragEnabled(false);
    setAcceptDrops(false);
    setIconSize(QSize(16, 16));
    setItemDelegate(delegate_);
    // Labels are short (30 bytes and "..."): the column is as wide as the widest line in view
    // (measuring only those keeps a big book fast), and the view scrolls sideways when that
    // does not fit. Scrolling brings other lines into view, so it measures again.
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    header()->setResizeContentsPrecision(0);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this,
            [this] { header()->resizeSections(QHeaderView::ResizeToContents); });

    QPalette pal = palette();
    pal.setColor(QPalette::Base, QColor(237, 242, 252));
    pal.setColor(QPalette::Text, QColor(51, 51, 255));
    setPalette(pal);

    // Hot tracking follows the icon and label only, so Qt's whole-row hover is not used.
    viewport()->setAttribute(Qt::WA_Hover, false);
    viewport()->setMouseTracking(true);

    // Connected before the selection model exists, so these run before it moves the current
    // index off rows that go away: that move is Qt's, not the user's, and is not written back.
    connect(model_, &QAbstractItemModel::rowsAboutToBeRemoved, this, [this] { modelChanging_ = true; });
    connect(model_, &QAbstractItemModel::rowsRemoved, this, [this] {
        modelChanging_ = false;
        FollowSelected(IndexOf(tree_.book.Selected()));
    });
    connect(model_, &QAbstractItemModel::layoutAboutToBeChanged, this, [this] { modelChanging_ = true; });
    connect(model_, &QAbstractItemModel::layoutChanged, this, [this] { modelChanging_ = false; });
    connect(model_, &QAbstractItemModel::modelAboutToBeReset, this, [this] { modelChanging_ = true; });
    connect(model_, &QAbstractItemModel::modelReset, this, [this] { modelChanging_ = false; });
    setModel(model_);

    connect(model_, &BookModel::expandedChanged, this, &BookView::FollowExpanded);
    connect(model_, &BookModel::selectedChanged, this, &BookView::FollowSelected);
    connect(model_, &BookModel::firstVisibleChanged, this, [this] {
        if (!placing_)
            ScrollToFirstVisible();
    });
    connect(this, &QTreeView::expanded, this, [this](const QModelIndex& index) { WriteExpanded(index, true); });
    connect(this, &QTreeView::collapsed, this, [this](const QModelIndex& index) { WriteExpanded(index, false); });
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &BookView::NoteFirstVisible);

    scrollTimer_.setInterval(kScrollIntervalMs);
    connect(&scrollTimer_, &QTimer::timeout, this, &BookView::AutoScroll);
    expandTimer_.setSingleShot(true);
    expandTimer_.setInterval(kExpandDelayMs);
    connect(&expandTimer_, &QTimer::timeout, this, [this] {
        const QModelIndex index = IndexOf(tree_.Live(expandCandidate_));
        if (press_ == Press::Dragging && index.isValid() && NodeAt(dragPos_) == expandCandidate_)
            setExpanded(index, true);
    });

    ApplyBook();
}

BookView::~BookView()
{
    delete dragImage_;
}

Node BookView::NodeOf(const QModelIndex& index) const
{
    return model_->NodeOf(index);
}

QModelIndex BookView::IndexOf(Node n) const
{
    return model_->IndexOf(n);
}

// ---- Geometry

QRect BookView::ItemRect(Node n) const
{
    const QModelIndex index = IndexOf(n);
    const QRect cell = visualRect(index);
    if (!cell.isValid())
        return {};
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.rect = cell;
    const BookDelegate::Parts parts = BookDelegate::Layout(option, index.data(Qt::DisplayRole).toString());
    return parts.icon.united(parts.label);
}

Node BookView::NodeAt(const QPoint& pos) const
{
    const QModelIndex index = indexAt(pos);
    if (!index.isValid())
        return Node{};
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.rect = visualRect(index);
    const BookDelegate::Parts parts = BookDelegate::Layout(option, index.data(Qt::DisplayRole).toString());
    return (parts.icon.contains(pos) || parts.label.contains(pos)) ? NodeOf(index) : Node{};
}

bool BookView::OnExpandButton(const QPoint& pos) const
{
    const QModelIndex index = indexAt(pos);
    if (!index.isValid() || !model_->hasChildren(index))
        return false;
    const QRect cell = visualRect(index);
    // The button sits in the indentation step just before the item.
    if (isRightToLeft())
        return pos.x() > cell.right() && pos.x() <= cell.right() + indentation();
    return pos.x() < cell.left() && pos.x() >= cell.left() - indentation();
}

void BookView::RepaintNode(Node n)
{
    const QRect cell = visualRect(IndexOf(n));
    if (cell.isValid())
        viewport()->repaint(cell);
}

void BookView::SetHot(Node n)
{
    if (n == hot_)
        return;
    const QRect old = ItemRect(hot_);
    hot_ = n;
    delegate_->SetHot(n);
    if (!old.isEmpty())
        viewport()->update(old);
    const QRect now = ItemRect(n);
    if (!now.isEmpty())
        viewport()->update(now);
}

// ---- The book's view state

void BookView::ApplyExpanded(Node top)
{
    const Book& book = tree_.book;
    const Node start = top ? top : book.FirstRoot();
    for (Node n = start; n; n = book.NextPreOrder(n, top))
        if (book.Expanded(n))
            setExpanded(IndexOf(n), true);
}

void BookView::ApplyBook()
{
    {
        Guard guard(syncing_);
        ApplyExpanded(Node{});
        const bool autoScroll = hasAutoScroll();
        setAutoScroll(false);
        selectionModel()->setCurrentIndex(IndexOf(tree_.book.Selected()), QItemSelectionModel::NoUpdate);
        setAutoScroll(autoScroll);
    }
    ScrollToFirstVisible();
}

void BookView::reset()
{
    if (press_ == Press::Dragging || press_ == Press::Refused)
        EndDrag(false);
    hot_ = Node{};
    delegate_->SetHot(Node{});
    press_ = Press::None;
    QTreeView::reset();
    ApplyBook();
}

void BookView::FollowExpanded(const QModelIndex& index, bool expanded)
{
    if (syncing_)
        return;
    Guard guard(syncing_);
    setExpanded(index, expanded);
}

void BookView::WriteExpanded(const QModelIndex& index, bool expanded)
{
    if (syncing_)
        return;
    Guard guard(syncing_);
    tree_.book.Expand(NodeOf(index), expanded);
}

void BookView::FollowSelected(const QModelIndex& index)
{
    if (syncing_)
        return;
    {
        Guard guard(syncing_);
        const bool autoScroll = hasAutoScroll();
        setAutoScroll(false);
        if (index.isValid())
            selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
        else
            selectionModel()->clearCurrentIndex();
        setAutoScroll(autoScroll);
    }
    // Like the tree control, a newly selected item is brought into view; the parents this
    // expands are expanded in the book too.
    if (index.isValid() && isVisible() && !modelChanging_)
        scrollTo(index);
}

void BookView::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QTreeView::currentChanged(current, previous);
    if (syncing_ || modelChanging_)
        return;
    Guard guard(syncing_);
    tree_.book.Select(NodeOf(current));
}

void BookView::ScrollToFirstVisible()
{
    if (!isVisible()) {
        scrollPending_ = true;
        return;
    }
    scrollPending_ = false;
    const QModelIndex index = IndexOf(tree_.book.FirstVisible());
    if (!index.isValid())
        return;
    Guard guard(placing_);
    scrollTo(index, PositionAtTop);
}

void BookView::NoteFirstVisible()
{
    // The line at the top is what a saved book remembers.
    if (placing_ || scrollPending_ || !isVisible())
        return;
    const Node top = NodeOf(indexAt(QPoint(0, 0)));
    if (!top || top == tree_.book.FirstVisible())
        return;
    Guard guard(placing_);
    tree_.book.SetFirstVisible(top);
}

void BookView::showEvent(QShowEvent* event)
{
    QTreeView::showEvent(event);
    if (scrollPending_)
        ScrollToFirstVisible();
}

// ---- Mouse and keys

void BookView::RunClick(Node hit, Qt::KeyboardModifiers modifiers)
{
    // The multi-select mode follows the Ctrl key; taken from the click itself, it is right
    // even when the key went down or up while another window had the focus.
    SetCtrlKey(tree_, (modifiers & Qt::ControlModifier) != 0);
    const ClickResult result = Click(tree_, hit, [] {
        return (QGuiApplication::queryKeyboardModifiers() & Qt::ControlModifier) != 0;
    });
    Q_EMIT lineClicked(hit, result);
}

void BookView::mousePressEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    if (event->button() != Qt::LeftButton) {
        // Other buttons move neither the focus line nor the marks.
        event->accept();
        return;
    }
    if (OnExpandButton(pos)) {
        press_ = Press::Base;
        QTreeView::mousePressEvent(event);
        return;
    }
    setFocus(Qt::MouseFocusReason);
    press_ = Press::Click;
    pressPos_ = pos;
    pressNode_ = NodeAt(pos);
    if (pressNode_) {
        // A press on an item makes it the focus line, without scrolling under the mouse.
        const bool autoScroll = hasAutoScroll();
        setAutoScroll(false);
        selectionModel()->setCurrentIndex(IndexOf(pressNode_), QItemSelectionModel::NoUpdate);
        setAutoScroll(autoScroll);
    }
    event->accept();
}

void BookView::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    if (press_ == Press::Base) {
        QTreeView::mouseMoveEvent(event);
        return;
    }
    if (press_ == Press::Click && (event->buttons() & Qt::LeftButton)) {
        if (pressNode_ && (pos - pressPos_).manhattanLength() >= QApplication::startDragDistance()) {
            press_ = Press::None;
            Q_EMIT dragStarting(pressNode_, pressPos_);
            StartDrag(pressNode_);
            if (press_ == Press::Dragging)
                DragTo(pos);
        }
        return;
    }
    if (press_ == Press::Dragging) {
        DragTo(pos);
        return;
    }
    if (press_ == Press::Refused)
        return;
    if (event->buttons() == Qt::NoButton)
        SetHot(NodeAt(pos));
}

void BookView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        event->accept();
        return;
    }
    if (press_ == Press::Dragging) {
        EndDrag(true);
        return;
    }
    const Press press = std::exchange(press_, Press::None);
    if (press == Press::Refused) {
        viewport()->unsetCursor();
        return;
    }
    if (press == Press::Base) {
        QTreeView::mouseReleaseEvent(event);
        return;
    }
    if (press == Press::Click)
        RunClick(NodeAt(event->position().toPoint()), event->modifiers());
}

void BookView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint pos = event->position().toPoint();
    if (OnExpandButton(pos)) {
        mousePressEvent(event);  // a second press on the button toggles again
        return;
    }
    // The first click of the pair already ran; the second only opens or closes the item.
    press_ = Press::DoubleClick;
    const QModelIndex index = IndexOf(NodeAt(pos));
    if (index.isValid() && model_->hasChildren(index))
        setExpanded(index, !isExpanded(index));
}

void BookView::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && press_ == Press::Dragging) {
        EndDrag(false);
        return;
    }
    if (event->key() == Qt::Key_Control)
        SetCtrlKey(tree_, true);
    // The arrows move the focus line only; the selection display runs on clicks alone.
    QTreeView::keyPressEvent(event);
}

void BookView::keyReleaseEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Control)
        SetCtrlKey(tree_, false);
    QTreeView::keyReleaseEvent(event);
}

bool BookView::viewportEvent(QEvent* event)
{
    if (event->type() == QEvent::Leave)
        SetHot(Node{});
    return QTreeView::viewportEvent(event);
}

void BookView::contextMenuEvent(QContextMenuEvent* event)
{
    if (press_ == Press::Dragging)
        return;
    // The menu key opens the menu of the focus line, below it.
    const bool byKey = event->reason() == QContextMenuEvent::Keyboard;
    const Node hit = byKey ? tree_.Live(tree_.book.Selected()) : NodeAt(event->pos());
    const std::optional<ContextMenuState> state = OpenContextMenu(tree_, hit);
    if (!state)
        return;
    const std::unique_ptr<QMenu> menu = BuildTreeMenu(*state, this);
    const QPoint at = byKey ? viewport()->mapToGlobal(ItemRect(hit).bottomLeft()) : event->globalPos();
    SetHot(Node{});
    if (const QAction* chosen = menu->exec(at))
        Q_EMIT commandChosen(chosen->data().toInt());
}

// ---- Dragging

void BookView::StartDrag(Node item)
{
    if (!drag_.Begin(tree_, item)) {
        press_ = Press::Refused;
        viewport()->setCursor(Qt::ForbiddenCursor);
        return;
    }
    // Unmarking a parent changes how lines look.
    viewport()->update();
    const QRect r = ItemRect(item);
    if (r.isEmpty()) {
        drag_.Cancel();
        return;
    }
    const qreal dpr = devicePixelRatioF();
    QPixmap image(r.size() * dpr);
    image.setDevicePixelRatio(dpr);
    image.fill(Qt::transparent);
    viewport()->render(&image, QPoint(), QRegion(r), QWidget::DrawChildren);
    // A window of its own, parented so that Wayland places it relative to the view.
    auto* label = new QLabel(this, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowTransparentForInput);
    label->setAttribute(Qt::WA_TranslucentBackground);
    label->setAttribute(Qt::WA_ShowWithoutActivating);
    label->setPixmap(image);
    label->setWindowOpacity(0.7);
    label->resize(r.size());
    dragImage_ = label;
    press_ = Press::Dragging;
    SetHot(Node{});
    scrollTimer_.start();
}

void BookView::DragTo(const QPoint& pos)
{
    dragPos_ = pos;
    if (dragImage_) {
        // Beside the cursor and below the line under it, never over it: without a compositor
        // the image is opaque, and it would hide the highlighted drop target (the line under
        // the cursor or its container above it).
        const int line = std::max(sizeHintForRow(0), dragImage_->height());
        dragImage_->move(viewport()->mapToGlobal(QPoint(pos.x() + kImageOffset, pos.y() + line)));
        dragImage_->show();
    }
    const Node over = NodeAt(pos);
    const Node target = drag_.Hover(tree_, over);
    const DropResult verdict = drag_.Verdict(tree_, target);
    viewport()->setCursor(verdict == DropResult::Refused ? Qt::ForbiddenCursor : Qt::DragMoveCursor);
    delegate_->SetDropTarget(verdict == DropResult::Moved ? target : Node{});
    viewport()->update();

    const QModelIndex index = IndexOf(over);
    if (over != expandCandidate_) {
        expandCandidate_ = over;
        expandTimer_.stop();
        if (index.isValid() && model_->hasChildren(index) && !isExpanded(index))
            expandTimer_.start();
    }
}

void BookView::AutoScroll()
{
    if (press_ != Press::Dragging)
        return;
    QScrollBar* bar = verticalScrollBar();
    const int before = bar->value();
    if (dragPos_.y() < kScrollMargin)
        bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
    else if (dragPos_.y() >= viewport()->height() - kScrollMargin)
        bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    if (bar->value() != before)
        DragTo(dragPos_);
}

void BookView::EndDrag(bool drop)
{
    press_ = Press::None;
    scrollTimer_.stop();
    expandTimer_.stop();
    expandCandidate_ = Node{};
    delete dragImage_;
    delegate_->SetDropTarget(Node{});
    viewport()->unsetCursor();
    viewport()->update();
    if (!drop) {
        drag_.Cancel();
        return;
    }
    const DropResult result = drag_.Drop(tree_);
    Q_EMIT dropped(result);
}

}  // namespace morvane
