#include "message/Commands.h"

#include "book/BookFile.h"
#include "book/Collect.h"
#include "book/ContextMenu.h"
#include "book/Editing.h"
#include "book/RunFile.h"
#include "message/PublicKeyText.h"

namespace morvane {

WindowCommand RunMenuCommand(KeyTree& tree, int id)
{
    const Command* command = FindCommand(id);
    if (!command)
        return WindowCommand::None;
    if (command->window != WindowCommand::None)
        return command->window;
    if (RunEditCommand(tree, id))
        return WindowCommand::None;
    switch (id) {
    case kCmdNewBook: (void)NewBookCommand(tree); break;
    case kCmdOpenBook: (void)OpenBookCommand(tree); break;
    case kCmdSaveBook: (void)SaveBookCommand(tree); break;
    case kCmdSaveBookAs: (void)SaveBookAsCommand(tree); break;
    case kCmdLoginPassword: (void)ChangeLoginPassword(tree); break;
    case kCmdExportKey: ExportPublicKey(tree); break;
    case kCmdCollectRandom: (void)CollectRandomCommand(tree); break;
    default: break;
    }
    return WindowCommand::None;
}

Node ShortcutTarget(const KeyTree& tree, Node focus)
{
    const Node at = tree.Live(focus);
    return at ? at : tree.book.FirstRoot();
}

bool ShortcutAllowed(const KeyTree& tree, Node focus, int id)
{
    const auto menu = OfferedMenu(tree, ShortcutTarget(tree, focus));
    return menu && menu->Enabled(id);
}

bool AimShortcut(KeyTree& tree, Node focus, int id)
{
    if (!ShortcutAllowed(tree, focus, id))
        return false;
    const auto menu = OpenContextMenu(tree, ShortcutTarget(tree, focus));
    return menu && menu->Enabled(id);
}

}  // namespace morvane
