#include "ui/tree/BookModel.h"

#include <QColor>

#include "book/Queries.h"
#include "ui/common/QtText.h"
#include "ui/skin/Artwork.h"

namespace morvane {

namespace {

// The slot goes into the low half: Qt hashes an index by its row plus its internal id, and
// the low bits pick the bucket, so they must tell nodes apart (generations are mostly 1).
quintptr Pack(Node n)
{
    return (static_cast<quintptr>(n.gen) << 32) | n.slot;
}

Node Unpack(quintptr id)
{
    return Node{static_cast<std::uint32_t>(id & 0xFFFFFFFFu), static_cast<std::uint32_t>(id >> 32)};
}

// The tree's own colours for a line: marked lines stand out, the focus line alone does not.
struct LineColours {
    QColor background, text;  // invalid: the view's own
};

LineColours ColoursOf(int itemClass, bool selected, bool marked)
{
    static const QColor kMarkedItem(49, 106, 197), kMarkedLine(9, 147, 32);
    static const QColor kBase(237, 242, 252), kText(51, 51, 255), kWhite(255, 255, 255);
    if (itemClass == 1 || itemClass == 2) {
        if (marked)
            return {kMarkedItem, kWhite};
        if (selected)
            return {kBase, kText};
    } else if (itemClass == 3 && selected && marked) {
        return {kMarkedLine, kWhite};
    }
    return {};
}

}  // namespace

BookModel::BookModel(Book& book, QObject* parent) : QAbstractItemModel(parent), book_(book)
{
    book_.AddObserver(this);
}

BookModel::~BookModel()
{
    book_.RemoveObserver(this);
}

Node BookModel::NodeOf(const QModelIndex& index) const
{
    if (!index.isValid() || index.model() != this)
        return Node{};
    return Unpack(index.internalId());
}

bool BookModel::Shown(Node n) const
{
    if (!book_.Valid(n))
        return false;
    if (hidden_)
        for (Node a = n; a; a = book_.Parent(a))
            if (a == hidden_)
                return false;
    return true;
}

QModelIndex BookModel::IndexOf(Node n) const
{
    if (!Shown(n))
        return {};
    return createIndex(RowOf(n), 0, Pack(n));
}

// ---- Rows

void BookModel::Forget() const
{
    cursorParent_ = cursorNode_ = Node{};
    cursorRow_ = -1;
}

Node BookModel::ChildAt(Node parent, int row) const
{
    if (row < 0)
        return Node{};
    Node c;
    int at = 0;
    // Rows are mostly read in order (layout, painting): go on from the last lookup.
    if (cursorRow_ >= 0 && cursorParent_ == parent && row >= cursorRow_ && book_.Valid(cursorNode_)) {
        c = cursorNode_;
        at = cursorRow_;
    } else {
        c = book_.FirstChild(parent);
        if (c == hidden_ && c)
            c = book_.NextSibling(c);
    }
    while (c && at < row) {
        c = book_.NextSibling(c);
        if (c == hidden_ && c)
            c = book_.NextSibling(c);
        ++at;
    }
    if (c) {
        cursorParent_ = parent;
        cursorNode_ = c;
        cursorRow_ = row;
    }
    return c;
}

int BookModel::RowOf(Node n) const
{
    if (n == cursorNode_ && cursorRow_ >= 0)
        return cursorRow_;
    int row = 0;
    for (Node s = book_.PrevSibling(n); s; s = book_.PrevSibling(s))
        if (s != hidden_)
            ++row;
    return row;
}

int BookModel::ChildCount(Node parent) const
{
    int count = 0;
    for (Node c = book_.FirstChild(parent); c; c = book_.NextSibling(c))
        if (c != hidden_)
            ++count;
    return count;
}

// ---- QAbstractItemModel

QModelIndex BookModel::index(int row, int column, const QModelIndex& parent) const
{
    if (column != 0 || row < 0)
        return {};
    const Node p = NodeOf(parent);
    if (parent.isValid() && !Shown(p))
        return {};
    const Node c = ChildAt(p, row);
    return c ? createIndex(row, 0, Pack(c)) : QModelIndex();
}

QModelIndex BookModel::parent(const QModelIndex& child) const
{
    const Node n = NodeOf(child);
    if (!book_.Valid(n))
        return {};
    const Node p = book_.Parent(n);
    return p ? createIndex(RowOf(p), 0, Pack(p)) : QModelIndex();
}

int BookModel::rowCount(const QModelIndex& parent) const
{
    if (parent.column() > 0)
        return 0;
    const Node p = NodeOf(parent);
    if (parent.isValid() && !Shown(p))
        return 0;
    return ChildCount(p);
}

int BookModel::columnCount(const QModelIndex& parent) const
{
    return parent.column() > 0 ? 0 : 1;
}

bool BookModel::hasChildren(const QModelIndex& parent) const
{
    if (parent.column() > 0)
        return false;
    const Node p = NodeOf(parent);
    if (parent.isValid() && !Shown(p))
        return false;
    Node c = book_.FirstChild(p);
    if (c && c == hidden_)
        c = book_.NextSibling(c);
    return static_cast<bool>(c);
}

const QIcon& BookModel::Icon(std::int32_t kind) const
{
    // Any non-zero kind can come from a file: codes outside the icon list share one icon.
    if (kind < 0 || kind >= kKindCount) {
        if (otherIcon_.isNull())
            otherIcon_ = skin::KindIcon(kKindCount);
        return otherIcon_;
    }
    QIcon& icon = icons_[static_cast<std::size_t>(kind)];
    if (icon.isNull())
        icon = skin::KindIcon(kind);
    return icon;
}

QVariant BookModel::data(const QModelIndex& index, int role) const
{
    const Node n = NodeOf(index);
    if (!book_.Valid(n))
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return ToQt(book_.Label(n));
    case Qt::DecorationRole:
        return Icon(book_.Kind(n));
    case Qt::BackgroundRole:
    case Qt::ForegroundRole: {
        const LineColours c = ColoursOf(ItemClass(book_, n), (book_.State(n) & kStateSelected) != 0,
                                        book_.Marked(n));
        const QColor& colour = role == Qt::BackgroundRole ? c.background : c.text;
        return colour.isValid() ? QVariant(colour) : QVariant();
    }
    case KindRole:
        return book_.Kind(n);
    case CutRole:
        return (book_.State(n) & kStateCut) != 0;
    default:
        return {};
    }
}

