#include "book/Collect.h"

#include <cstdint>

#include "book/Marking.h"
#include "platform/Text.h"

namespace morvane {

bool CollectRandomCommand(KeyTree& tree)
{
    if (!ConfirmCollection(tree))
        return false;
    BeginCollection(tree);
    return true;
}

bool ConfirmCollection(KeyTree& tree)
{
    // A second collection would restart the pool under the running one, and the pool must
    // not change under a running key generation.
    if (!tree.desktop || tree.collection.running || tree.keygen.busy)
        return false;
    const Node item = tree.Live(tree.rightClickedItem);
    if (item) {
        DisplayLine(tree, item);
        tree.book.Expand(item, true);
    }
    return Tell(*tree.desktop, MORVANE_TR("Book", "用几分钟在屏幕上移动鼠标产生随机数, 继续吗?"), MsgIcon::Question,
                MsgButtons::OkCancel) == MsgAnswer::Ok;
}

void BeginCollection(KeyTree& tree)
{
    tree.menusEnabled = false;
    // A failed load has told the user; the collection then stirs the pool held in memory.
    (void)tree.random.LoadSeed();
    tree.random.ResetSamples();
    tree.collection.running = true;
    tree.collection.finishing = false;
    if (tree.view) {
        tree.view->ActivityChanged(kActivityRandom);
        tree.view->StartCollectionTimer();
    }
}

bool CollectTick(KeyTree& tree)
{
    CollectionState& c = tree.collection;
    // A message box pumps timer ticks too: ignore them while the end is being reported.
    if (!c.running || c.finishing || !tree.desktop)
        return false;
    const ScreenPoint p = tree.desktop->CursorPos();
    if (!(p == c.lastCursor)) {
        tree.random.Stir((static_cast<std::uint32_t>(p.x) << 16) | static_cast<std::uint32_t>(p.y));
        if (tree.view)
            tree.view->ProgressChanged(tree.random.CollectedSamples() * 100 / kCollectionSamples);
        c.lastCursor = p;
    }
    if (tree.random.CollectedSamples() * 100 / kCollectionSamples < 100)
        return false;

    c.finishing = true;
    if (tree.view)
        tree.view->StopCollectionTimer();
    Tell(*tree.desktop, MORVANE_TR("Book", "完成密钥随机化"), MsgIcon::Information, MsgButtons::Ok);
    if (tree.view)
        tree.view->ActivityChanged(kActivityIdle);
    // A failed record has told the user; the stirred pool stays in memory and is saved at exit.
    (void)tree.random.RecordCollection();
    c.running = false;
    c.finishing = false;
    tree.menusEnabled = true;
    return true;
}

}  // namespace morvane
