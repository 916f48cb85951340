#include "message/PublicKeyText.h"

#include <string_view>

#include "bignum/BigInt.h"
#include "book/KeyRecord.h"
#include "book/KeyTree.h"
#include "book/Queries.h"
#include "book/Records.h"
#include "book/Marking.h"
#include "platform/Text.h"

namespace morvane {

namespace {

bool IsHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// Blanks and line breaks carry nothing in a public key text: mail programs and the text boxes
// add and move them freely.
std::string WithoutBlanks(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text)
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n')
            out += c;
    return out;
}

// The strength field value for a modulus size; "" for a size no lock may have.
std::string StrengthLabel(std::uint32_t bits)
{
    switch (bits) {
    case 4096: return Gbk("超强 4096 Bits");
    case 2048: return Gbk("强   2048 Bits");
    case 1024: return Gbk("中   1024 Bits");
    case 512: return Gbk("弱    512 Bits");
    default: return std::string();
    }
}

}  // namespace

void WrapText(std::string& text, std::size_t width)
{
    if (width == 0 || text.size() <= width)
        return;
    std::string out;
    out.reserve(text.size() + 2 * (text.size() / width));
    for (std::size_t i = 0; i < text.size(); i += width) {
        if (i > 0)
            out += "\r\n";
        out.append(text, i, width);
    }
    text.swap(out);
}

std::string BuildPublicKeyText(const std::string& n, const std::string& e)
{
    const std::string stars(kPublicKeyLineWidth, '*');
    std::string nLines = n, eLines = e;
    WrapText(nLines, kPublicKeyLineWidth);
    WrapText(eLines, kPublicKeyLineWidth);
    std::string text;
    text.reserve(n.size() + e.size() + 256);
    text += stars + "\r\n";
    text += std::string(kPublicKeyNMarker) + "\r\n";
    text += "\r\n";
    text += nLines + "\r\n";
    text += "\r\n";
    text += std::string(kPublicKeyEMarker) + "\r\n";
    text += "\r\n";
    text += eLines + "\r\n";
    text += stars;
    return text;
}

void ParsePublicKeyText(bool& found, std::string& n, std::string& e, const std::string& text)
{
    found = false;
    n.clear();
    e.clear();
    const std::string copy = WithoutBlanks(text);
    const std::string nMarker = WithoutBlanks(kPublicKeyNMarker);
    const std::string eMarker = WithoutBlanks(kPublicKeyEMarker);
    const std::size_t nAt = copy.find(nMarker);
    if (nAt == std::string::npos)
        return;
    const std::size_t nStart = nAt + nMarker.size();
    const std::size_t eAt = copy.find(eMarker);
    if (eAt == std::string::npos || eAt <= nStart)
        return;
    for (std::size_t i = nStart; i < eAt; ++i)
        if (!IsHexDigit(copy[i]))
            return;
    std::size_t eEnd = eAt + eMarker.size();
    const std::size_t eStart = eEnd;
    while (eEnd < copy.size() && IsHexDigit(copy[eEnd]))
        ++eEnd;
    if (eEnd == eStart)
        return;
    n.assign(copy, nStart, eAt - nStart);
    e.assign(copy, eStart, eEnd - eStart);
    found = true;
}

void ExportPublicKey(KeyTree& tree)
{
    Book& book = tree.book;
    CRSA& engine = tree.engine[0];
    if (tree.collection.running || tree.keygen.busy)
        return;
    Node record = tree.Live(tree.contextItem);
    if (ItemClass(book, record) == 3)
        record = book.Parent(record);
    if (book.Kind(record) != KindCode(ItemKind::Key))
        return;
    auto inform = [&](Source text) {
        if (tree.desktop)
            Tell(*tree.desktop, text, MsgIcon::Information);
    };
    int complete = 0;
    if (CheckKey(engine, complete, tree, record) != 1)
        return;
    if (complete != 1) {
        inform(MORVANE_TR("Message", "密码数据不完整, 无法输出公钥!"));
        return;
    }
    int failed = 0;
    if (engine.SelfTest(failed) != 1)
        return;
    if (failed != 0) {
        inform(MORVANE_TR("Message", "密码数据不能正确加解密, 重新生成密钥与公钥!"));
        return;
    }
    FieldLine n, e;
    if (GetField(book, record, KindCode(ItemKind::ModulusField), n) != 1 ||
        GetField(book, record, KindCode(ItemKind::PublicExponentField), e) != 1)
        return;
    if (SetField(book, record, KindCode(ItemKind::OutputField), BuildPublicKeyText(n.value, e.value)) != 1)
        return;
    DisplayLine(tree, FindChildByKind(book, record, ItemKind::OutputField));
    inform(MORVANE_TR("Message", "输出公钥OK!"));
}

bool ImportPublicKey(KeyTree& tree, const std::string& text)
{
    Book& book = tree.book;
    const Node clicked = tree.Live(tree.clickedItem);
    Node lock = clicked;
    if (book.Kind(lock) != KindCode(ItemKind::Lock))
        lock = book.Parent(lock);
    if (!lock || book.Kind(lock) != KindCode(ItemKind::Lock))
        return false;
    bool found = false;
    std::string n, e;
    ParsePublicKeyText(found, n, e, text);
    if (!found || n.empty() || e.empty())
        return false;

    MsgAnswer answer = MsgAnswer::Cancel;
    if (tree.desktop)
        answer = Tell(*tree.desktop, MORVANE_TR("Message", "发现新公钥, 替换原有公钥吗?"), MsgIcon::Question,
                      MsgButtons::OkCancel);
    // The box's change has not been written through; keep the clicked line as it was shown.
    if (clicked && !tree.clickedLineText.empty())
        book.SetText(clicked, tree.clickedLineText);
    if (answer != MsgAnswer::Ok)
        return true;

    BigInt modulus;
    if (modulus.FromString(16, n) != 1)
        return true;
    const std::string strength = StrengthLabel(BitLength(modulus));
    if (strength.empty())
        return true;
    const std::time_t now = tree.desktop ? tree.desktop->Now() : std::time(nullptr);
    SetField(book, lock, KindCode(ItemKind::StrengthField), strength);
    SetField(book, lock, KindCode(ItemKind::PublicExponentField), e);
    SetField(book, lock, KindCode(ItemKind::DateField), FormatDate(now));
    SetField(book, lock, KindCode(ItemKind::ModulusField), n);
    FieldLine nLine;
    if (GetField(book, lock, KindCode(ItemKind::ModulusField), nLine) == 1)
        DisplayLine(tree, nLine.node);
    return true;
}

}  // namespace morvane
