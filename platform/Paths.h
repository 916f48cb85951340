// Where the program keeps its files, and small file system queries.
#pragma once

#include <string>

namespace morvane {

// Makes dir and its missing parents, each 0700 whatever the umask; an existing dir of this
// user that others may enter becomes 0700 too (its parents are left as they are). False when
// it cannot be made or is no folder.
bool MakePrivateFolder(const std::string& dir);

// $XDG_DATA_HOME/Morvane, or ~/.local/share/Morvane when XDG_DATA_HOME is unset, empty or not
// absolute. Created (with its parents, 0700) when missing, made 0700 when others may enter
// it; no trailing slash.
std::string ProgramDir();
// ProgramDir() + "/" + name.
std::string ProgramFile(const std::string& name);
// True when a regular file (or a link to one) exists at path.
bool FileExists(const std::string& path);

}  // namespace morvane
