// What the main window shows for the clicked tree line: which text box or the strength
// selector is visible and what it holds, and which operation buttons are offered with which
// labels. Computed without a screen by the selection display; the window only paints it.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Phrase.h"

namespace morvane {

// One of the two text boxes. Text, selection and enabled flag are what a visible box shows; a
// hidden box keeps whatever text it had.
struct BoxDisplay {
    bool visible = false;
    std::string text;            // GBK; as put into the box (framed for an armored output)
    bool programSet = false;     // the display put text in: later typing is written through
    bool enabled = true;         // false for a date line
    bool hasSelection = false;   // select [selStart, selStart + selLength) in text (bytes of
    std::uint32_t selStart = 0;  // the GBK text; the box converts them to characters)
    std::uint32_t selLength = 0;
    bool secret = false;         // the text belongs to a private key's record: copies of it are
                                 // marked secret and do not stay on the clipboard
};

// The strength selector's entries, in order; the display picks one.
inline constexpr int kStrengthEntries = 4;

struct LineDisplay {
    // Operation button 1, button 2 and the single-step check box: label (empty draws no text)
    // and enabled flag.
    Phrase button1Label, button2Label, checkLabel;
    bool button1Enabled = false, button2Enabled = false, checkEnabled = false;

    BoxDisplay input;   // the input box (role 4)
    BoxDisplay output;  // the output box (role 7)

    bool selectorVisible = false;
    int selectorIndex = 0;  // 0..3: 512, 1024, 2048, 4096 bits
};

}  // namespace morvane
