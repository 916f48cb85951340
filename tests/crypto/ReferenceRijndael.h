#pragma once
// A plain textbook Rijndael for checking the program's cipher: byte state, xtime arithmetic,
// S-box found by search, the generic shift table, straightforward inverse. Blocks use the
// reference (column-wise) byte order: byte r + 4c is row r, column c.

#include <cstdint>
#include <vector>

namespace morvane {

class ReferenceRijndael {
public:
    // key: nk*4 bytes; nb, nk in 4..8.
    ReferenceRijndael(const std::uint8_t* key, int nb, int nk);
    void Encrypt(const std::uint8_t* in, std::uint8_t* out) const;
    void Decrypt(const std::uint8_t* in, std::uint8_t* out) const;
    int nb() const { return nb_; }

private:
    int nb_, nk_, nr_;
    std::uint8_t c_[4];
    std::vector<std::uint8_t> w_;  // round key bytes: round, column, row
};

}  // namespace morvane
