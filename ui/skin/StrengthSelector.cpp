#include "ui/skin/StrengthSelector.h"

#include <QSignalBlocker>

#include "message/Boxes.h"
#include "message/LineDisplay.h"
#include "ui/common/QtText.h"
#include "ui/skin/Fonts.h"

namespace morvane {

StrengthSelector::StrengthSelector(KeyTree& tree, QWidget* parent) : QComboBox(parent), tree_(tree)
{
    setObjectName(QStringLiteral("strengthSelector"));
    setFont(skin::StandardFont(15));
    for (int i = 0; i < kStrengthEntries; ++i)
        addItem(Tr(StrengthChoice(i)));
    // Each pick counts, the same entry again included: it rewrites the line.
    connect(this, &QComboBox::activated, this, &StrengthSelector::Picked);
}

void StrengthSelector::ShowEntry(int index)
{
    const QSignalBlocker block(this);
    setCurrentIndex(index);
}

void StrengthSelector::Apply(bool visible, int index)
{
    if (visible && index >= 0 && index < kStrengthEntries) {
        remembered_ = index;
        ShowEntry(index);
    }
    setVisible(visible);
}

void StrengthSelector::Picked(int index)
{
    switch (ChangeStrength(tree_, index, remembered_)) {
    case StrengthChange::Written:
        remembered_ = index;
        Q_EMIT lineChanged();
        break;
    case StrengthChange::Cancelled:
    case StrengthChange::Unchanged:
    case StrengthChange::Ignored:
        // The line was left as it was; so is the entry that shows it.
        ShowEntry(remembered_);
        break;
    }
}

}  // namespace morvane
