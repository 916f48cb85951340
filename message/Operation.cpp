#include "message/Operation.h"

#include "book/KeyTree.h"
#include "book/Marking.h"
#include "book/Queries.h"
#include "message/Protect.h"
#include "message/SingleStep.h"
#include "message/TextCheck.h"

namespace morvane {

namespace {

// A text pasted into the input box can hold control characters, which the receiver would
// refuse to show as text: such a text is not encrypted. True when it was refused.
bool RefusedInput(KeyTree& tree, Node lock)
{
    FieldLine input;
    if (GetField(tree.book, lock, KindCode(ItemKind::InputField), input) != 1 || IsProgramText(input.value))
        return false;
    if (tree.desktop)
        Tell(*tree.desktop, MORVANE_TR("Message", "输入含有控制字符或 GBK 以外的字符, 不能加密!"),
             MsgIcon::Information);
    RedisplayLine(tree, tree.Live(tree.clickedItem));
    return true;
}

}  // namespace

OperationButtons ToggleSingleStep(KeyTree& tree)
{
    tree.singleStep = !tree.singleStep;
    if (tree.singleStep && tree.step.pendingButton == 1)
        return {true, false};
    if (tree.singleStep && tree.step.pendingButton == 2)
        return {false, true};
    return {true, true};
}

int RunOperation(KeyTree& tree, int sign)
{
    const Node record = tree.Live(tree.markedParent);
    if (!record)
        return -1;
    int result = 0;
    const bool lock = tree.book.Kind(record) == KindCode(ItemKind::Lock);
    // A single-step press that goes on with a run encrypts the text its first press took.
    const bool continuing = tree.singleStep && tree.step.active && !tree.step.sessionFirst && tree.step.lock == record;
    if (lock && !continuing && RefusedInput(tree, record))
        return 1;
    if (tree.singleStep && lock)
        return StepCommand(tree, record, sign, result);
    return ProtectRecord(tree, record, sign, result);
}

}  // namespace morvane
