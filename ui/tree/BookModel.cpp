#include "ui/tree/BookModel.h"

#include <QColor>

#include "book/Queries.h"
#include "message/DetailRows.h"
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

QModelIndex BookModel::IndexOf(Node n) const
{
    const int row = book_.RowOf(n);
    return row < 0 ? QModelIndex() : createIndex(row, 0, Pack(n));
}

// ---- QAbstractItemModel

QModelIndex BookModel::index(int row, int column, const QModelIndex& parent) const
{
    if (column != 0)
        return {};
    const Node p = NodeOf(parent);
    if (parent.isValid() && !book_.Valid(p))
        return {};
    const Node c = book_.ChildAt(p, row);
    return c ? createIndex(row, 0, Pack(c)) : QModelIndex();
}

QModelIndex BookModel::parent(const QModelIndex& child) const
{
    return IndexOf(book_.Parent(NodeOf(child)));
}

int BookModel::rowCount(const QModelIndex& parent) const
{
    if (parent.column() > 0)
        return 0;
    const Node p = NodeOf(parent);
    if (parent.isValid() && !book_.Valid(p))
        return 0;
    // The book never holds more than kMaxRows children under one parent.
    return static_cast<int>(book_.ChildCount(p));
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
    if (parent.isValid() && !book_.Valid(p))
        return false;
    return static_cast<bool>(book_.FirstChild(p));
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
    case Qt::DisplayRole: {
        // Only a fixed label is translated; names and values stay as they were written.
        const std::string label = book_.Label(n);
        if (const auto line = SplitFixedLabel(book_.Kind(n), label))
            return Tr(line->label) + ToQt(line->rest);
        return ToQt(label);
    }
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

void BookModel::RowsAboutToBeInserted(Node parent, int first, int last)
{
    beginInsertRows(IndexOf(parent), first, last);
}

void BookModel::RowsInserted(Node, int, int)
{
    endInsertRows();
}

void BookModel::RowsAboutToBeRemoved(Node parent, int first, int last)
{
    beginRemoveRows(IndexOf(parent), first, last);
}

void BookModel::RowsRemoved(Node, int, int)
{
    endRemoveRows();
}

void BookModel::ChildrenAboutToBeReordered(Node parent)
{
    Q_EMIT layoutAboutToBeChanged({QPersistentModelIndex(IndexOf(parent))}, VerticalSortHint);
}

void BookModel::ChildrenReordered(Node parent)
{
    // Every handle survives a reorder: the kept indexes under parent find their rows again.
    const QModelIndexList kept = persistentIndexList();
    for (const QModelIndex& old : kept) {
        const Node n = NodeOf(old);
        if (book_.Valid(n) && book_.Parent(n) == parent)
            changePersistentIndex(old, IndexOf(n));
    }
    Q_EMIT layoutChanged({QPersistentModelIndex(IndexOf(parent))}, VerticalSortHint);
}

void BookModel::BookAboutToBeReset()
{
    beginResetModel();
}

void BookModel::BookReset()
{
    endResetModel();
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

void BookModel::SelectionChanged(Node selected)
{
    Q_EMIT selectedChanged(IndexOf(selected));
}

void BookModel::FirstVisibleChanged(Node node)
{
    Q_EMIT firstVisibleChanged(IndexOf(node));
}

}  // namespace morvane
