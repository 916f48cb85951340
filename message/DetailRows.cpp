#include "message/DetailRows.h"

#include <array>
#include <cstdio>
#include <vector>

#include "book/Queries.h"
#include "book/Records.h"
#include "platform/Text.h"

namespace morvane {

namespace {

// A row reads label, count, unit, value; the marked pattern holds the count as %1. The row's
// label is the pattern up to its "(".
struct RowPattern {
    std::int32_t row;
    Source pattern;
};

constexpr RowPattern kPatterns[] = {
    {42, MORVANE_TR("Detail", "正文编码(%1字节): ")}, {28, MORVANE_TR("Detail", "预留字节(%1字节): ")},
    {29, MORVANE_TR("Detail", "明文属性(%1字节): ")}, {30, MORVANE_TR("Detail", "加密强度(%1字节): ")},
    {31, MORVANE_TR("Detail", "填充类型(%1字节): ")}, {32, MORVANE_TR("Detail", "加密长度(%1字节): ")},
    {33, MORVANE_TR("Detail", "段落序号(%1字节): ")}, {34, MORVANE_TR("Detail", "消耗长度(%1字节): ")},
    {35, MORVANE_TR("Detail", "填充数据(%1字节): ")}, {36, MORVANE_TR("Detail", "前置正文(%1字节): ")},
    {37, MORVANE_TR("Detail", "合成数据(%1字节): ")}, {39, MORVANE_TR("Detail", "签字标志(%1字节): ")},
    {40, MORVANE_TR("Detail", "MD5值   (%1字节): ")}, {41, MORVANE_TR("Detail", "后置正文(%1字节): ")},
};
// The rows' texts as a new record has them, where they differ from the above.
constexpr RowPattern kInitialPatterns[] = {
    {32, MORVANE_TR("Detail", "明文长度(%1字节): ")},
    {41, MORVANE_TR("Detail", " 后置正文(%1字节): ")},
};

// A pattern cut at its %1, in GBK.
struct CutPattern {
    std::int32_t row = 0;
    Source source;
    std::string before, after;
};

CutPattern Cut(const RowPattern& p)
{
    const std::string_view text(p.pattern.text);
    const std::size_t at = text.find("%1");
    return CutPattern{p.row, p.pattern, Gbk(text.substr(0, at)), Gbk(text.substr(at + 2))};
}

struct Labels {
    std::array<std::string, kKindCount> gbk;
    std::string unit;  // "字节): "
    std::vector<CutPattern> patterns;
    Labels()
    {
        for (const RowPattern& p : kPatterns) {
            patterns.push_back(Cut(p));
            const std::string& before = patterns.back().before;
            gbk[p.row] = before.substr(0, before.find('(') + 1);
        }
        for (const RowPattern& p : kInitialPatterns)
            patterns.push_back(Cut(p));
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

std::optional<LabelledLine> SplitFixedLabel(std::int32_t kind, std::string_view text)
{
    const Source field = FixedLabelSource(kind);
    if (field.context) {
        // The converted labels Records keeps, not a conversion per call: the tree asks often.
        const std::string label = kind == KindCode(ItemKind::PreDetails) || kind == KindCode(ItemKind::PostDetails)
                                      ? InitialDetailText(kind)
                                      : FieldLabel(kind);
        if (text.substr(0, label.size()) != label)
            return std::nullopt;
        return LabelledLine{Phrase(field), std::string(text.substr(label.size()))};
    }
    for (const CutPattern& p : L().patterns) {
        if (p.row != kind || text.substr(0, p.before.size()) != p.before)
            continue;
        std::size_t end = p.before.size();
        while (end < text.size() && text[end] >= '0' && text[end] <= '9')
            ++end;
        if (end == p.before.size() || text.substr(end, p.after.size()) != p.after)
            continue;
        std::string count(text.substr(p.before.size(), end - p.before.size()));
        return LabelledLine{Phrase(p.source, {std::move(count)}), std::string(text.substr(end + p.after.size()))};
    }
    return std::nullopt;
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
