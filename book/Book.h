// The key book: a forest of nodes, each with a kind code (also its icon index), a full text in
// GBK bytes, view state bits and an item record (self, flags, text). It stands in for the tree
// control's own nodes; a view follows it through BookObserver.
//
// Node handles are checked on every use: a handle to a removed node (or to a node of a book
// that has since been rebuilt) is stale, and every operation given a stale handle fails
// cleanly (returns 0, -1, false, an empty text or a null handle) without touching memory that
// is no longer the node's. A null handle (Node{}) means "none"; where an operation takes a
// parent, none means the top level.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace morvane {

// Kind codes: the values stored in book files and snapshots.
enum class ItemKind : std::int32_t {
    BookRoot = 1,
    Directory = 2,
    Lock = 3,
    Key = 4,
    Signature = 5,
    Police = 6,
    AltDirectory = 7,
    // Field lines of a lock or key.
    InputField = 12,
    OutputField = 13,
    SerialField = 14,
    IdentityField = 15,
    EmailField = 16,
    UseCountField = 17,
    StrengthField = 18,
    DateField = 19,
    NoteField = 20,
    ModulusField = 21,
    PublicExponentField = 22,
    PrivateExponentField = 23,
    PrimePField = 24,
    PrimeQField = 25,
    CoefficientField = 26,
    // The two detail groups and their rows.
    PreDetails = 27,
    ReservedRow = 28,      // 预留字节
    AttributeRow = 29,     // 明文属性
    StrengthRow = 30,      // 加密强度
    PaddingTypeRow = 31,   // 填充类型
    TotalLengthRow = 32,   // 明文长度 / 加密长度
    SerialRow = 33,        // 段落序号
    ConsumedRow = 34,      // 消耗长度
    PaddingRow = 35,       // 填充数据
    BlockTextRow = 36,     // 前置正文
    BlockNumberRow = 37,   // 合成数据
    PostDetails = 38,
    SignFlagRow = 39,      // 签字标志
    DigestRow = 40,        // MD5值
    PostTextRow = 41,      // 后置正文
    MessageRow = 42,       // 正文编码
};

constexpr std::int32_t KindCode(ItemKind k) { return static_cast<std::int32_t>(k); }
constexpr int kKindCount = 43;  // icon indexes 0..42

// View state bits (the tree control's item state).
constexpr std::uint32_t kStateSelected = 0x02;
constexpr std::uint32_t kStateCut = 0x04;
constexpr std::uint32_t kStateDropHilited = 0x08;
constexpr std::uint32_t kStateBold = 0x10;
constexpr std::uint32_t kStateExpanded = 0x20;

// Item record flags.
constexpr std::uint32_t kFlagSortType = 0x01;
constexpr std::uint32_t kFlagSortName = 0x02;
constexpr std::uint32_t kFlagSortStrength = 0x04;
constexpr std::uint32_t kFlagSortDate = 0x10;
constexpr std::uint32_t kFlagMarked = 0x20;
constexpr std::uint32_t kFlagFirstVisible = 0x40;  // only inside a whole-book stream
constexpr std::uint32_t kFlagMarkedParent = 0x80;  // only inside a stream

// Labels longer than this many bytes are cut (bytes, not characters) and get "...".
constexpr std::size_t kLabelBytes = 30;

// A node handle: slot number (1-based, 0 = none) and the slot's generation at insertion.
struct Node {
    std::uint32_t slot = 0;
    std::uint32_t gen = 0;

    constexpr bool IsNone() const { return slot == 0; }
    constexpr explicit operator bool() const { return slot != 0; }
    constexpr bool operator==(const Node&) const = default;
};

// The record each node owns.
struct ItemRecord {
    Node self;              // the owning node; refreshed by RefreshSelfHandles before sorts
    std::uint32_t flags = 0;
    std::string text;       // the full text (GBK)
};

