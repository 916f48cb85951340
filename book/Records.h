// The fixed shapes of the book: field lines of locks and keys, detail rows, the sample book
// and the empty book.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

#include "book/Book.h"
#include "platform/Phrase.h"

namespace morvane {

// Label of a field line (kinds 12..26), with its ": " (GBK); "" for other kinds.
std::string FieldLabel(std::int32_t kind);
// The marked source of a field line's label (kinds 12..26, as FieldLabel) or of a detail
// group's whole text (27, 38); an unmarked source for other kinds.
Source FixedLabelSource(std::int32_t kind);
// The text a detail row or group (kinds 27..42) has when created (GBK); "" for other kinds.
std::string InitialDetailText(std::int32_t kind);
// "%Y-%m-%d %H:%M:%S" in local time.
std::string FormatDate(std::time_t t);

// Number of field lines of a record kind: 13 for a lock, 17 for a key, signature or police;
// 0 for other kinds.
int FieldLineCount(std::int32_t kind);

// Inserts the field lines of a lock or key as the last children of record: input, the two
// detail groups with their rows, output, serial ... E, and D, P, Q, U for every kind but a
// lock. The date line holds `created`, the note and E their defaults; with blank set those
// three lines hold their labels only (the sample book's form). 1, or -1 when record is stale
// or not a lock, key, signature or police item.
int AddFieldLines(Book& book, Node record, std::time_t created, bool blank = false);
// Inserts a lock or key named name as last child of parent, with its field lines.
Node AddRecord(Book& book, Node parent, std::int32_t kind, std::string_view name, std::time_t created,
               bool blank = false);

// Appends the sample book at the top level: the root "加密通讯薄" with directories "目录A"
// (lock "对方1", key "我的1") and "目录B" (lock "对方2", key "我的2"), all expanded; the root
// becomes the selected item. Returns the root.
Node BuildSampleBook(Book& book);
// Appends the empty book: one root named "密钥通讯薄". Returns it.
Node BuildEmptyBook(Book& book);

}  // namespace morvane
