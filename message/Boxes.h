// The input and output boxes of the main window without the widgets: framing armored text to
// the box width, writing what the user types back into the clicked line (or importing a
// pasted public key), the box context menu and its enabling rules, and the strength
// selector's rewrite of a strength line.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Phrase.h"

namespace morvane {

class KeyTree;

// Frames an armored text for a box that holds `columns` characters per line: a line of
// stars, the cleaned text cut into lines of that many characters, a line of stars, joined by
// CR LF. An empty text stays as it is. Fewer than one column counts as one. 1, or -1 when
// the text is not armored text (CleanArmoredText fails).
int FrameArmoredText(std::string& text, int columns);

// What became of a change of a box's text.
enum class BoxChange {
    Ignored,   // before the program first filled the box, or while several items are marked
    Imported,  // a public key was recognised: offered for import, the line kept as it was
    Written,   // the clicked line now reads its label followed by the text
};

// The boxes' change handler. text: the box's whole text (GBK, lines joined by CR LF);
// programSet: the selection display has put a text into the box. When the clicked item is a
// lock or one of its lines, a public key text is offered for import instead of being written.
BoxChange BoxTextChanged(KeyTree& tree, bool programSet, const std::string& text);

// After a resize: the input box frames its text again when it shows a lock's output line
// (one item marked, the clicked item an output field under a lock) and was filled by the
// program.
bool ReframeOnResize(const KeyTree& tree, bool isInputBox, bool programSet);

// The box context menu's command ids.
enum class BoxCommand : int {
    Separator = 0,
    Undo = 32857,
    Copy = 32856,
    Cut = 32858,
    Delete = 32859,
    CopyAll = 32847,
    CutAll = 32848,
    DeleteAll = 32849,
    SelectAll = 32850,
    Paste = 32851,
    PasteReplace = 32852,
};

struct BoxMenuEntry {
    BoxCommand command;
    Source label;  // empty for a separator
};

// The context menu in order, separators included.
const std::vector<BoxMenuEntry>& BoxMenu();
// Whether an item is offered: the paste items need text on the clipboard, the selection
// items a selection, UnDo an edit to take back.
bool BoxCommandEnabled(BoxCommand command, bool clipboardHasText, bool hasSelection, bool undoAvailable);

// The start of the GBK character that holds byte `offset` (the text's size when offset lies
// beyond it), so that a byte range can be turned into characters.
std::size_t GbkCharStart(std::string_view text, std::size_t offset);

// The strength selector's entries, index 0..3: 512, 1024, 2048, 4096 bits; empty for another
// index. StrengthEntry is the Chinese text (GBK), as it is also written into a record.
Source StrengthChoice(int index);
std::string StrengthEntry(int index);
// The entry index for a strength value: the number its digits before the first 'B' form;
// -1 for a number that is not 512, 1024, 2048 or 4096.
int StrengthIndex(std::string_view value);

enum class StrengthChange {
    Ignored,    // several items marked, or the clicked line is not a strength line
    Cancelled,  // the user kept the old strength: nothing changed
    Unchanged,  // the record's kind has no key data to clear: nothing changed
    Written,    // the line shows the new strength (and the key data is cleared if it changed)
};

// A pick in the strength selector. index: the entry picked; remembered: the entry of the line
// being shown. Another strength asks "改变加密强度, 密钥数据将作废, 继续吗?" and on OK clears the
// record's key data (a lock's N; a key's D, P, Q, U and N); then the line's value becomes the
// picked strength.
StrengthChange ChangeStrength(KeyTree& tree, int index, int remembered);

}  // namespace morvane
