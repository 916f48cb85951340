// The book file (*.Bk): the whole book as a tree stream, compressed, followed by the MD5 of
// the compressed bytes, enciphered under the book password; the file starts with the MD5 of
// that password so that a wrong password is recognised before deciphering.
//
//   0   16      MD5 of the book password (GBK bytes)
//   16  n - 16  cipher buffer (256-bit block and key, block chaining) of  Z || MD5(Z)
//
// Loading reads into a fresh book and swaps it in only when everything checked out, so a
// refused or damaged file leaves the open book exactly as it was. Saving replaces the file
// atomically: a failure at any step leaves the previous file intact.
//
// The menu commands (New, Open, Save, Save As) and the save step at exit talk to the user
// through the tree's desktop; without one every question is answered with Cancel / No.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "book/KeyTree.h"
#include "book/TreeStream.h"

namespace morvane {

// The largest book file the loader reads: what the coder can make of the largest supported
// stream (book/TreeStream.h) at its worst (9 bits a byte), with room for headers, the digests
// and the cipher's padding. Real books code to less than half their stream.
constexpr std::size_t kBookFileReadLimit = kMaxBookStreamBytes / 8 * 9 + (std::size_t{1} << 16);

// Result of a load. status -1: the load failed (nothing changed but possibly the book
// password); status 1: it ran to an end, outcome 1 for a loaded book, -1 for a refused one
// (the password question was cancelled, or the content failed its digest).
struct LoadOutcome {
    int status = -1;
    int outcome = -1;
    bool Loaded() const { return status == 1 && outcome == 1; }
};

// Reads the book file at path (native form) with the password loop: the current book
// password is tried first, and the user is asked again (password dialog, login mode) while
// the file's password digest does not match. On success the book is replaced, every kept
// handle is re-derived from the new book, the undo queue starts again from the new book
// (its snapshots of the old one are dropped), and the book path becomes path. A file beyond
// the largest supported book (larger than kBookFileReadLimit, expanding to more than
// kMaxBookStreamBytes or holding more than kMaxBookItems items) is refused with a message
// naming it, before the book it holds is built: status -1, the open book unchanged.
[[nodiscard]] LoadOutcome LoadBook(KeyTree& tree, const std::string& path);
// The same on a file's content already in memory (path only names it in messages and
// becomes the book path on success).
[[nodiscard]] LoadOutcome LoadBookData(KeyTree& tree, std::span<const std::uint8_t> file, const std::string& path);

// Writes the book to path under the book password, replacing any file there atomically.
// 1, or -1 after the message "不能保存成通讯簿: " and the path (and, when the file could not
// be written, the system's reason in parentheses), or after the too-large message
// for a book beyond the largest supported one (its file could not be opened again); an empty
// path gives -1 without a message. The book path is not changed.
[[nodiscard]] int SaveBook(KeyTree& tree, const std::string& path);

// The file content for the book under password, no user interaction. 1; kBookTooLarge when
// the book holds more than kMaxBookItems items or its stream more than kMaxBookStreamBytes;
// -1 when the book does not hold exactly one top-level item, the password is empty (the
// cipher refuses it), or memory runs out.
constexpr int kBookTooLarge = -2;
[[nodiscard]] int EncodeBookFile(KeyTree& tree, std::string_view password, std::vector<std::uint8_t>& out);

// What DecodeBookContent found.
enum class BookContentError {
    None,
    Cipher,     // the cipher refused the buffer, or the plain text is shorter than a digest
    Digest,     // the content digest does not match: damaged file or wrong password
    Expand,     // the compressed stream is malformed
    TooLarge,   // it expands to more than kMaxBookStreamBytes
};
// Deciphers the bytes after the password digest and checks and expands the content; stream
// gets the tree stream. No user interaction; the book is not touched.
[[nodiscard]] BookContentError DecodeBookContent(std::span<const std::uint8_t> cipherText, std::string_view password,
                                   CRijndael& cipher, CCompress& codec, std::vector<std::uint8_t>& stream);

// Menu commands. Each returns true when the main window's book title must be repainted.
[[nodiscard]] bool NewBookCommand(KeyTree& tree);     // "新建密钥簿" (the undo queue restarts as after a load)
[[nodiscard]] bool OpenBookCommand(KeyTree& tree);    // "打开密钥簿..."
bool SaveBookCommand(KeyTree& tree);    // "保存密钥簿" (never needs a repaint: returns false)
[[nodiscard]] bool SaveBookAsCommand(KeyTree& tree);  // "另存为..."

// The save step at exit: offers to save the book, then writes the seed file and the run
// file. 1 when all of it was done; -1 when it stopped early (a failed save, seed file or run
// file). It never cancels the close.
[[nodiscard]] int SaveAtExit(KeyTree& tree);

// Path pieces: the text before the last '/' and the text after it (both "" without a '/').
std::string DirectoryOf(const std::string& path);
std::string FileNameOf(const std::string& path);

// The types both book file choosers offer.
inline const std::vector<FileFilter> kBookFileFilters = {{MORVANE_TR("Book", "Book Files (*.Bk)"), "*.Bk"},
                                                        {MORVANE_TR("Book", "All Files (*.*)"), "*.*"}};

// The file chooser setups of the commands.
FileChoice BookSaveChoice(const std::string& bookPath, bool fromBookPath);
FileChoice BookOpenChoice(const std::string& bookPath);

}  // namespace morvane
