#include "book/UndoQue.h"

#include <new>

#include "book/KeyTree.h"
#include "book/Marking.h"
#include "book/TreeStream.h"

namespace morvane {

CUndoQue::~CUndoQue() = default;

void CUndoQue::SetDepth(std::uint32_t depth)
{
    slots_.resize(depth);
    depth_ = depth;
    if (current_ > depth_)
        current_ = depth_;
    if (top_ > depth_)
        top_ = depth_;
}

const std::vector<std::uint8_t>& CUndoQue::Slot(std::uint32_t i) const
{
    static const std::vector<std::uint8_t> none;
    return i >= 1 && i <= slots_.size() ? slots_[i - 1] : none;
}

std::size_t CUndoQue::HeldBytes() const
{
    std::size_t n = 0;
    for (const auto& s : slots_)
        n += s.capacity();
    return n;
}

void CUndoQue::Clear()
{
    for (auto& s : slots_)
        std::vector<std::uint8_t>().swap(s);
    current_ = top_ = 0;
}

int CUndoQue::Push()
{
    if (!tree_ || depth_ <= 1)
        return -1;
    ++pushes_;
    if (current_ >= depth_) {
        // Drop the oldest snapshot; its buffer is reused for the new one.
        std::vector<std::uint8_t> oldest = std::move(slots_.front());
        slots_.erase(slots_.begin());
        slots_.push_back(std::move(oldest));
        current_ = depth_;
    } else {
        ++current_;
    }
    top_ = current_;
    std::vector<std::uint8_t>& slot = slots_[current_ - 1];
    // A book changes little between edits: size the buffer once from the last snapshot.
    const std::size_t expect = current_ > 1 ? slots_[current_ - 2].size() : 0;
    slot.clear();
    try {
        if (slot.capacity() < expect + expect / 16)
            slot.reserve(expect + expect / 16);
    } catch (const std::bad_alloc&) {
        std::vector<std::uint8_t>().swap(slot);
    }
    if (WriteTreeStream(*tree_, Node{}, slot) != 1) {
        std::vector<std::uint8_t>().swap(slot);
        return -1;
    }
    if (slot.capacity() > slot.size() + slot.size() / 4 + 4096) {
        try {
            slot.shrink_to_fit();
        } catch (const std::bad_alloc&) {
        }
    }
    return 1;
}

int CUndoQue::Restore(std::uint32_t index)
{
    const std::vector<std::uint8_t>& slot = slots_[index - 1];
    if (slot.empty() || ReadTreeStream(*tree_, Node{}, slot) != 1)
        return -1;
    current_ = index;
    MendAfterRebuild(*tree_);
    return 1;
}

int CUndoQue::Undo()
{
    // Slot numbers start at 1: the first snapshot has nothing before it.
    if (!tree_ || current_ <= 1)
        return -1;
    return Restore(current_ - 1);
}

int CUndoQue::Redo()
{
    if (!tree_ || current_ >= top_)
        return -1;
    return Restore(current_ + 1);
}

}  // namespace morvane
