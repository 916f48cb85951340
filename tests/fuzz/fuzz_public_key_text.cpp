// Public key text: any bytes pasted into a lock's box. Recognition must give hex digits only,
// and an import must leave a lock whose N is hex digits of one of the four strengths.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "bignum/BigInt.h"
#include "book/Queries.h"
#include "book/Records.h"
#include "message/PublicKeyText.h"
#include "support/ScriptedDesktop.h"

using namespace morvane;

namespace {

void Check(bool ok)
{
    if (!ok)
        std::abort();
}

bool IsHex(const std::string& s)
{
    return !s.empty() && s.find_first_not_of("0123456789ABCDEFabcdef") == std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    bool found = false;
    std::string n, e;
    ParsePublicKeyText(found, n, e, text);
    if (found)
        Check(IsHex(n) && IsHex(e));

    ScriptedDesktop desktop;
    KeyTree tree(&desktop);
    const Node root = tree.book.Insert(Node{}, ItemKind::BookRoot, "book");
    const Node lock = AddRecord(tree.book, root, KindCode(ItemKind::Lock), "lock", 0);
    const Node input = FindChildByKind(tree.book, lock, ItemKind::InputField);
    tree.clickedItem = input;
    tree.clickedLineText = tree.book.Text(input);
    const bool recognised = ImportPublicKey(tree, text);
    Check(recognised == found);
    Check(tree.book.Text(input) == tree.clickedLineText);
    FieldLine stored;
    Check(GetField(tree.book, lock, KindCode(ItemKind::ModulusField), stored) == 1);
    if (!stored.value.empty()) {
        Check(found && stored.value == n);
        BigInt x;
        Check(x.FromString(16, stored.value) == 1);
        const std::uint32_t bits = BitLength(x);
        Check(bits == 512 || bits == 1024 || bits == 2048 || bits == 4096);
    }
    return 0;
}
