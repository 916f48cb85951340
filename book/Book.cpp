#include "book/Book.h"

#include <algorithm>
#include <utility>

namespace morvane {

namespace {
const std::string kEmptyText;
}

Book::Book() = default;
Book::~Book() = default;

Book::Book(Book&& other) noexcept
    : slots_(std::move(other.slots_)),
      free_(std::move(other.free_)),
      roots_(std::move(other.roots_)),
      liveCount_(std::exchange(other.liveCount_, 0)),
      selected_(std::exchange(other.selected_, Node{})),
      firstVisible_(std::exchange(other.firstVisible_, Node{})),
      observers_(std::move(other.observers_))
{
    other.slots_.clear();
    other.free_.clear();
    other.roots_.clear();
    other.observers_.clear();
}

Book& Book::operator=(Book&& other) noexcept
{
    if (this != &other) {
        slots_ = std::move(other.slots_);
        free_ = std::move(other.free_);
        roots_ = std::move(other.roots_);
        liveCount_ = std::exchange(other.liveCount_, 0);
        selected_ = std::exchange(other.selected_, Node{});
        firstVisible_ = std::exchange(other.firstVisible_, Node{});
        observers_ = std::move(other.observers_);
        other.slots_.clear();
        other.free_.clear();
        other.roots_.clear();
        other.observers_.clear();
    }
    return *this;
}

std::string Book::DisplayLabel(std::string_view text)
{
    if (text.size() <= kLabelBytes)
        return std::string(text);
    std::string label(text.substr(0, kLabelBytes));
    label += "...";
    return label;
}

// ---- Slots

Book::Slot* Book::Get(Node n)
{
    if (n.slot == 0 || n.slot > slots_.size())
        return nullptr;
    Slot& s = slots_[n.slot - 1];
    return (s.kind != 0 && s.gen == n.gen) ? &s : nullptr;
}

const Book::Slot* Book::Get(Node n) const
{
    return const_cast<Book*>(this)->Get(n);
}

Node Book::HandleOf(std::uint32_t slot) const
{
    if (slot == 0)
        return Node{};
    return Node{slot, slots_[slot - 1].gen};
}

std::uint32_t Book::Allocate()
{
    if (!free_.empty()) {
        std::uint32_t k = free_.back();
        free_.pop_back();
        return k;
    }
    slots_.emplace_back();
    return static_cast<std::uint32_t>(slots_.size());
}

// Returns a slot taken by Allocate but never linked; its generation is unchanged, as no
// handle to it was given out.
void Book::GiveBack(std::uint32_t k)
{
    slots_[k - 1].record = ItemRecord{};
    try {
        free_.push_back(k);
    } catch (const std::bad_alloc&) {
        // The slot stays unused (kind 0) and is never handed out again.
    }
}

void Book::Free(std::uint32_t k)
{
    Slot& s = slots_[k - 1];
    s.record = ItemRecord{};
    std::vector<std::uint32_t>().swap(s.kids);
    s.kind = 0;
    s.state = 0;
    s.parent = s.row = 0;
    ++s.gen;
    if (s.gen == 0)  // never hand out generation 0 again after a wrap
        s.gen = 1;
    free_.push_back(k);
}

void Book::Unlink(std::uint32_t k)
{
    Slot& s = slots_[k - 1];
    std::vector<std::uint32_t>& kids = KidsOf(s.parent);
    kids.erase(kids.begin() + s.row);
    for (std::size_t i = s.row; i < kids.size(); ++i)
        slots_[kids[i] - 1].row = static_cast<std::uint32_t>(i);
    s.parent = s.row = 0;
}

// Frees root and its subtree (root already unlinked) without recursion and without memory:
// down the first children, then each freed node's next sibling by its row, and up once a
// node's children are all freed (post-order).
void Book::FreeSubtree(std::uint32_t root)
{
    std::uint32_t cur = root;
    for (;;) {
        Slot& s = slots_[cur - 1];
        if (!s.kids.empty()) {
            cur = s.kids.front();
            continue;
        }
        const std::uint32_t parent = s.parent, row = s.row;
        Free(cur);
        --liveCount_;
        if (cur == root)
            return;
        std::vector<std::uint32_t>& siblings = slots_[parent - 1].kids;
        if (row + 1 < siblings.size()) {
            cur = siblings[row + 1];
        } else {
            siblings.clear();  // all freed: the parent is a leaf now
            cur = parent;
        }
    }
}

template <class F>
void Book::Notify(F&& f)
{
    // A copy, so that an observer may remove itself while being notified.
    if (observers_.empty())
        return;
    std::vector<BookObserver*> list = observers_;
    for (BookObserver* o : list)
        f(*o);
}

// ---- Properties

bool Book::AnyWith(std::uint32_t flagBits, std::uint32_t stateBits) const
{
    for (const Slot& s : slots_)
        if (s.kind != 0 && ((s.record.flags & flagBits) | (s.state & stateBits)) != 0)
            return true;
    return false;
}

bool Book::Valid(Node n) const { return Get(n) != nullptr; }

std::int32_t Book::Kind(Node n) const
{
    const Slot* s = Get(n);
    return s ? s->kind : 0;
}

const std::string& Book::Text(Node n) const
{
    const Slot* s = Get(n);
    return s ? s->record.text : kEmptyText;
}

std::string Book::Label(Node n) const { return DisplayLabel(Text(n)); }

std::uint32_t Book::State(Node n) const
{
    const Slot* s = Get(n);
    return s ? s->state : 0;
}

std::uint32_t Book::Flags(Node n) const
{
    const Slot* s = Get(n);
    return s ? s->record.flags : 0;
}

const ItemRecord* Book::Record(Node n) const
{
    const Slot* s = Get(n);
    return s ? &s->record : nullptr;
}

int Book::SetText(Node n, std::string_view text)
{
    Slot* s = Get(n);
    if (!s)
        return -1;
    try {
        s->record.text.assign(text.data(), text.size());
    } catch (const std::bad_alloc&) {
        return -1;
    }
    Notify([&](BookObserver& o) { o.TextChanged(n); });
    return 1;
}

int Book::SetFlags(Node n, std::uint32_t flags)
{
    Slot* s = Get(n);
    if (!s)
        return -1;
    std::uint32_t old = s->record.flags;
    s->record.flags = flags;
    if (old != flags)
        Notify([&](BookObserver& o) { o.FlagsChanged(n, old, flags); });
    return 1;
}

std::uint32_t Book::ToggleFlags(Node n, std::uint32_t bits)
{
    Slot* s = Get(n);
    if (!s)
        return 0;
    SetFlags(n, s->record.flags ^ bits);
    return s->record.flags & bits;
}

int Book::SetState(Node n, std::uint32_t bits, std::uint32_t mask)
{
    Slot* s = Get(n);
    if (!s)
        return -1;
    std::uint32_t old = s->state;
    s->state = (old & ~mask) | (bits & mask);
    if (old != s->state) {
        std::uint32_t now = s->state;
        Notify([&](BookObserver& o) { o.StateChanged(n, old, now); });
    }
    return 1;
}

int Book::Expand(Node n, bool expanded)
{
    return SetState(n, expanded ? kStateExpanded : 0, kStateExpanded);
}

int Book::SetSelf(Node n, Node self)
{
    Slot* s = Get(n);
    if (!s)
        return -1;
    s->record.self = self;
    return 1;
}

int Book::SetKind(Node n, std::int32_t kind)
{
    Slot* s = Get(n);
    if (!s || kind == 0)
        return -1;
    s->kind = kind;
    Notify([&](BookObserver& o) { o.TextChanged(n); });
    return 1;
}

// ---- Structure

Node Book::Insert(Node parent, std::int32_t kind, std::string_view text)
{
    if (kind == 0)
        return Node{};
    if (!parent.IsNone() && !Get(parent))
        return Node{};
    // Everything that can fail comes before the first notification.
    const std::uint32_t k = ReserveChild(parent, text);
    if (!k)
        return Node{};
    const int row = static_cast<int>(KidsOf(parent.slot).size());
    Notify([&](BookObserver& o) { o.RowsAboutToBeInserted(parent, row, row); });
    if (!parent.IsNone() && !Get(parent)) {  // an observer broke the rule
        GiveBack(k);
        return Node{};
    }
    std::vector<std::uint32_t>& kids = KidsOf(parent.slot);
    try {
        kids.push_back(k);  // within the reserved capacity unless an observer broke the rule
    } catch (const std::bad_alloc&) {
        GiveBack(k);
        return Node{};
    }
    const Node n = LinkChild(k, parent, kind, 0, 0);
    const int at = static_cast<int>(kids.size() - 1);
    Notify([&](BookObserver& o) { o.RowsInserted(parent, at, at); });
    return n;
}

Node Book::Append(Node parent, std::int32_t kind, std::string_view text, std::uint32_t state, std::uint32_t flags)
{
    if (!observers_.empty()) {
        const Node n = Insert(parent, kind, text);
        if (n) {
            SetState(n, state, ~0u);
            SetFlags(n, flags);
        }
        return n;
    }
    if (kind == 0 || (!parent.IsNone() && !Get(parent)))
        return Node{};
    const std::uint32_t k = ReserveChild(parent, text);
    if (!k)
        return Node{};
    KidsOf(parent.slot).push_back(k);  // within the capacity ReserveChild made
    return LinkChild(k, parent, kind, state, flags);
}

std::uint32_t Book::ReserveChild(Node parent, std::string_view text)
{
    std::uint32_t k = 0;
    try {
        k = Allocate();
        slots_[k - 1].record.text.assign(text.data(), text.size());
        std::vector<std::uint32_t>& kids = KidsOf(parent.slot);
        if (kids.size() >= static_cast<std::size_t>(kMaxRows)) {
            GiveBack(k);
            return 0;
        }
        if (kids.size() == kids.capacity())
            kids.reserve(kids.empty() ? 4 : 2 * kids.size());
    } catch (const std::bad_alloc&) {
        if (k)
            GiveBack(k);
        return 0;
    }
    return k;
}

Node Book::LinkChild(std::uint32_t k, Node parent, std::int32_t kind, std::uint32_t state, std::uint32_t flags)
{
    Slot& s = slots_[k - 1];
    s.kind = kind;
    s.state = state;
    s.record.flags = flags;
    s.parent = parent.slot;
    s.row = static_cast<std::uint32_t>(KidsOf(parent.slot).size() - 1);
    ++liveCount_;
    const Node n{k, s.gen};
    s.record.self = n;
    return n;
}

int Book::Remove(Node n)
{
    const Slot* s = Get(n);
    if (!s)
        return -1;
    const Node parent = HandleOf(s->parent);
    const int row = static_cast<int>(s->row);
    Notify([&](BookObserver& o) { o.RowsAboutToBeRemoved(parent, row, row); });
    if (!Get(n))  // an observer removed it already, against the rule
        return 1;
    Unlink(n.slot);
    FreeSubtree(n.slot);
    if (selected_.slot && !Get(selected_))
        selected_ = Node{};
    if (firstVisible_.slot && !Get(firstVisible_))
        firstVisible_ = Node{};
    Notify([&](BookObserver& o) { o.RowsRemoved(parent, row, row); });
    return 1;
}

void Book::Clear()
{
    Notify([&](BookObserver& o) { o.BookAboutToBeReset(); });
    for (std::uint32_t k = 1; k <= slots_.size(); ++k)
        if (slots_[k - 1].kind != 0)
            Free(k);
    // Hand out low slots first again.
    std::sort(free_.begin(), free_.end(), std::greater<>());
    liveCount_ = 0;
    roots_.clear();
    selected_ = firstVisible_ = Node{};
    Notify([&](BookObserver& o) { o.BookReset(); });
}

int Book::SortChildren(Node parent, const std::function<int(Node, Node)>& cmp)
{
    if (!parent.IsNone() && !Get(parent))
        return -1;
    if (KidsOf(parent.slot).empty())
        return -1;
    std::vector<Node> order;
    try {
        for (std::uint32_t k : KidsOf(parent.slot))
            order.push_back(HandleOf(k));
    } catch (const std::bad_alloc&) {
        return -1;
    }
    std::stable_sort(order.begin(), order.end(), [&](Node a, Node b) { return cmp(a, b) < 0; });
    // A comparison must not change the tree; if one did, give up unsorted.
    auto unchanged = [&] {
        if ((!parent.IsNone() && !Get(parent)) || KidsOf(parent.slot).size() != order.size())
            return false;
        for (Node c : order)
            if (!Get(c) || slots_[c.slot - 1].parent != parent.slot)
                return false;
        return true;
    };
    if (!unchanged())
        return -1;
    Notify([&](BookObserver& o) { o.ChildrenAboutToBeReordered(parent); });
    if (unchanged()) {
        std::vector<std::uint32_t>& kids = KidsOf(parent.slot);
        for (std::size_t i = 0; i < order.size(); ++i) {
            kids[i] = order[i].slot;
            slots_[order[i].slot - 1].row = static_cast<std::uint32_t>(i);
        }
    }
    Notify([&](BookObserver& o) { o.ChildrenReordered(parent); });
    return 1;
}

// ---- Navigation

Node Book::FirstRoot() const { return roots_.empty() ? Node{} : HandleOf(roots_.front()); }

Node Book::Parent(Node n) const
{
    const Slot* s = Get(n);
    return s ? HandleOf(s->parent) : Node{};
}

Node Book::FirstChild(Node n) const
{
    if (!n.IsNone() && !Get(n))
        return Node{};
    const std::vector<std::uint32_t>& kids = KidsOf(n.slot);
    return kids.empty() ? Node{} : HandleOf(kids.front());
}

Node Book::LastChild(Node n) const
{
    if (!n.IsNone() && !Get(n))
        return Node{};
    const std::vector<std::uint32_t>& kids = KidsOf(n.slot);
    return kids.empty() ? Node{} : HandleOf(kids.back());
}

Node Book::NextSibling(Node n) const
{
    const Slot* s = Get(n);
    if (!s)
        return Node{};
    const std::vector<std::uint32_t>& siblings = KidsOf(s->parent);
    return s->row + 1 < siblings.size() ? HandleOf(siblings[s->row + 1]) : Node{};
}

Node Book::PrevSibling(Node n) const
{
    const Slot* s = Get(n);
    return s && s->row > 0 ? HandleOf(KidsOf(s->parent)[s->row - 1]) : Node{};
}

Node Book::NextPreOrder(Node n, Node root) const
{
    const Slot* s = Get(n);
    if (!s || (!root.IsNone() && !Get(root)))
        return Node{};
    if (!s->kids.empty())
        return HandleOf(s->kids.front());
    std::uint32_t cur = n.slot;
    while (cur && cur != root.slot) {
        const Slot& c = slots_[cur - 1];
        const std::vector<std::uint32_t>& siblings = KidsOf(c.parent);
        if (c.row + 1 < siblings.size())
            return HandleOf(siblings[c.row + 1]);
        cur = c.parent;
    }
    return Node{};
}

int Book::WalkStream(Node start, StreamVisitor& visitor) const
{
    const bool whole = start.IsNone();
    std::uint32_t cur = whole ? (roots_.empty() ? 0 : roots_.front()) : start.slot;
    if (!whole && !Get(start))
        return -1;
    while (cur) {
        const Slot& s = slots_[cur - 1];
        visitor.Record(Node{cur, s.gen}, s.kind, s.record.text, s.state, s.record.flags);
        if (!s.kids.empty()) {
            cur = s.kids.front();
            continue;
        }
        std::uint32_t n = cur;
        cur = 0;
        for (;;) {
            if (!whole && n == start.slot)
                break;
            const Slot& c = slots_[n - 1];
            const std::vector<std::uint32_t>& siblings = KidsOf(c.parent);
            if (c.row + 1 < siblings.size()) {
                visitor.Close();
                cur = siblings[c.row + 1];
                break;
            }
            if (!c.parent)
                break;
            visitor.Close();
            n = c.parent;
        }
    }
    return 1;
}

bool Book::IsWithin(Node n, Node anc) const
{
    if (!Get(n) || !Get(anc))
        return false;
    for (std::uint32_t cur = n.slot; cur; cur = slots_[cur - 1].parent)
        if (cur == anc.slot)
            return true;
    return false;
}

std::size_t Book::ChildCount(Node parent) const
{
    if (!parent.IsNone() && !Get(parent))
        return 0;
    return KidsOf(parent.slot).size();
}

Node Book::ChildAt(Node parent, int row) const
{
    if (!parent.IsNone() && !Get(parent))
        return Node{};
    const std::vector<std::uint32_t>& kids = KidsOf(parent.slot);
    if (row < 0 || static_cast<std::size_t>(row) >= kids.size())
        return Node{};
    return HandleOf(kids[static_cast<std::size_t>(row)]);
}

int Book::RowOf(Node n) const
{
    const Slot* s = Get(n);
    return s ? static_cast<int>(s->row) : -1;
}

int Book::Depth(Node n) const
{
    if (!Get(n))
        return -1;
    int d = 0;
    for (std::uint32_t cur = slots_[n.slot - 1].parent; cur; cur = slots_[cur - 1].parent)
        ++d;
    return d;
}

// ---- View

Node Book::Selected() const { return Get(selected_) ? selected_ : Node{}; }

int Book::Select(Node n)
{
    if (!n.IsNone() && !Get(n))
        return -1;
    Node old = Selected();
    if (old == n)
        return 1;
    if (old)
        SetState(old, 0, kStateSelected);
    selected_ = n;
    if (n)
        SetState(n, kStateSelected, kStateSelected);
    Notify([&](BookObserver& o) { o.SelectionChanged(n); });
    return 1;
}

Node Book::FirstVisible() const
{
    return Get(firstVisible_) ? firstVisible_ : FirstRoot();
}

int Book::SetFirstVisible(Node n)
{
    if (!n.IsNone() && !Get(n))
        return -1;
    firstVisible_ = n;
    Notify([&](BookObserver& o) { o.FirstVisibleChanged(n); });
    return 1;
}

// ---- Observers and content exchange

void Book::AddObserver(BookObserver* o)
{
    if (o && std::find(observers_.begin(), observers_.end(), o) == observers_.end())
        observers_.push_back(o);
}

void Book::RemoveObserver(BookObserver* o)
{
    observers_.erase(std::remove(observers_.begin(), observers_.end(), o), observers_.end());
}

void Book::SwapContent(Book& other)
{
    if (&other == this)
        return;
    Notify([&](BookObserver& o) { o.BookAboutToBeReset(); });
    other.Notify([&](BookObserver& o) { o.BookAboutToBeReset(); });
    std::swap(slots_, other.slots_);
    std::swap(free_, other.free_);
    std::swap(roots_, other.roots_);
    std::swap(liveCount_, other.liveCount_);
    std::swap(selected_, other.selected_);
    std::swap(firstVisible_, other.firstVisible_);
    Notify([&](BookObserver& o) { o.BookReset(); });
    other.Notify([&](BookObserver& o) { o.BookReset(); });
}

void Book::Reserve(std::size_t n)
{
    if (n <= liveCount_ + free_.size())
        return;
    slots_.reserve(slots_.size() + (n - liveCount_ - free_.size()));
}

Book Book::MakeSuccessor() const
{
    Book b;
    b.slots_.resize(slots_.size());
    b.free_.reserve(slots_.size());
    for (std::size_t i = 0; i < slots_.size(); ++i) {
        std::uint32_t g = slots_[i].gen + 1;
        b.slots_[i].gen = g ? g : 1;
    }
    for (std::size_t k = slots_.size(); k >= 1; --k)
        b.free_.push_back(static_cast<std::uint32_t>(k));
    return b;
}

}  // namespace morvane
