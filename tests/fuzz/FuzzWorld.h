// The book of the armored text target: one directory holding a key and the lock of the same
// key (512 bits, made once with the program's key generation), so that the key opens and
// verifies what the lock seals and signs. The seed corpus is made with the same book.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "book/KeyRecord.h"
#include "book/Queries.h"
#include "book/Records.h"
#include "message/Protect.h"
#include "support/RecordingView.h"
#include "support/ScriptedDesktop.h"

namespace morvane {

inline constexpr const char* kFuzzN = "CAC1E3E33A90885F44DCFB08D0D2F3BD763E8B3649E3E34C8F489DFA729D5421C106735E14B2C0DDB2D09A366AE057BBCEF1BCACC8003B7F388E440C27EFBC17";
inline constexpr const char* kFuzzE = "DA36DD24C11F3DDF8096926BC081819F";
inline constexpr const char* kFuzzD = "8F21C3C5880064E6BC6F4F11E6DECFF2BB7E5A1FED1633DA757597162FEEF11698BE69F87AD99AFE0430B3EF691B1C6AC9BFA4C4AC28CB598567065D87293F";
inline constexpr const char* kFuzzP = "72C2D32E790AD4EAA4D4B689B667B256F8BFD0F4AE8F5E24893BB22E83C7";
inline constexpr const char* kFuzzQ = "1C44BA07BE4F532C01D603EE3000AB86B25DF60A7FB7CE8C83559A1145CB10E9D6531";
inline constexpr const char* kFuzzU = "D7A26CCC5238C2ED2FCB71775AF48F11D352AF9AA3EDD4C8DDE693367B6E195D036F";

// Fixed padding (with the fixed pool below), so that every run seals the same bytes.
class FuzzRandom : public RandomSource {
public:
    std::uint32_t Next() override { return (state_ = state_ * 1103515245u + 12345u) >> 17; }

private:
    std::uint32_t state_ = 1;
};

struct FuzzWorld {
    ScriptedDesktop desktop;
    RecordingView view;  // the window's notifications, recorded and dropped per input
    FuzzRandom source;
    KeyTree tree{&desktop};
    Node key, lock;
    FuzzWorld()
    {
        tree.view = &view;
        tree.random.SetSource(&source);
        std::array<std::uint8_t, kPoolSize> pool;
        for (std::size_t i = 0; i < pool.size(); ++i)
            pool[i] = static_cast<std::uint8_t>(i * 73 + 5);
        tree.random.SetPool(pool);
        Book& b = tree.book;
        const Node root = b.Insert(Node{}, ItemKind::BookRoot, "book");
        const Node dir = b.Insert(root, ItemKind::Directory, "dir");
        key = AddRecord(b, dir, KindCode(ItemKind::Key), "key", 0);
        lock = AddRecord(b, dir, KindCode(ItemKind::Lock), "lock", 0);
        for (Node r : {key, lock}) {
            SetField(b, r, KindCode(ItemKind::ModulusField), kFuzzN);
            SetField(b, r, KindCode(ItemKind::PublicExponentField), kFuzzE);
            SetField(b, r, KindCode(ItemKind::StrengthField), "512Bits");
        }
        SetField(b, key, KindCode(ItemKind::PrivateExponentField), kFuzzD);
        SetField(b, key, KindCode(ItemKind::PrimePField), kFuzzP);
        SetField(b, key, KindCode(ItemKind::PrimeQField), kFuzzQ);
        SetField(b, key, KindCode(ItemKind::CoefficientField), kFuzzU);
    }
    // The protect command on the record's action line with input; the command's result.
    int Protect(Node record, const std::string& input, int sign)
    {
        tree.clickedItem = FindChildByKind(tree.book, record, ItemKind::InputField);
        tree.markedParent = record;
        int complete = 0;
        (void)LoadKey(tree.engine[0], complete, tree, record);  // a failed load makes the command fail
        SetField(tree.book, record, KindCode(ItemKind::InputField), input);
        SetField(tree.book, record, KindCode(ItemKind::OutputField), "");
        int result = 0;
        return ProtectRecord(tree, record, sign, result);
    }
    // The record's output field value.
    std::string Output(Node record) const
    {
        FieldLine out;
        return GetField(tree.book, record, KindCode(ItemKind::OutputField), out) == 1 ? out.value : std::string();
    }
};

}  // namespace morvane
