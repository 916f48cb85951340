// The book coder: exact coded bytes, agreement with a plain reference encoder, chunking,
// round trips and the expander's handling of damaged data; its match search against a
// brute-force one on text shapes that take its different paths.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "book/Compress.h"
#include "book/CompressMatch.h"

using namespace morvane;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes FromHex(const std::string& hex) {
    Bytes out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 3)
        out.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return out;
}

Bytes FromText(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

// ---- A bit string kept one bit per element, for the reference coder and crafted data.
struct Bits {
    std::vector<int> v;
    void Put(std::uint64_t value, int n) {
        for (int b = n - 1; b >= 0; --b) v.push_back(static_cast<int>((value >> b) & 1));
    }
    void Set(std::size_t at, std::uint64_t value, int n) {
        for (int b = 0; b < n; ++b) v[at + b] = static_cast<int>((value >> (n - 1 - b)) & 1);
    }
    void Append(const Bits& o) { v.insert(v.end(), o.v.begin(), o.v.end()); }
    // Writes the 35-bit end header at bit 0 of this string.
    void SetEndHeader() {
        const std::size_t last = v.size() - 1;
        Set(0, last / 8, 32);
        Set(32, 7 - last % 8, 3);
    }
    Bytes Pack() const {
        Bytes out((v.size() + 7) / 8, 0);
        for (std::size_t i = 0; i < v.size(); ++i)
            if (v[i]) out[i / 8] |= static_cast<std::uint8_t>(0x80 >> (i % 8));
        return out;
    }
};

int RefBitLen(std::uint64_t x) {
    int n = 0;
    while (x) {
        ++n;
        x >>= 1;
    }
    return n == 0 ? 1 : n;
}

// Straight from the definition: at each position try every earlier start, oldest first,
// and keep a strictly longer run. Slow, and meant to be obviously right.
Bytes ReferenceCompress(const Bytes& in) {
    Bits all;
    all.Put(0, 35);
    for (std::size_t start = 0; start < in.size(); start += 70000) {
        const std::size_t m = std::min<std::size_t>(70000, in.size() - start);
        const std::uint8_t* c = in.data() + start;
        Bits ch;
        ch.Put(0, 35);
        ch.Put(1, 1);
        ch.Put(c[0], 8);
        std::size_t i = 1;
        while (i < m) {
            const std::size_t cap = std::min<std::size_t>(18191, m - i);
            std::size_t best = 0, bestJ = 0;
            for (std::size_t j = 0; j < i && best < cap; ++j) {
                if (c[j + best] != c[i + best]) continue;  // cannot be longer than best
                std::size_t len = 0;
                while (len < cap && c[j + len] == c[i + len]) ++len;
                if (len > best) {
                    best = len;
                    bestJ = j;
                }
            }
            const int width = RefBitLen(i);
            const bool isShort = best - 2 < 51;
            const int cost = 2 + width + (isShort ? static_cast<int>((best - 2) / 4) + 3 : 15);
            if (best >= 2 && 9 * static_cast<int>(best) - cost > 0) {
                ch.Put(0, 1);
                ch.Put(bestJ, width);
                if (isShort) {
                    ch.Put(1, 1);
                    for (std::size_t q = 0; q < (best - 2) / 4; ++q) ch.Put(1, 1);
                    ch.Put(0, 1);
                    ch.Put((best - 2) % 4, 2);
                } else {
                    ch.Put(0, 1);
                    ch.Put(best - 2, 15);
                }
                i += best;
            } else {
                ch.Put(1, 1);
                ch.Put(c[i], 8);
                ++i;
            }
        }
        ch.SetEndHeader();
        all.Append(ch);
    }
    all.SetEndHeader();
    return all.Pack();
}

// ---- A plain decoder that lists the symbols, to look at what the coder chose.
struct Symbol {
    bool literal;
    std::uint64_t value;   // byte, or source position
    std::uint64_t length;  // match length
};
struct Chunk {
    std::vector<Symbol> symbols;
    std::uint64_t endBit;  // one past the chunk's last bit, in the whole buffer
};

std::vector<Chunk> ListChunks(const Bytes& data) {
    auto bit = [&](std::uint64_t p) { return (data[p / 8] >> (7 - p % 8)) & 1; };
    auto get = [&](std::uint64_t& p, int n) {
        std::uint64_t v = 0;
        for (int k = 0; k < n; ++k) v = (v << 1) | bit(p++);
        return v;
    };
    std::vector<Chunk> chunks;
    std::uint64_t p = 0;
    const std::uint64_t outer = get(p, 35);
    const std::uint64_t end = (outer >> 3) * 8 + (7 - (outer & 7)) + 1;
    while (p < end) {
        const std::uint64_t start = p;
        const std::uint64_t h = get(p, 35);
        Chunk ch;
        ch.endBit = start + (h >> 3) * 8 + (7 - (h & 7)) + 1;
        std::uint64_t pos = 0;
        while (p < ch.endBit) {
            if (get(p, 1)) {
                ch.symbols.push_back({true, get(p, 8), 1});
                ++pos;
                continue;
            }
            const std::uint64_t src = get(p, RefBitLen(pos));
            std::uint64_t len;
            if (get(p, 1)) {
                std::uint64_t q = 0;
                while (get(p, 1)) ++q;
                len = 4 * q + get(p, 2) + 2;
            } else {
                len = get(p, 15) + 2;
            }
            ch.symbols.push_back({false, src, len});
            pos += len;
        }
        chunks.push_back(ch);
    }
    return chunks;
}

// ---- Inputs.
Bytes RandomBytes(std::mt19937& rng, std::size_t n, int alphabet) {
    Bytes b(n);
    for (auto& x : b) x = static_cast<std::uint8_t>(rng() % alphabet);
    return b;
}

void PutWord(Bytes& b, std::uint32_t w) {
    for (int k = 0; k < 4; ++k) b.push_back(static_cast<std::uint8_t>(w >> (8 * k)));
}

void PutRecord(Bytes& b, std::uint32_t kind, const std::string& text, std::uint32_t state = 0,
               std::uint32_t flags = 0) {
    PutWord(b, kind);
    PutWord(b, static_cast<std::uint32_t>(text.size()));
    b.insert(b.end(), text.begin(), text.end());
    PutWord(b, state);
    PutWord(b, flags);
}

std::string Hex(std::mt19937& rng, int digits) {
    static const char* kDigits = "0123456789ABCDEF";
    std::string s;
    for (int i = 0; i < digits; ++i) s += kDigits[rng() % 16];
    return s;
}

// A tree stream of a book with `keys` keys: repeated labels, record words full of zeros and
// random hexadecimal values, cut to `size` bytes when size is not 0.
Bytes BookLike(std::mt19937& rng, int keys, std::size_t size = 0) {
    Bytes b;
    PutRecord(b, 1, "密钥通讯薄", 0x20, 0x40);
    PutRecord(b, 2, "目录A", 0x20);
    for (int k = 0; k < keys || (size && b.size() < size); ++k) {
        PutRecord(b, 4, "我的" + std::to_string(k), 0x20);
        PutRecord(b, 12, "输    入: ");
        b.insert(b.end(), 4, 0);
        PutRecord(b, 27, "计算前编码细节");
        for (int r = 0; r < 11; ++r) {
            PutRecord(b, 28 + r, "预留字节(00" + std::to_string(r % 10) + "0字节): ");
            b.insert(b.end(), 4, 0);
        }
        b.insert(b.end(), 4, 0);
        PutRecord(b, 14, "序    号: " + std::to_string(1000 + k));
        b.insert(b.end(), 4, 0);
        PutRecord(b, 19, "使用日期: 2024-0" + std::to_string(1 + k % 9) + "-1" +
                             std::to_string(k % 10) + " 12:3" + std::to_string(k % 7) + ":00");
        b.insert(b.end(), 4, 0);
        PutRecord(b, 21, "N     值: " + Hex(rng, 256));
        b.insert(b.end(), 4, 0);
        PutRecord(b, 22, "E     值: " + Hex(rng, 64));
        b.insert(b.end(), 4, 0);
        PutRecord(b, 23, "D     值: " + Hex(rng, 256));
        b.insert(b.end(), 8, 0);
    }
    if (size) b.resize(size);
    return b;
}

// ---- The match search, position by position, against scanning every earlier position.

// For position i: the longest run (capped at 18191 and the text's end) and, for every
// length up to it, the earliest position reaching it (earliest[len]).
struct Truth {
    std::size_t longest = 0;
    std::vector<std::size_t> earliest;  // index len, for 1 <= len <= longest
};

Truth BruteForce(const Bytes& c, std::size_t i) {
    Truth t;
    const std::size_t cap = std::min<std::size_t>(18191, c.size() - i);
    t.earliest.assign(1, 0);
    for (std::size_t j = 0; j < i && t.longest < cap; ++j) {
        // A candidate that cannot beat the best so far changes nothing: every shorter
        // length already has an earlier position.
        if (c[j + t.longest] != c[i + t.longest]) continue;
        std::size_t len = 0;
        while (len < cap && c[j + len] == c[i + len]) ++len;
        while (t.longest < len) {
            ++t.longest;
            t.earliest.push_back(j);
        }
    }
    return t;
}

// Checks every position of c (or `samples` of them, chosen at random), asking for the
// earliest source of every length up to the longest (a few of them past 16).
void ExpectFinderAgrees(CompressMatchFinder& finder, const Bytes& c, const std::string& what,
                        std::size_t samples = 0) {
    finder.Prepare(c.data(), static_cast<std::int32_t>(c.size()));
    std::mt19937 rng(static_cast<unsigned>(c.size()));
    int failures = 0;
    for (std::size_t i = 1; i < c.size() && failures < 5; ++i) {
        if (samples && rng() % c.size() >= samples) continue;
        const Truth t = BruteForce(c, i);
        const auto pos = static_cast<std::int32_t>(i);
        // Runs of exactly 2 bytes count only below kPairReach.
        const std::size_t reported =
            t.longest >= 3 || (t.longest == 2 && pos < CompressMatchFinder::kPairReach)
                ? t.longest
                : 0;
        // Most queries come as the coder asks them, some without the longest run first.
        if (rng() % 4 != 0) {
            const std::int32_t got = finder.LongestPrevious(pos, 18191);
            if (got != static_cast<std::int32_t>(reported)) {
                ADD_FAILURE() << what << ": longest at " << i << " is " << got << ", not "
                              << reported;
                ++failures;
                continue;
            }
        }
        for (std::size_t len = 2; len <= t.longest;
             len += len < 16 ? 1 : 1 + rng() % std::max<std::size_t>(1, t.longest / 3)) {
            const std::int32_t got = finder.EarliestSource(pos, static_cast<std::int32_t>(len));
            if (got != static_cast<std::int32_t>(t.earliest[len])) {
                ADD_FAILURE() << what << ": earliest source at " << i << " for " << len
                              << " is " << got << ", not " << t.earliest[len];
                ++failures;
                break;
            }
        }
    }
}

void ExpectMatchesReference(CCompress& codec, const Bytes& in, const std::string& what) {
    Bytes coded, back;
    ASSERT_EQ(codec.Compress(coded, in), 1) << what;
    ASSERT_EQ(coded, ReferenceCompress(in)) << what << " (" << in.size() << " bytes)";
    ASSERT_EQ(codec.Expand(back, coded), 1) << what;
    ASSERT_EQ(back, in) << what;
}

}  // namespace

