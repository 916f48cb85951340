#include "ui/tree/TreeMenu.h"

#include <QMenu>

#include "book/ContextMenu.h"
#include "ui/common/QtText.h"

namespace morvane {

QList<QKeySequence> CommandShortcuts(int id)
{
    switch (id) {
    case kCmdCopy: return QKeySequence::keyBindings(QKeySequence::Copy);
    case kCmdCut: return QKeySequence::keyBindings(QKeySequence::Cut);
    case kCmdPaste: return QKeySequence::keyBindings(QKeySequence::Paste);
    case kCmdDelete: return {QKeySequence(Qt::Key_Delete)};
    case kCmdUndo: return {QKeySequence(Qt::CTRL | Qt::Key_Z)};
    case kCmdRedo: return {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)};
    case kCmdFind: return {QKeySequence(Qt::CTRL | Qt::Key_F)};
    case kCmdAdd: return {QKeySequence(Qt::Key_Insert)};
    case kCmdNewBook: return {QKeySequence(Qt::CTRL | Qt::Key_N)};
    case kCmdOpenBook: return {QKeySequence(Qt::CTRL | Qt::Key_O)};
    case kCmdSaveBook: return {QKeySequence(Qt::CTRL | Qt::Key_S)};
    case kCmdSaveBookAs: return {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)};
    default: return {};
    }
}

bool WindowWideShortcut(int id)
{
    return id == kCmdFind || id == kCmdNewBook || id == kCmdOpenBook || id == kCmdSaveBook || id == kCmdSaveBookAs;
}

std::unique_ptr<QMenu> BuildTreeMenu(const ContextMenuState& state, QWidget* parent)
{
    auto menu = std::make_unique<QMenu>(parent);
    QMenu* into = menu.get();
    for (const MenuLine& line : ContextMenuLayout()) {
        if (line.id == kMenuSeparator) {
            into->addSeparator();
        } else if (line.id == kMenuSubmenuBegin) {
            into = into->addMenu(ToQt(line.label));
        } else if (line.id == kMenuSubmenuEnd) {
            into = menu.get();
        } else {
            QAction* a = into->addAction(ToQt(state.Label(line.id)));
            a->setData(line.id);
            a->setEnabled(state.Enabled(line.id));
            const QList<QKeySequence> keys = CommandShortcuts(line.id);
            // Shown only: the window's own actions carry the working shortcuts.
            if (!keys.isEmpty())
                a->setShortcut(keys.first());
            a->setShortcutVisibleInContextMenu(true);
        }
    }
    // A submenu whose commands are all off is greyed as a whole.
    for (QAction* a : menu->actions())
        if (QMenu* sub = a->menu()) {
            bool any = false;
            for (QAction* s : sub->actions())
                any = any || s->isEnabled();
            a->setEnabled(any);
        }
    return menu;
}

}  // namespace morvane
