// Armored message text: any bytes pasted into a key's input box and decrypted. The command
// must end cleanly, and whatever it opens must be the one message the key was sent.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "book/KeyRecord.h"
#include "book/Queries.h"
#include "book/Records.h"
#include "message/Protect.h"
#include "support/ScriptedDesktop.h"

using namespace morvane;

namespace {

// A 512-bit key made once with the program's key generation.
constexpr const char* kN = "CAC1E3E33A90885F44DCFB08D0D2F3BD763E8B3649E3E34C8F489DFA729D5421C106735E14B2C0DDB2D09A366AE057BBCEF1BCACC8003B7F388E440C27EFBC17";
constexpr const char* kE = "DA36DD24C11F3DDF8096926BC081819F";
constexpr const char* kD = "8F21C3C5880064E6BC6F4F11E6DECFF2BB7E5A1FED1633DA757597162FEEF11698BE69F87AD99AFE0430B3EF691B1C6AC9BFA4C4AC28CB598567065D87293F";
constexpr const char* kP = "72C2D32E790AD4EAA4D4B689B667B256F8BFD0F4AE8F5E24893BB22E83C7";
constexpr const char* kQ = "1C44BA07BE4F532C01D603EE3000AB86B25DF60A7FB7CE8C83559A1145CB10E9D6531";
constexpr const char* kU = "D7A26CCC5238C2ED2FCB71775AF48F11D352AF9AA3EDD4C8DDE693367B6E195D036F";

void Check(bool ok)
{
    if (!ok)
        std::abort();
}

class Fixed : public RandomSource {
public:
    std::uint32_t Next() override { return (state_ = state_ * 1103515245u + 12345u) >> 17; }

private:
    std::uint32_t state_ = 1;
};

struct World {
    ScriptedDesktop desktop;
    Fixed source;
    KeyTree tree{&desktop};
    Node key, lock;
    std::string sent;  // the armored text of the one message the key may open
    World()
    {
        tree.random.SetSource(&source);
        Book& b = tree.book;
        const Node root = b.Insert(Node{}, ItemKind::BookRoot, "book");
        const Node dir = b.Insert(root, ItemKind::Directory, "dir");
        key = AddRecord(b, dir, KindCode(ItemKind::Key), "key", 0);
        lock = AddRecord(b, dir, KindCode(ItemKind::Lock), "lock", 0);
        for (Node r : {key, lock}) {
            SetField(b, r, KindCode(ItemKind::ModulusField), kN);
            SetField(b, r, KindCode(ItemKind::PublicExponentField), kE);
            SetField(b, r, KindCode(ItemKind::StrengthField), "512Bits");
        }
        SetField(b, key, KindCode(ItemKind::PrivateExponentField), kD);
        SetField(b, key, KindCode(ItemKind::PrimePField), kP);
        SetField(b, key, KindCode(ItemKind::PrimeQField), kQ);
        SetField(b, key, KindCode(ItemKind::CoefficientField), kU);
    }
    int Protect(Node record, const std::string& input, int sign)
    {
        tree.clickedItem = FindChildByKind(tree.book, record, ItemKind::InputField);
        tree.markedParent = record;
        int complete = 0;
        LoadKey(tree.engine[0], complete, tree, record);
        SetField(tree.book, record, KindCode(ItemKind::InputField), input);
        SetField(tree.book, record, KindCode(ItemKind::OutputField), "");
        int result = 0;
        return ProtectRecord(tree, record, sign, result);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static World w;
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
    w.desktop.activities.clear();
    w.desktop.progress.clear();
    return 0;
}
