// Items of a book named from a terminal: a path of labels from the book's root, such as
// "Friends/Alice", with "\/" for a slash inside a label and "\\" for a backslash; "" or "/"
// names the root itself. Labels are UTF-8 on the terminal and GBK in the book.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "book/Book.h"

namespace morvane::cli {

enum class ResolveError { None, NotUtf8, NotFound, Ambiguous };

struct Resolved {
    Node node;
    ResolveError error = ResolveError::None;
    std::string where;  // UTF-8: the part of the path that was not found or is ambiguous
    int matches = 0;    // for Ambiguous
};

// Splits a path into its labels (UTF-8, unescaped). False for a dangling backslash.
bool SplitPath(const std::string& path, std::vector<std::string>& labels);

// Finds the item: each label but the last names a directory; the last one names an item
// whose kind matches mask (Queries.h masks; 0: any directory, lock or key). The root needs
// mask 0.
Resolved Resolve(const Book& book, const std::string& path, unsigned mask);

// The path of an item (UTF-8, escaped as above); "" for the root.
std::string PathOf(const Book& book, Node n);

// "root", "dir", "lock", "key", "signature", "police" or "line".
const char* KindName(std::int32_t kind);

// A book text for the terminal: UTF-8, with control characters shown as \xNN so that a
// book cannot move the cursor or recolour the terminal.
std::string Printable(const std::string& gbk);

// A JSON string literal of a book text (UTF-8).
std::string JsonString(const std::string& utf8);

// A record's field line value (GBK); "" when it has none.
std::string FieldValue(const Book& book, Node record, ItemKind kind);
// A lock, key, signature or police item.
bool IsRecord(std::int32_t kind);
// Whether a record's N line holds a value.
bool HasModulus(const Book& book, Node record);
// The use count as the window counts on from it: a line that is no number counts as 0.
long long UseCount(const Book& book, Node record);
// The JSON members every item has, without braces (docs/cli-json.schema.json).
std::string JsonMembers(const Book& book, Node n);

}  // namespace morvane::cli
