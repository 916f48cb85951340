// The random collection command of the key tree ("生成密钥的随机度"): the user moves the mouse
// for a while, and every new cursor position seen by the main window's 10 ms timer stirs the
// tree's random pool, until 399 samples complete the collection and are recorded in the seed
// file. While it runs the tree's menus are off and the main window shows its random mode.
#pragma once

#include "book/KeyTree.h"

namespace morvane {

// Samples for a complete collection; progress is samples * 100 / 399 percent.
constexpr int kCollectionSamples = 399;

// The command: ConfirmCollection, then BeginCollection on OK. True when a collection started.
[[nodiscard]] bool CollectRandomCommand(KeyTree& tree);

// Runs the selection display for the right-clicked item, expands it and asks
// "用几分钟在屏幕上移动鼠标产生随机数, 继续吗?". True on OK; false without a question while a
// collection or a key generation runs, or without a desktop.
[[nodiscard]] bool ConfirmCollection(KeyTree& tree);

// Turns the tree's menus off, reloads the pool from the seed file, resets the samples, marks
// the collection running, switches the main window to its random mode and starts its timer.
void BeginCollection(KeyTree& tree);

// One timer tick: a cursor that moved since the previous tick stirs the pool with
// (x << 16) | y and reports the progress. The 399th sample ends the collection: the timer is
// stopped, "完成密钥随机化" shown, the window returned to idle, the collection recorded in the
// seed file and the menus turned on again; the result is then true. Ticks while no collection
// runs, or while its end is being reported, do nothing and give false.
bool CollectTick(KeyTree& tree);

}  // namespace morvane
