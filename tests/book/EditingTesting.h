// Helpers shared by the editing tests.
#pragma once

#include <string>

#include "book/Book.h"

namespace morvane {

// The book as a rebuild keeps it: shape, kinds, texts, flags and the expanded bit, one line
// per node, with the first visible node starred.
inline std::string Shape(const Book& book)
{
    std::string s;
    const Node first = book.FirstVisible();
    for (Node n = book.FirstRoot(); n; n = book.NextPreOrder(n)) {
        s += std::to_string(book.Depth(n)) + ' ' + std::to_string(book.Kind(n)) + ' ' + book.Text(n) + ' ' +
             std::to_string(book.Flags(n)) + (book.Expanded(n) ? " +" : " -") + (n == first ? " *" : "") + '\n';
    }
    return s;
}

}  // namespace morvane