TEST(Compress, KnownCodings) {
    CCompress codec;
    Bytes coded;

    // One byte: outer header, chunk header, one literal, 79 bits.
    ASSERT_EQ(codec.Compress(coded, Bytes{0x41}), 1);
    EXPECT_EQ(coded, FromHex("00 00 00 09 20 00 00 00 B2 82"));

    // a b a b: two literals and a 2-byte match from source 0, 95 bits.
    ASSERT_EQ(codec.Compress(coded, FromText("abab")), 1);
    EXPECT_EQ(coded, FromHex("00 00 00 0B 20 00 00 00 F2 C3 62 10"));

    Bytes back;
    ASSERT_EQ(codec.Expand(back, FromHex("00 00 00 09 20 00 00 00 B2 82")), 1);
    EXPECT_EQ(back, Bytes{0x41});
    ASSERT_EQ(codec.Expand(back, FromHex("00 00 00 0B 20 00 00 00 F2 C3 62 10")), 1);
    EXPECT_EQ(back, FromText("abab"));

    // Nothing to code is a failure, and the output is left empty.
    coded = {1, 2, 3};
    EXPECT_EQ(codec.Compress(coded, Bytes{}), -1);
    EXPECT_TRUE(coded.empty());
}

TEST(Compress, MatchChoiceAndCosts) {
    CCompress codec;
    Bytes coded;

    // A 2-byte run pays off only while the position field is under 13 bits wide.
    {
        std::mt19937 rng(7);
        for (std::size_t at : {std::size_t{4094}, std::size_t{4095}, std::size_t{4096}}) {
            // "PQ", filler that never pairs with 'P', then "PQ" again at `at`.
            Bytes in = FromText("PQ");
            while (in.size() < at) in.push_back(static_cast<std::uint8_t>(0x80 | rng()));
            in.push_back('P');
            in.push_back('Q');
            ASSERT_EQ(codec.Compress(coded, in), 1);
            const Symbol last = ListChunks(coded).at(0).symbols.back();
            if (at < 4096) {
                EXPECT_FALSE(last.literal) << at;
                EXPECT_EQ(last.value, 0u) << at;
                EXPECT_EQ(last.length, 2u) << at;
            } else {
                EXPECT_TRUE(last.literal) << at;
                EXPECT_EQ(last.value, std::uint64_t{'Q'}) << at;
            }
            EXPECT_EQ(coded, ReferenceCompress(in)) << at;
        }
    }

    // Equal lengths: the earliest source wins; a longer later run beats an earlier short one.
    {
        ASSERT_EQ(codec.Compress(coded, FromText("xyzAxyzBxyz")), 1);
        const Symbol last = ListChunks(coded).at(0).symbols.back();
        ASSERT_FALSE(last.literal);
        EXPECT_EQ(last.value, 0u);  // "xyz" at 0 and at 4: the earlier one
        EXPECT_EQ(last.length, 3u);
        ASSERT_EQ(codec.Compress(coded, FromText("abXabcYabc")), 1);
        const Symbol last2 = ListChunks(coded).at(0).symbols.back();
        ASSERT_FALSE(last2.literal);
        EXPECT_EQ(last2.value, 3u);  // "abc" at 3 beats "ab" at 0
        EXPECT_EQ(last2.length, 3u);
    }

    // Length classes around the short/long boundary, and the longest match.
    for (std::size_t len : {51u, 52u, 53u, 54u, 18190u, 18191u, 18192u}) {
        Bytes in = FromText("q");
        Bytes body(len, 0);
        std::mt19937 rng(static_cast<unsigned>(len));
        for (auto& x : body) x = static_cast<std::uint8_t>(rng());
        in.insert(in.end(), body.begin(), body.end());
        in.push_back('!');
        in.insert(in.end(), body.begin(), body.end());
        ExpectMatchesReference(codec, in, "length " + std::to_string(len));
    }
}

