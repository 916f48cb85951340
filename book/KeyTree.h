// The working state every book command operates on: the book, its file path and passwords,
// the cipher, the random pool, the desktop and the main window, the marking state, the state
// of the key generation and the random collection, and the progress counters.
// The window's tree view shows `book` and forwards clicks and menu commands; everything else
// here is plain data that the commands in book/ and message/ read and change.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "book/Book.h"
#include "book/Compress.h"
#include "book/MainView.h"
#include "book/StepContext.h"
#include "book/UndoQue.h"
#include "crypto/CRSA.h"
#include "crypto/CRandom.h"
#include "crypto/Rijndael.h"
#include "platform/Desktop.h"
#include "platform/FileLock.h"

namespace morvane {

// Node handles in tree order, owned by whoever holds it.
using ItemList = std::vector<Node>;

// Clipboard modes; also the tree stream writer's mode bits.
constexpr int kClipNone = 0;
constexpr int kClipCopy = 1;
constexpr int kClipCut = 2;
constexpr int kWriteWholeBook = 4;

// The key generation command's flags and counters (book/KeyGen.h). busy and stopRequested
// are all that a generation and a command re-entered through its event pump share.
struct KeygenState {
    bool busy = false;            // a generation runs
    bool stopRequested = false;   // the running generation stops at its next progress report
    std::int32_t attempts = 0;    // rounds of the generation loop
    std::int32_t tested = 0;      // candidates tested
    std::int32_t primes = 0;      // primes found
    std::uint32_t startTick = 0;  // Desktop::TickCount() at the start
};

// The mouse collection that stirs the random pool (book/Collect.h).
struct CollectionState {
    bool running = false;    // a collection runs: its timer ticks and other commands wait
    bool finishing = false;  // its end is being reported (a message box pumps timer ticks)
    ScreenPoint lastCursor;  // the cursor at the previous tick, kept across collections
};

class KeyTree {
public:
    explicit KeyTree(Desktop* desktop = nullptr);
    ~KeyTree();
    KeyTree(const KeyTree&) = delete;
    KeyTree& operator=(const KeyTree&) = delete;

    // Sets the desktop (and passes it on to the random pool).
    void SetDesktop(Desktop* d);

    // A handle member is live when it names a node of the current book.
    Node Live(Node n) const { return book.Valid(n) ? n : Node{}; }
    // Clears every kept single handle that no longer names a node (a stale marked parent
    // also clears the marked count). The transfer list is left alone, since callers walk it
    // while removing its items; its entries are checked wherever they are used.
    void ForgetStale();
    // After the whole book was replaced: clears every kept handle, the marked count, the
    // transfer list and the clipboard mode. The stream reader then sets the marked parent and
    // count from the stream.
    void ForgetAllHandles();

    // ---- The book and its file
    Book book;
    std::string bookPath;        // native path of the open book; empty when never saved/opened
    std::string bookPassword;    // GBK
    std::string loginPassword;   // GBK
    // The open book's file: locked while the book is open (when no other program held it at
    // the time), and in any case the file the book was read from or last written to, so that
    // a save never replaces a file another program wrote meanwhile (book/BookFile.h).
    FileLock bookLock;

    // ---- Owned services
    CRijndael cipher;            // the book file's and the seed file's cipher
    CCompress codec;             // the book file's compression
    CRandom random;              // owner links set by the constructor
    Desktop* desktop = nullptr;  // not owned
    MainView* view = nullptr;    // not owned; none: the commands run headless
    // engine[0] (mode 2): the clicked record's key and key generation; engine[1] (mode 1): the
    // partner key of a sign or verify. Their random pointer is set when a key is loaded or made.
    CRSA engine[2];

    // ---- Marking state
    std::int32_t markedCount = 0;
    Node markedParent;
    Node clickedItem;
    Node rightClickedItem;
    Node contextItem;
    std::optional<ItemList> transferList;  // none: no list taken
    int clipboardMode = kClipNone;         // kClipNone / kClipCopy / kClipCut
    bool menusEnabled = true;
    bool multiSelect = false;              // Ctrl held

    // ---- Whole-book snapshots for undo and redo
    CUndoQue undo;

    // ---- Main window links
    std::string clickedLineText;  // GBK full text of the line last shown by the selection display
    // The field label ("输    入: ", GBK) of that line, which the text boxes' typing and the
    // strength selector write in front of the new value; "" for a book, directory or record line.
    std::string clickedLineLabel;

    // ---- Progress of the running computation (-1: none)
    std::int32_t progressTotal = -1;
    std::int32_t progressDone = -1;

    // ---- Long commands
    KeygenState keygen;
    CollectionState collection;

    // ---- Single-step session
    StepContext step;
    bool singleStep = false;  // the single-step box is ticked: the operation buttons step block by block
};

}  // namespace morvane
