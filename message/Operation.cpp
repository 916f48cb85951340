#include "message/Operation.h"

#include "book/KeyTree.h"
#include "message/Protect.h"
#include "message/SingleStep.h"

namespace morvane {

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
    if (tree.singleStep && tree.book.Kind(record) == KindCode(ItemKind::Lock))
        return StepCommand(tree, record, sign, result);
    return ProtectRecord(tree, record, sign, result);
}

}  // namespace morvane
