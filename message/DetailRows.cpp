#include "message/DetailRows.h"

#include <array>
#include <cstdio>

#include "book/Queries.h"
#include "platform/Text.h"

namespace morvane {

namespace {

struct RowLabel {
    std::int32_t row;
    const char* utf8;
};

constexpr RowLabel kLabels[] = {
    {42, "正文编码("}, {28, "预留字节("}, {29, "明文属性("}, {30, "加密强度("},
    {31, "填充类型("}, {32, "加密长度("}, {33, "段落序号("}, {34, "消耗长度("},
    {35, "填充数据("}, {36, "前置正文("}, {37, "合成数据("}, {39, "签字标志("},
    {40, "MD5值   ("}, {41, "后置正文("},
};

struct Labels {
    std::array<std::string, kKindCount> gbk;
    std::string unit;  // "字节): "
    Labels()
    {
        for (const RowLabel& l : kLabels)
            gbk[l.row] = Gbk(l.utf8);
        unit = Gbk("字节): ");
    }
};

const Labels& L()
{
    static const Labels labels;
    return labels;
}

bool IsRow(std::int32_t row) { return DetailGroupOf(row) != 0; }

}  // namespace

std::int32_t DetailGroupOf(std::int32_t row)
{
    if ((row >= 28 && row <= 37) || row == 42)
        return KindCode(ItemKind::PreDetails);
    if (row >= 39 && row <= 41)
        return KindCode(ItemKind::PostDetails);
    return 0;
}

std::string DetailRowLabel(std::int32_t row)
{
    return IsRow(row) ? L().gbk[row] : std::string();
}

std::string DetailRowText(std::int32_t row, std::uint32_t count, std::string_view value)
{
    char digits[16];
    std::snprintf(digits, sizeof digits, "%.4u", count);
    std::string text = DetailRowLabel(row);
    text += digits;
    text += L().unit;
    text += value;
    return text;
}

Node ShowDetailRow(Book& book, Node record, std::int32_t row, std::uint32_t count, std::string_view value)
{
    const std::int32_t groupKind = DetailGroupOf(row);
    if (groupKind == 0)
        return Node{};
    const Node group = FindChildByKind(book, record, groupKind);
    const Node line = group ? FindChildByKind(book, group, row) : Node{};
    if (!line)
        return Node{};
    if (book.SetText(line, DetailRowText(row, count, value)) != 1)
        return Node{};
    return line;
}

int ResetDetailRows(Book& book, Node record, std::int32_t keep)
{
    if (ClearField(book, record, KindCode(ItemKind::OutputField)) != 1)
        return -1;
    for (ItemKind g : {ItemKind::PreDetails, ItemKind::PostDetails}) {
        const Node group = FindChildByKind(book, record, g);
        if (!group)
            return -1;
        for (Node row = book.FirstChild(group); row; row = book.NextSibling(row)) {
            const std::int32_t kind = book.Kind(row);
            if (kind == keep || !IsRow(kind))
                continue;
            if (book.SetText(row, DetailRowText(kind, 0, {})) != 1)
                return -1;
        }
    }
    return 1;
}

int ShowDetailNodes(Book& book, Node record, bool expand)
{
    for (ItemKind g : {ItemKind::PreDetails, ItemKind::PostDetails}) {
        const Node group = FindChildByKind(book, record, g);
        if (!group || book.Expand(group, expand) != 1)
            return -1;
    }
    return 1;
}

}  // namespace morvane
