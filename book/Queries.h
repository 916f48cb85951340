// Lookups over the book: field lines of locks and keys, number fields, items by name and
// kind, the marked selection, the name clash test of paste, and removal. None of them
// reports to the user (except ReportNameClash, which shows the clash dialog) and none
// recurses. Where a parent is taken, none means the top level; a stale handle finds nothing.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "book/Book.h"
#include "book/KeyTree.h"

namespace morvane {

class BigInt;

// Kind filter mask bits.
constexpr unsigned kMaskDirectory = 0x01;  // Directory (2) and AltDirectory (7)
constexpr unsigned kMaskKey = 0x02;
constexpr unsigned kMaskLock = 0x04;
constexpr unsigned kMaskSignature = 0x08;
constexpr unsigned kMaskPolice = 0x10;

// Collecting modes.
constexpr int kCollectDelete = 0;
constexpr int kCollectCopy = 1;
constexpr int kCollectCut = 2;

// Number text forms.
constexpr int kNumberHex = 0;
constexpr int kNumberDecimal = 1;
constexpr int kNumberEscaped = 2;
constexpr std::size_t kNumberTextBuffer = 16384;

// A field line split at its first ": " (the label keeps the ": "). Lines of kinds 27 and 38
// have an empty label and their whole text as value.
struct FieldLine {
    Node node;
    std::string label;
    std::string value;
};

// Splits a line's text by the rule above. False when a field text has no ": ".
bool SplitFieldText(std::int32_t kind, std::string_view text, std::string& label, std::string& value);

// The first child of parent with that kind; none when there is none.
Node FindChildByKind(const Book& book, Node parent, std::int32_t kind);
inline Node FindChildByKind(const Book& book, Node parent, ItemKind kind) { return FindChildByKind(book, parent, KindCode(kind)); }

// 1 with the line, its label and value; -1 when the item has no such child or its text
// cannot be split.
[[nodiscard]] int GetField(const Book& book, Node item, std::int32_t fieldKind, FieldLine& out);
// The line's text becomes its label followed by value. 1, or -1 as GetField.
int SetField(Book& book, Node item, std::int32_t fieldKind, std::string_view value);
// The line's text becomes its label alone. 1; 0 when there is no such line; -1 when it
// cannot be split.
int ClearField(Book& book, Node item, std::int32_t fieldKind);
// The line's text becomes its label followed by the number in hexadecimal. 1; 0 when there
// is no such line; -1 when it cannot be split or the number has no text form.
int SetNumberField(Book& book, Node item, std::int32_t fieldKind, const BigInt& x);
// Reads the value (blanks at both ends dropped) as hexadecimal into x. An empty value
// clears hasValue and gives 1 with x untouched; otherwise the parse result (1, or 0 on an
// invalid character). 0 when there is no such line or it cannot be split.
[[nodiscard]] int GetNumberField(const Book& book, Node item, std::int32_t fieldKind, BigInt& x, bool& hasValue);
// The number as hexadecimal (form 0), decimal (1) or escaped bytes (2); "" for another form or
// when the text would not fit the 16384-byte buffer.
std::string NumberText(const BigInt& x, int form);

// The modulus size written on the item's strength line ("强    度: 中 1024Bits" gives 1024);
// 0 when the item has no strength line.
int GetStrength(const Book& book, Node item);
// The same rule on a line's text.
int StrengthFromText(std::string_view text);

bool KindMatchesMask(std::int32_t kind, unsigned mask);
bool KindMatches(const Book& book, Node n, unsigned mask);
// 1 book root, 2 kinds 2..7, 3 any other kind; 0 for a stale or none handle.
int ItemClassOfKind(std::int32_t kind);
int ItemClass(const Book& book, Node n);

// The first child of parent whose kind matches mask and whose full text equals name.
Node FindChildByName(const Book& book, Node parent, std::string_view name, unsigned mask);
// Every descendant of start (of the first top-level node when none), in pre-order, whose kind
// matches mask and whose full text equals name.
ItemList FindAllByName(const Book& book, Node start, std::string_view name, unsigned mask);

// The marked children of parent in child order. Mode 2 (cut) gives each the cut look; modes
// 0 and 1 take it away. nullopt when the parent has no children (or is stale).
std::optional<ItemList> CollectMarked(Book& book, Node parent, int mode);
// Clears the mark and the cut look.
void Unmark(Book& book, Node n);
// Unmark on n and every node below it; with none, on the first top-level node and its subtree.
void UnmarkSubtree(Book& book, Node n);
// Sets each child's record self to the child. 1, or -1 when the parent has no children.
int RefreshSelfHandles(Book& book, Node parent);

// The texts naming an item kind in messages; null for kinds without them.
struct KindTexts {
    const char* label;  // UTF-8: "<目录>", "<锁>", "<钥匙>", "<签字>", "<警察>"
    Source clash;       // the name clash text; %1 the name
    Source removal;     // the question before deleting one item; %1 the name
};
const KindTexts* TextsOfKind(std::int32_t kind);
// The kind's label (GBK); "" for other kinds.
std::string KindLabel(std::int32_t kind);

struct NameClash {
    Phrase message;  // empty when there is no clash
    std::int32_t kind = 0;
    bool Clashes() const { return kind != 0; }
};
// The first listed item whose text and kind equal a child's of target: the kind's label,
// ":  ", the name in double quotes and " 重名". Stale list entries are skipped.
NameClash CheckNameClash(const Book& book, const ItemList& items, Node target);
// CheckNameClash, and on a clash the name clash dialog. True when a clash was shown.
bool ReportNameClash(KeyTree& tree, const ItemList& items, Node target);

// Removes the node with its subtree (none: every node), then forgets the tree's handles that
// went stale. 1, or 0 when the node is stale.
int RemoveItems(KeyTree& tree, Node n);

}  // namespace morvane
