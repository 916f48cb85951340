#include "message/SingleStep.h"

#include <climits>
#include <memory>
#include <cstdlib>
#include <new>
#include <string>

#include "bignum/BigInt.h"
#include "book/KeyRecord.h"
#include "book/KeyTree.h"
#include "book/Queries.h"
#include "book/Records.h"
#include "message/ArmoredText.h"
#include "message/Blocks.h"
#include "message/DetailRows.h"
#include "message/HexText.h"
#include "book/Marking.h"
#include "message/Protect.h"
#include "platform/Text.h"

namespace morvane {

namespace {

void Inform(KeyTree& tree, const Phrase& text)
{
    if (tree.desktop)
        Tell(*tree.desktop, text, MsgIcon::Information);
}

void MarkUse(KeyTree& tree, Node record)
{
    Book& book = tree.book;
    SetField(book, record, KindCode(ItemKind::DateField),
             FormatDate(tree.desktop ? tree.desktop->Now() : std::time(nullptr)));
    CountUse(book, record);
}

// A copy of the record's complete key for the session, with the engine's mode.
std::unique_ptr<CRSA> SessionEngine(KeyTree& tree, Node record, std::int32_t mode)
{
    auto engine = std::make_unique<CRSA>();
    engine->mode = mode;
    int complete = 0;
    if (LoadKey(*engine, complete, tree, record) != 1 || complete != 1)
        return nullptr;
    return engine;
}

// Hex digits of a detail row's value, other characters skipped.
std::uint32_t RowHexValue(const Book& book, Node group, std::int32_t row, bool& ok)
{
    FieldLine line;
    const Node n = FindChildByKind(book, group, row);
    if (!n || !SplitFieldText(row, book.Text(n), line.label, line.value)) {
        ok = false;
        return 0;
    }
    std::uint64_t v = 0;
    for (char c : line.value) {
        const int d = UpperHexDigit(c);
        if (d >= 0)
            v = std::min<std::uint64_t>(v * 16 + static_cast<unsigned>(d), UINT32_MAX);
    }
    return static_cast<std::uint32_t>(v);
}

}  // namespace

StepContext& ResetStep(StepContext& context)
{
    context = StepContext{};
    return context;
}

int PrepareStep(KeyTree& tree, CRSA& engine, std::uint32_t length)
{
    StepContext& c = tree.step;
    const std::uint32_t m = (BitLength(engine.N) + 7) / 8;
    std::int32_t serial;
    std::uint64_t layoutSize;
    CountBlocks(length, m, serial, layoutSize);
    const std::uint64_t size = (static_cast<std::uint64_t>(serial) + 1) * TransmittedBlockBytes(engine);
    if (serial < 0 || size > UINT32_MAX)
        return -1;
    if (engine.mode == 1) {
        c.signSerial = serial;
        c.signatureSize = static_cast<std::uint32_t>(size);
    } else {
        c.encryptSerial = serial;
        c.encryptionSize = static_cast<std::uint32_t>(size);
    }
    return 1;
}

int StepBlock(KeyTree& tree, CRSA& engine)
{
    StepContext& c = tree.step;
    Book& book = tree.book;
    const bool signPhase = engine.mode == 1;
    const Node record = signPhase ? c.key : c.lock;
    std::vector<std::uint8_t>& buffer = signPhase ? c.signature : c.encryption;
    MessageBlock& h = c.header;

    if (signPhase ? c.signFirst : c.encryptFirst) {
        NotifyActivity(tree, kActivityIdle);
        h = MessageBlock{};
        h.first = 1;
        h.attribute = 2;
        const std::uint32_t strength = BitLength(engine.N);
        if (strength > 0xFFFF)
            return -1;
        h.strength = static_cast<std::uint16_t>(strength);
        tree.progressTotal = tree.progressDone = -1;
        tree.menusEnabled = false;
        c.outputLength = c.consumed = 0;
        ActivityMode activity;
        std::uint32_t size;
        if (signPhase) {
            c.signFirst = false;
            h.total = c.signInputLength;
            h.type = kBlockSign;
            h.serial = c.signSerial;
            activity = kActivitySigning;
            size = c.signatureSize;
        } else {
            c.encryptFirst = false;
            h.total = c.sign == 1 ? c.signatureSize : c.encryptInputLength;
            h.type = kBlockEncrypt;
            h.serial = c.encryptSerial;
            activity = kActivityEncrypting;
            size = c.encryptionSize;
        }
        tree.progressTotal = h.serial + 1;
        NotifyActivity(tree, activity);
        if (signPhase) {
            if (ResetDetailRows(book, c.lock, 0) != 1 || ResetDetailRows(book, c.key, 0) != 1 ||
                ShowDetailNodes(book, c.lock, false) != 1)
                return -1;
            book.Expand(c.lock, false);
        } else if (c.sign == 1) {
            if (ShowDetailNodes(book, c.key, false) != 1)
                return -1;
            book.Expand(c.key, false);
        } else if (ResetDetailRows(book, c.lock, 0) != 1) {
            return -1;
        }
        if (ShowDetailNodes(book, record, true) != 1)
            return -1;
        book.Expand(record, true);
        h.m = (strength + 7) / 8;
        try {
            buffer.assign(size, 0);
        } catch (const std::bad_alloc&) {
            return -1;
        }
        if (signPhase || c.sign != 1) {
            std::string hex;
            if (h.total > c.input.size() || ToHexText(hex, 0, c.input.data(), h.total, kHexFirstByteFirst) != 1 ||
                !ShowDetailRow(book, record, KindCode(ItemKind::MessageRow), h.total, hex))
                return -1;
        }
    }

    const std::vector<std::uint8_t>& input = signPhase || c.sign != 1 ? c.input : c.signature;
    if (h.total > input.size())
        return -1;
    // From the second block on, the first block's header rows no longer apply.
    if (c.outputLength == TransmittedBlockBytes(engine) && ResetDetailRows(book, record, KindCode(ItemKind::MessageRow)) != 1)
        return -1;

    const std::uint32_t before = c.outputLength;
    std::size_t outputLength = c.outputLength;
    BigInt work;
    if (EncryptMessageBlock(tree, engine, buffer, outputLength, input.data(), c.consumed, h, work) != 1)
        return -1;
    c.outputLength = static_cast<std::uint32_t>(outputLength);
    h.serial -= 1;
    tree.progressDone = h.serial + 1;
    NotifyProgress(tree);
    (signPhase ? c.signSerial : c.encryptSerial) = h.serial;

    std::string hex;
    if (ToHexText(hex, 0, buffer.data() + before, c.outputLength - before, kHexFirstByteFirst) != 1 ||
        !ShowDetailRow(book, record, KindCode(ItemKind::PostTextRow), hex.size(), hex))
        return -1;
    return 1;
}

int StepCommand(KeyTree& tree, Node record, int sign, int& result)
{
    StepContext& c = tree.step;
    Book& book = tree.book;
    CommandGuard guard(tree);

    // A press for another lock than the session's ends that session and starts a new one.
    if (!c.sessionFirst && c.lock != record) {
        NotifyActivity(tree, kActivityIdle);
        ResetStep(c);
    }
    if (c.sessionFirst) {
        // A first press that fails leaves no half-made session: the next press starts afresh.
        auto abandon = [&]() {
            ResetStep(c);
            return -1;
        };
        c.active = true;
        c.sessionFirst = false;
        const Node clicked = tree.Live(tree.clickedItem);
        if (book.Kind(clicked) != KindCode(ItemKind::InputField) || book.Kind(record) != KindCode(ItemKind::Lock))
            return abandon();
        c.inputField = clicked;
        c.sign = sign == 1 ? 1 : 0;
        c.pendingButton = sign == 1 ? 2 : 1;
        FieldLine in;
        if (GetField(book, record, KindCode(ItemKind::InputField), in) != 1)
            return abandon();
        if (in.value.empty()) {
            Inform(tree, MORVANE_TR("Message", "输入不能为空"));
            result = -1;
            abandon();
            RedisplayLine(tree, clicked);
            return -1;
        }
        if (in.value.size() > UINT32_MAX / 2)
            return abandon();
        c.input.assign(in.value.begin(), in.value.end());
        const std::uint32_t length = static_cast<std::uint32_t>(c.input.size());
        c.lock = record;
        c.signerField = kNoSigner;
        c.lockEngine = SessionEngine(tree, record, 2);
        if (!c.lockEngine)
            return abandon();
        std::uint32_t encryptLength = length;
        if (c.sign == 1) {
            c.signInputLength = length;
            Node key;
            if (FindPartner(tree, key, c.signerField, record, kPartnerKey) != 1 || !key)
                return abandon();
            c.key = key;
            c.signEngine = SessionEngine(tree, key, 1);
            if (!c.signEngine)
                return abandon();
            tree.markedParent = key;
            if (PrepareStep(tree, *c.signEngine, length) != 1 ||
                SetField(book, key, KindCode(ItemKind::InputField), in.value) != 1)
                return abandon();
            tree.markedParent = record;
            encryptLength = c.signatureSize;
        } else {
            c.encryptInputLength = length;
            c.signSerial = -1;
        }
        if (PrepareStep(tree, *c.lockEngine, encryptLength) != 1)
            return abandon();
    }
    if (!c.active || !c.lockEngine || (c.signSerial >= 0 && !c.signEngine))
        return -1;

    bool signEnded = false;
    Phrase message;
    if (c.signSerial >= 0) {
        tree.markedParent = c.key;
        const int stepped = StepBlock(tree, *c.signEngine);
        tree.markedParent = c.lock;
        if (stepped != 1)
            return -1;
        DisplayLine(tree, c.inputField);
        c.last = c.key;
        if (c.signSerial >= 0) {
            guard.Finish();
            return 1;
        }
        signEnded = true;
        message = MORVANE_TR("Message", "单步签字完成!继续按键进行单步加密");
        tree.markedParent = c.lock;
    } else if (c.encryptSerial >= 0) {
        tree.markedParent = c.lock;
        if (StepBlock(tree, *c.lockEngine) != 1)
            return -1;
        DisplayLine(tree, c.inputField);
        c.last = c.lock;
        if (c.encryptSerial >= 0) {
            guard.Finish();
            return 1;
        }
        message = c.sign == 1 ? MORVANE_TR("Message", "单步签字并加密完成!") : MORVANE_TR("Message", "单步加密完成!");
    } else {
        ResetStep(c);
        return -1;
    }

    MarkUse(tree, c.last);
    Node shown;
    if (signEnded) {
        std::string hex;
        if (ToHexText(hex, 0, c.signature.data(), c.outputLength, kHexFirstByteFirst) != 1)
            return -1;
        shown = ShowDetailRow(book, c.lock, KindCode(ItemKind::MessageRow), hex.size(), hex);
        if (!shown)
            return -1;
        c.last = Node{};
    } else {
        std::string text;
        if (BuildArmoredText(book, c.lock, text, BitLength(c.lockEngine->N) / 8, c.encryption.data(),
                             c.outputLength, c.sign == 1, c.signerField) != 1 ||
            SetField(book, c.lock, KindCode(ItemKind::OutputField), text) != 1)
            return -1;
        shown = FindChildByKind(book, c.lock, ItemKind::OutputField);
    }
    Inform(tree, message);
    if (!signEnded) {
        NotifyActivity(tree, kActivityIdle);
        ResetStep(c);
    }
    DisplayLine(tree, shown);
    guard.Finish();
    return 1;
}

int BlockSpan(const Book& book, std::uint32_t& offset, std::uint32_t& length, Node line, int from)
{
    Node group;
    if (from == 1)
        group = book.Parent(line);
    else if (from == 2)
        group = FindChildByKind(book, book.Parent(line), ItemKind::PreDetails);
    if (book.Kind(group) != KindCode(ItemKind::PreDetails))
        return -1;
    const Node record = book.Parent(group);
    const std::int32_t kind = book.Kind(record);
    if (kind != KindCode(ItemKind::Lock) && kind != KindCode(ItemKind::Key))
        return -1;
    bool ok = true;
    const std::uint32_t serial = RowHexValue(book, group, KindCode(ItemKind::SerialRow), ok);
    const std::uint32_t carried = RowHexValue(book, group, KindCode(ItemKind::ConsumedRow), ok);
    const Node messageRow = FindChildByKind(book, group, ItemKind::MessageRow);
    if (!ok || !messageRow)
        return -1;
    // The message length is the decimal count between "(" and "字节".
    const std::string& text = book.Text(messageRow);
    const std::size_t open = text.find('(');
    const std::size_t unit = text.find(Gbk("字节"));
    std::uint64_t total = 0;
    if (open != std::string::npos && unit != std::string::npos && unit > open)
        for (std::size_t i = open + 1; i < unit; ++i)
            if (text[i] >= '0' && text[i] <= '9')
                total = std::min<std::uint64_t>(total * 10 + static_cast<unsigned>(text[i] - '0'), UINT32_MAX);
    const std::uint64_t strength = static_cast<std::uint32_t>(std::max(GetStrength(book, record), 0));
    const std::uint32_t m = static_cast<std::uint32_t>((strength + 7) / 8);
    std::int32_t last;
    std::uint64_t size;
    CountBlocks(total, m, last, size);
    offset = 0;
    length = carried;
    // A record that cannot carry blocks, or rows of another message, give the start.
    if (last < 0 || serial >= static_cast<std::uint32_t>(last))
        return 1;
    const std::uint64_t k = static_cast<std::uint32_t>(last) - serial;
    offset = static_cast<std::uint32_t>(std::min<std::uint64_t>((m - 19) + (k - 1) * (m - 9), UINT32_MAX));
    return 1;
}

}  // namespace morvane
