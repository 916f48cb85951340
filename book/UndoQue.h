// Undo and redo over whole-book snapshots. Slot i (1..depth) holds the tree stream of the
// book after the i-th remembered edit; `current` names the slot that matches the book and
// `top` the furthest slot redo can reach. When the queue is full the oldest slot is dropped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace morvane {

class KeyTree;

class CUndoQue {
public:
    CUndoQue() = default;
    virtual ~CUndoQue();
    CUndoQue(const CUndoQue&) = delete;
    CUndoQue& operator=(const CUndoQue&) = delete;

    // Number of slots. Shrinking drops the newest slots beyond the new depth.
    void SetDepth(std::uint32_t depth);
    // The tree whose book is snapshotted and restored (not owned).
    void Bind(KeyTree* tree) { tree_ = tree; }

    // Takes a snapshot of the book. -1 without a tree, with a depth of 1 or less, or when
    // the book cannot be written (the indices have moved and the slot is left empty).
    int Push();
    // Rebuilds the book from the previous snapshot. -1 when there is none or it cannot be
    // read; the book and the indices are then unchanged.
    [[nodiscard]] int Undo();
    // Rebuilds the book from the next snapshot. -1 as Undo.
    [[nodiscard]] int Redo();
    bool CanUndo() const { return current_ > 1; }
    bool CanRedo() const { return current_ < top_; }

    std::uint32_t Current() const { return current_; }
    std::uint32_t Top() const { return top_; }
    std::uint32_t Depth() const { return depth_; }
    // Snapshots taken so far (failed ones included).
    std::uint64_t Pushes() const { return pushes_; }
    // The stream in slot i (1..depth); empty for another index.
    const std::vector<std::uint8_t>& Slot(std::uint32_t i) const;
    // Bytes allocated for the snapshots.
    std::size_t HeldBytes() const;
    // Releases every snapshot; the indices return to 0.
    void Clear();

private:
    [[nodiscard]] int Restore(std::uint32_t index);

    KeyTree* tree_ = nullptr;
    std::uint32_t current_ = 0;
    std::uint32_t top_ = 0;
    std::uint32_t depth_ = 0;
    std::uint64_t pushes_ = 0;
    std::vector<std::vector<std::uint8_t>> slots_;  // slots_[i - 1] is slot i
};

}  // namespace morvane
