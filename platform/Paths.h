// Where the program keeps its files, and small file system queries.
#pragma once

#include <string>

namespace morvane {

// $XDG_DATA_HOME/Morvane, or ~/.local/share/Morvane when XDG_DATA_HOME is unset, empty or not
// absolute. Created (with its parents) when missing; no trailing slash.
std::string ProgramDir();
// ProgramDir() + "/" + name.
std::string ProgramFile(const std::string& name);
// True when a regular file (or a link to one) exists at path.
bool FileExists(const std::string& path);

}  // namespace morvane
