// Which lines of the book are secret when they leave the program: every line of a record that
// holds a private key (a key, and the signature and police records shaped like it). Their
// decrypted output, private numbers and detail rows must not linger on a clipboard; lines of
// locks and directories (public keys, armored texts meant to be sent) are ordinary.
#pragma once

#include "book/Book.h"

namespace morvane {

// True when line, or the record it belongs to, is a key-shaped record or lies inside one.
bool IsSecretLine(const Book& book, Node line);

}  // namespace morvane