// What a view needs to follow the book.
//
// Changes of structure come in pairs, one call before the change and one after it, so that a
// Qt item model can forward each call to the signal of the same name:
//   RowsAboutToBeInserted, RowsInserted         beginInsertRows, endInsertRows
//   RowsAboutToBeRemoved, RowsRemoved           beginRemoveRows, endRemoveRows
//   ChildrenAboutToBeReordered, ChildrenReordered
//                                               layoutAboutToBeChanged, layoutChanged for that
//                                               parent with QAbstractItemModel::VerticalSortHint
//   BookAboutToBeReset, BookReset               beginResetModel, endResetModel
// Rows are 0-based, first to last inclusive, under parent (none: the top level). Inserted rows
// are valid in the book after the change, removed rows before it; during RowsAboutToBeRemoved
// the whole subtree's handles are still valid, at RowsRemoved they are stale. A sort reorders
// all children at once, which a row move cannot say, so it is a layout change: every handle
// survives it, and a model re-finds the row of each persistent index with RowOf. The book has
// no move of its own: a cut and paste inserts copies and then removes the originals.
// An observer must not change the book's structure from any of these calls.
//
// The other calls come after the change and change no rows.
class BookObserver {
public:
    virtual ~BookObserver() = default;
    virtual void RowsAboutToBeInserted(Node /*parent*/, int /*first*/, int /*last*/) {}
    virtual void RowsInserted(Node /*parent*/, int /*first*/, int /*last*/) {}
    virtual void RowsAboutToBeRemoved(Node /*parent*/, int /*first*/, int /*last*/) {}
    virtual void RowsRemoved(Node /*parent*/, int /*first*/, int /*last*/) {}
    virtual void ChildrenAboutToBeReordered(Node /*parent*/) {}
    virtual void ChildrenReordered(Node /*parent*/) {}
    // Everything changes (whole-book rebuild or removal of all nodes): at BookReset re-read the
    // whole tree, the selection and the first visible node.
    virtual void BookAboutToBeReset() {}
    virtual void BookReset() {}

    virtual void TextChanged(Node /*node*/) {}
    // The view state (old and new bits) or the flags changed.
    virtual void StateChanged(Node /*node*/, std::uint32_t /*oldState*/, std::uint32_t /*newState*/) {}
    virtual void FlagsChanged(Node /*node*/, std::uint32_t /*oldFlags*/, std::uint32_t /*newFlags*/) {}
    virtual void SelectionChanged(Node /*selected*/) {}
    virtual void FirstVisibleChanged(Node /*node*/) {}
};

class Book {
public:
    Book();
    ~Book();
    Book(const Book&) = delete;
    Book& operator=(const Book&) = delete;
    // Moving keeps every handle of the moved book valid in the target; observers stay.
    Book(Book&& other) noexcept;
    Book& operator=(Book&& other) noexcept;

    // The display label for a text: its first 30 bytes and "..." when it is longer.
    static std::string DisplayLabel(std::string_view text);

    // ---- Validity and basic properties
    bool Valid(Node n) const;
    std::size_t NodeCount() const { return liveCount_; }
    bool Empty() const { return liveCount_ == 0; }

    std::int32_t Kind(Node n) const;                 // 0 when stale or none
    const std::string& Text(Node n) const;           // full text; "" when stale
    std::string Label(Node n) const;                 // DisplayLabel(Text(n))
    std::uint32_t State(Node n) const;               // 0 when stale
    std::uint32_t Flags(Node n) const;               // 0 when stale
    const ItemRecord* Record(Node n) const;          // nullptr when stale
    bool Expanded(Node n) const { return (State(n) & kStateExpanded) != 0; }
    bool Marked(Node n) const { return (Flags(n) & kFlagMarked) != 0; }

    // True when some node carries one of flagBits in its flags or one of stateBits in its view
    // state: one pass over the node store, far cheaper than a walk of the tree.
    bool AnyWith(std::uint32_t flagBits, std::uint32_t stateBits) const;

    // ---- Changes. Each returns 1, or -1 when the node is stale or none.
    int SetText(Node n, std::string_view text);
    int SetFlags(Node n, std::uint32_t flags);
    // Flips the bits; returns the new state of those bits (0 when stale).
    std::uint32_t ToggleFlags(Node n, std::uint32_t bits);
    // state = (state & ~mask) | (bits & mask)
    int SetState(Node n, std::uint32_t bits, std::uint32_t mask);
    int Expand(Node n, bool expanded);
    int SetSelf(Node n, Node self);
    // Changes the kind (and so the icon); reported as a text change. Kind 0 is refused.
    int SetKind(Node n, std::int32_t kind);

    // ---- Structure
    // Inserts a node as the parent's last child (top level when parent is none). The record's
    // flags are 0 and its self is the new node. Returns none when the parent is stale, memory
    // runs out or the parent already has kMaxRows children.
    Node Insert(Node parent, std::int32_t kind, std::string_view text);
    Node Insert(Node parent, ItemKind kind, std::string_view text) { return Insert(parent, KindCode(kind), text); }
    // Insert, with the new node's view state and flags given: as Insert followed by SetState
    // and SetFlags, in one step when nobody observes the book (a book being read).
    Node Append(Node parent, std::int32_t kind, std::string_view text, std::uint32_t state, std::uint32_t flags);
    // Removes the node with its whole subtree. 1, or -1 when stale or none.
    int Remove(Node n);
    // Removes every node (a reset for the observers).
    void Clear();
    // Makes room for n nodes in all, so that a book of known size gets its node store in one
    // allocation of what it needs. Throws std::bad_alloc.
    void Reserve(std::size_t n);
    // Reorders the children of parent (top level when none) by cmp, stably: cmp(a, b) < 0
    // puts a before b. 1, or -1 when the parent is stale or has no children.
    int SortChildren(Node parent, const std::function<int(Node, Node)>& cmp);