TEST(Compress, Chunks) {
    CCompress codec;
    Bytes coded, back;
    std::mt19937 rng(11);

    // 70000 bytes make one chunk, one more byte a second chunk of one byte.
    const Bytes book = BookLike(rng, 0, 70001);
    for (std::size_t n : {std::size_t{69999}, std::size_t{70000}, std::size_t{70001}}) {
        const Bytes in(book.begin(), book.begin() + n);
        ExpectMatchesReference(codec, in, "book " + std::to_string(n));
        ASSERT_EQ(codec.Compress(coded, in), 1);
        const auto chunks = ListChunks(coded);
        ASSERT_EQ(chunks.size(), n > 70000 ? 2u : 1u);
        if (n > 70000) {
            ASSERT_EQ(chunks[1].symbols.size(), 1u);
            EXPECT_TRUE(chunks[1].symbols[0].literal);
            EXPECT_EQ(chunks[1].symbols[0].value, in.back());
        }
        // The chunk ends tile the buffer up to the outer end.
        EXPECT_EQ((chunks.back().endBit + 7) / 8, coded.size());
    }

    // A run of 20000 equal bytes: a literal, an overlapping copy of 18191 bytes from 0 at
    // position 1, then the rest, again from 0.
    {
        const Bytes run(20000, 'z');
        ExpectMatchesReference(codec, run, "run");
        ASSERT_EQ(codec.Compress(coded, run), 1);
        const auto chunks = ListChunks(coded);
        ASSERT_EQ(chunks.size(), 1u);
        const auto& s = chunks[0].symbols;
        ASSERT_EQ(s.size(), 3u);
        EXPECT_TRUE(s[0].literal);
        EXPECT_FALSE(s[1].literal);
        EXPECT_EQ(s[1].value, 0u);
        EXPECT_EQ(s[1].length, 18191u);
        EXPECT_FALSE(s[2].literal);
        EXPECT_EQ(s[2].value, 0u);
        EXPECT_EQ(s[2].length, 20000u - 1 - 18191);
        EXPECT_EQ(coded.size(), (35 + 35 + 9 + 18 + 32 + 7) / 8u);
    }

    // Matches never cross into the next chunk: a run over the boundary restarts with a
    // literal, and many chunks in a row each start afresh.
    {
        const Bytes run(3 * 70000 + 5, 'r');
        ExpectMatchesReference(codec, run, "long run");
        ASSERT_EQ(codec.Compress(coded, run), 1);
        const auto chunks = ListChunks(coded);
        ASSERT_EQ(chunks.size(), 4u);
        for (const auto& ch : chunks) EXPECT_TRUE(ch.symbols[0].literal);
    }

    // A chunk may end at any bit alignment; the next one starts right after it.
    {
        std::vector<bool> seen(8, false);
        for (unsigned seed = 0; seed < 64 && std::count(seen.begin(), seen.end(), true) < 8;
             ++seed) {
            std::mt19937 r(seed);
            const Bytes in = RandomBytes(r, 70000 + 1 + seed % 3, 256);
            ASSERT_EQ(codec.Compress(coded, in), 1);
            ASSERT_EQ(codec.Expand(back, coded), 1);
            ASSERT_EQ(back, in);
            seen[ListChunks(coded)[0].endBit % 8] = true;
        }
        EXPECT_EQ(std::count(seen.begin(), seen.end(), true), 8);
    }
}

