#include "message/Blocks.h"

#include <algorithm>
#include <new>
#include <string>

#include "bignum/BigInt.h"
#include "book/KeyTree.h"
#include "crypto/CRSA.h"
#include "message/DetailRows.h"
#include "message/HexText.h"

namespace morvane {

namespace {

constexpr std::uint32_t kFirstHeaderBytes = 19;  // reserved, attribute, strength, type, total, serial, L
constexpr std::uint32_t kLaterHeaderBytes = 9;   // reserved, serial, L

std::uint32_t Capacity(const MessageBlock& h)
{
    return h.m - (h.first == 1 ? kFirstHeaderBytes : kLaterHeaderBytes);
}

// Little-endian bytes of a field value, as PutBlockField takes them.
template <class T>
void ValueBytes(T value, std::uint8_t* out)
{
    for (std::size_t i = 0; i < sizeof(T); ++i)
        out[i] = static_cast<std::uint8_t>(static_cast<std::uint64_t>(value) >> (8 * i));
}

template <class T>
int PutValue(KeyTree& tree, BigInt& number, T value, int& position, std::int32_t row)
{
    std::uint8_t bytes[sizeof(T)];
    ValueBytes(value, bytes);
    return PutBlockField(tree, number, bytes, position, sizeof(T), row);
}

// Reads a big-endian field of count bytes whose top byte is at position.
std::uint32_t ReadValue(const BigInt& number, int& position, std::uint32_t count)
{
    std::uint8_t bytes[4] = {};
    ExtractBytesDown(number, bytes, position, count, false);
    std::uint32_t v = 0;
    for (std::uint32_t i = 0; i < count; ++i)
        v = v << 8 | bytes[i];
    return v;
}

Node WorkingRecord(const KeyTree& tree) { return tree.Live(tree.markedParent); }

bool IsSecondEngine(const CRSA& engine) { return engine.mode == 1; }

// The key's modulus as the block header sees it; false when it cannot carry blocks.
bool BlockGeometry(const CRSA& engine, std::uint32_t& strength, std::uint32_t& m, std::uint32_t& blockBytes)
{
    strength = BitLength(engine.N);
    m = (strength + 7) / 8;
    blockBytes = TransmittedBlockBytes(engine);
    return m >= kMinBlockModulusBytes && strength <= 0xFFFF;
}

}  // namespace

void NotifyActivity(KeyTree& tree, ActivityMode mode)
{
    if (tree.view)
        tree.view->ActivityChanged(mode);
}

void NotifyProgress(KeyTree& tree)
{
    const std::int64_t total = tree.progressTotal;
    if (tree.view && total > 0)
        tree.view->ProgressChanged(static_cast<int>((total - tree.progressDone) * 100 / total));
}

void CountBlocks(std::uint64_t length, std::uint32_t m, std::int32_t& serial, std::uint64_t& outSize)
{
    if (m < kMinBlockModulusBytes) {
        serial = -1;
        outSize = 0;
        return;
    }
    std::uint64_t count = 1;
    if (length + kFirstHeaderBytes > m)
        count = (length + kLaterHeaderBytes) / (m - kLaterHeaderBytes) + 1;
    serial = static_cast<std::int32_t>(std::min<std::uint64_t>(count - 1, INT32_MAX));
    outSize = count * m;
}

std::uint32_t TransmittedBlockBytes(const CRSA& engine)
{
    return 4 * engine.N.length;
}

std::size_t LeadingBlockFill(const CRSA& engine, const std::vector<std::uint8_t>& sealed)
{
    const std::size_t blockBytes = TransmittedBlockBytes(engine);
    const std::size_t fill = blockBytes ? sealed.size() % blockBytes : 0;
    for (std::size_t i = 0; i < fill; ++i)
        if (sealed[i] != 0)
            return 0;
    return fill;
}

int PutBlockField(KeyTree& tree, BigInt& number, const std::uint8_t* bytes, int& position, std::uint32_t count,
                  std::int32_t row)
{
    const bool message = row == KindCode(ItemKind::BlockTextRow);
    if (InsertBytesDown(number, bytes, position, count, !message) != 1)
        return -1;
    std::string hex;
    if (ToHexText(hex, 0, bytes, count, message ? kHexFirstByteFirst : kHexLastByteFirst) != 1)
        return -1;
    return ShowDetailRow(tree.book, WorkingRecord(tree), row, count, hex) ? 1 : -1;
}

int PackBlock(KeyTree& tree, CRSA& engine, BigInt& number, const std::uint8_t* data, const MessageBlock& header)
{
    const std::uint32_t m = header.m;
    const std::uint32_t L = header.length;
    const bool first = header.first == 1;
    if (m < kMinBlockModulusBytes || L > Capacity(header) || m > static_cast<std::uint32_t>(INT32_MAX))
        return -1;
    if (SetWord(number, 0) != 0)
        return -1;
    int position = static_cast<int>(m) - 1;
    const std::uint8_t reserved = 0;
    if (PutBlockField(tree, number, &reserved, position, 1, KindCode(ItemKind::ReservedRow)) != 1)
        return -1;
    if (first) {
        if (PutValue(tree, number, header.attribute, position, KindCode(ItemKind::AttributeRow)) != 1 ||
            PutValue(tree, number, header.strength, position, KindCode(ItemKind::StrengthRow)) != 1 ||
            PutValue(tree, number, header.type, position, KindCode(ItemKind::PaddingTypeRow)) != 1 ||
            PutValue(tree, number, header.total, position, KindCode(ItemKind::TotalLengthRow)) != 1)
            return -1;
    }
    if (PutValue(tree, number, header.serial, position, KindCode(ItemKind::SerialRow)) != 1 ||
        PutValue(tree, number, header.length, position, KindCode(ItemKind::ConsumedRow)) != 1)
        return -1;

    // Padding fills byte positions L..position.
    const int from = static_cast<int>(L);
    int filled;
    if (header.type == kBlockEncrypt)
        filled = engine.FillRandomPadding(number, &tree.random, from, position);
    else if (header.type == kBlockSign)
        filled = engine.FillFixedPadding(number, from, position);
    else
        return -1;
    if (filled != 1)
        return -1;
    const std::uint32_t padCount = static_cast<std::uint32_t>(position - from + 1);
    std::string hex;
    try {
        std::vector<std::uint8_t> pad(padCount);
        int top = position;
        ExtractBytesDown(number, pad.data(), top, padCount, false);
        if (ToHexText(hex, 0, pad.data(), padCount, kHexFirstByteFirst) != 1)
            return -1;
    } catch (const std::bad_alloc&) {
        return -1;
    }
    if (!ShowDetailRow(tree.book, WorkingRecord(tree), KindCode(ItemKind::PaddingRow), padCount, hex))
        return -1;

    position = static_cast<int>(L) - 1;
    if (L > 0 && PutBlockField(tree, number, data, position, L, KindCode(ItemKind::BlockTextRow)) != 1)
        return -1;
    if (L == 0 && !ShowDetailRow(tree.book, WorkingRecord(tree), KindCode(ItemKind::BlockTextRow), 0, {}))
        return -1;

    try {
        std::vector<std::uint8_t> whole(m);
        int top = static_cast<int>(m) - 1;
        ExtractBytesDown(number, whole.data(), top, m, false);
        if (ToHexText(hex, 0, whole.data(), m, kHexFirstByteFirst) != 1)
            return -1;
    } catch (const std::bad_alloc&) {
        return -1;
    }
    return ShowDetailRow(tree.book, WorkingRecord(tree), KindCode(ItemKind::BlockNumberRow), 2 * m, hex) ? 1 : -1;
}

int UnpackBlock(std::uint8_t* data, const BigInt& number, MessageBlock& header, const MessageBlock& expected)
{
    const std::uint32_t m = header.m;
    if (m < kMinBlockModulusBytes || m > static_cast<std::uint32_t>(INT32_MAX))
        return kBlockBadLength;
    // The reserved top byte, and anything a longer modulus would have above it, is 0.
    if (BitLength(number) > 8 * (m - 1))
        return kBlockDamaged;
    int position = static_cast<int>(m) - 2;
    if (header.first == 1) {
        header.first = 2;
        const std::uint32_t attribute = ReadValue(number, position, 2);
        const std::uint32_t strength = ReadValue(number, position, 2);
        const std::uint32_t type = ReadValue(number, position, 2);
        if (attribute != expected.attribute || strength != expected.strength || type != expected.type)
            return kBlockHeaderMismatch;
        header.total = ReadValue(number, position, 4);
    }
    header.serial = static_cast<std::int32_t>(ReadValue(number, position, 4));
    const std::uint32_t L = ReadValue(number, position, 4);
    header.length = L;
    if (L > static_cast<std::uint32_t>(position) + 1)
        return kBlockBadLength;
    // The padding is what the encoder always writes: 0xFF for a signature, never 0 otherwise.
    const std::uint32_t padCount = static_cast<std::uint32_t>(position + 1) - L;
    for (std::uint32_t i = 0; i < padCount; ++i) {
        std::uint8_t b;
        ExtractBytesDown(number, &b, position, 1, false);
        if ((expected.type == kBlockSign && b != 0xFF) || (expected.type != kBlockSign && b == 0))
            return kBlockDamaged;
    }
    ExtractBytesDown(number, data, position, L, false);
    return static_cast<int>(L);
}

int EncryptMessageBlock(KeyTree& tree, CRSA& engine, std::vector<std::uint8_t>& out, std::size_t& outLength,
                        const std::uint8_t* data, std::uint32_t& consumed, MessageBlock& header, BigInt& work)
{
    const std::uint32_t blockBytes = TransmittedBlockBytes(engine);
    const std::size_t words = engine.N.length;
    if (outLength > out.size() || out.size() - outLength < blockBytes || header.m < kMinBlockModulusBytes ||
        header.m > blockBytes || consumed > header.total)
        return -1;
    header.length = std::min(Capacity(header), header.total - consumed);
    if (PackBlock(tree, engine, work, data + consumed, header) != 1)
        return -1;
    if (header.first == 1)
        header.first = 2;
    int transformed;
    if (header.type == kBlockEncrypt)
        transformed = engine.PublicPower(work, work);
    else if (header.type == kBlockSign)
        transformed = engine.PrivatePower(work, work);
    else
        return -1;
    if (transformed != 1 || work.length > words)
        return -1;
    consumed += header.length;
    int top = static_cast<int>(blockBytes) - 1;
    ExtractBytesDown(work, out.data() + outLength, top, blockBytes, false);
    outLength += blockBytes;
    return 1;
}

int DecryptMessageBlock(CRSA& engine, std::vector<std::uint8_t>& out, std::size_t& outLength,
                        const std::uint8_t* input, std::size_t inputLength, std::size_t& position,
                        MessageBlock& header, BigInt& work)
{
    const std::uint32_t blockBytes = TransmittedBlockBytes(engine);
    if (blockBytes == 0 || position > inputLength || inputLength - position < blockBytes ||
        header.m < kMinBlockModulusBytes || header.m > blockBytes || outLength > out.size())
        return -1;
    if (SetWord(work, 0) != 0)
        return -1;
    int top = static_cast<int>(blockBytes) - 1;
    if (InsertBytesDown(work, input + position, top, blockBytes, false) != 1)
        return -1;
    int transformed;
    if (header.type == kBlockEncrypt)
        transformed = engine.PrivatePower(work, work);
    else if (header.type == kBlockSign)
        transformed = engine.PublicPower(work, work);
    else
        return -1;
    if (transformed != 1 || work.length > engine.N.length)
        return -1;
    const MessageBlock expected = header;
    std::uint8_t* dst = out.data() + outLength;
    if (out.size() - outLength < header.m - kLaterHeaderBytes)
        return -1;
    const int L = UnpackBlock(dst, work, header, expected);
    if (L < 0)
        return -1;
    position += blockBytes;
    outLength += static_cast<std::size_t>(L);
    return 1;
}

int EncryptMessage(KeyTree& tree, CRSA& engine, std::vector<std::uint8_t>& out, std::size_t& outLength,
                   const std::uint8_t* data, std::size_t length, std::uint16_t attribute, std::uint16_t type)
{
    const Node record = WorkingRecord(tree);
    if (ResetDetailRows(tree.book, record, 0) != 1 || ShowDetailNodes(tree.book, record, false) != 1)
        return -1;
    tree.progressTotal = tree.progressDone = -1;
    tree.menusEnabled = false;
    const bool second = IsSecondEngine(engine);
    NotifyActivity(tree, second ? kActivitySigning : kActivityEncrypting);

    std::uint32_t strength, m, blockBytes;
    if (!BlockGeometry(engine, strength, m, blockBytes) || length > UINT32_MAX || (length > 0 && data == nullptr))
        return -1;
    MessageBlock header;
    header.first = 1;
    header.attribute = attribute;
    header.type = type;
    header.strength = static_cast<std::uint16_t>(strength);
    header.total = static_cast<std::uint32_t>(length);
    header.m = m;
    std::uint64_t layoutSize;
    CountBlocks(length, m, header.serial, layoutSize);
    const std::uint64_t blocks = static_cast<std::uint64_t>(header.serial) + 1;
    outLength = 0;
    try {
        out.assign(blocks * blockBytes, 0);
    } catch (const std::bad_alloc&) {
        return -1;
    } catch (const std::length_error&) {
        return -1;
    }

    std::string hex;
    if (ToHexText(hex, 0, data, length, kHexFirstByteFirst) != 1 ||
        !ShowDetailRow(tree.book, record, KindCode(ItemKind::MessageRow), static_cast<std::uint32_t>(length), hex))
        return -1;

    BigInt work;
    std::uint32_t consumed = 0;
    tree.progressTotal = header.serial + 1;
    while (header.serial >= 0) {
        if (EncryptMessageBlock(tree, engine, out, outLength, data, consumed, header, work) != 1)
            return -1;
        tree.progressDone = header.serial;
        NotifyProgress(tree);
        header.serial -= 1;
    }
    tree.menusEnabled = true;
    if (second)
        NotifyActivity(tree, kActivityIdle);
    return 1;
}

int DecryptMessage(KeyTree& tree, CRSA& engine, std::vector<std::uint8_t>& out, std::size_t& outLength,
                   const std::uint8_t* input, std::size_t length, std::uint16_t attribute, std::uint16_t type)
{
    tree.progressTotal = tree.progressDone = -1;
    tree.menusEnabled = false;
    NotifyActivity(tree, IsSecondEngine(engine) ? kActivityVerifying : kActivityDecrypting);

    std::uint32_t strength, m, blockBytes;
    if (!BlockGeometry(engine, strength, m, blockBytes) || blockBytes == 0)
        return -1;
    // No block at all is no message, not an empty one.
    if (length == 0 || length % blockBytes != 0 || input == nullptr)
        return -1;
    const std::size_t blocksHeld = length / blockBytes;

    MessageBlock header;
    header.first = 1;
    header.attribute = attribute;
    header.type = type;
    header.strength = static_cast<std::uint16_t>(strength);
    header.total = static_cast<std::uint32_t>(std::min<std::size_t>(length, UINT32_MAX));
    header.m = m;
    outLength = 0;
    try {
        out.assign(length, 0);
    } catch (const std::bad_alloc&) {
        return -1;
    }

    BigInt work;
    std::size_t position = 0;
    std::int32_t expectedSerial = -1;
    std::uint64_t total = 0;
    for (;;) {
        const bool first = header.first == 1;
        const std::size_t before = outLength;
        if (DecryptMessageBlock(engine, out, outLength, input, length, position, header, work) != 1)
            return -1;
        if (first) {
            // The first block announces how many follow; they must all be in the input.
            // It must also be the count the encoder gives for the announced total.
            std::int32_t serial;
            std::uint64_t size;
            CountBlocks(header.total, m, serial, size);
            if (header.serial < 0 || static_cast<std::uint64_t>(header.serial) + 1 > blocksHeld ||
                header.serial != serial)
                return -1;
            total = header.total;
            tree.progressTotal = header.serial + 1;
        } else if (header.serial != expectedSerial) {
            return -1;
        }
        // Every block carries as much of the message as it can, the last one the rest.
        const std::uint64_t capacity = m - (first ? kFirstHeaderBytes : kLaterHeaderBytes);
        if (outLength - before != std::min<std::uint64_t>(capacity, total - before))
            return -1;
        tree.progressDone = header.serial;
        NotifyProgress(tree);
        if (header.serial == 0)
            break;
        expectedSerial = header.serial - 1;
    }
    if (outLength != total)
        return -1;
    try {
        out.resize(attribute != 1 ? outLength + 1 : outLength);
        if (attribute != 1)
            out[outLength] = 0;
    } catch (const std::bad_alloc&) {
        return -1;
    }
    tree.menusEnabled = true;
    return 1;
}

}  // namespace morvane
