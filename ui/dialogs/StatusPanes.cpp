#include "ui/dialogs/StatusPanes.h"

#include <QLabel>
#include <QStatusBar>

namespace morvane {

QStatusBar* MakeStatusPanes(QWidget* parent, QLabel*& first)
{
    auto* bar = new QStatusBar(parent);
    bar->setSizeGripEnabled(false);
    first = new QLabel(bar);
    first->setObjectName(QStringLiteral("statusPane"));
    // A long status never widens the dialog.
    first->setMinimumWidth(1);
    auto* second = new QLabel(bar);
    second->setMinimumWidth(1);
    bar->addWidget(first, 3);
    bar->addWidget(second, 1);
    return bar;
}

}  // namespace morvane