TEST(Compress, AgreesWithReference) {
    // One coder for everything: its tables carry over between calls and must not leak.
    CCompress codec;
    std::mt19937 rng(2024);

    for (int round = 0; round < 150; ++round) {
        const int alphabets[] = {1, 2, 3, 4, 16, 256};
        const int alphabet = alphabets[round % 6];
        const std::size_t n = 1 + rng() % (round < 100 ? 300 : 2500);
        ExpectMatchesReference(codec, RandomBytes(rng, n, alphabet),
                               "random " + std::to_string(round));
    }
    // Past position 4096, where 2-byte runs stop paying off.
    for (int round = 0; round < 3; ++round)
        ExpectMatchesReference(codec, RandomBytes(rng, 9000, 16), "wide random");

    // Structured data: book streams, every byte value, periodic text, runs between text,
    // and counters behind a fixed word (long chains of equally good sources).
    ExpectMatchesReference(codec, BookLike(rng, 6), "book");
    Bytes all;
    for (int k = 0; k < 3 * 256; ++k) all.push_back(static_cast<std::uint8_t>(k * 7));
    ExpectMatchesReference(codec, all, "all values");
    for (std::size_t period : {1u, 2u, 3u, 7u, 64u, 300u}) {
        Bytes p = RandomBytes(rng, period, 256);
        Bytes in;
        while (in.size() < 25000) in.push_back(p[in.size() % period]);
        ExpectMatchesReference(codec, in, "period " + std::to_string(period));
    }
    {
        Bytes in;
        for (int k = 0; k < 40; ++k) {
            Bytes t = RandomBytes(rng, 1 + rng() % 40, 4);
            in.insert(in.end(), t.begin(), t.end());
            in.insert(in.end(), rng() % 700, static_cast<std::uint8_t>(rng() % 3));
        }
        ExpectMatchesReference(codec, in, "runs");
    }
    {
        Bytes in;
        for (std::uint32_t k = 0; in.size() < 30000; ++k) {
            in.insert(in.end(), {'X', 'Y', 'Z'});
            in.push_back(static_cast<std::uint8_t>(k >> 8));
            in.push_back(static_cast<std::uint8_t>(k));
        }
        ExpectMatchesReference(codec, in, "counters");
    }
    // Zeros at the very end, where a search reading past the chunk could see more of them.
    for (std::size_t tail = 1; tail <= 9; ++tail) {
        Bytes in = FromText("abQ");
        in.insert(in.end(), 12, 0);
        Bytes more = RandomBytes(rng, 300, 2);
        in.insert(in.end(), more.begin(), more.end());
        in.push_back('Q');
        in.insert(in.end(), tail, 0);
        ExpectMatchesReference(codec, in, "zero tail " + std::to_string(tail));
    }
    // A short period over two chunks, with a change near the boundary.
    {
        Bytes in;
        for (std::size_t k = 0; k < 70000 + 9000; ++k) in.push_back("abcdefg"[k % 7]);
        in[69990] = 'x';
        ExpectMatchesReference(codec, in, "period over chunks");
    }
}

