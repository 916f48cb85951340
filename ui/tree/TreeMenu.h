// The key tree's commands as Qt actions: one persistent QAction per command of the command
// table, named after it, carrying its keys; the context menu shows the same actions.
#pragma once

#include <QKeySequence>
#include <QList>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "book/Book.h"

class QAction;
class QKeyEvent;
class QWidget;

namespace morvane {

class ContextMenuState;
class KeyTree;

// The window's command actions. Each is a child of the window, named by the table (for
// example "saveBook"); the window-wide ones are added to the window, the editing ones to the
// tree view alone, so that their keys stay with the text boxes elsewhere.
class TreeActions : public QObject, private BookObserver {
    Q_OBJECT
public:
    TreeActions(KeyTree& tree, QWidget* window, QWidget* treeView);
    ~TreeActions() override;

    QAction* Action(int id) const;
    // Enabled states and the key generation label from the menu rules on the line a shortcut
    // works on (the focus line); the tree does not change.
    void Refresh();
    // The same from a menu's state (all off for none).
    void Apply(const std::optional<ContextMenuState>& state);
    // Refresh at the next turn of the event loop; many changes make one refresh.
    void RefreshSoon();
    // The context menu about to show with these actions: while it lives, a triggered action
    // acts on the menu's item instead of the focus line.
    void MenuOpened(QMenu* menu) { menu_ = menu; }

    // The actions of a widget's window, when it has them.
    static TreeActions* Of(const QWidget* w);

Q_SIGNALS:
    // Run command id on the context item (the menu's item, or the focus line it was aimed at).
    void commandTriggered(int id);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void RowsInserted(Node, int, int) override { RefreshSoon(); }
    void RowsRemoved(Node, int, int) override { RefreshSoon(); }
    void BookReset() override { RefreshSoon(); }
    void FlagsChanged(Node, std::uint32_t, std::uint32_t) override { RefreshSoon(); }
    void SelectionChanged(Node) override { RefreshSoon(); }

    void Triggered(int id);
    QAction* Match(const QKeyEvent& event, bool treeHasFocus) const;

    KeyTree& tree_;
    QWidget* window_;
    QWidget* treeView_;
    std::vector<std::pair<int, QAction*>> actions_;
    QPointer<QMenu> menu_;
    QTimer refreshTimer_;
};

// The popup for an opened menu: every line of the layout, disabled where the state says, the
// key generation line under its current label. Uses the window's actions where parent's
// window has them, else actions of its own; each action's data() is its command id.
std::unique_ptr<QMenu> BuildTreeMenu(const ContextMenuState& state, QWidget* parent);

// The keys of a command (the first is shown in the menu); empty when it has none.
QList<QKeySequence> CommandShortcuts(int id);
// Whether a command's shortcut works anywhere in the window; the others (the editing
// commands, whose keys the text boxes use for their own text) only while the tree has the focus.
bool WindowWideShortcut(int id);

}  // namespace morvane
