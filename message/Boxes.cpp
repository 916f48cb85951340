#include "message/Boxes.h"

#include <algorithm>
#include <cstdint>

#include "book/KeyTree.h"
#include "book/Queries.h"
#include "message/ArmoredText.h"
#include "message/PublicKeyText.h"
#include "platform/Text.h"

namespace morvane {

namespace {

constexpr int kStrengthBits[] = {512, 1024, 2048, 4096};

// The strength line's value for an entry. It differs in spacing from the selector's entry,
// and the key generation reads it back with GetStrength.
std::string StrengthLineValue(int index)
{
    switch (index) {
    case 0: return Gbk("弱  512Bits");
    case 1: return Gbk("中 1024Bits");
    case 2: return Gbk("强 2048Bits");
    default: return Gbk("超强 4096Bits");
    }
}

// A field line's label ("" for a record, directory or book line, or one that cannot be split).
std::string LabelOf(const Book& book, Node line)
{
    std::string label, value;
    if (ItemClass(book, line) != 3 || !SplitFieldText(book.Kind(line), book.Text(line), label, value))
        return std::string();
    return label;
}

bool IsLock(const Book& book, Node n)
{
    return book.Kind(n) == KindCode(ItemKind::Lock);
}

}  // namespace

int FrameArmoredText(std::string& text, int columns)
{
    if (text.empty())
        return 1;
    std::string body = text;
    if (CleanArmoredText(body) != 1)
        return -1;
    const std::size_t n = static_cast<std::size_t>(std::max(columns, 1));
    WrapText(body, n);
    const std::string stars(n, '*');
    std::string framed;
    framed.reserve(body.size() + 2 * n + 4);
    framed += stars;
    framed += "\r\n";
    framed += body;
    framed += "\r\n";
    framed += stars;
    text.swap(framed);
    return 1;
}

BoxChange BoxTextChanged(KeyTree& tree, bool programSet, const std::string& text)
{
    if (!programSet || tree.markedCount > 1)
        return BoxChange::Ignored;
    Book& book = tree.book;
    const Node clicked = tree.Live(tree.clickedItem);
    const Node lock = IsLock(book, clicked) ? clicked : book.Parent(clicked);
    if (IsLock(book, lock) && ImportPublicKey(tree, text))
        return BoxChange::Imported;
    // No line is shown after a display that failed part-way; nothing to write into then. And
    // the label kept by the display must be the line's own: a line made the clicked item
    // without a display (a command run headless) is not the one the box shows.
    if (!clicked || LabelOf(book, clicked) != tree.clickedLineLabel)
        return BoxChange::Ignored;
    std::string line = tree.clickedLineLabel + text;
    if (book.Text(clicked) != line)
        book.SetText(clicked, std::move(line));
    return BoxChange::Written;
}

bool ReframeOnResize(const KeyTree& tree, bool isInputBox, bool programSet)
{
    if (!isInputBox || !programSet || tree.markedCount != 1)
        return false;
    const Book& book = tree.book;
    const Node clicked = tree.Live(tree.clickedItem);
    return book.Kind(clicked) == KindCode(ItemKind::OutputField) && IsLock(book, book.Parent(clicked));
}

const std::vector<BoxMenuEntry>& BoxMenu()
{
    static const std::vector<BoxMenuEntry> menu = [] {
        return std::vector<BoxMenuEntry>{
            {BoxCommand::Undo, MORVANE_TR("Message", "UnDo")},
            {BoxCommand::Separator, {}},
            {BoxCommand::Copy, MORVANE_TR("Message", "复    制")},
            {BoxCommand::Cut, MORVANE_TR("Message", "剪    切")},
            {BoxCommand::Delete, MORVANE_TR("Message", "删    除")},
            {BoxCommand::Separator, {}},
            {BoxCommand::CopyAll, MORVANE_TR("Message", "复制全文")},
            {BoxCommand::CutAll, MORVANE_TR("Message", "剪切全文")},
            {BoxCommand::DeleteAll, MORVANE_TR("Message", "删除全文")},
            {BoxCommand::Separator, {}},
            {BoxCommand::SelectAll, MORVANE_TR("Message", "全    选")},
            {BoxCommand::Separator, {}},
            {BoxCommand::Paste, MORVANE_TR("Message", "粘    贴")},
            {BoxCommand::PasteReplace, MORVANE_TR("Message", "粘贴并删除原文")},
        };
    }();
    return menu;
}

bool BoxCommandEnabled(BoxCommand command, bool clipboardHasText, bool hasSelection, bool undoAvailable)
{
    switch (command) {
    case BoxCommand::Separator:
        return false;
    case BoxCommand::Undo:
        return undoAvailable;
    case BoxCommand::Paste:
    case BoxCommand::PasteReplace:
        return clipboardHasText;
    case BoxCommand::Copy:
    case BoxCommand::Cut:
    case BoxCommand::Delete:
        return hasSelection;
    case BoxCommand::CopyAll:
    case BoxCommand::CutAll:
    case BoxCommand::DeleteAll:
    case BoxCommand::SelectAll:
        return true;
    }
    return false;
}

std::size_t GbkCharStart(std::string_view text, std::size_t offset)
{
    if (offset >= text.size())
        return text.size();
    std::size_t i = 0;
    while (i < offset) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 1;
        if (lead >= 0x81 && lead <= 0xFE && i + 1 < text.size()) {
            const auto second = static_cast<unsigned char>(text[i + 1]);
            // GB18030 four-byte characters have a digit as their second byte.
            length = (second >= 0x30 && second <= 0x39) ? 4 : 2;
        }
        if (i + length > offset)
            return i;
        i += length;
    }
    return i;
}