TEST(CompressMatch, AgreesWithBruteForce) {
    // One finder for everything: its tables carry over between texts and must not leak.
    CompressMatchFinder finder;
    std::mt19937 rng(77);
    for (int round = 0; round < 120; ++round) {
        const std::size_t n = 1 + rng() % (round % 10 == 0 ? 5000 : 500);
        Bytes c;
        switch (round % 8) {
            case 0:  // few symbols: long runs and many equal starts
                c = RandomBytes(rng, n, 1 + static_cast<int>(rng() % 4));
                break;
            case 1:
                c = RandomBytes(rng, n, 256);
                break;
            case 2: {  // short period with one changed byte
                const Bytes unit = RandomBytes(rng, 1 + rng() % 9, 3);
                for (std::size_t k = 0; k < n; ++k) c.push_back(unit[k % unit.size()]);
                c[rng() % n] ^= 1;
                break;
            }
            case 3:  // runs between single bytes
                while (c.size() < n) {
                    c.insert(c.end(), 1 + rng() % 60, static_cast<std::uint8_t>(rng() % 3));
                    c.push_back(static_cast<std::uint8_t>(rng()));
                }
                break;
            case 4: {  // pieces of one word
                const Bytes word = RandomBytes(rng, 40, 5);
                while (c.size() < n) {
                    c.insert(c.end(), word.begin(), word.begin() + rng() % 40);
                    c.push_back(static_cast<std::uint8_t>(rng() % 7));
                }
                break;
            }
            case 5:  // little-endian record words, mostly zero, and hexadecimal digits
                while (c.size() < n) {
                    PutWord(c, rng() % 4);
                    PutWord(c, static_cast<std::uint32_t>('0' + rng() % 10));
                    c.push_back(static_cast<std::uint8_t>("0123456789ABCDEF"[rng() % 16]));
                }
                break;
            case 6: {  // a long period of any bytes
                const Bytes unit = RandomBytes(rng, 1 + rng() % 300, 256);
                for (std::size_t k = 0; k < n; ++k) c.push_back(unit[k % unit.size()]);
                break;
            }
            case 7:  // zeros at the end, after runs that continue with zeros earlier on
                c = RandomBytes(rng, n, 3);
                c.insert(c.begin() + static_cast<std::ptrdiff_t>(rng() % c.size()), 9, 0);
                c.insert(c.end(), 1 + rng() % 9, 0);
                break;
        }
        c.resize(n);
        ExpectFinderAgrees(finder, c, "shape " + std::to_string(round % 8) + " round " +
                                          std::to_string(round));
    }
}

TEST(CompressMatch, ChunkSizedShapes) {
    CompressMatchFinder finder;
    std::mt19937 rng(78);
    const std::size_t n = CCompress::kChunkSize;
    // Runs longer than the longest match.
    ExpectFinderAgrees(finder, Bytes(n, 'z'), "run", 150);
    // One 3-byte start thousands of times, most positions sharing it coming later in rank
    // order than a query's nearest earlier one.
    {
        Bytes c;
        while (c.size() < n) {
            c.insert(c.end(), {'X', 'Y', 'Z'});
            c.push_back(static_cast<std::uint8_t>(rng()));
        }
        c.resize(n);
        ExpectFinderAgrees(finder, c, "XYZ", 250);
    }
    // Periodic text: every suffix shares thousands of bytes with others.
    {
        Bytes c;
        for (std::size_t k = 0; k < n; ++k) c.push_back(static_cast<std::uint8_t>(k % 251));
        ExpectFinderAgrees(finder, c, "period 251", 100);
    }
    ExpectFinderAgrees(finder, BookLike(rng, 0, n), "book", 250);
    ExpectFinderAgrees(finder, RandomBytes(rng, 40000, 2), "binary", 250);
}

TEST(Expand, RejectsMalformedData) {
    CCompress codec;
    Bytes out{9};

    // Too short for a header; a header pointing past the data.
    EXPECT_EQ(codec.Expand(out, Bytes{}), -1);
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(codec.Expand(out, FromHex("00 00 00 00")), -1);
    EXPECT_EQ(codec.Expand(out, FromHex("00 00 00 09 20 00 00 00 B2")), -1);
    EXPECT_EQ(codec.Expand(out, nullptr, 10), -1);

    // Builds a stream from one chunk's symbols, with the given chunk header (or the true one).
    auto stream = [](const Bits& symbols, std::int64_t chunkLastBit = -1) {
        Bits ch;
        ch.Put(0, 35);
        ch.Append(symbols);
        if (chunkLastBit < 0) {
            ch.SetEndHeader();
        } else {
            ch.Set(0, static_cast<std::uint64_t>(chunkLastBit) / 8, 32);
            ch.Set(32, 7 - static_cast<std::uint64_t>(chunkLastBit) % 8, 3);
        }
        Bits all;
        all.Put(0, 35);
        all.Append(ch);
        all.SetEndHeader();
        return all.Pack();
    };
    Bits lit;  // literal 'a'
    lit.Put(1, 1);
    lit.Put('a', 8);

    // Well-formed control: 'a', then a copy of 3 from source 0 at position 1.
    Bits good = lit;
    good.Put(0, 1);
    good.Put(0, 1);  // source 0 in bitlen(1) = 1 bit
    good.Put(1, 1);
    good.Put(0, 1);  // Rice(1): no ones, zero, remainder 01
    good.Put(1, 2);
    ASSERT_EQ(codec.Expand(out, stream(good)), 1);
    EXPECT_EQ(out, FromText("aaaa"));

    // A copy from a position the chunk has not produced yet.
    Bits ahead = lit;
    ahead.Put(0, 1);
    ahead.Put(1, 1);  // source 1 at position 1
    ahead.Put(1, 1);
    ahead.Put(0, 3);
    EXPECT_EQ(codec.Expand(out, stream(ahead)), -1);
    EXPECT_TRUE(out.empty());

    // A match as the very first symbol: nothing to copy from.
    Bits first;
    first.Put(0, 1);
    first.Put(0, 1);
    first.Put(1, 1);
    first.Put(0, 3);
    EXPECT_EQ(codec.Expand(out, stream(first)), -1);

    // The chunk ends inside its last symbol, inside its header, or past the whole data.
    const std::int64_t goodLast = 35 + static_cast<std::int64_t>(good.v.size()) - 1;
    EXPECT_EQ(codec.Expand(out, stream(good, goodLast - 1)), -1);
    EXPECT_EQ(codec.Expand(out, stream(good, 20)), -1);
    EXPECT_EQ(codec.Expand(out, stream(good, 34)), -1);
    EXPECT_EQ(codec.Expand(out, stream(good, goodLast + 1)), -1);
    EXPECT_EQ(codec.Expand(out, stream(good, 0xFFFFFFFFll * 8)), -1);

    // A chunk that ends right after its header holds no symbol.
    {
        Bits all;
        all.Put(0, 35);
        Bits ch;
        ch.Put(0, 35);
        ch.SetEndHeader();
        all.Append(ch);
        all.SetEndHeader();
        EXPECT_EQ(codec.Expand(out, all.Pack()), -1);
    }
    // An outer header that ends inside itself or right after it: no chunk at all.
    for (std::uint64_t last : {0u, 33u, 34u}) {
        Bits all;
        all.Put(0, 35);
        all.Put(0, 45);
        all.Set(0, last / 8, 32);
        all.Set(32, 7 - last % 8, 3);
        EXPECT_EQ(codec.Expand(out, all.Pack()), -1) << last;
    }
    // Leftover bits after the last chunk that cannot hold another header.
    {
        Bits all;
        all.Put(0, 35);
        Bits ch;
        ch.Put(0, 35);
        ch.Append(lit);
        ch.SetEndHeader();
        all.Append(ch);
        all.Put(0, 20);
        all.SetEndHeader();
        EXPECT_EQ(codec.Expand(out, all.Pack()), -1);
    }
    // Bytes after the coded end are ignored.
    {
        Bytes padded = stream(good);
        padded.insert(padded.end(), {0xFF, 0x00, 0x13});
        ASSERT_EQ(codec.Expand(out, padded), 1);
        EXPECT_EQ(out, FromText("aaaa"));
    }
}

