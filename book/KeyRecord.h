// Loading an RSA engine from a lock or key record of the book, and the completeness check
// that runs before a record's key is used.
#pragma once

#include "book/Book.h"
#include "book/KeyTree.h"

namespace morvane {

class CRSA;

// Points the engine's random pool at the tree's and loads N and E, and for a key also P, Q, D
// and U, from the record's field lines, stopping at the first empty value (complete = 0; the
// numbers read so far keep their new values, the rest their old ones). Values are trimmed of
// surrounding white space and read as hexadecimal. 1 after loading; -1 when the item is
// neither lock nor key, a field line is missing or cannot be split, or a value is not valid
// hexadecimal (the engine's number then keeps its old value).
[[nodiscard]] int LoadKey(CRSA& engine, int& complete, KeyTree& tree, Node item);

// LoadKey, then for a complete key the nominal length of the strength line against N: a
// modulus more than one bit shorter shows "密码数据不全, 重新设定密码数据" and gives
// complete = 0. 1, or -1 when LoadKey fails.
[[nodiscard]] int CheckKey(CRSA& engine, int& complete, KeyTree& tree, Node item);

}  // namespace morvane
