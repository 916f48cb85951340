// Placeholder until the selector lands: shows the entries only.
#include "ui/skin/StrengthSelector.h"

#include "ui/common/QtText.h"

namespace morvane {

StrengthSelector::StrengthSelector(KeyTree& tree, QWidget* parent) : QComboBox(parent), tree_(tree)
{
    for (const char* e : {"弱    512 Bits", "中   1024 Bits", "强   2048 Bits", "超强 4096 Bits"})
        addItem(QString::fromUtf8(e));
}

void StrengthSelector::Apply(bool visible, int index)
{
    remembered_ = index;
    setCurrentIndex(index);
    setVisible(visible);
}

}  // namespace morvane