TEST(Expand, SurvivesDamagedData) {
    CCompress codec;
    std::mt19937 rng(99);
    std::vector<Bytes> originals = {
        BookLike(rng, 1),
        RandomBytes(rng, 400, 4),
        Bytes(5000, 'k'),
        FromText("abab"),
    };
    {
        Bytes mixed = BookLike(rng, 0, 1500);
        Bytes tail = RandomBytes(rng, 700, 256);
        mixed.insert(mixed.end(), tail.begin(), tail.end());
        originals.push_back(mixed);
    }

    int variants = 0, accepted = 0;
    auto tryExpand = [&](const Bytes& damaged) {
        Bytes out{1, 2, 3};
        const int r = codec.Expand(out, damaged);
        ASSERT_TRUE(r == 1 || r == -1);
        if (r == -1) {
            ASSERT_TRUE(out.empty());
        } else {
            ++accepted;
            // Whatever it accepts must be consistent: coding the result again and
            // expanding that gives the same bytes.
            Bytes again, back;
            ASSERT_EQ(codec.Compress(again, out), 1);
            ASSERT_EQ(codec.Expand(back, again), 1);
            ASSERT_EQ(back, out);
        }
        ++variants;
    };

    for (const Bytes& original : originals) {
        Bytes coded, back;
        ASSERT_EQ(codec.Compress(coded, original), 1);
        ASSERT_EQ(codec.Expand(back, coded), 1);
        ASSERT_EQ(back, original);

        // Every truncation fails: the outer header names the last byte.
        for (std::size_t n = 0; n < coded.size(); ++n) {
            Bytes cut(coded.begin(), coded.begin() + n);
            Bytes out;
            ASSERT_EQ(codec.Expand(out, cut), -1) << n;
        }
        // Appended bytes change nothing.
        for (int k = 1; k <= 8; ++k) {
            Bytes longer = coded;
            for (int e = 0; e < k; ++e) longer.push_back(static_cast<std::uint8_t>(rng()));
            Bytes out;
            ASSERT_EQ(codec.Expand(out, longer), 1);
            ASSERT_EQ(out, original);
        }
        // Single bit flips, everywhere in short data and at random elsewhere.
        const std::size_t bits = coded.size() * 8;
        for (std::size_t k = 0; k < std::min<std::size_t>(bits, 1200); ++k) {
            const std::size_t b = bits <= 1200 ? k : rng() % bits;
            Bytes damaged = coded;
            damaged[b / 8] ^= static_cast<std::uint8_t>(0x80 >> (b % 8));
            tryExpand(damaged);
        }
        // Several random bytes overwritten, bytes inserted or removed, header fields bent.
        for (int k = 0; k < 400; ++k) {
            Bytes damaged = coded;
            switch (k % 4) {
                case 0:
                    for (int e = 0; e < 1 + k % 5; ++e)
                        damaged[rng() % damaged.size()] = static_cast<std::uint8_t>(rng());
                    break;
                case 1:
                    damaged.insert(damaged.begin() + rng() % damaged.size(),
                                   static_cast<std::uint8_t>(rng()));
                    break;
                case 2:
                    damaged.erase(damaged.begin() + rng() % damaged.size());
                    break;
                case 3:
                    damaged[rng() % std::min<std::size_t>(10, damaged.size())] =
                        static_cast<std::uint8_t>(rng());
                    break;
            }
            tryExpand(damaged);
        }
    }
    EXPECT_GT(variants, 5000);
    // Damage can still leave valid data behind (a flipped literal bit), but most is refused.
    EXPECT_LT(accepted, variants / 2);
}

