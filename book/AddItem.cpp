#include "book/AddItem.h"

#include "book/Marking.h"
#include "book/Queries.h"
#include "book/Records.h"
#include "platform/Text.h"

namespace morvane {

std::int32_t KindOfMask(unsigned mask)
{
    switch (mask) {
    case kMaskDirectory: return KindCode(ItemKind::Directory);
    case kMaskKey: return KindCode(ItemKind::Key);
    case kMaskLock: return KindCode(ItemKind::Lock);
    default: return 0;
    }
}

AddItemForm::AddItemForm()
{
    name = Gbk(kNameHint.text);
    status = MORVANE_TR("Book", "就绪");
}

void AddItemForm::FocusName(const KeyTree& tree)
{
    if (typingStarted)
        return;
    name.clear();
    typingStarted = true;
    Check(tree);
}

void AddItemForm::SetName(const KeyTree& tree, std::string_view text)
{
    name.assign(text);
    Check(tree);
}

void AddItemForm::ChooseKind(const KeyTree& tree, unsigned mask)
{
    kindMask = mask;
    Check(tree);
}

void AddItemForm::Check(const KeyTree& tree)
{
    const Node parent = tree.Live(tree.rightClickedItem);
    nameTaken = parent && !FindChildByName(tree.book, parent, name, kindMask).IsNone();
    if (nameTaken) {
        okEnabled = false;
        status = MORVANE_TR("Book", "重名, 不能使用!");
    } else if (typingStarted) {
        okEnabled = !name.empty() && KindOfMask(kindMask) != 0;
        status = okEnabled ? Phrase(MORVANE_TR("Book", "名字可以使用!")) : Phrase();
    }
}

Phrase AddItemForm::ShownName() const
{
    // A name set before typing started (none in the dialog) is shown as it is.
    return !typingStarted && name == Gbk(kNameHint.text) ? Phrase(kNameHint) : Phrase::Plain(name);
}

AddItemForm::FieldLook AddItemForm::Look() const
{
    if (nameTaken)
        return FieldLook::Taken;
    return typingStarted ? FieldLook::Normal : FieldLook::Hint;
}

Node AddItemForm::Accept(KeyTree& tree)
{
    Check(tree);
    Book& book = tree.book;
    const Node parent = tree.Live(tree.rightClickedItem);
    const std::int32_t kind = KindOfMask(kindMask);
    const std::int32_t parentKind = book.Kind(parent);
    if (!okEnabled || !parent || kind == 0 ||
        (parentKind != KindCode(ItemKind::BookRoot) && parentKind != KindCode(ItemKind::Directory)))
        return Node{};

    const std::time_t now = tree.desktop ? tree.desktop->Now() : std::time(nullptr);
    const Node item = kind == KindCode(ItemKind::Directory) ? book.Insert(parent, kind, name)
                                                            : AddRecord(book, parent, kind, name, now);
    if (!item)
        return Node{};
    // The new item is the selection now, alone.
    UnmarkSelection(tree);
    Unmark(book, parent);
    book.SetFlags(item, book.Flags(item) | kFlagMarked);
    tree.markedCount = 1;
    tree.markedParent = parent;
    book.Expand(parent, true);
    tree.undo.Push();
    return item;
}

}  // namespace morvane
