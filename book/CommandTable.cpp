#include "book/CommandTable.h"

#include "platform/Text.h"

namespace morvane {

namespace {

struct Entry {
    int id;
    const char* name;
    Source label;
    std::vector<std::string> keys;
    bool windowWide;
    bool enabled;
    WindowCommand window;
};

using W = WindowCommand;

// The editing keys are those of the usual X11 key bindings (QKeySequence::Copy and so on).
const Entry kEntries[] = {
    {kCmdLoginPassword, "loginPassword", MORVANE_TR("Menu", "设定软件登录密码"), {}, false, true, W::None},
    {kCmdNewBook, "newBook", MORVANE_TR("Menu", "新建密钥簿"), {"Ctrl+N"}, true, true, W::None},
    {kCmdOpenBook, "openBook", MORVANE_TR("Menu", "打开密钥簿..."), {"Ctrl+O"}, true, true, W::None},
    {kCmdSaveBook, "saveBook", MORVANE_TR("Menu", "保存密钥簿"), {"Ctrl+S"}, true, true, W::None},
    {kCmdSaveBookAs, "saveBookAs", MORVANE_TR("Menu", "另存为..."), {"Ctrl+Shift+S"}, true, true, W::None},
    {kCmdUndo, "undo", MORVANE_TR("Menu", "UnDo"), {"Ctrl+Z"}, false, true, W::None},
    {kCmdRedo, "redo", MORVANE_TR("Menu", "ReDo"), {"Ctrl+Y", "Ctrl+Shift+Z"}, false, true, W::None},
    {kCmdFind, "find", MORVANE_TR("Menu", "搜    索..."), {"Ctrl+F"}, true, true, W::Find},
    {kCmdAdd, "add", MORVANE_TR("Menu", "添    加..."), {"Ins"}, false, true, W::Add},
    {kCmdSortType, "sortByType", MORVANE_TR("Menu", "按类型"), {}, false, true, W::None},
    {kCmdSortName, "sortByName", MORVANE_TR("Menu", "按名字"), {}, false, true, W::None},
    {kCmdSortStrength, "sortByStrength", MORVANE_TR("Menu", "按强度"), {}, false, true, W::None},
    {kCmdSortDate, "sortByDate", MORVANE_TR("Menu", "按建立日期"), {}, false, true, W::None},
    {kCmdCut, "cut", MORVANE_TR("Menu", "剪    切"), {"Ctrl+X", "Shift+Del", "F20"}, false, true, W::None},
    {kCmdCopy, "copy", MORVANE_TR("Menu", "复    制"), {"Ctrl+C", "Ctrl+Ins", "F16"}, false, true, W::None},
    {kCmdPaste, "paste", MORVANE_TR("Menu", "粘    贴"), {"Ctrl+V", "Shift+Ins", "F18"}, false, true, W::None},
    {kCmdDelete, "delete", MORVANE_TR("Menu", "删    除"), {"Del"}, false, true, W::None},
    {kCmdClearTraces, "clearTraces", MORVANE_TR("Menu", "清理前次计算痕迹"), {}, false, true, W::None},
    {kCmdCopyHere, "copyHere", MORVANE_TR("Menu", "将选定项目复制至此"), {}, false, true, W::None},
    {kCmdCutHere, "cutHere", MORVANE_TR("Menu", "将选定项目剪切至此"), {}, false, true, W::None},
    {kCmdExportKey, "exportKey", MORVANE_TR("Menu", "输出公钥"), {}, false, false, W::None},
    {kCmdCollectRandom, "collectRandom", MORVANE_TR("Menu", "生成密钥的随机度"), {}, false, false, W::None},
    {kCmdGenerateKey, "generateKey", MORVANE_TR("Menu", "生成密钥"), {}, false, false, W::GenerateKey},
    {kCmdAbout, "about", MORVANE_TR("Menu", "关    于"), {}, false, true, W::About},
};

// Labels the menu shows that are not a command's own: the sort submenu and key generation's
// label while it runs.
}  // namespace

const std::vector<Command>& CommandTable()
{
    static const std::vector<Command> table = [] {
        std::vector<Command> v;
        for (const Entry& e : kEntries)
            v.push_back(Command{e.id, e.name, Gbk(e.label.text), e.keys, e.windowWide, e.enabled, e.window, e.label});
        return v;
    }();
    return table;
}

const Command* FindCommand(int id)
{
    for (const Command& c : CommandTable())
        if (c.id == id)
            return &c;
    return nullptr;
}

const Command* FindCommandByName(const std::string& name)
{
    for (const Command& c : CommandTable())
        if (name == c.name)
            return &c;
    return nullptr;
}

}  // namespace morvane