TEST(Expand, BoundsEveryChunkAndTheWhole) {
    CCompress codec;
    // One chunk: a literal 'a', then copies of it from source 0 until it has produced n bytes.
    auto runOf = [](std::size_t n) {
        Bits ch;
        ch.Put(0, 35);
        ch.Put(1, 1);
        ch.Put('a', 8);
        for (std::size_t pos = 1; pos < n;) {
            const std::size_t len = std::min<std::size_t>(18191, n - pos);
            ch.Put(0, 1);
            ch.Put(0, RefBitLen(pos));
            if (len <= 52) {
                ch.Put(1, 1);
                ch.Put((1u << ((len - 2) / 4)) - 1, static_cast<int>((len - 2) / 4));
                ch.Put(0, 1);
                ch.Put((len - 2) % 4, 2);
            } else {
                ch.Put(0, 1);
                ch.Put(len - 2, 15);
            }
            pos += len;
        }
        ch.SetEndHeader();
        Bits all;
        all.Put(0, 35);
        all.Append(ch);
        all.SetEndHeader();
        return all.Pack();
    };
    Bytes out;
    ASSERT_EQ(codec.Expand(out, runOf(70000)), 1);
    EXPECT_EQ(out, Bytes(70000, 'a'));
    // More than the compressor ever puts in a chunk, by a literal or by a copy.
    EXPECT_EQ(codec.Expand(out, runOf(70001)), kExpandMalformed);
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(codec.Expand(out, runOf(90000)), kExpandMalformed);

    // The limit on the whole output, with and without a chunk boundary at it; the output is
    // allocated once, for exactly what it holds.
    for (std::size_t n : {std::size_t{5000}, std::size_t{140000}, std::size_t{140001}}) {
        Bytes in(n);
        for (std::size_t i = 0; i < n; ++i) in[i] = static_cast<std::uint8_t>(i % 7 + 'a');
        Bytes coded;
        ASSERT_EQ(codec.Compress(coded, in), 1);
        Bytes fresh;
        ASSERT_EQ(codec.Expand(fresh, coded, n), 1);
        EXPECT_EQ(fresh, in);
        EXPECT_EQ(fresh.capacity(), n);
        EXPECT_EQ(codec.Expand(fresh, coded, n - 1), kExpandTooLarge) << n;
        EXPECT_TRUE(fresh.empty());
    }
}

TEST(CompressMatch, ChainsAgreeWithBruteForce) {
    // Asked as the coder asks: each answer against scanning every earlier position, on texts
    // the chains must carry through a whole chunk (runs, periods, near repeats, few values).
    CompressChainFinder chain;
    std::mt19937 rng(79);
    const std::size_t n = CCompress::kChunkSize;
    std::vector<std::pair<std::string, Bytes>> texts;
    texts.emplace_back("run", Bytes(n, 'z'));
    for (std::size_t period : {2u, 7u, 300u}) {
        Bytes p = RandomBytes(rng, period, 256), c;
        while (c.size() < n) c.push_back(p[c.size() % period]);
        texts.emplace_back("period " + std::to_string(period), c);
    }
    {
        Bytes block = RandomBytes(rng, 5000, 256), c;
        while (c.size() < n) {
            c.insert(c.end(), block.begin(), block.end());
            c[c.size() - 1 - rng() % block.size()] ^= 1;
        }
        c.resize(n);
        texts.emplace_back("near repeats", c);
    }
    {
        Bytes c = RandomBytes(rng, 3000, 256);  // pairs and short runs near the start
        while (c.size() < n) c.push_back(c[c.size() - 1 - rng() % 8]);
        texts.emplace_back("echoes", c);
    }
    for (const auto& [what, c] : texts) {
        chain.Start(c.data(), static_cast<std::int32_t>(c.size()));
        int failures = 0;
        for (std::size_t i = 1; i < c.size() && failures < 3;) {
            std::int32_t len = 0, source = -1;
            ASSERT_TRUE(chain.Longest(static_cast<std::int32_t>(i), 18191, len, source))
                << what << ": the chains gave up at " << i;
            const Truth t = BruteForce(c, i);
            const std::size_t want =
                t.longest >= 3 || (t.longest == 2 && i < CompressMatchFinder::kPairReach) ? t.longest : 0;
            if (static_cast<std::size_t>(len) != want ||
                (want > 0 && static_cast<std::size_t>(source) != t.earliest[want])) {
                ADD_FAILURE() << what << " at " << i << ": " << len << " from " << source << ", not "
                              << want << " from " << (want ? t.earliest[want] : 0);
                ++failures;
            }
            i += std::max<std::size_t>(want, 1);
        }
    }
    // Text of short matches makes them give up early, leaving it to the suffix array.
    const Bytes book = BookLike(rng, 0, n);
    chain.Start(book.data(), static_cast<std::int32_t>(n));
    std::int32_t i = 1, len = 0, source = -1;
    while (i < static_cast<std::int32_t>(n) && chain.Longest(i, 18191, len, source)) i += std::max(len, 1);
    EXPECT_LT(i, 20000);
    chain.Wipe();
}

