// Public key text, the form in which locks are exchanged (lines joined by CR LF):
//   26 '*' | N marker | "" | N digits in lines of 26 | "" | E marker | "" | E digits in lines
//   of 26 | 26 '*' (no line break after it)
// Read back, blanks and line breaks are ignored everywhere, the markers included.
#pragma once

#include <cstddef>
#include <string>

namespace morvane {

class KeyTree;

inline constexpr char kPublicKeyNMarker[] = "...This is Public Key N...";
inline constexpr char kPublicKeyEMarker[] = "...This is Public Key E...";
constexpr std::size_t kPublicKeyLineWidth = 26;  // the N marker's length

// Cuts text into lines of width characters joined by CR LF (none after the last line). A
// width of 0 leaves the text alone.
void WrapText(std::string& text, std::size_t width);

// The public key text for the given N and E value texts.
std::string BuildPublicKeyText(const std::string& n, const std::string& e);

// Looks for a public key text in text. found = true with the N and E digits (as pasted, either
// letter case) when both markers are present, nothing but hex digits lies between them, and at
// least one hex digit follows the E marker.
void ParsePublicKeyText(bool& found, std::string& n, std::string& e, const std::string& text);

// The "输出公钥" command on the tree's context item (a key or one of its field lines): checks
// and self-tests the key on the tree's first engine, then writes the public key text into the
// key's output field, selects that line and reports. Nothing happens while random data is
// being collected, while the engine is busy, or for anything but a key.
void ExportPublicKey(KeyTree& tree);

// The text boxes' key recognition: when the tree's clicked item is a lock or a line of one and
// text holds a public key, asks whether to replace the lock's key, puts the clicked line's
// text back, and on OK stores N, E, the strength label and the date (only for moduli of 512,
// 1024, 2048 or 4096 bits). True when a key was recognised (the box's change then ends here);
// false when the text is ordinary input.
[[nodiscard]] bool ImportPublicKey(KeyTree& tree, const std::string& text);

}  // namespace morvane
