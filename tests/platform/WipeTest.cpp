// Wiping: every byte a secret ever occupied in a buffer is zero afterwards, including the
// spare capacity and the short-string buffer, which plain clear() and assignment leave alone.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <new>
#include <string>
#include <vector>

#include "platform/Wipe.h"

using namespace morvane;

namespace {

bool AllZero(const void* p, std::size_t n)
{
    const auto* b = static_cast<const unsigned char*>(p);
    return std::all_of(b, b + n, [](unsigned char c) { return c == 0; });
}

TEST(Wipe, StringsAndVectorsUpToTheirCapacity)
{
    // A heap buffer whose tail past the current size still holds an older, longer secret.
    std::string heap(60, 'k');
    heap.resize(5);
    const char* heapData = heap.data();
    const std::size_t heapBytes = heap.capacity() + 1;
    Wipe(heap);
    EXPECT_TRUE(heap.empty());
    ASSERT_EQ(heap.data(), heapData);
    EXPECT_TRUE(AllZero(heapData, heapBytes));

    // A short string lives inside the object.
    std::string inline_("pw1");
    const char* inlineData = inline_.data();
    const std::size_t inlineBytes = inline_.capacity() + 1;
    Wipe(inline_);
    EXPECT_TRUE(AllZero(inlineData, inlineBytes));

    std::vector<std::uint32_t> words(40, 0xA5A5A5A5u);
    words.resize(3);
    const std::uint32_t* wordData = words.data();
    const std::size_t wordBytes = words.capacity() * sizeof(std::uint32_t);
    {
        WipeOnExit guard{words};
    }
    EXPECT_TRUE(words.empty());
    EXPECT_TRUE(AllZero(wordData, wordBytes));
}

TEST(Wipe, ReplacingASecretLeavesNoTailOfTheOldOne)
{
    std::string target(48, 'o');  // old secret, on the heap
    const char* data = target.data();
    std::string shorter = "new";
    ReplaceSecret(target, shorter);
    EXPECT_EQ(target, "new");
    EXPECT_EQ(shorter, "new");  // a replacement's source is left alone
    ASSERT_EQ(target.data(), data);  // the buffer was reused...
    EXPECT_TRUE(AllZero(data + 3, target.capacity() - 3 + 1));  // ...with nothing after the value

    std::string source(30, 's');
    const char* sourceData = source.data();
    const std::size_t sourceBytes = source.capacity() + 1;
    TakeSecret(target, source);
    EXPECT_EQ(target, std::string(30, 's'));
    EXPECT_TRUE(source.empty());
    EXPECT_TRUE(AllZero(sourceData, sourceBytes));

    TakeSecret(target, target);  // taking from itself keeps the value
    EXPECT_EQ(target, std::string(30, 's'));
}

TEST(Wipe, SecretArrayWipesItselfAtTheEndOfItsLifetime)
{
    using Key = SecretArray<std::uint8_t, 32>;
    alignas(Key) unsigned char storage[sizeof(Key)];
    Key* key = new (storage) Key;
    key->fill(0xC3);
    key->~Key();
    // Read through volatile: the object is gone, only its bytes are looked at.
    const volatile unsigned char* bytes = storage;
    int nonZero = 0;
    for (std::size_t i = 0; i < sizeof(storage); ++i)
        nonZero += bytes[i] != 0;
    EXPECT_EQ(nonZero, 0);
}

}  // namespace
