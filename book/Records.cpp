#include "book/Records.h"

#include <array>

#include "platform/Text.h"

namespace morvane {

namespace {

struct KindText {
    std::int32_t kind;
    const char* utf8;
};

// Field lines in child order after the two detail groups. The label, ": " included, is what
// the file stores; the window shows it translated.
struct KindLabel {
    std::int32_t kind;
    Source label;
};
constexpr KindLabel kFieldLabels[] = {
    {12, MORVANE_TR("Field", "输    入: ")}, {13, MORVANE_TR("Field", "输    出: ")},
    {14, MORVANE_TR("Field", "序    号: ")}, {15, MORVANE_TR("Field", "身    份: ")},
    {16, MORVANE_TR("Field", "电    邮: ")}, {17, MORVANE_TR("Field", "使用次数: ")},
    {18, MORVANE_TR("Field", "强    度: ")}, {19, MORVANE_TR("Field", "使用日期: ")},
    {20, MORVANE_TR("Field", "附加说明: ")}, {21, MORVANE_TR("Field", "N     值: ")},
    {22, MORVANE_TR("Field", "E     值: ")}, {23, MORVANE_TR("Field", "D     值: ")},
    {24, MORVANE_TR("Field", "P     值: ")}, {25, MORVANE_TR("Field", "Q     值: ")},
    {26, MORVANE_TR("Field", "U     值: ")},
};

// Groups and rows in child order.
constexpr KindText kPreRows[] = {
    {42, "正文编码(0000字节): "}, {28, "预留字节(0000字节): "}, {29, "明文属性(0000字节): "},
    {30, "加密强度(0000字节): "}, {31, "填充类型(0000字节): "}, {32, "明文长度(0000字节): "},
    {33, "段落序号(0000字节): "}, {34, "消耗长度(0000字节): "}, {35, "填充数据(0000字节): "},
    {36, "前置正文(0000字节): "}, {37, "合成数据(0000字节): "},
};
constexpr KindText kPostRows[] = {
    {39, "签字标志(0000字节): "}, {40, "MD5值   (0000字节): "}, {41, " 后置正文(0000字节): "},
};
constexpr KindLabel kGroups[] = {{27, MORVANE_TR("Field", "计算前编码细节")}, {38, MORVANE_TR("Field", "计算后编码细节")}};

// GBK texts by kind code, converted once.
struct Tables {
    std::array<std::string, kKindCount> field;
    std::array<std::string, kKindCount> detail;
    std::string useCount, strength, note, exponent;
    Tables()
    {
        for (const KindLabel& t : kFieldLabels)
            field[t.kind] = Gbk(t.label.text);
        for (const KindText& t : kPreRows)
            detail[t.kind] = Gbk(t.utf8);
        for (const KindText& t : kPostRows)
            detail[t.kind] = Gbk(t.utf8);
        for (const KindLabel& t : kGroups)
            detail[t.kind] = Gbk(t.label.text);
        useCount = "0";
        strength = Gbk("中 1024Bits");
        note = Gbk("在哪里, 为了谁公布");
        exponent = "10001";
    }
};

const Tables& T()
{
    static const Tables tables;
    return tables;
}

bool InRange(std::int32_t kind) { return kind >= 0 && kind < kKindCount; }

}  // namespace

std::string FieldLabel(std::int32_t kind)
{
    return InRange(kind) ? T().field[kind] : std::string();
}

Source FixedLabelSource(std::int32_t kind)
{
    for (const KindLabel& t : kFieldLabels)
        if (t.kind == kind)
            return t.label;
    for (const KindLabel& t : kGroups)
        if (t.kind == kind)
            return t.label;
    return Source{};
}

std::string InitialDetailText(std::int32_t kind)
{
    return InRange(kind) ? T().detail[kind] : std::string();
}

std::string FormatDate(std::time_t t)
{
    std::tm tm{};
    if (!localtime_r(&t, &tm))
        return std::string();
    char buf[64];
    std::size_t n = std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
    return std::string(buf, n);
}

int FieldLineCount(std::int32_t kind)
{
    switch (kind) {
    case KindCode(ItemKind::Lock): return 13;
    case KindCode(ItemKind::Key):
    case KindCode(ItemKind::Signature):
    case KindCode(ItemKind::Police): return 17;
    default: return 0;
    }
}

int AddFieldLines(Book& book, Node record, std::time_t created, bool blank)
{
    const std::int32_t kind = book.Kind(record);
    if (FieldLineCount(kind) == 0)
        return -1;
    const Tables& t = T();
    auto line = [&](Node parent, std::int32_t k, const std::string& text) {
        return book.Insert(parent, k, text);
    };
    if (!line(record, 12, t.field[12]))
        return -1;
    for (const KindLabel& g : kGroups) {
        Node group = line(record, g.kind, t.detail[g.kind]);
        if (!group)
            return -1;
        if (g.kind == 27) {
            for (const KindText& r : kPreRows)
                if (!line(group, r.kind, t.detail[r.kind]))
                    return -1;
        } else {
            for (const KindText& r : kPostRows)
                if (!line(group, r.kind, t.detail[r.kind]))
                    return -1;
        }
    }
    const std::int32_t lastField = kind == KindCode(ItemKind::Lock) ? 22 : 26;
    for (std::int32_t k = 13; k <= lastField; ++k) {
        std::string text = t.field[k];
        switch (k) {
        case 17: text += t.useCount; break;
        case 18: text += t.strength; break;
        case 19: if (!blank) text += FormatDate(created); break;
        case 20: if (!blank) text += t.note; break;
        case 22: if (!blank) text += t.exponent; break;
        default: break;
        }
        if (!line(record, k, text))
            return -1;
    }
    return 1;
}

Node AddRecord(Book& book, Node parent, std::int32_t kind, std::string_view name, std::time_t created,
               bool blank)
{
    if (FieldLineCount(kind) == 0)
        return Node{};
    Node item = book.Insert(parent, kind, name);
    if (!item)
        return Node{};
    if (AddFieldLines(book, item, created, blank) != 1) {
        book.Remove(item);
        return Node{};
    }
    return item;
}

Node BuildSampleBook(Book& book)
{
    Node root = book.Insert(Node{}, ItemKind::BookRoot, Gbk("加密通讯薄"));
    if (!root)
        return Node{};
    const char* dirs[2] = {"目录A", "目录B"};
    const char* locks[2] = {"对方1", "对方2"};
    const char* keys[2] = {"我的1", "我的2"};
    for (int i = 0; i < 2; ++i) {
        Node dir = book.Insert(root, ItemKind::Directory, Gbk(dirs[i]));
        if (!dir)
            return Node{};
        book.Select(dir);
        if (!AddRecord(book, dir, KindCode(ItemKind::Lock), Gbk(locks[i]), 0, true) ||
            !AddRecord(book, dir, KindCode(ItemKind::Key), Gbk(keys[i]), 0, true))
            return Node{};
        book.Expand(dir, true);
    }
    book.Expand(root, true);
    book.Select(root);
    return root;
}

Node BuildEmptyBook(Book& book)
{
    return book.Insert(Node{}, ItemKind::BookRoot, Gbk("密钥通讯薄"));
}

}  // namespace morvane
