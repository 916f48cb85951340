// The book editing commands of the tree's context menu: copy, cut, paste, delete, copy and
// cut to here, the four sorts, clearing the traces of the last computation, undo and redo.
// They act on the marking state of Marking.h: the marked siblings under the marked parent,
// the transfer list taken by the last copy, cut or delete, and the context item chosen by the
// context menu or a drop.
#pragma once

#include <cstdint>
#include <string>

#include "book/KeyTree.h"

namespace morvane {

// Gives the tree's undo queue its depth of 3, binds it and takes the first snapshot.
[[nodiscard]] int PrepareUndo(KeyTree& tree);

// The common first step of copy, cut and delete: with no marked parent and nothing marked,
// the right-clicked item becomes the selection. True when there is a selection under a
// marked parent afterwards (a book root alone at the top level is never one).
[[nodiscard]] bool StartSelection(KeyTree& tree);

// Copy and cut take the marked items into the transfer list (cut gives them the cut look).
// 1 when a list was taken, 0 when there was no selection.
[[nodiscard]] int Copy(KeyTree& tree);
[[nodiscard]] int Cut(KeyTree& tree);

// Pastes the transfer list under the context item: copies arrive unmarked; a cut moves the
// items, which arrive marked and become the selection, with nothing below them marked. Then
// the context item is cleared and a snapshot taken. 1 done; 0 nothing to do, a name clash
// (shown) or a move into one of the moved items themselves (refused); -1 when the copy
// failed (the book is as before).
[[nodiscard]] int Paste(KeyTree& tree);

// Copy or cut the marked items to the context item. 1, 0 or -1 as Paste.
[[nodiscard]] int CopyToHere(KeyTree& tree);
[[nodiscard]] int CutToHere(KeyTree& tree);

// The question the delete command asks for these items; empty when it asks none and deletes
// nothing (a single item that is not a directory, lock, key, signature or police).
Phrase DeleteQuestion(const Book& book, const ItemList& items);
// Asks, then removes the marked items. 1 when items were removed, else 0.
[[nodiscard]] int Delete(KeyTree& tree);

enum class SortKind { Type, Name, Strength, Date };
// The direction bit of a sort in a node's flags.
std::uint32_t SortBit(SortKind kind);
// Compares two siblings for a sort in direction d (+1 or -1): below 0 puts a first. A
// consistent order: equal keys give 0, so that the sort keeps their order.
int CompareForSort(const Book& book, SortKind kind, int d, Node a, Node b);
// Sorts the children of the right-clicked item (a book root or directory), flipping its
// direction bit first. 1 when sorted, 0 when there was nothing to sort.
[[nodiscard]] int Sort(KeyTree& tree, SortKind kind);

// Output field and detail rows of the lock or key at or above the right-clicked item back to
// their initial texts. 1 when done, 0 when there is no such record.
[[nodiscard]] int ClearTraces(KeyTree& tree);
// The same on a given lock or key record: output field to its label, every detail row to its
// initial text. 1, or -1 when record is not a lock or key.
[[nodiscard]] int ResetTraces(Book& book, Node record);

[[nodiscard]] int UndoCommand(KeyTree& tree);
[[nodiscard]] int RedoCommand(KeyTree& tree);

// Runs an editing command by its menu id (undo, redo, apply, cut, copy, paste, delete, the
// sorts, copy and cut to here, clear traces). False for every other id, which belongs to
// another part of the program.
[[nodiscard]] bool RunEditCommand(KeyTree& tree, int id);

}  // namespace morvane
