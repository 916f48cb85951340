#include "MessageTesting.h"

#include <stdexcept>

#include "book/KeyRecord.h"
#include "book/Queries.h"
#include "book/Records.h"
#include "message/Protect.h"
#include "platform/Text.h"

namespace morvane {

const TestKey& KeyOf(int bits, int index)
{
    for (int i = 0; i < kTestKeyCount; ++i)
        if (kTestKeys[i].bits == bits && index-- == 0)
            return kTestKeys[i];
    throw std::out_of_range("no such test key");
}

std::string StrengthValue(int bits)
{
    switch (bits) {
    case 512: return Gbk("弱  512Bits");
    case 1024: return Gbk("中 1024Bits");
    case 2048: return Gbk("强 2048Bits");
    default: return Gbk("超强 4096Bits");
    }
}

MessageBook::MessageBook()
{
    tree.view = &view;
    tree.random.SetSource(&source);
    root = tree.book.Insert(Node{}, ItemKind::BookRoot, Gbk("加密通讯薄"));
    dir = AddDirectory("目录A");
}

MessageBook::~MessageBook()
{
    tree.random.SetSource(nullptr);
}

Node MessageBook::AddDirectory(const std::string& utf8Name)
{
    return tree.book.Insert(root, ItemKind::Directory, Gbk(utf8Name));
}

Node MessageBook::AddLock(Node parent, const std::string& utf8Name, const TestKey& key)
{
    Book& b = tree.book;
    Node r = AddRecord(b, parent, KindCode(ItemKind::Lock), Gbk(utf8Name), desktop.now);
    SetField(b, r, KindCode(ItemKind::ModulusField), key.n);
    SetField(b, r, KindCode(ItemKind::PublicExponentField), key.e);
    SetField(b, r, KindCode(ItemKind::StrengthField), StrengthValue(key.bits));
    return r;
}

Node MessageBook::AddKey(Node parent, const std::string& utf8Name, const TestKey& key)
{
    Book& b = tree.book;
    Node r = AddRecord(b, parent, KindCode(ItemKind::Key), Gbk(utf8Name), desktop.now);
    SetField(b, r, KindCode(ItemKind::ModulusField), key.n);
    SetField(b, r, KindCode(ItemKind::PublicExponentField), key.e);
    SetField(b, r, KindCode(ItemKind::PrivateExponentField), key.d);
    SetField(b, r, KindCode(ItemKind::PrimePField), key.p);
    SetField(b, r, KindCode(ItemKind::PrimeQField), key.q);
    SetField(b, r, KindCode(ItemKind::CoefficientField), key.u);
    SetField(b, r, KindCode(ItemKind::StrengthField), StrengthValue(key.bits));
    return r;
}

bool MessageBook::Click(Node record)
{
    tree.clickedItem = FindChildByKind(tree.book, record, ItemKind::InputField);
    tree.markedParent = record;
    tree.markedCount = 1;
    int complete = 0;
    return CheckKey(tree.engine[0], complete, tree, record) == 1 && complete == 1;
}

void MessageBook::SetInput(Node record, const std::string& gbkText)
{
    SetField(tree.book, record, KindCode(ItemKind::InputField), gbkText);
}

std::string MessageBook::Field(Node record, ItemKind kind) const
{
    FieldLine line;
    if (GetField(tree.book, record, KindCode(kind), line) != 1)
        return "<missing>";
    return line.value;
}

std::string MessageBook::RowText(Node record, ItemKind row) const
{
    const std::int32_t group = (KindCode(row) >= 39 && KindCode(row) <= 41) ? 38 : 27;
    Node g = FindChildByKind(tree.book, record, group);
    return Utf8(tree.book.Text(FindChildByKind(tree.book, g, row)));
}

int MessageBook::Protect(Node record, const std::string& gbkInput, int sign, int* result)
{
    Click(record);
    SetInput(record, gbkInput);
    int r = 0;
    const int rc = ProtectRecord(tree, record, sign, r);
    if (result)
        *result = r;
    return rc;
}

}  // namespace morvane