Qt::ItemFlags BookModel::flags(const QModelIndex& index) const
{
    // Never editable: names change only through the commands.
    return book_.Valid(NodeOf(index)) ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

// ---- The book's notifications

void BookModel::NodeInserted(Node node)
{
    Forget();
    hidden_ = Node{};
    if (!Shown(node))
        return;
    const Node parent = book_.Parent(node);
    if (parent && !Shown(parent))
        return;
    // Reported after the fact: describe the book without the node until endInsertRows.
    hidden_ = node;
    const int row = RowOf(node);
    beginInsertRows(IndexOf(parent), row, row);
    hidden_ = Node{};
    Forget();
    endInsertRows();
}

void BookModel::NodeRemoving(Node node)
{
    Forget();
    hidden_ = Node{};
    if (!Shown(node))
        return;
    const QModelIndex index = IndexOf(node);
    beginRemoveRows(index.parent(), index.row(), index.row());
    // The book unlinks the node only after this returns; from here on the model shows the
    // book as it will be. A handle of a freed node never equals a live one, so hidden_ can
    // stay until the next notification.
    hidden_ = node;
    Forget();
    endRemoveRows();
}

void BookModel::Changed(Node n, const QList<int>& roles)
{
    const QModelIndex index = IndexOf(n);
    if (index.isValid())
        Q_EMIT dataChanged(index, index, roles);
}

void BookModel::TextChanged(Node node)
{
    // Also reported for a change of kind, so every role may have changed.
    Changed(node, {});
}

void BookModel::StateChanged(Node node, std::uint32_t oldState, std::uint32_t newState)
{
    const std::uint32_t changed = oldState ^ newState;
    if (changed & (kStateSelected | kStateCut))
        Changed(node, {Qt::BackgroundRole, Qt::ForegroundRole, CutRole});
    if (changed & kStateExpanded) {
        const QModelIndex index = IndexOf(node);
        if (index.isValid())
            Q_EMIT expandedChanged(index, (newState & kStateExpanded) != 0);
    }
}

void BookModel::FlagsChanged(Node node, std::uint32_t oldFlags, std::uint32_t newFlags)
{
    if ((oldFlags ^ newFlags) & kFlagMarked)
        Changed(node, {Qt::BackgroundRole, Qt::ForegroundRole});
}

void BookModel::ChildrenReordered(Node parent)
{
    Forget();
    hidden_ = Node{};
    if (parent && !Shown(parent))
        return;
    const QModelIndex parentIndex = IndexOf(parent);
    // Reported after the fact; the rows of kept indexes are found again from their handles.
    Q_EMIT layoutAboutToBeChanged({QPersistentModelIndex(parentIndex)}, VerticalSortHint);
    const QModelIndexList kept = persistentIndexList();
    for (const QModelIndex& old : kept) {
        const Node n = NodeOf(old);
        if (book_.Valid(n) && book_.Parent(n) == parent)
            changePersistentIndex(old, createIndex(RowOf(n), 0, Pack(n)));
    }
    Q_EMIT layoutChanged({QPersistentModelIndex(parentIndex)}, VerticalSortHint);
}

void BookModel::SelectionChanged(Node selected)
{
    Q_EMIT selectedChanged(IndexOf(selected));
}

void BookModel::FirstVisibleChanged(Node node)
{
    Q_EMIT firstVisibleChanged(IndexOf(node));
}

void BookModel::BookReset()
{
    // Reported after the whole book changed: nothing can be asked in between.
    Forget();
    hidden_ = Node{};
    beginResetModel();
    endResetModel();
}

}  // namespace morvane
