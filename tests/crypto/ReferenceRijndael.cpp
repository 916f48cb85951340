#include "ReferenceRijndael.h"

#include <algorithm>

namespace morvane {

namespace {

std::uint8_t XTime(std::uint8_t a)
{
    return static_cast<std::uint8_t>((a & 0x80) ? ((a << 1) ^ 0x1B) : (a << 1));
}

std::uint8_t GMul(std::uint8_t a, std::uint8_t b)
{
    std::uint8_t p = 0;
    for (int i = 0; i < 8; ++i) {
        if (b & 1)
            p ^= a;
        a = XTime(a);
        b >>= 1;
    }
    return p;
}

struct Boxes {
    std::uint8_t s[256], si[256];
    Boxes()
    {
        for (int x = 0; x < 256; ++x) {
            std::uint8_t inv = 0;
            for (int y = 1; y < 256 && x; ++y)
                if (GMul(std::uint8_t(x), std::uint8_t(y)) == 1)
                    inv = std::uint8_t(y);
            // affine transform, bit by bit
            std::uint8_t out = 0;
            for (int i = 0; i < 8; ++i) {
                int bit = ((inv >> i) ^ (inv >> ((i + 4) % 8)) ^ (inv >> ((i + 5) % 8)) ^
                           (inv >> ((i + 6) % 8)) ^ (inv >> ((i + 7) % 8)) ^ (0x63 >> i)) & 1;
                out |= std::uint8_t(bit << i);
            }
            s[x] = out;
            si[out] = std::uint8_t(x);
        }
    }
};

const Boxes& GetBoxes()
{
    static const Boxes b;
    return b;
}

} // namespace

ReferenceRijndael::ReferenceRijndael(const std::uint8_t* key, int nb, int nk) : nb_(nb), nk_(nk)
{
    nr_ = std::max(nb, nk) + 6;
    // The original Rijndael shift offsets for rows 1..3.
    c_[0] = 0;
    c_[1] = 1;
    c_[2] = nb == 8 ? 3 : 2;
    c_[3] = nb == 8 ? 4 : 3;
    const Boxes& bx = GetBoxes();
    const int words = nb * (nr_ + 1);
    w_.assign(std::size_t(words) * 4, 0);
    for (int i = 0; i < nk; ++i)
        for (int r = 0; r < 4; ++r)
            w_[4 * i + r] = key[4 * i + r];
    std::uint8_t rc = 1;
    for (int i = nk; i < words; ++i) {
        std::uint8_t t[4];
        for (int r = 0; r < 4; ++r)
            t[r] = w_[4 * (i - 1) + r];
        if (i % nk == 0) {
            std::uint8_t t0 = t[0];
            t[0] = bx.s[t[1]] ^ rc;
            t[1] = bx.s[t[2]];
            t[2] = bx.s[t[3]];
            t[3] = bx.s[t0];
            rc = XTime(rc);
        } else if (nk > 6 && i % nk == 4) {
            for (int r = 0; r < 4; ++r)
                t[r] = bx.s[t[r]];
        }
        for (int r = 0; r < 4; ++r)
            w_[4 * i + r] = w_[4 * (i - nk) + r] ^ t[r];
    }
}

void ReferenceRijndael::Encrypt(const std::uint8_t* in, std::uint8_t* out) const
{
    const Boxes& bx = GetBoxes();
    std::uint8_t st[4][8], tmp[8];
    for (int c = 0; c < nb_; ++c)
        for (int r = 0; r < 4; ++r)
            st[r][c] = in[r + 4 * c];
    auto addKey = [&](int round) {
        for (int c = 0; c < nb_; ++c)
            for (int r = 0; r < 4; ++r)
                st[r][c] ^= w_[4 * (round * nb_ + c) + r];
    };
    addKey(0);
    for (int round = 1; round <= nr_; ++round) {
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < nb_; ++c)
                st[r][c] = bx.s[st[r][c]];
        for (int r = 1; r < 4; ++r) {
            for (int c = 0; c < nb_; ++c)
                tmp[c] = st[r][(c + c_[r]) % nb_];
            for (int c = 0; c < nb_; ++c)
                st[r][c] = tmp[c];
        }
        if (round != nr_)
            for (int c = 0; c < nb_; ++c) {
                std::uint8_t a[4];
                for (int r = 0; r < 4; ++r)
                    a[r] = st[r][c];
                for (int r = 0; r < 4; ++r)
                    st[r][c] = GMul(a[r], 2) ^ GMul(a[(r + 1) % 4], 3) ^ a[(r + 2) % 4] ^ a[(r + 3) % 4];
            }
        addKey(round);
    }
    for (int c = 0; c < nb_; ++c)
        for (int r = 0; r < 4; ++r)
            out[r + 4 * c] = st[r][c];
}

void ReferenceRijndael::Decrypt(const std::uint8_t* in, std::uint8_t* out) const
{
    const Boxes& bx = GetBoxes();
    std::uint8_t st[4][8], tmp[8];
    for (int c = 0; c < nb_; ++c)
        for (int r = 0; r < 4; ++r)
            st[r][c] = in[r + 4 * c];
    auto addKey = [&](int round) {
        for (int c = 0; c < nb_; ++c)
            for (int r = 0; r < 4; ++r)
                st[r][c] ^= w_[4 * (round * nb_ + c) + r];
    };
    for (int round = nr_; round >= 1; --round) {
        addKey(round);
        if (round != nr_)
            for (int c = 0; c < nb_; ++c) {
                std::uint8_t a[4];
                for (int r = 0; r < 4; ++r)
                    a[r] = st[r][c];
                for (int r = 0; r < 4; ++r)
                    st[r][c] = GMul(a[r], 14) ^ GMul(a[(r + 1) % 4], 11) ^ GMul(a[(r + 2) % 4], 13) ^
                               GMul(a[(r + 3) % 4], 9);
            }
        for (int r = 1; r < 4; ++r) {
            for (int c = 0; c < nb_; ++c)
                tmp[(c + c_[r]) % nb_] = st[r][c];
            for (int c = 0; c < nb_; ++c)
                st[r][c] = tmp[c];
        }
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < nb_; ++c)
                st[r][c] = bx.si[st[r][c]];
    }
    addKey(0);
    for (int c = 0; c < nb_; ++c)
        for (int r = 0; r < 4; ++r)
            out[r + 4 * c] = st[r][c];
}

}  // namespace morvane
