#include "book/ContextMenu.h"

#include <algorithm>

#include "book/CommandTable.h"
#include "book/Queries.h"
#include "platform/Text.h"

namespace morvane {

namespace {

// The menu's lines by command id; the labels and default states come from the command table.
constexpr int kLayout[] = {
    kCmdLoginPassword, kMenuSeparator,
    kCmdNewBook, kCmdOpenBook, kCmdSaveBook, kCmdSaveBookAs, kMenuSeparator,
    kCmdUndo, kCmdRedo, kMenuSeparator,
    kCmdFind, kCmdAdd,
    kMenuSubmenuBegin, kCmdSortType, kCmdSortName, kCmdSortStrength, kCmdSortDate, kMenuSubmenuEnd,
    kMenuSeparator,
    kCmdCut, kCmdCopy, kCmdPaste, kCmdDelete, kMenuSeparator,
    kCmdClearTraces, kMenuSeparator,
    kCmdCopyHere, kCmdCutHere, kMenuSeparator,
    kCmdExportKey, kCmdCollectRandom, kCmdGenerateKey, kCmdAbout,
};

constexpr int kBookGroup[] = {kCmdFind,     kCmdSortType, kCmdSortName, kCmdSortStrength, kCmdSortDate,
                              kCmdAdd,      kCmdPaste,    kCmdCopyHere, kCmdCutHere};
constexpr int kEditGroup[] = {kCmdCut, kCmdCopy, kCmdDelete};

// A command table label, whether the table holds it as text or as a marked source.
Phrase CommandLabel(Source source) { return source; }

template <std::size_t N>
void DisableAll(ContextMenuState& m, const int (&ids)[N])
{
    for (int id : ids)
        m.Disable(id);
}

}  // namespace

const std::vector<MenuLine>& ContextMenuLayout()
{
    static const std::vector<MenuLine> layout = [] {
        std::vector<MenuLine> v;
        for (int id : kLayout) {
            if (id == kMenuSubmenuBegin)
                v.push_back(MenuLine{id, MORVANE_TR("Book", "排    序"), true});
            else if (const Command* c = FindCommand(id))
                v.push_back(MenuLine{id, CommandLabel(c->source), c->enabledByDefault});
            else
                v.push_back(MenuLine{id, Phrase(), true});
        }
        return v;
    }();
    return layout;
}

ContextMenuState::ContextMenuState()
{
    for (const MenuLine& line : ContextMenuLayout())
        if (line.id > 0)
            enabled_.emplace_back(line.id, line.enabledByDefault);
    generateLabel = MORVANE_TR("Book", "生成密钥");
}

bool ContextMenuState::Enabled(int id) const
{
    for (const auto& [i, on] : enabled_)
        if (i == id)
            return on;
    return false;
}

void ContextMenuState::Enable(int id, bool on)
{
    for (auto& [i, state] : enabled_)
        if (i == id)
            state = on;
}

Phrase ContextMenuState::Label(int id) const
{
    if (id == kCmdGenerateKey)
        return generateLabel;
    for (const MenuLine& line : ContextMenuLayout())
        if (line.id == id)
            return line.label;
    return Phrase();
}

bool CanReceive(const KeyTree& tree, Node t)
{
    const Book& book = tree.book;
    if (!book.Valid(t))
        return false;
    if (t == tree.clickedItem || t == tree.markedParent)
        return false;
    for (Node a = t; a; a = book.Parent(a)) {
        if (book.Marked(a))
            return false;
        if (tree.transferList &&
            std::find(tree.transferList->begin(), tree.transferList->end(), a) != tree.transferList->end())
            return false;
    }
    return true;
}

ContextMenuState MenuRules(const KeyTree& tree, Node r)
{
    const Book& book = tree.book;
    ContextMenuState m;
    const std::int32_t k = book.Kind(r);
    const bool marked = book.Marked(r);
    const std::int32_t count = tree.markedCount;
    const bool listEmpty = !tree.transferList || tree.transferList->empty();
    const bool receive = CanReceive(tree, r);
    const bool generating = tree.keygen.busy;
    const bool collecting = tree.collection.running;

    if (k == KindCode(ItemKind::BookRoot)) {
        DisableAll(m, kEditGroup);
        if (listEmpty || !receive)
            m.Disable(kCmdPaste);
        if (marked || count == 0 || !receive) {
            m.Disable(kCmdCopyHere);
            m.Disable(kCmdCutHere);
        }
    } else if (k == KindCode(ItemKind::Directory)) {
        if (marked && count == 1) {
            m.Disable(kCmdCopyHere);
            m.Disable(kCmdCutHere);
            if (listEmpty || !receive)
                m.Disable(kCmdPaste);
        } else if (marked) {
            m.Disable(kCmdCopyHere);
            m.Disable(kCmdCutHere);
            DisableAll(m, kBookGroup);
        } else if (count != 0) {
            DisableAll(m, kEditGroup);
            if (listEmpty)
                m.Disable(kCmdPaste);
            if (!receive || r == tree.markedParent) {
                m.Disable(kCmdCopyHere);
                m.Disable(kCmdCutHere);
                m.Disable(kCmdPaste);
            }
        } else {
            m.Disable(kCmdCopyHere);
            m.Disable(kCmdCutHere);
            if (listEmpty || !receive)
                m.Disable(kCmdPaste);
        }
    } else if (ItemClass(book, r) == 3) {
        DisableAll(m, kBookGroup);
        DisableAll(m, kEditGroup);
        if (book.Kind(book.Parent(r)) == KindCode(ItemKind::Key) && !collecting && !generating)
            m.Enable(kCmdExportKey);
    } else {
        DisableAll(m, kBookGroup);
        if (!marked && count != 0)
            DisableAll(m, kEditGroup);
    }

    if (!tree.undo.CanUndo())
        m.Disable(kCmdUndo);
    if (!tree.undo.CanRedo())
        m.Disable(kCmdRedo);

    if (k == KindCode(ItemKind::Key)) {
        if (!generating)
            m.Enable(kCmdCollectRandom);
        if (tree.random.CollectedSamples() != 0 || generating)
            m.Enable(kCmdGenerateKey);
        if (generating)
            m.generateLabel = MORVANE_TR("Book", "停止生成");
        if (!collecting && !generating)
            m.Enable(kCmdExportKey);
    }
    return m;
}

std::optional<ContextMenuState> OfferedMenu(const KeyTree& tree, Node hit)
{
    // A generation turns the menus off, but its stop command lives in this menu: without
    // it a long generation could not be stopped.
    const bool generating = tree.keygen.busy;
    if (!tree.menusEnabled && !generating)
        return std::nullopt;
    if (!tree.book.Valid(hit))
        return std::nullopt;
    if (!generating)
        return MenuRules(tree, hit);
    // Everything else could change the book or the engines under the generation.
    ContextMenuState m;
    for (const MenuLine& line : ContextMenuLayout())
        if (line.id > 0)
            m.Disable(line.id);
    m.Enable(kCmdGenerateKey);
    m.Enable(kCmdAbout);
    m.generateLabel = MORVANE_TR("Book", "停止生成");
    return m;
}

std::optional<ContextMenuState> OpenContextMenu(KeyTree& tree, Node hit)
{
    if (!tree.menusEnabled && !tree.keygen.busy)
        return std::nullopt;
    hit = tree.Live(hit);
    tree.rightClickedItem = hit;
    if (!hit)
        return std::nullopt;
    tree.contextItem = hit;
    return OfferedMenu(tree, hit);
}

}  // namespace morvane
