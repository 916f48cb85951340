#include "book/KeyRecord.h"

#include <string>
#include <string_view>

#include "book/Queries.h"
#include "crypto/CRSA.h"
#include "platform/Text.h"

namespace morvane {

namespace {

enum class Read { Value, Empty, Bad };

Read ReadNumber(const Book& book, Node item, ItemKind field, BigInt& target)
{
    FieldLine line;
    if (GetField(book, item, KindCode(field), line) != 1)
        return Read::Bad;
    constexpr std::string_view kSpace = " \t\r\n\v\f";
    const std::size_t b = line.value.find_first_not_of(kSpace);
    if (b == std::string::npos)
        return Read::Empty;
    const std::size_t e = line.value.find_last_not_of(kSpace);
    // A bad digit must not leave a half-read number in the engine.
    BigInt x;
    if (x.FromString(16, std::string_view(line.value).substr(b, e - b + 1)) != 1)
        return Read::Bad;
    target = std::move(x);
    return Read::Value;
}

} // namespace

int LoadKey(CRSA& engine, int& complete, KeyTree& tree, Node item)
{
    complete = 1;
    const std::int32_t kind = tree.book.Kind(item);
    if (kind != KindCode(ItemKind::Lock) && kind != KindCode(ItemKind::Key))
        return -1;
    engine.SetRandom(&tree.random);

    struct Field {
        ItemKind kind;
        BigInt* number;
    };
    const Field lockFields[] = {{ItemKind::ModulusField, &engine.N}, {ItemKind::PublicExponentField, &engine.E}};
    const Field keyFields[] = {{ItemKind::PrimePField, &engine.P},
                               {ItemKind::PrimeQField, &engine.Q},
                               {ItemKind::PrivateExponentField, &engine.D},
                               {ItemKind::CoefficientField, &engine.U}};
    auto load = [&](const Field* fields, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) {
            const Read r = ReadNumber(tree.book, item, fields[i].kind, *fields[i].number);
            if (r != Read::Value)
                return r;
        }
        return Read::Value;
    };

    Read r = load(lockFields, 2);
    if (r == Read::Value && kind == KindCode(ItemKind::Key))
        r = load(keyFields, 4);
    if (r == Read::Bad)
        return -1;
    if (r == Read::Empty)
        complete = 0;
    return 1;
}

int CheckKey(CRSA& engine, int& complete, KeyTree& tree, Node item)
{
    if (LoadKey(engine, complete, tree, item) != 1)
        return -1;
    if (complete != 1) {
        complete = 0;
        return 1;
    }
    const long long nominal = GetStrength(tree.book, item);
    if (nominal > static_cast<long long>(BitLength(engine.N)) + 1) {
        if (tree.desktop != nullptr)
            Tell(*tree.desktop, MORVANE_TR("Book", "密码数据不全, 重新设定密码数据"), MsgIcon::Exclamation);
        complete = 0;
    }
    return 1;
}

}  // namespace morvane
