#include "message/Display.h"

#include "book/KeyRecord.h"
#include "book/KeyTree.h"
#include "book/Queries.h"
#include "message/Boxes.h"
#include "message/SecretLines.h"
#include "message/SingleStep.h"
#include "platform/Text.h"

namespace morvane {

namespace {

bool IsDetailLine(std::int32_t kind)
{
    return (kind >= KindCode(ItemKind::ReservedRow) && kind <= KindCode(ItemKind::BlockNumberRow)) ||
           (kind >= KindCode(ItemKind::SignFlagRow) && kind <= KindCode(ItemKind::MessageRow));
}

bool IsKeyNumberLine(std::int32_t kind)
{
    return kind >= KindCode(ItemKind::ModulusField) && kind <= KindCode(ItemKind::CoefficientField);
}

// The value of a line; "" when it cannot be split.
std::string ValueOf(const Book& book, Node line)
{
    std::string label, value;
    if (!SplitFieldText(book.Kind(line), book.Text(line), label, value))
        return std::string();
    return value;
}

void ShowText(BoxDisplay& box, std::string text, bool programSet)
{
    box.text = std::move(text);
    box.programSet = programSet;
    box.enabled = true;
    box.hasSelection = false;
    box.selStart = box.selLength = 0;
}

void Select(BoxDisplay& box, std::uint32_t start, std::uint32_t length)
{
    box.hasSelection = true;
    box.selStart = start;
    box.selLength = length;
}

void DisableOperations(LineDisplay& display)
{
    display.button1Enabled = display.button2Enabled = display.checkEnabled = false;
}

// An action line: the record's key is checked on the first engine, and the buttons follow
// the record's kind and a pending single-step run. -1 when the check cannot run or the record
// is neither lock nor key.
int DescribeActionLine(KeyTree& tree, Node record, LineDisplay& display)
{
    int complete = 0;
    if (CheckKey(tree.engine[0], complete, tree, record) != 1)
        return -1;
    const bool computing = tree.collection.running || tree.keygen.busy;
    if (complete == 1 && !computing) {
        display.checkEnabled = true;
        display.button1Enabled = tree.step.pendingButton != 2;
        display.button2Enabled = tree.step.pendingButton != 1;
    } else {
        // Buttons left enabled by an earlier line would offer an operation on a key that the
        // check just refused, or start one beside a running computation.
        DisableOperations(display);
    }
    const std::int32_t kind = tree.book.Kind(record);
    if (kind == KindCode(ItemKind::Lock)) {
        display.button1Label = MORVANE_TR("Message", "加 密");
        display.button2Label = MORVANE_TR("Message", "签字后加密");
        display.checkLabel = MORVANE_TR("Message", "单步运算");
    } else if (kind == KindCode(ItemKind::Key)) {
        display.button1Label = MORVANE_TR("Message", "解 密");
        display.button2Enabled = false;
        display.checkEnabled = false;
    } else {
        return -1;
    }
    return 0;
}

// A detail line other than 37 and 42 shows the text it was cut from, with its own part
// selected: the record's output (armored text) for rows 39 to 41, the group's row 37 (the
// whole block) for the others. -1 when the line is not in a detail group.
int DescribeDetailLine(const Book& book, Node p, const std::string& v, BoxDisplay& box)
{
    const Node group = book.Parent(p);
    const std::int32_t groupKind = book.Kind(group);
    if (groupKind != KindCode(ItemKind::PreDetails) && groupKind != KindCode(ItemKind::PostDetails))
        return -1;
    std::uint64_t start = 0;
    Node c = book.FirstChild(group);
    if (book.Kind(c) == KindCode(ItemKind::MessageRow))
        c = book.NextSibling(c);
    for (; c && c != p; c = book.NextSibling(c))
        start += ValueOf(book, c).size();
    const std::int32_t kind = book.Kind(p);
    const bool armored = kind >= KindCode(ItemKind::SignFlagRow) && kind <= KindCode(ItemKind::PostTextRow);
    const Node referenceLine = armored ? FindChildByKind(book, book.Parent(group), ItemKind::OutputField)
                                       : FindChildByKind(book, group, ItemKind::BlockNumberRow);
    std::string reference = referenceLine ? ValueOf(book, referenceLine) : std::string();
    if (!v.empty() && start + v.size() <= reference.size() && reference.compare(start, v.size(), v) == 0) {
        ShowText(box, std::move(reference), false);
        Select(box, static_cast<std::uint32_t>(start), static_cast<std::uint32_t>(v.size()));
    } else {
        ShowText(box, v, false);
    }
    return 0;
}

// Row 42 shows the whole message in hexadecimal; the part that the shown block carried (row
// 36) is selected when it is there.
void DescribeMessageRow(const Book& book, Node p, const std::string& v, BoxDisplay& box)
{
    ShowText(box, v, false);
    std::uint32_t offset = 0, length = 0;
    if (BlockSpan(book, offset, length, p, 1) != 1)
        return;
    const std::uint64_t start = 2ull * offset, count = 2ull * length;
    const Node blockText = FindChildByKind(book, book.Parent(p), ItemKind::BlockTextRow);
    const std::string part = blockText ? ValueOf(book, blockText) : std::string();
    if (count > 0 && part.size() == count && start + count <= v.size() && v.compare(start, count, part) == 0)
        Select(box, static_cast<std::uint32_t>(start), static_cast<std::uint32_t>(count));
}

}  // namespace

int DescribeLine(KeyTree& tree, Node p, int columns, LineDisplay& display)
{
    Book& book = tree.book;
    if (!book.Valid(p))
        return 1;
    // Until this display succeeds no line is shown: a box must not write into the line shown
    // before it.
    tree.clickedItem = Node{};
    tree.clickedLineText = book.Text(p);
    display.button1Label = Phrase();
    display.button2Label = Phrase();
    display.checkLabel = Phrase();
    display.input.secret = display.output.secret = IsSecretLine(book, p);

    const std::int32_t kind = book.Kind(p);
    if (ItemClass(book, p) != 3) {
        tree.clickedLineLabel.clear();
        ShowText(display.input, tree.clickedLineText, true);
        display.input.visible = true;
        display.output.visible = false;
        display.selectorVisible = false;
        DisableOperations(display);
        return 0;
    }

    std::string v;
    if (!SplitFieldText(kind, book.Text(p), tree.clickedLineLabel, v))
        return -1;

    if (kind == KindCode(ItemKind::StrengthField)) {
        display.input.visible = display.output.visible = false;
        display.selectorVisible = true;
        const int index = StrengthIndex(v);
        if (index < 0)
            return -1;
        display.selectorIndex = index;
        return 0;
    }
    if (kind == KindCode(ItemKind::InputField)) {
        if (DescribeActionLine(tree, book.Parent(p), display) != 0)
            return -1;
    } else {
        DisableOperations(display);
    }

    display.selectorVisible = false;
    if (!IsKeyNumberLine(kind) && !IsDetailLine(kind)) {
        if (kind == KindCode(ItemKind::OutputField) && book.Kind(book.Parent(p)) == KindCode(ItemKind::Lock)) {
            // A lock's output is armored text; what is not stays as it is, so that it can be
            // seen and mended in the box.
            std::string framed = v;
            if (FrameArmoredText(framed, columns) == 1)
                v.swap(framed);
        }
        ShowText(display.input, std::move(v), true);
        // The part of the message carried by the block the detail rows show. A record without
        // detail rows has none to show.
        std::uint32_t offset = 0, length = 0;
        if (BlockSpan(book, offset, length, p, 2) == 1)
            Select(display.input, offset, length);
        display.input.enabled = kind != KindCode(ItemKind::DateField);
        display.input.visible = true;
        display.output.visible = false;
        return 0;
    }

    display.output.visible = true;
    display.input.visible = false;
    if (kind == KindCode(ItemKind::MessageRow)) {
        DescribeMessageRow(book, p, v, display.output);
        return 0;
    }
    if (IsDetailLine(kind) && kind != KindCode(ItemKind::BlockNumberRow))
        return DescribeDetailLine(book, p, v, display.output);
    ShowText(display.output, std::move(v), true);
    return 0;
}

}  // namespace morvane