Source StrengthChoice(int index)
{
    switch (index) {
    case 0: return MORVANE_TR("Message", "弱    512 Bits");
    case 1: return MORVANE_TR("Message", "中   1024 Bits");
    case 2: return MORVANE_TR("Message", "强   2048 Bits");
    case 3: return MORVANE_TR("Message", "超强 4096 Bits");
    default: return Source{};
    }
}

std::string StrengthEntry(int index)
{
    return Gbk(StrengthChoice(index).text);
}

int StrengthIndex(std::string_view value)
{
    std::uint32_t number = 0;
    for (char c : value) {
        if (c == 'B')
            break;
        if (c >= '0' && c <= '9')
            number = std::min<std::uint32_t>(number * 10 + static_cast<std::uint32_t>(c - '0'), 1000000);
    }
    for (int i = 0; i < 4; ++i)
        if (number == static_cast<std::uint32_t>(kStrengthBits[i]))
            return i;
    return -1;
}

StrengthChange ChangeStrength(KeyTree& tree, int index, int remembered)
{
    if (tree.markedCount > 1 || index < 0 || index > 3)
        return StrengthChange::Ignored;
    Book& book = tree.book;
    const Node line = tree.Live(tree.clickedItem);
    FieldLine shown;
    if (book.Kind(line) != KindCode(ItemKind::StrengthField) ||
        !SplitFieldText(book.Kind(line), book.Text(line), shown.label, shown.value))
        return StrengthChange::Ignored;

    if (index != remembered) {
        if (!tree.desktop ||
            Tell(*tree.desktop, MORVANE_TR("Message", "改变加密强度, 密钥数据将作废, 继续吗?"), MsgIcon::Question,
                 MsgButtons::OkCancel) != MsgAnswer::Ok)
            return StrengthChange::Cancelled;
        const Node record = book.Parent(line);
        const std::int32_t kind = book.Kind(record);
        if (kind == KindCode(ItemKind::Lock)) {
            ClearField(book, record, KindCode(ItemKind::ModulusField));
        } else if (kind >= KindCode(ItemKind::Directory) && kind <= KindCode(ItemKind::Police)) {
            for (ItemKind k : {ItemKind::PrivateExponentField, ItemKind::PrimePField, ItemKind::PrimeQField,
                               ItemKind::CoefficientField, ItemKind::ModulusField})
                ClearField(book, record, KindCode(k));
        } else {
            return StrengthChange::Unchanged;
        }
    }
    // The line's own label: the same as the one the display kept for it, and right even if
    // something else was shown since.
    book.SetText(line, shown.label + StrengthLineValue(index));
    return StrengthChange::Written;
}

}  // namespace morvane
