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
    case kCmdFind: return WindowCommand::Find;
    case kCmdAdd: return WindowCommand::Add;
    case kCmdAbout: return WindowCommand::About;
    case kCmdGenerateKey: return WindowCommand::GenerateKey;
    default: break;
    }
    return WindowCommand::None;
}

bool ShortcutAllowed(KeyTree& tree, Node focus, int id)
{
    Node at = tree.Live(focus);
    if (!at)
        at = tree.book.FirstRoot();
    const auto menu = OpenContextMenu(tree, at);
    return menu && menu->Enabled(id);
}

}  // namespace morvane