    // ---- Navigation, like the tree control. All give none when there is no such node or the
    // argument is stale.
    Node FirstRoot() const;                 // first top-level node
    Node Parent(Node n) const;              // none for a top-level node
    Node FirstChild(Node n) const;          // n none: FirstRoot()
    Node LastChild(Node n) const;           // n none: last top-level node
    Node NextSibling(Node n) const;
    Node PrevSibling(Node n) const;
    // The next node in pre-order that lies within the subtree of root (root none: the whole
    // forest); none at the end.
    Node NextPreOrder(Node n, Node root = Node{}) const;
    // True when n is anc or lies below it.
    bool IsWithin(Node n, Node anc) const;
    int Depth(Node n) const;                // 0 for a top-level node, -1 when stale

    // A walk in the order of the tree stream (book/TreeStream.h), straight over the node
    // store: Record for each node in pre-order, Close for each step to a next sibling and
    // each level climbed. From a node, its subtree alone (the node is never closed); from
    // none, every top-level node with its subtree.
    struct StreamVisitor {
        virtual void Record(Node n, std::int32_t kind, const std::string& text, std::uint32_t state,
                            std::uint32_t flags) = 0;
        virtual void Close() = 0;

    protected:
        ~StreamVisitor() = default;
    };
    // -1 when start is stale, else 1.
    int WalkStream(Node start, StreamVisitor& visitor) const;

    // ---- Rows, each in constant time (parent none: the top level)
    static constexpr int kMaxRows = 0x7FFFFFFF;
    std::size_t ChildCount(Node parent) const;   // 0 when stale
    Node ChildAt(Node parent, int row) const;    // none when stale or out of range
    int RowOf(Node n) const;                     // -1 when stale or none

    // ---- View
    Node Selected() const;                  // none when none is selected or it was removed
    // Moves the selection (sets the selected state bit). none clears it. -1 when stale.
    int Select(Node n);
    // The first visible node; falls back to the first top-level node when the remembered one
    // is gone or was never set.
    Node FirstVisible() const;
    int SetFirstVisible(Node n);

    // ---- Observers (not owned; remove before destroying them)
    void AddObserver(BookObserver* o);
    void RemoveObserver(BookObserver* o);

    // Exchanges the content (nodes, selection, first visible) with other, keeping each
    // book's observers; the observers of both books see a reset. Handles of the old content
    // go stale here when `other` was made by MakeSuccessor().
    void SwapContent(Book& other);
    // An empty book whose future handles can never equal a handle issued by this book, so
    // that a tree built in it and swapped in leaves every old handle stale.
    Book MakeSuccessor() const;

private:
    // Each node knows its row and each parent holds its children's slot numbers in order, so
    // that a row and the node at a row are found at once. Appending keeps the book loader
    // linear; a removal renumbers only the siblings after it.
    struct Slot {
        ItemRecord record;
        std::vector<std::uint32_t> kids;  // slot numbers of the children, in order
        std::uint32_t gen = 1;
        std::int32_t kind = 0;            // 0: free slot
        std::uint32_t state = 0;
        std::uint32_t parent = 0;         // slot number; 0 at the top level
        std::uint32_t row = 0;            // index in the parent's kids (or in roots_)
    };

    Slot* Get(Node n);
    const Slot* Get(Node n) const;
    Node HandleOf(std::uint32_t slot) const;
    std::vector<std::uint32_t>& KidsOf(std::uint32_t parent) { return parent ? slots_[parent - 1].kids : roots_; }
    const std::vector<std::uint32_t>& KidsOf(std::uint32_t parent) const
    {
        return parent ? slots_[parent - 1].kids : roots_;
    }
    std::uint32_t Allocate();
    void GiveBack(std::uint32_t slot);
    // A slot holding text, with room for one more child of parent (0: none, or the parent is
    // full); then the slot linked as parent's last child, which it must already be in kids.
    std::uint32_t ReserveChild(Node parent, std::string_view text);
    Node LinkChild(std::uint32_t slot, Node parent, std::int32_t kind, std::uint32_t state, std::uint32_t flags);
    void Free(std::uint32_t slot);
    void Unlink(std::uint32_t slot);
    void FreeSubtree(std::uint32_t root);
    template <class F> void Notify(F&& f);

    std::vector<Slot> slots_;          // slot k lives at slots_[k - 1]
    std::vector<std::uint32_t> free_;  // free slot numbers
    std::vector<std::uint32_t> roots_; // top-level slot numbers, in order
    std::size_t liveCount_ = 0;
    Node selected_, firstVisible_;
    std::vector<BookObserver*> observers_;
};

}  // namespace morvane
