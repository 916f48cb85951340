// Thousands of damaged book files and run files: flipped, cut short, extended, and (for the
// book file) damaged inside the cipher so that the expander and the stream reader see the
// damage too. Nothing may crash or read out of bounds (run under AddressSanitizer), and a
// load that fails must leave the open book exactly as it was.
#include "BookFileTesting.h"

#include <cstdlib>

#include "book/Compress.h"
#include "book/RunFile.h"
#include "crypto/Md5.h"
#include "platform/Text.h"

using namespace morvane;

namespace {

int Rounds(int normal)
{
    return std::getenv("MORVANE_LONG_TESTS") ? normal * 30 : normal;
}

// One random damage: flips, a cut, an extension or an overwritten run.
Bytes Damage(Bytes b, std::mt19937& rng)
{
    switch (rng() % 4) {
    case 0: {
        const int flips = 1 + static_cast<int>(rng() % 4);
        for (int i = 0; i < flips && !b.empty(); ++i)
            b[rng() % b.size()] ^= static_cast<std::uint8_t>(1u << (rng() % 8));
        break;
    }
    case 1:
        b.resize(b.empty() ? 0 : rng() % b.size());
        break;
    case 2: {
        const std::size_t n = 1 + rng() % 64;
        for (std::size_t i = 0; i < n; ++i)
            b.push_back(static_cast<std::uint8_t>(rng()));
        break;
    }
    default:
        if (!b.empty()) {
            const std::size_t at = rng() % b.size();
            const std::size_t n = std::min<std::size_t>(b.size() - at, 1 + rng() % 8);
            const std::uint8_t v = rng() % 2 ? 0xFF : static_cast<std::uint8_t>(rng());
            for (std::size_t i = 0; i < n; ++i)
                b[at + i] = v;
        }
        break;
    }
    return b;
}

// A book file around compressed content z, with correct digests.
Bytes Wrap(CRijndael& cipher, const Bytes& z, const std::string& password)
{
    Bytes plain = z;
    const Md5Bytes d = Md5Of(std::span<const std::uint8_t>(z));
    plain.insert(plain.end(), d.begin(), d.end());
    Bytes file;
    if (cipher.Encrypt(file, plain, password) != 1)
        return {};
    const Md5Bytes pd = Md5Of(password);
    file.insert(file.begin(), pd.begin(), pd.end());
    return file;
}

std::size_t Walk(const Book& b)
{
    std::size_t n = 0;
    for (Node x = b.FirstRoot(); x; x = b.NextPreOrder(x))
        ++n;
    return n;
}

using Mutation = BookFileFixture;

TEST_F(Mutation, DamagedBookFilesNeverHarmTheOpenBook)
{
    KeyTree source;
    FillRandom(source, 5, 120);
    Bytes file;
    ASSERT_EQ(EncodeBookFile(source, "pw", file), 1);
    Bytes stream, z;
    ASSERT_EQ(DecodeBookContent(std::span<const std::uint8_t>(file).subspan(16), "pw", source.cipher, source.codec, stream),
              BookContentError::None);
    {
        Bytes plain;
        ASSERT_EQ(source.cipher.Decrypt(plain, std::span<const std::uint8_t>(file).subspan(16), "pw"), 1);
        z.assign(plain.begin(), plain.end() - 16);
    }

    KeyTree target(&desk);
    std::string before;
    auto reset = [&] {
        target.book.Clear();
        BuildSampleBook(target.book);
        target.ForgetAllHandles();
        Node root = target.book.FirstRoot();
        target.markedParent = root;
        target.clickedItem = target.book.FirstChild(root);
        target.bookPassword = "pw";
        target.bookPath = "/keep.Bk";
        before = DumpBook(target.book);
    };
    reset();

    std::mt19937 rng(2024);
    CCompress coder;
    int loaded = 0, refused = 0;
    const int rounds = Rounds(2500);
    for (int i = 0; i < rounds; ++i) {
        Bytes variant;
        switch (i % 3) {
        case 0:  // the file itself: caught by the password or content digest or the cipher
            variant = Damage(file, rng);
            break;
        case 1:  // the compressed content, digests made right: the expander sees the damage
            variant = Wrap(target.cipher, Damage(z, rng), "pw");
            break;
        default: {  // the stream, compressed and wrapped: the stream reader sees the damage
            Bytes s = Damage(stream, rng), zz;
            if (s.empty() || coder.Compress(zz, s) != 1)
                continue;
            variant = Wrap(target.cipher, zz, "pw");
            break;
        }
        }
        desk.messages.clear();
        desk.passwordRequests.clear();
        const LoadOutcome r = LoadBookData(target, variant, "/damaged.Bk");
        if (r.Loaded()) {
            ++loaded;
            ASSERT_EQ(target.book.ChildCount(Node{}), 1u) << i;
            ASSERT_EQ(Walk(target.book), target.book.NodeCount()) << i;
            ASSERT_TRUE(!target.markedParent || target.book.Valid(target.markedParent)) << i;
            ASSERT_FALSE(target.clickedItem) << i;
            ASSERT_EQ(target.bookPath, "/damaged.Bk");
            reset();
        } else {
            ++refused;
            ASSERT_EQ(DumpBook(target.book), before) << "variant " << i;
            ASSERT_EQ(target.bookPath, "/keep.Bk");
            ASSERT_EQ(target.bookPassword, "pw");
            ASSERT_TRUE(target.book.Valid(target.clickedItem));
            ASSERT_EQ(target.markedParent, target.book.FirstRoot());
        }
    }
    // Both ways must have been exercised, or the damage is not reaching the readers.
    EXPECT_GT(loaded, 0);
    EXPECT_GT(refused, rounds / 2);
}

TEST_F(Mutation, DamagedRunFilesStartCleanly)
{
    KeyTree saved;
    const std::string bookPath = SaveRandomBookIn(saved, 9, 60, "簿", "b.Bk");
    const std::string seedPath = InHome("seed.sd");
    {
        KeyTree t;
        t.loginPassword = "pw";
        t.random.SetSeedPath(seedPath);
        ASSERT_EQ(t.random.SaveSeed(), 1);
    }
    const Bytes base = BuildRunFile("pw", Gbk(bookPath), Gbk(seedPath));

    // Damaged paths may name any place: no file may be written while this runs.
    ScopedAtomicFault noWrites([](AtomicStep, const std::string&) { return true; });
    std::mt19937 rng(77);
    int started = 0, reopened = 0;
    const int rounds = Rounds(3000);
    for (int i = 0; i < rounds; ++i) {
        const Bytes variant = Damage(base, rng);

        const RunFileFields f = ParseRunFile(variant);
        ASSERT_TRUE(!f.hasSeedPath || f.hasBookPath);
        ASSERT_TRUE(!f.hasBookPath || f.hasDigest);
        if (f.hasSeedPath) {
            ASSERT_LE(16 + 4 + f.bookPath.size() + 4 + f.seedPath.size(), variant.size());
        }

        PutFile(RunFilePath(), variant);
        desk.messages.clear();
        desk.passwordRequests.clear();
        desk.passwords = {std::string("pw")};
        KeyTree t(&desk);
        if (!StartUp(t))
            continue;  // the digest was damaged: the login was refused, then cancelled
        ++started;
        if (t.bookPath.empty()) {
            ASSERT_EQ(Utf8(t.book.Text(t.book.FirstRoot())), "加密通讯薄") << i;
        } else {
            ++reopened;
            ASSERT_EQ(t.bookPath, bookPath) << i;
            ASSERT_TRUE(BooksEqual(t.book, saved.book)) << i;
        }
        ASSERT_FALSE(t.random.SeedPath().empty());
    }
    EXPECT_GT(started, rounds / 2);
    EXPECT_GT(reopened, 0);
}

}  // namespace
