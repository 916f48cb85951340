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
      liveCount_(std::exchange(other.liveCount_, 0)),
      firstRoot_(std::exchange(other.firstRoot_, 0)),
      lastRoot_(std::exchange(other.lastRoot_, 0)),
      selected_(std::exchange(other.selected_, Node{})),
      firstVisible_(std::exchange(other.firstVisible_, Node{})),
      observers_(std::move(other.observers_))
{
    other.slots_.clear();
    other.free_.clear();
    other.observers_.clear();
}

Book& Book::operator=(Book&& other) noexcept
{
    if (this != &other) {
        slots_ = std::move(other.slots_);
        free_ = std::move(other.free_);
        liveCount_ = std::exchange(other.liveCount_, 0);
        firstRoot_ = std::exchange(other.firstRoot_, 0);
        lastRoot_ = std::exchange(other.lastRoot_, 0);
        selected_ = std::exchange(other.selected_, Node{});
        firstVisible_ = std::exchange(other.firstVisible_, Node{});
        observers_ = std::move(other.observers_);
        other.slots_.clear();
        other.free_.clear();
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

void Book::Free(std::uint32_t k)
{
    Slot& s = slots_[k - 1];
    s.record = ItemRecord{};
    s.kind = 0;
    s.state = 0;
    s.parent = s.first = s.last = s.next = s.prev = 0;
    ++s.gen;
    if (s.gen == 0)  // never hand out generation 0 again after a wrap
        s.gen = 1;
    free_.push_back(k);
}

void Book::Unlink(std::uint32_t k)
{
    Slot& s = slots_[k - 1];
    std::uint32_t& headFirst = s.parent ? slots_[s.parent - 1].first : firstRoot_;
    std::uint32_t& headLast = s.parent ? slots_[s.parent - 1].last : lastRoot_;
    if (s.prev)
        slots_[s.prev - 1].next = s.next;
    else
        headFirst = s.next;
    if (s.next)
        slots_[s.next - 1].prev = s.prev;
    else
        headLast = s.prev;
    s.prev = s.next = 0;
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
    std::uint32_t k = 0;
    try {
        k = Allocate();
        slots_[k - 1].record.text.assign(text.data(), text.size());
    } catch (const std::bad_alloc&) {
        if (k) {
            try {
                free_.push_back(k);
            } catch (const std::bad_alloc&) {
            }
        }
        return Node{};
    }
    Slot& s = slots_[k - 1];
    s.kind = kind;
    s.state = 0;
    s.record.flags = 0;
    s.parent = parent.slot;
    s.first = s.last = s.next = 0;
    std::uint32_t& headFirst = parent.slot ? slots_[parent.slot - 1].first : firstRoot_;
    std::uint32_t& headLast = parent.slot ? slots_[parent.slot - 1].last : lastRoot_;
    s.prev = headLast;
    if (headLast)
        slots_[headLast - 1].next = k;
    else
        headFirst = k;
    headLast = k;
    ++liveCount_;
    Node n{k, s.gen};
    s.record.self = n;
    Notify([&](BookObserver& o) { o.NodeInserted(n); });
    return n;
}

int Book::Remove(Node n)
{
    if (!Get(n))
        return -1;
    Notify([&](BookObserver& o) { o.NodeRemoving(n); });
    if (!Get(n))  // an observer removed it already
        return 1;
    Unlink(n.slot);
    // Free the subtree without recursion: walk it in pre-order through the child and
    // sibling links, which stay intact below the unlinked root until a slot is freed; free
    // each node once all of its descendants are freed (post-order).
    std::uint32_t root = n.slot;
    std::uint32_t cur = root;
    while (cur) {
        Slot& s = slots_[cur - 1];
        if (s.first) {
            cur = s.first;
            continue;
        }
        // A leaf: free it, then continue with its next sibling or climb.
        std::uint32_t next = (cur == root) ? 0 : s.next;
        std::uint32_t parent = s.parent;
        Free(cur);
        --liveCount_;
        if (cur == root)
            break;
        if (next) {
            slots_[parent - 1].first = next;
            cur = next;
        } else {
            slots_[parent - 1].first = 0;  // all children freed: the parent is a leaf now
            cur = parent;
        }
    }
    if (selected_.slot && !Get(selected_))
        selected_ = Node{};
    if (firstVisible_.slot && !Get(firstVisible_))
        firstVisible_ = Node{};
    return 1;
}

void Book::Clear()
{
    for (std::uint32_t k = 1; k <= slots_.size(); ++k)
        if (slots_[k - 1].kind != 0)
            Free(k);
    // Hand out low slots first again.
    std::sort(free_.begin(), free_.end(), std::greater<>());
    liveCount_ = 0;
    firstRoot_ = lastRoot_ = 0;
    selected_ = firstVisible_ = Node{};
    Notify([&](BookObserver& o) { o.BookReset(); });
}

int Book::SortChildren(Node parent, const std::function<int(Node, Node)>& cmp)
{
    if (!parent.IsNone() && !Get(parent))
        return -1;
    std::uint32_t head = parent.slot ? slots_[parent.slot - 1].first : firstRoot_;
    if (!head)
        return -1;
    std::vector<Node> kids;
    try {
        for (std::uint32_t k = head; k; k = slots_[k - 1].next)
            kids.push_back(HandleOf(k));
    } catch (const std::bad_alloc&) {
        return -1;
    }
    std::stable_sort(kids.begin(), kids.end(), [&](Node a, Node b) { return cmp(a, b) < 0; });
    // A comparison must not change the tree; if one removed a child, give up unsorted.
    for (Node c : kids)
        if (!Get(c))
            return -1;
    std::uint32_t& first = parent.slot ? slots_[parent.slot - 1].first : firstRoot_;
    std::uint32_t& last = parent.slot ? slots_[parent.slot - 1].last : lastRoot_;
    std::uint32_t prev = 0;
    for (Node c : kids) {
        Slot& s = slots_[c.slot - 1];
        s.prev = prev;
        s.next = 0;
        if (prev)
            slots_[prev - 1].next = c.slot;
        else
            first = c.slot;
        prev = c.slot;
    }
    last = prev;
    Notify([&](BookObserver& o) { o.ChildrenReordered(parent); });
    return 1;
}

// ---- Navigation

Node Book::FirstRoot() const { return HandleOf(firstRoot_); }

Node Book::Parent(Node n) const
{
    const Slot* s = Get(n);
    return s ? HandleOf(s->parent) : Node{};
}

Node Book::FirstChild(Node n) const
{
    if (n.IsNone())
        return HandleOf(firstRoot_);
    const Slot* s = Get(n);
    return s ? HandleOf(s->first) : Node{};
}

Node Book::LastChild(Node n) const
{
    if (n.IsNone())
        return HandleOf(lastRoot_);
    const Slot* s = Get(n);
    return s ? HandleOf(s->last) : Node{};
}

Node Book::NextSibling(Node n) const
{
    const Slot* s = Get(n);
    return s ? HandleOf(s->next) : Node{};
}

Node Book::PrevSibling(Node n) const
{
    const Slot* s = Get(n);
    return s ? HandleOf(s->prev) : Node{};
}

Node Book::NextPreOrder(Node n, Node root) const
{
    const Slot* s = Get(n);
    if (!s || (!root.IsNone() && !Get(root)))
        return Node{};
    if (s->first)
        return HandleOf(s->first);
    std::uint32_t cur = n.slot;
    while (cur && cur != root.slot) {
        const Slot& c = slots_[cur - 1];
        if (c.next)
            return HandleOf(c.next);
        cur = c.parent;
    }
    return Node{};
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

std::size_t Book::ChildCount(Node n) const
{
    std::size_t count = 0;
    for (Node c = FirstChild(n); c; c = NextSibling(c))
        ++count;
    return count;
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
    return Get(firstVisible_) ? firstVisible_ : HandleOf(firstRoot_);
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
    std::swap(slots_, other.slots_);
    std::swap(free_, other.free_);
    std::swap(liveCount_, other.liveCount_);
    std::swap(firstRoot_, other.firstRoot_);
    std::swap(lastRoot_, other.lastRoot_);
    std::swap(selected_, other.selected_);
    std::swap(firstVisible_, other.firstVisible_);
    Notify([&](BookObserver& o) { o.BookReset(); });
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
