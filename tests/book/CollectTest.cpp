// The random collection command: confirmation, ticks that stir only on a moved cursor, and the
// end after 399 samples with the main window's timer, mode and progress followed.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <vector>

#include "book/Collect.h"
#include "book/Records.h"
#include "platform/Text.h"
#include "support/LcgSource.h"
#include "support/RecordingView.h"
#include "support/ScriptedDesktop.h"
#include "support/TempDataHome.h"

using namespace morvane;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Raw(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::uint32_t Le32(const Bytes& b, std::size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | std::uint32_t(b[at + 3]) << 24;
}

std::array<std::uint8_t, kPoolSize> Filled(std::uint8_t v)
{
    std::array<std::uint8_t, kPoolSize> p;
    p.fill(v);
    return p;
}

// A key tree with a scripted desktop and a recording main window, a login password, a
// reproducible pool source and its seed file in a temporary program folder; one key record
// is the right-clicked item.
struct Rig {
    TempDataHome home;
    ScriptedDesktop desktop;
    RecordingView view;
    LcgSource source{12345};
    KeyTree tree{&desktop};
    Node key;
    Rig()
    {
        tree.view = &view;
        tree.loginPassword = Gbk("登录密码");
        tree.random.SetSource(&source);
        tree.random.SetSeedPath(CRandom::DefaultSeedPath());
        Node root = tree.book.Insert(Node{}, ItemKind::BookRoot, Gbk("书"));
        key = AddRecord(tree.book, root, KindCode(ItemKind::Key), Gbk("我的"), 0);
        tree.rightClickedItem = key;
    }
    CRandom& random() { return tree.random; }
    const std::string& Path() { return tree.random.SeedPath(); }
};

}  // namespace

TEST(RandomCollection, TicksStirOnlyWhenTheCursorMoves)
{
    Rig rig;
    ASSERT_EQ(rig.random().LoadSeed(), 1);

    rig.desktop.answers.push_back(MsgAnswer::Cancel);
    EXPECT_FALSE(ConfirmCollection(rig.tree));
    EXPECT_EQ(rig.desktop.LastMessage(), "用几分钟在屏幕上移动鼠标产生随机数, 继续吗?");
    EXPECT_EQ(rig.desktop.messages.back().buttons, MsgButtons::OkCancel);
    EXPECT_EQ(rig.desktop.messages.back().icon, MsgIcon::Question);
    // The right-clicked item was shown, selected and expanded before the question.
    EXPECT_EQ(rig.view.shownLines, std::vector<Node>{rig.key});
    EXPECT_EQ(rig.tree.book.Selected(), rig.key);
    EXPECT_TRUE(rig.tree.book.Expanded(rig.key));
    EXPECT_TRUE(ConfirmCollection(rig.tree));
    EXPECT_FALSE(rig.tree.collection.running);
    EXPECT_EQ(rig.view.timerStarts, 0);

    // Ticks outside a collection do nothing.
    rig.desktop.cursor = {10, 10};
    EXPECT_FALSE(CollectTick(rig.tree));
    EXPECT_EQ(rig.random().StirCount(), 0);

    rig.random().SetPool(Filled(1));  // the collection restarts from the stored pool
    rig.random().Stir(9);
    BeginCollection(rig.tree);
    EXPECT_FALSE(rig.tree.menusEnabled);
    EXPECT_TRUE(rig.tree.collection.running);
    EXPECT_EQ(rig.random().CollectedSamples(), 0);
    EXPECT_NE(rig.random().Pool(), Filled(1));
    EXPECT_EQ(rig.view.activities, std::vector<ActivityMode>{kActivityRandom});
    EXPECT_EQ(rig.view.timerStarts, 1);

    // No second collection under a running one.
    const std::size_t messages = rig.desktop.messages.size();
    EXPECT_FALSE(ConfirmCollection(rig.tree));
    EXPECT_EQ(rig.desktop.messages.size(), messages);

    const auto pool = rig.random().Pool();
    const std::int32_t count = rig.random().StirCount();
    rig.desktop.cursor = {300, 200};
    EXPECT_FALSE(CollectTick(rig.tree));  // moved from the last seen position
    EXPECT_EQ(rig.random().CollectedSamples(), 1);
    const auto afterMove = rig.random().Pool();
    EXPECT_NE(afterMove, pool);
    const std::size_t reports = rig.view.progress.size();
    for (int i = 0; i < 50; ++i)
        EXPECT_FALSE(CollectTick(rig.tree));
    EXPECT_EQ(rig.random().Pool(), afterMove);
    EXPECT_EQ(rig.random().StirCount(), count + 1);
    EXPECT_EQ(rig.view.progress.size(), reports);

    // Only one coordinate changing is a move too.
    rig.desktop.cursor.y = 201;
    EXPECT_FALSE(CollectTick(rig.tree));
    EXPECT_EQ(rig.random().CollectedSamples(), 2);
}

TEST(RandomCollection, ThreeHundredNinetyNineMovesComplete)
{
    Rig rig;
    ASSERT_EQ(rig.random().LoadSeed(), 1);
    bool reentered = false;
    // A tick that arrives while the end is being handled must do nothing.
    rig.view.onStopTimer = [&] { reentered = CollectTick(rig.tree); };
    ASSERT_TRUE(CollectRandomCommand(rig.tree));
    EXPECT_TRUE(rig.view.timerRunning);
    const Bytes before = Raw(rig.Path());

    for (int i = 1; i <= 398; ++i) {
        rig.desktop.cursorPath.push_back({i, 1000 - i});
        rig.desktop.cursorPath.push_back({i, 1000 - i});  // a tick without a move
    }
    for (int tick = 0; tick < 2 * 398; ++tick)
        ASSERT_FALSE(CollectTick(rig.tree)) << tick;
    EXPECT_EQ(rig.random().CollectedSamples(), 398);
    EXPECT_EQ(rig.view.progress.back(), 398 * 100 / 399);
    EXPECT_EQ(rig.view.timerStops, 0);
    EXPECT_TRUE(rig.tree.collection.running);
    EXPECT_FALSE(rig.tree.menusEnabled);

    rig.desktop.cursor = {399, 601};
    EXPECT_TRUE(CollectTick(rig.tree));
    EXPECT_EQ(rig.view.timerStops, 1);
    EXPECT_FALSE(rig.view.timerRunning);
    EXPECT_FALSE(reentered);
    EXPECT_EQ(rig.view.progress.size(), 399u);
    EXPECT_EQ(rig.view.progress.front(), 0);
    EXPECT_EQ(rig.view.progress.back(), 100);
    EXPECT_EQ(rig.desktop.LastMessage(), "完成密钥随机化");
    EXPECT_EQ(rig.desktop.messages.back().icon, MsgIcon::Information);
    EXPECT_EQ(rig.view.activities, (std::vector<ActivityMode>{kActivityRandom, kActivityIdle}));
    EXPECT_FALSE(rig.tree.collection.running);
    EXPECT_TRUE(rig.tree.menusEnabled);

    // The end is recorded in the seed file, which still loads and holds the stirred pool.
    const Bytes after = Raw(rig.Path());
    EXPECT_NE(after, before);
    EXPECT_EQ(Le32(after, 0), 399u);
    const auto pool = rig.random().Pool();
    rig.random().SetPool(Filled(0));
    ASSERT_EQ(rig.random().LoadSeed(), 1);
    EXPECT_EQ(rig.random().Pool(), pool);

    // Further ticks do nothing.
    rig.desktop.cursor = {1, 1};
    EXPECT_FALSE(CollectTick(rig.tree));
    EXPECT_EQ(rig.view.timerStops, 1);
}