TEST(Compress, SameOutputOnEveryThreadCount) {
    // Random books and texts of other shapes over several chunks, the last one partial: the
    // coded bytes of several threads equal those of one, and expand back on any count.
    std::mt19937 rng(31);
    std::vector<std::pair<std::string, Bytes>> texts;
    for (int round = 0; round < 3; ++round)
        texts.emplace_back("book " + std::to_string(round), BookLike(rng, 0, 5 * 70000 + 1 + rng() % 70000));
    {
        // Chunks that switch from the chains to the suffix array half way, and back.
        Bytes mixed;
        for (int part = 0; mixed.size() < 2 * 70000 + 9000; ++part) {
            const Bytes b = part % 2 ? BookLike(rng, 0, 30000 + rng() % 30000) : Bytes(50000, 'q');
            mixed.insert(mixed.end(), b.begin(), b.end());
        }
        texts.emplace_back("mixed", mixed);
    }
    {
        Bytes p = RandomBytes(rng, 7, 256), c;
        while (c.size() < 4 * 70000 + 3) c.push_back(p[c.size() % 7]);
        texts.emplace_back("period", c);
    }
    texts.emplace_back("random", RandomBytes(rng, 3 * 70000 + 5, 256));

    CCompress single, many;
    single.SetThreads(1);
    EXPECT_EQ(single.ThreadsFor(9), 1u);
    for (const auto& [what, in] : texts) {
        Bytes one, back;
        ASSERT_EQ(single.Compress(one, in), 1) << what;
        if (what == "mixed") {
            ASSERT_EQ(one, ReferenceCompress(in)) << what;
        }
        for (unsigned threads : {2u, 3u, 8u}) {
            many.SetThreads(threads);
            EXPECT_EQ(many.ThreadsFor(2), std::min(threads, 2u));
            Bytes coded;
            ASSERT_EQ(many.Compress(coded, in), 1) << what;
            ASSERT_EQ(coded, one) << what << " on " << threads << " threads";
            ASSERT_EQ(many.Expand(back, coded), 1) << what;
            ASSERT_EQ(back, in) << what << " on " << threads << " threads";
        }
        ASSERT_EQ(single.Expand(back, one), 1) << what;
        ASSERT_EQ(back, in) << what;
    }
}

TEST(Expand, FewShortChunksAndALateFault) {
    // Chunks short of 70000 bytes before the last (only crafted data has them) and a fault in
    // a later chunk give the same results as with one chunk per batch, the output exact.
    auto build = [](int chunks, int damagedAt) {
        Bits all;
        all.Put(0, 35);
        for (int k = 0; k < chunks; ++k) {
            Bits ch;
            ch.Put(0, 35);
            ch.Put(1, 1);
            ch.Put(static_cast<std::uint8_t>('a' + k), 8);
            if (k == damagedAt) {
                ch.Put(0, 3);  // a copy from position 1, which it has not produced
                ch.Put(1, 1);
                ch.Put(0, 3);
            }
            ch.SetEndHeader();
            all.Append(ch);
        }
        all.SetEndHeader();
        return all.Pack();
    };
    CCompress codec;
    Bytes out;
    ASSERT_EQ(codec.Expand(out, build(3, -1)), 1);
    EXPECT_EQ(out, FromText("abc"));
    EXPECT_EQ(out.capacity(), 3u);
    EXPECT_EQ(codec.Expand(out, build(3, 1)), kExpandMalformed);
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(codec.Expand(out, build(3, 2)), kExpandMalformed);
    EXPECT_EQ(codec.Expand(out, build(3, 2), 2), kExpandTooLarge);
    EXPECT_TRUE(out.empty());
}

TEST(Expand, ManyChunksInOrderOnEveryThreadCount) {
    // 5000 chunks of one literal each, more than one batch of chunks: each chunk's output
    // lands in its place, and a fault counts as the walk in order meets it. The chunk at
    // 4500 is damaged (a copy from beyond what it produced, after its literal); with the limit
    // below 4501 bytes the limit is met first.
    auto build = [](bool damaged) {
        Bits all;
        all.Put(0, 35);
        for (int k = 0; k < 5000; ++k) {
            Bits ch;
            ch.Put(0, 35);
            ch.Put(1, 1);
            ch.Put(static_cast<std::uint8_t>(k * 13), 8);
            if (damaged && k == 4500) {
                ch.Put(0, 1);       // a copy
                ch.Put(1, 1);       // from position 1, which it has not produced
                ch.Put(1, 1);
                ch.Put(0, 1);
                ch.Put(0, 2);
            }
            ch.SetEndHeader();
            all.Append(ch);
        }
        all.SetEndHeader();
        return all.Pack();
    };
    const Bytes sound = build(false), damaged = build(true);
    for (unsigned threads : {1u, 2u, 5u}) {
        CCompress codec;
        codec.SetThreads(threads);
        Bytes out;
        ASSERT_EQ(codec.Expand(out, sound), 1);
        ASSERT_EQ(out.size(), 5000u);
        for (std::size_t k = 0; k < out.size(); ++k) ASSERT_EQ(out[k], static_cast<std::uint8_t>(k * 13)) << k;
        EXPECT_EQ(codec.Expand(out, sound, 4999), kExpandTooLarge);
        EXPECT_EQ(codec.Expand(out, damaged), kExpandMalformed);
        EXPECT_EQ(codec.Expand(out, damaged, 4501), kExpandMalformed);
        EXPECT_EQ(codec.Expand(out, damaged, 4500), kExpandTooLarge);  // its literal passes the limit
        EXPECT_EQ(codec.Expand(out, damaged, 4499), kExpandTooLarge);
        EXPECT_TRUE(out.empty());
        // A header that does not fit after the last sound chunk.
        Bytes cut = sound;
        cut.resize(cut.size() - 2);
        const std::uint64_t lastBit = cut.size() * 8 - 1;
        cut[0] = static_cast<std::uint8_t>(lastBit >> 27);
        cut[1] = static_cast<std::uint8_t>(lastBit >> 19);
        cut[2] = static_cast<std::uint8_t>(lastBit >> 11);
        cut[3] = static_cast<std::uint8_t>(lastBit >> 3);
        cut[4] = static_cast<std::uint8_t>((cut[4] & 0x1F) | ((7 - lastBit % 8) << 5));
        EXPECT_EQ(codec.Expand(out, cut), kExpandMalformed);
        EXPECT_EQ(codec.Expand(out, cut, 100), kExpandTooLarge);
    }
}
