#include "message/Protect.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <climits>
#include <vector>

#include "book/KeyRecord.h"
#include "book/KeyTree.h"
#include "book/Queries.h"
#include "book/Records.h"
#include "crypto/Md5.h"
#include "message/ArmoredText.h"
#include "message/Blocks.h"
#include "message/DetailRows.h"
#include "message/HexText.h"
#include "book/Marking.h"
#include "message/SingleStep.h"
#include "message/TextCheck.h"
#include "platform/Text.h"
#include "platform/Wipe.h"

namespace morvane {

namespace {

void Inform(KeyTree& tree, const Phrase& text, MsgIcon icon)
{
    if (tree.desktop)
        Tell(*tree.desktop, text, icon);
}

// Local time of the desktop clock.
std::string NowText(KeyTree& tree)
{
    return FormatDate(tree.desktop ? tree.desktop->Now() : std::time(nullptr));
}

std::uint32_t Ticks(KeyTree& tree)
{
    return tree.desktop ? tree.desktop->TickCount() : 0;
}

Node InputLine(const Book& book, Node record)
{
    return FindChildByKind(book, record, ItemKind::InputField);
}

}  // namespace

CommandGuard::CommandGuard(KeyTree& tree) : tree_(tree), saved_(tree.menusEnabled) {}

CommandGuard::~CommandGuard()
{
    tree_.menusEnabled = saved_;
    if (!finished_)
        NotifyActivity(tree_, kActivityIdle);
}

void CountUse(Book& book, Node record)
{
    FieldLine line;
    if (GetField(book, record, KindCode(ItemKind::UseCountField), line) != 1)
        return;
    long long n = std::strtoll(line.value.c_str(), nullptr, 10);
    n = n < 0 ? 0 : n;
    n = n >= INT_MAX ? INT_MAX : n + 1;
    SetField(book, record, KindCode(ItemKind::UseCountField), std::to_string(n));
}

int ModulusDigest(const Book& book, Node record, std::string& digest)
{
    FieldLine n;
    if (GetField(book, record, KindCode(ItemKind::ModulusField), n) != 1)
        return -1;
    return Md5HexText(n.value, digest) == 1 ? 1 : -1;
}

int FindPartner(KeyTree& tree, Node& partner, std::string& signerField, Node record, int kind)
{
    Book& book = tree.book;
    partner = Node{};
    const Node parent = book.Parent(record);
    const std::int32_t parentKind = book.Kind(parent);
    if (!parent || (parentKind != KindCode(ItemKind::BookRoot) && parentKind != KindCode(ItemKind::Directory)) ||
        !book.FirstChild(parent))
        return -1;
    if (kind != kPartnerLock && kind != kPartnerKey)
        return -1;
    if (kind == kPartnerLock && signerField.empty())
        return -1;

    const std::int32_t wanted = KindCode(kind == kPartnerLock ? ItemKind::Lock : ItemKind::Key);
    int count = 0;
    Node found;
    for (Node child = book.FirstChild(parent); child; child = book.NextSibling(child)) {
        if (book.Kind(child) != wanted)
            continue;
        std::string digest;
        if (ModulusDigest(book, child, digest) != 1)
            return -1;
        if (kind == kPartnerLock) {
            if (digest != signerField)
                continue;
        } else {
            signerField = digest;
        }
        ++count;
        found = child;
    }
    if (count != 1) {
        const Source text = kind == kPartnerLock
                                ? MORVANE_TR("Message", "内容已被签字, 要求同一目录下必须有MD5值匹配的唯一 <锁> "
                                                        "项目! 但现在匹配的 <锁> 项目有 <%1> 项。")
                                : MORVANE_TR("Message", "若要签字, 要求同一目录下必须有唯一 <钥匙> 项目!%1");
        Inform(tree, Phrase(text, {std::to_string(count)}), MsgIcon::Exclamation);
        return 1;
    }

    int complete = 0;
    if (LoadKey(tree.engine[1], complete, tree, found) != 1)
        return -1;
    if (!complete) {
        Inform(tree,
               kind == kPartnerLock ? MORVANE_TR("Message", "对方的公布的锁数据不完整!")
                                    : MORVANE_TR("Message", "自己的私钥数据不完整!"),
               MsgIcon::Exclamation);
        RedisplayLine(tree, InputLine(book, record));
        return 1;
    }
    partner = found;
    return 1;
}

namespace {

// A result that is not text the boxes could have taken in is no message of this program (a
// signed text relabelled "N_SI" opens to its signature's binary blocks).
bool OpenedIsText(const std::vector<std::uint8_t>& opened, std::size_t length)
{
    return IsProgramText(std::string_view(reinterpret_cast<const char*>(opened.data()), length));
}

}  // namespace

int SealText(KeyTree& tree, Node lock, Node signer, std::string_view text, SealedText& out)
{
    Book& book = tree.book;
    const Node working = tree.markedParent;
    const std::uint8_t* data = reinterpret_cast<const std::uint8_t*>(text.data());
    std::size_t length = text.size();
    out.signerField = kNoSigner;
    Wipe(out.signature);
    if (signer) {
        if (ModulusDigest(book, signer, out.signerField) != 1)
            return -1;
        // The blocks show their fields in the working record's detail rows.
        tree.markedParent = signer;
        std::size_t signatureLength = 0;
        const int signed_ = EncryptMessage(tree, tree.engine[1], out.signature, signatureLength, data, length, 2,
                                           kBlockSign);
        tree.markedParent = working;
        if (signed_ != 1)
            return -1;
        out.signature.resize(signatureLength);
        data = out.signature.data();
        length = signatureLength;
    }
    tree.markedParent = lock;
    std::vector<std::uint8_t> sealed;
    std::size_t sealedLength = 0;
    const bool done =
        EncryptMessage(tree, tree.engine[0], sealed, sealedLength, data, length, 2, kBlockEncrypt) == 1 &&
        BuildArmoredText(book, lock, out.armored, BitLength(tree.engine[0].N) / 8, sealed.data(), sealedLength,
                         static_cast<bool>(signer), out.signerField) == 1;
    tree.markedParent = working;
    return done ? 1 : -1;
}

OpenVerdict OpenText(KeyTree& tree, Node key, std::string_view armoredText, const SignerFinder& findSigner,
                     OpenedText& out)
{
    Book& book = tree.book;
    Wipe(out.text);
    out.signer = Node{};
    auto verdict = [&out](OpenVerdict v) { return out.verdict = v; };
    if (ResetDetailRows(book, key, 0) != 1)
        return verdict(OpenVerdict::Failed);
    // Mail programs indent and wrap pasted text; the armored text holds no blank.
    std::string armored;
    for (char c : armoredText)
        if (c != ' ' && c != '\t')
            armored += c;
    std::vector<std::uint8_t> sealed;
    bool isSigned = false;
    if (CleanArmoredText(armored) != 1 || ParseArmoredText(sealed, isSigned, out.signerField, armored) != 1)
        return verdict(OpenVerdict::NotArmored);
    Node lock;
    if (isSigned) {
        if (findSigner(out.signerField, lock) != 1)
            return verdict(OpenVerdict::Failed);
        if (!lock)
            return verdict(OpenVerdict::NoSigner);
    }
    const Node working = tree.markedParent;
    tree.markedParent = key;
    const std::size_t skip = LeadingBlockFill(tree.engine[0], sealed);
    std::vector<std::uint8_t> opened;
    WipeOnExit wipeOpened{opened};
    std::size_t openedLength = 0;
    const int decrypted = DecryptMessage(tree, tree.engine[0], opened, openedLength, sealed.data() + skip,
                                         sealed.size() - skip, 2, kBlockEncrypt);
    tree.markedParent = working;
    if (decrypted != 1)
        return verdict(OpenVerdict::NotForKey);
    if (isSigned) {
        NotifyActivity(tree, kActivityIdle);
        std::vector<std::uint8_t> verified;
        std::size_t verifiedLength = 0;
        if (DecryptMessage(tree, tree.engine[1], verified, verifiedLength, opened.data(), openedLength, 2,
                           kBlockSign) != 1) {
            Wipe(verified);
            return verdict(OpenVerdict::BadSignature);
        }
        opened.swap(verified);
        Wipe(verified);
        openedLength = verifiedLength;
    }
    if (!OpenedIsText(opened, openedLength))
        return verdict(OpenVerdict::NotText);
    out.text.assign(reinterpret_cast<const char*>(opened.data()), openedLength);
    out.signer = lock;
    return verdict(isSigned ? OpenVerdict::Good : OpenVerdict::Unsigned);
}

int ProtectRecord(KeyTree& tree, Node record, int sign, int& result)
{
    Book& book = tree.book;
    if (tree.step.active) {
        NotifyActivity(tree, kActivityIdle);
        ResetStep(tree.step);
    }
    CommandGuard guard(tree);
    tree.progressTotal = tree.progressDone = -1;
    tree.menusEnabled = false;

    const Node clicked = tree.Live(tree.clickedItem);
    if (book.Kind(clicked) != KindCode(ItemKind::InputField) || !book.Valid(record))
        return -1;
    result = 0;
    tree.markedParent = record;

    const std::int32_t kind = book.Kind(record);
    const bool isLock = kind == KindCode(ItemKind::Lock);
    // The closing message; %1 the seconds taken (and first the signer for a verified text).
    Source done;
    if (isLock)
        done = sign == 1 ? MORVANE_TR("Message", "签字并加密完成! 用时 %1 秒")
                         : MORVANE_TR("Message", "加密完成! 用时 %1 秒");
    else if (kind == KindCode(ItemKind::Key))
        done = MORVANE_TR("Message", "解密完成! 用时 %1 秒");
    else
        return -1;

    FieldLine input;
    if (GetField(book, record, KindCode(ItemKind::InputField), input) != 1)
        return -1;
    if (input.value.empty()) {
        Inform(tree, MORVANE_TR("Message", "输入不能为空"), MsgIcon::Information);
        result = -1;
        RedisplayLine(tree, clicked);
        return -1;
    }
    // The first engine was loaded when the action line was clicked; take the record's key
    // again so that nothing done since (another record's key generation, say) can make the
    // command use a key that is not the record's.
    int complete = 0;
    if (LoadKey(tree.engine[0], complete, tree, record) != 1 || complete != 1)
        return -1;
    const std::uint32_t start = Ticks(tree);
    std::vector<std::string> doneArgs;
    std::string text;
    Node signer;

    if (isLock) {
        if (sign == 1) {
            std::string signerField;
            if (FindPartner(tree, signer, signerField, record, kPartnerKey) != 1)
                return -1;
            if (!signer)
                return 1;
        }
        SealedText sealed;
        if (SealText(tree, record, signer, input.value, sealed) != 1)
            return -1;
        if (signer) {
            // The signer's record shows what it signed and the signature blocks.
            std::string hex;
            if (SetField(book, signer, KindCode(ItemKind::InputField), input.value) != 1 ||
                ToHexText(hex, 0, sealed.signature.data(), sealed.signature.size(), kHexFirstByteFirst) != 1 ||
                !ShowDetailRow(book, signer, KindCode(ItemKind::PostTextRow), hex.size(), hex))
                return -1;
        }
        text = std::move(sealed.armored);
    } else {
        const SignerFinder findLock = [&tree, record](const std::string& signerField, Node& lock) {
            std::string field = signerField;
            return FindPartner(tree, lock, field, record, kPartnerLock);
        };
        OpenedText opened;
        switch (OpenText(tree, record, input.value, findLock, opened)) {
        case OpenVerdict::Unsigned:
            break;
        case OpenVerdict::Good:
            done = MORVANE_TR("Message", " <%1> 的签字通过验证, 解密完成! 用时 %2 秒");
            doneArgs.push_back(book.Text(opened.signer));
            break;
        case OpenVerdict::NoSigner:
            return 1;
        case OpenVerdict::NotText:
            Inform(tree, MORVANE_TR("Message", "解密结果含有零字节, 不是有效的文本, 解密失败!"), MsgIcon::Exclamation);
            return 1;
        case OpenVerdict::NotArmored:
        case OpenVerdict::NotForKey:
        case OpenVerdict::BadSignature:
        case OpenVerdict::Failed:
            return -1;
        }
        text = std::move(opened.text);
    }

    const std::uint32_t elapsed = Ticks(tree) - start + 1;
    if (SetField(book, record, KindCode(ItemKind::OutputField), text) != 1)
        return -1;
    FieldLine output;
    if (GetField(book, record, KindCode(ItemKind::OutputField), output) == 1)
        DisplayLine(tree, output.node);
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.3f", elapsed / 1000.0);
    doneArgs.emplace_back(seconds);
    Inform(tree, Phrase(done, std::move(doneArgs)), MsgIcon::Information);
    NotifyActivity(tree, kActivityIdle);

    const std::string now = NowText(tree);
    SetField(book, record, KindCode(ItemKind::DateField), now);
    CountUse(book, record);
    if (isLock && sign == 1)
        SetField(book, signer, KindCode(ItemKind::DateField), now);
    NotifyActivity(tree, kActivityIdle);
    guard.Finish();
    return 1;
}

}  // namespace morvane
