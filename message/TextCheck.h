// Whether bytes are a text the program could have taken in: what a box or the terminal
// program stores is GB18030 (GBK's two-byte forms, and four-byte forms for what GBK lacks)
// converted from what the user typed or pasted. A decrypted result that is not such a text is
// no message of this program (a signed text relabelled "N_SI" opens to its signature's
// binary blocks) and is never shown as one.
#pragma once

#include <string_view>

namespace morvane {

// True when text is well-formed GB18030 (every sequence one the converter accepts, nothing
// truncated) and holds no control character (U+0000 to U+001F, U+007F to U+009F) other than
// tab, CR and LF. The empty text is text.
[[nodiscard]] bool IsProgramText(std::string_view text);

}  // namespace morvane
