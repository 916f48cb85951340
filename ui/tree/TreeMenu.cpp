#include "ui/tree/TreeMenu.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>

#include "book/CommandTable.h"
#include "book/ContextMenu.h"
#include "book/KeyTree.h"
#include "message/Commands.h"
#include "ui/common/QtText.h"

namespace morvane {

QList<QKeySequence> CommandShortcuts(int id)
{
    QList<QKeySequence> keys;
    if (const Command* c = FindCommand(id))
        for (const std::string& k : c->keys)
            keys.append(QKeySequence(QString::fromStdString(k), QKeySequence::PortableText));
    return keys;
}

bool WindowWideShortcut(int id)
{
    const Command* c = FindCommand(id);
    return c && c->windowWide;
}

TreeActions::TreeActions(KeyTree& tree, QWidget* window, QWidget* treeView)
    : QObject(window), tree_(tree), window_(window), treeView_(treeView)
{
    setObjectName(QStringLiteral("treeActions"));
    for (const Command& c : CommandTable()) {
        auto* a = new QAction(Tr(c.source), window);
        a->setObjectName(QString::fromLatin1(c.name));
        a->setData(c.id);
        a->setShortcuts(CommandShortcuts(c.id));
        a->setShortcutContext(c.windowWide ? Qt::WindowShortcut : Qt::WidgetShortcut);
        a->setShortcutVisibleInContextMenu(true);
        (c.windowWide ? window : treeView)->addAction(a);
        const int id = c.id;
        connect(a, &QAction::triggered, this, [this, id] { Triggered(id); });
        actions_.emplace_back(c.id, a);
    }
    // Before the window's shortcuts are matched to a key, their states follow the focus line;
    // between keys they follow the book, so that a tool reading them sees the menu's rules.
    qApp->installEventFilter(this);
    refreshTimer_.setSingleShot(true);
    refreshTimer_.setInterval(0);
    connect(&refreshTimer_, &QTimer::timeout, this, [this] {
        if (!menu_)
            Refresh();
    });
    tree_.book.AddObserver(this);
    Refresh();
}

TreeActions::~TreeActions()
{
    tree_.book.RemoveObserver(this);
}

void TreeActions::RefreshSoon()
{
    refreshTimer_.start();
}

TreeActions* TreeActions::Of(const QWidget* w)
{
    QWidget* top = w ? w->window() : nullptr;
    return top ? top->findChild<TreeActions*>(QStringLiteral("treeActions"), Qt::FindDirectChildrenOnly) : nullptr;
}

QAction* TreeActions::Action(int id) const
{
    for (const auto& [i, a] : actions_)
        if (i == id)
            return a;
    return nullptr;
}

void TreeActions::Apply(const std::optional<ContextMenuState>& state)
{
    for (const auto& [id, a] : actions_) {
        a->setEnabled(state && state->Enabled(id));
        if (id == kCmdGenerateKey)
            a->setText(Tr(state ? state->Label(id) : ContextMenuState().Label(id)));
    }
}

void TreeActions::Refresh()
{
    Apply(OfferedMenu(tree_, ShortcutTarget(tree_, tree_.book.Selected())));
}

void TreeActions::Triggered(int id)
{
    // From the open context menu: the menu has made its item the context item. From a key,
    // an accessibility tool or a test: the focus line, where its menu offers the command.
    if (!menu_ && !AimShortcut(tree_, tree_.book.Selected(), id)) {
        QApplication::beep();
        Refresh();
        return;
    }
    Q_EMIT commandTriggered(id);
    RefreshSoon();
}

QAction* TreeActions::Match(const QKeyEvent& event, bool treeHasFocus) const
{
    const QKeySequence pressed(event.keyCombination());
    for (const auto& [id, a] : actions_) {
        if (!treeHasFocus && a->shortcutContext() != Qt::WindowShortcut)
            continue;
        for (const QKeySequence& k : a->shortcuts())
            if (k == pressed)
                return a;
    }
    return nullptr;
}

bool TreeActions::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::ShortcutOverride && type != QEvent::KeyPress && type != QEvent::MouseButtonRelease &&
        type != QEvent::KeyRelease)
        return false;
    auto* w = qobject_cast<QWidget*>(watched);
    if (!w || w->window() != window_)
        return false;
    if (type == QEvent::MouseButtonRelease || type == QEvent::KeyRelease) {
        // The rules read state no notification reports (the undo queue, the generation).
        RefreshSoon();
        return false;
    }
    if (QApplication::activePopupWidget())
        return false;
    const auto& key = static_cast<const QKeyEvent&>(*event);
    QAction* a = Match(key, w == treeView_);
    if (!a)
        return false;
    if (type == QEvent::ShortcutOverride) {
        // The rules on the focus line as they are now, without opening the menu.
        if (!menu_)
            Refresh();
        return false;
    }
    // A command's key that its rules refuse here: not the view's own use of it.
    if (!a->isEnabled()) {
        QApplication::beep();
        return true;
    }
    return false;
}

std::unique_ptr<QMenu> BuildTreeMenu(const ContextMenuState& state, QWidget* parent)
{
    auto menu = std::make_unique<QMenu>(parent);
    TreeActions* shared = TreeActions::Of(parent);
    if (shared) {
        shared->Apply(state);
        shared->MenuOpened(menu.get());
        // Closed without a choice, the actions follow the focus line again.
        QObject::connect(menu.get(), &QObject::destroyed, shared, &TreeActions::RefreshSoon);
    }
    QMenu* into = menu.get();
    for (const MenuLine& line : ContextMenuLayout()) {
        if (line.id == kMenuSeparator) {
            into->addSeparator();
        } else if (line.id == kMenuSubmenuBegin) {
            into = into->addMenu(Tr(line.label));
        } else if (line.id == kMenuSubmenuEnd) {
            into = menu.get();
        } else if (QAction* a = shared ? shared->Action(line.id) : nullptr) {
            into->addAction(a);
        } else {
            QAction* own = into->addAction(Tr(state.Label(line.id)));
            own->setData(line.id);
            own->setEnabled(state.Enabled(line.id));
            const QList<QKeySequence> keys = CommandShortcuts(line.id);
            // Shown only: the window's own actions carry the working shortcuts.
            if (!keys.isEmpty())
                own->setShortcut(keys.first());
            own->setShortcutVisibleInContextMenu(true);
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
