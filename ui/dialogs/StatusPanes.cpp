#include "ui/dialogs/StatusPanes.h"

#include <QLabel>
#include <QStatusBar>

namespace morvane {

QStatusBar* MakeStatusPanes(QWidget* parent, QLabel*& first)
{
    auto* bar = new QStatusBar(parent);
    bar->setSizeGripEnabled(false);
    const int indent = bar->fontMetrics().averageCharWidth() / 2;
    const auto pane = [&] {
        auto* label = new QLabel(bar);
        label->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
        label->setIndent(indent);
        // A long status never widens the dialog.
        label->setMinimumWidth(1);
        return label;
    };
    first = pane();
    first->setObjectName(QStringLiteral("statusPane"));
    QLabel* second = pane();
    bar->addWidget(first, 3);
    bar->addWidget(second, 1);
    return bar;
}

}  // namespace morvane
