// The armored text of a protected message: one line of single-byte characters,
//   "SIGN" or "N_SI" | 32-character signer field | encrypted bytes as upper-case hex digits.
// For "SIGN" the signer field is the MD5 (upper-case hex) of the signer's N value text; for
// "N_SI" it is 32 letters F and never looked at.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "book/Book.h"

namespace morvane {

constexpr std::size_t kFlagSize = 4;
constexpr std::size_t kSignerFieldSize = 32;
constexpr std::size_t kArmorHeaderSize = kFlagSize + kSignerFieldSize;  // 36
inline constexpr char kSignedFlag[] = "SIGN";
inline constexpr char kUnsignedFlag[] = "N_SI";
inline const std::string kNoSigner(kSignerFieldSize, 'F');

// text = flag, signerField and the bytes in hex, right-aligned in 2 * a * ceil(count / a)
// digits ('0' fill; a is the encrypting lock's block length in bytes, bit length / 8). Shows
// the flag, the signer field and the hex part in rows 39, 40 and 41 of record (the working
// record). 1, or -1 when a row cannot be updated or memory runs out.
[[nodiscard]] int BuildArmoredText(Book& book, Node record, std::string& text, std::size_t a, const std::uint8_t* bytes,
                     std::size_t count, bool isSigned, const std::string& signerField);

// Undoes the framing of the text boxes: drops every CR and LF (the box breaks the text into
// lines), then the '*' frame lines at both ends. 1, or -1 when fewer than two characters remain.
[[nodiscard]] int CleanArmoredText(std::string& text);

// Splits a cleaned text. The hex part must hold at least one whole byte and nothing but the
// digits 0-9 and A-F; a trailing odd digit is ignored. 1, or -1 for another flag ("sign" is
// not "SIGN"), a text shorter than its header, an empty or invalid hex part, or no memory.
[[nodiscard]] int ParseArmoredText(std::vector<std::uint8_t>& bytes, bool& isSigned, std::string& signerField,
                     const std::string& text);

}  // namespace morvane
