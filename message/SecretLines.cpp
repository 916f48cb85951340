#include "message/SecretLines.h"

namespace morvane {

bool IsSecretLine(const Book& book, Node line)
{
    // Field lines sit under their record, detail rows one level deeper; no record nests in
    // another, so the nearest record above decides.
    for (Node n = line; book.Valid(n); n = book.Parent(n)) {
        switch (static_cast<ItemKind>(book.Kind(n))) {
        case ItemKind::Key:
        case ItemKind::Signature:
        case ItemKind::Police: return true;
        case ItemKind::BookRoot:
        case ItemKind::Directory:
        case ItemKind::Lock:
        case ItemKind::AltDirectory: return false;
        default: break;
        }
    }
    return false;
}

}  // namespace morvane
