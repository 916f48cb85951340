// Command ids of the key tree's context menu.
#pragma once

namespace morvane {

enum MenuCommand : int {
    kCmdUndo = 32784,
    kCmdRedo = 32785,
    kCmdFind = 32786,
    kCmdSortType = 32788,
    kCmdSortName = 32789,
    kCmdSortStrength = 32790,
    kCmdSortDate = 32791,
    kCmdCut = 32793,
    kCmdCopy = 32794,
    kCmdDelete = 32795,
    kCmdApply = 32803,
    kCmdPaste = 32804,
    kCmdCopyHere = 32820,
    kCmdCutHere = 32821,
    kCmdAdd = 32824,
    kCmdOpenBook = 32827,
    kCmdSaveBook = 32828,
    kCmdSaveBookAs = 32830,
    kCmdNewBook = 32832,
    kCmdCollectRandom = 32837,
    kCmdGenerateKey = 32838,
    kCmdExportKey = 32840,
    kCmdLoginPassword = 32861,
    kCmdClearTraces = 32863,
    kCmdAbout = 32866,
};

}  // namespace morvane
