// The run file Run.st in the program folder ties the installation to its user: the MD5 of
// the login password, the path of the last book and the path of the seed file.
//
//   0       16  MD5 of the login password (GBK bytes)
//   16      4   L1, length of the book path (0: none)
//   20      L1  book path, GBK
//   20+L1   4   L2, length of the seed file path
//   24+L1   L2  seed file path, GBK
//
// Paths are kept in the native (UTF-8) form in memory and stored in their GBK form.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "book/KeyTree.h"
#include "crypto/Md5.h"

namespace morvane {

constexpr const char* kRunFileName = "Run.st";
// No sound run file comes near this (two paths and a digest).
constexpr std::size_t kRunFileReadLimit = 1024 * 1024;

// ProgramDir() + "/Run.st".
std::string RunFilePath();

// What a run file holds, field by field as far as it could be read.
struct RunFileFields {
    bool hasDigest = false;     // at least 16 bytes
    Md5Bytes digest{};
    bool hasBookPath = false;   // L1 and its bytes lie inside the file
    std::string bookPath;       // GBK; empty when L1 is 0
    bool hasSeedPath = false;   // L2 is not 0 and its bytes lie inside the file
    std::string seedPath;       // GBK
};
// Reads the fields in order, never past the data's end; a field that cannot be read leaves
// it and every later field unset. Bytes after the seed path are ignored.
RunFileFields ParseRunFile(std::span<const std::uint8_t> data);
// The content for a login password and the two paths (GBK). Empty when a path is longer
// than a 32-bit length can say or memory runs out.
std::vector<std::uint8_t> BuildRunFile(const std::string& loginPassword, const std::string& bookPathGbk,
                                       const std::string& seedPathGbk);

// The start-up routine: asks for the login password (on the first start, after the
// first-use question, has the user choose one), builds the sample book, reopens the last
// book and loads the seed file. False when the application must end (the question was
// answered No, the password dialog cancelled, or the run file could not be opened); the
// caller then ends the process. firstStart, when given, tells whether no run file existed.
[[nodiscard]] bool StartUp(KeyTree& tree, bool* firstStart = nullptr);

// True when the run file's first 16 bytes are the MD5 of password. An empty path or
// password, or a missing run file, gives false without a message.
[[nodiscard]] bool CheckPassword(Desktop* desktop, const std::string& runPath, const std::string& password);

// Writes the run file (atomically) from the login password, the book path and the seed
// file path. 1, or -1 after a message.
[[nodiscard]] int WriteRunFile(KeyTree& tree);

// "设定软件登录密码": confirms the current login password, then asks for a new one, which
// also becomes the book password when the two were the same. The run file is written at
// exit. 1 when the password was changed, 0 when cancelled.
[[nodiscard]] int ChangeLoginPassword(KeyTree& tree);

}  // namespace morvane
