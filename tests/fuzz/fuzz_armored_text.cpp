// Armored message text: any bytes pasted into a key's input box and decrypted. The command
// must end cleanly, and whatever it opens must be the one message the key was sent.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "FuzzWorld.h"
#include "book/Queries.h"

using namespace morvane;

namespace {

void Check(bool ok)
{
    if (!ok)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static FuzzWorld w;
    static const std::string plain = "the one message";
    const std::string input(reinterpret_cast<const char*>(data), size);
    // Half the inputs are edits of a real message: the first byte picks the signed or the
    // unsigned one, the rest is spliced in at a position the next two bytes give.
    std::string text = input;
    if (size > 3 && (data[0] & 1)) {
        const int sign = (data[0] >> 1) & 1;
        Check(w.Protect(w.lock, plain, sign) == 1);
        text = w.tree.book.Text(FindChildByKind(w.tree.book, w.lock, ItemKind::OutputField));
        text = text.substr(text.find(": ") + 2);
        const std::size_t at = (data[1] << 8 | data[2]) % (text.size() + 1);
        text.replace(at, std::min<std::size_t>(size - 3, text.size() - at), input.substr(3));
    }
    const int rc = w.Protect(w.key, text, 0);
    Check(rc == 1 || rc == -1);
    FieldLine out;
    Check(GetField(w.tree.book, w.key, KindCode(ItemKind::OutputField), out) == 1);
    Check(out.value.empty() || out.value == plain);
    Check(w.tree.menusEnabled);
    w.desktop.messages.clear();
    w.view.activities.clear();
    w.view.progress.clear();
    return 0;
}
