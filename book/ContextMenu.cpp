#include "book/ContextMenu.h"

#include <algorithm>

#include "book/Queries.h"
#include "platform/Text.h"

namespace morvane {

namespace {

struct LayoutEntry {
    int id;
    const char* utf8;
    bool enabled;
};

constexpr LayoutEntry kLayout[] = {
    {kCmdLoginPassword, "设定软件登录密码", true},
    {kMenuSeparator, "", true},
    {kCmdNewBook, "新建密钥簿", true},
    {kCmdOpenBook, "打开密钥簿...", true},
    {kCmdSaveBook, "保存密钥簿", true},
    {kCmdSaveBookAs, "另存为...", true},
    {kMenuSeparator, "", true},
    {kCmdUndo, "UnDo", true},
    {kCmdRedo, "ReDo", true},
    {kMenuSeparator, "", true},
    {kCmdFind, "搜    索...", true},
    {kCmdAdd, "添    加...", true},
    {kMenuSubmenuBegin, "排    序", true},
    {kCmdSortType, "按类型", true},
    {kCmdSortName, "按名字", true},
    {kCmdSortStrength, "按强度", true},
    {kCmdSortDate, "按建立日期", true},
    {kMenuSubmenuEnd, "", true},
    {kMenuSeparator, "", true},
    {kCmdCut, "剪    切", true},
    {kCmdCopy, "复    制", true},
    {kCmdPaste, "粘    贴", true},
    {kCmdDelete, "删    除", true},
    {kMenuSeparator, "", true},
    {kCmdClearTraces, "清理前次计算痕迹", true},
    {kMenuSeparator, "", true},
    {kCmdCopyHere, "将选定项目复制至此", true},
    {kCmdCutHere, "将选定项目剪切至此", true},
    {kMenuSeparator, "", true},
    {kCmdExportKey, "输出公钥", false},
    {kCmdCollectRandom, "生成密钥的随机度", false},
    {kCmdGenerateKey, "生成密钥", false},
    {kCmdAbout, "关    于", true},
};

constexpr int kBookGroup[] = {kCmdFind,     kCmdSortType, kCmdSortName, kCmdSortStrength, kCmdSortDate,
                              kCmdAdd,      kCmdPaste,    kCmdCopyHere, kCmdCutHere};
constexpr int kEditGroup[] = {kCmdCut, kCmdCopy, kCmdDelete};

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
        for (const LayoutEntry& e : kLayout)
            v.push_back(MenuLine{e.id, Gbk(e.utf8), e.enabled});
        return v;
    }();
    return layout;
}

ContextMenuState::ContextMenuState()
{
    for (const MenuLine& line : ContextMenuLayout())
        if (line.id > 0)
            enabled_.emplace_back(line.id, line.enabledByDefault);
    generateLabel = Gbk("生成密钥");
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

std::string ContextMenuState::Label(int id) const
{
    if (id == kCmdGenerateKey)
        return generateLabel;
    for (const MenuLine& line : ContextMenuLayout())
        if (line.id == id)
            return line.label;
    return std::string();
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
            m.generateLabel = Gbk("停止生成");
        if (!collecting && !generating)
            m.Enable(kCmdExportKey);
    }
    return m;
}

std::optional<ContextMenuState> OpenContextMenu(KeyTree& tree, Node hit)
{
    // A generation turns the menus off, but its stop command lives in this menu: without
    // it a long generation could not be stopped.
    const bool generating = tree.keygen.busy;
    if (!tree.menusEnabled && !generating)
        return std::nullopt;
    hit = tree.Live(hit);
    tree.rightClickedItem = hit;
    if (!hit)
        return std::nullopt;
    tree.contextItem = hit;
    if (!generating)
        return MenuRules(tree, hit);
    // Everything else could change the book or the engines under the generation.
    ContextMenuState m;
    for (const MenuLine& line : ContextMenuLayout())
        if (line.id > 0)
            m.Disable(line.id);
    m.Enable(kCmdGenerateKey);
    m.Enable(kCmdAbout);
    m.generateLabel = Gbk("停止生成");
    return m;
}

}  // namespace morvane
