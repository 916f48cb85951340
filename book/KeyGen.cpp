#include "book/KeyGen.h"

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "book/Marking.h"
#include "book/Queries.h"
#include "book/Records.h"
#include "crypto/CRSA.h"
#include "platform/Text.h"

namespace morvane {

namespace {

// The status text of a progress code, its label at the end; null for a code that is not one
// of ours. Arguments: primes, attempts, tested numbers, seconds, the code.
const Source* CodeStatus(char code)
{
    static constexpr Source prime =
        MORVANE_TR("Book", "找到 %1 个素数. 调用程序%2次 检验大数 %3 个 用时%4秒 %5 ...(找到质数)");
    static constexpr Source composite =
        MORVANE_TR("Book", "找到 %1 个素数. 调用程序%2次 检验大数 %3 个 用时%4秒 %5 ...(未过费马测试)");
    static constexpr Source window = MORVANE_TR(
        "Book", "找到 %1 个素数. 调用程序%2次 检验大数 %3 个 用时%4秒 %5 ...(超过大数生成资源范围, 再重试一次)");
    static constexpr Source drawQ =
        MORVANE_TR("Book", "找到 %1 个素数. 调用程序%2次 检验大数 %3 个 用时%4秒 %5 ...(生成大数)");
    static constexpr Source nextTest =
        MORVANE_TR("Book", "找到 %1 个素数. 调用程序%2次 检验大数 %3 个 用时%4秒 %5 ...(随机数验证素数)");
    static constexpr Source retry =
        MORVANE_TR("Book", "找到 %1 个素数. 调用程序%2次 检验大数 %3 个 用时%4秒 %5 ...(e与lcm非互质)");
    switch (code) {
    case kPrimeEventPrime: return &prime;
    case kPrimeEventComposite: return &composite;
    case kPrimeEventWindow: return &window;
    case kKeygenEventDrawQ: return &drawQ;
    case kPrimeEventNextTest: return &nextTest;
    case kKeygenEventRetry: return &retry;
    default: return nullptr;
    }
}

std::string Seconds(std::uint32_t ms, int decimals)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, ms / 1000.0);
    return buf;
}

std::uint32_t Elapsed(KeyTree& tree)
{
    return tree.desktop->TickCount() - tree.keygen.startTick;
}


bool IsStop(int code)
{
    return code == kPrimeStopUser || code == kPrimeStopClosing;
}

// The target's field lines with the new key's numbers: P, Q, D and U for a key, then N and E.
// False when a line is missing or cannot be split, or a number has no text; taken before
// anything is stored, so that a failure leaves the record's old key whole.
bool NewKeyLines(const Book& book, Node target, bool privatePart, const CRSA& key,
                 std::vector<std::pair<Node, std::string>>& lines)
{
    const std::pair<ItemKind, const BigInt*> all[] = {
        {ItemKind::PrimePField, &key.P},        {ItemKind::PrimeQField, &key.Q},
        {ItemKind::PrivateExponentField, &key.D}, {ItemKind::CoefficientField, &key.U},
        {ItemKind::ModulusField, &key.N},       {ItemKind::PublicExponentField, &key.E}};
    for (const auto& [kind, number] : all) {
        if (!privatePart && kind != ItemKind::ModulusField && kind != ItemKind::PublicExponentField)
            continue;
        FieldLine line;
        if (GetField(book, target, KindCode(kind), line) != 1)
            return false;
        const std::string hex = NumberText(*number, kNumberHex);
        if (hex.empty())
            return false;
        lines.emplace_back(line.node, line.label + hex);
    }
    return true;
}

} // namespace

Phrase KeygenStatisticsText(int primes, int tested, std::uint32_t ms)
{
    std::vector<std::string> args{Seconds(ms, 3), std::to_string(primes), std::to_string(tested)};
    if (ms <= 1)
        return Phrase(
            MORVANE_TR("Book", "密钥生成OK. 耗时 %1 秒, 发现 %2 个质数, 测试 %3 个大数, 速度大于 1000 个大数/秒"),
            std::move(args));
    const std::uint64_t rate = static_cast<std::uint64_t>(static_cast<std::uint32_t>(tested)) * 1000 / ms;
    args.push_back(std::to_string(static_cast<std::uint32_t>(rate)));
    return Phrase(MORVANE_TR("Book", "密钥生成OK. 耗时 %1 秒, 发现 %2 个质数, 测试 %3 个大数, 速度 %4 个大数/秒"),
                  std::move(args));
}

Phrase KeygenStatusText(int primes, int attempts, int tested, std::uint32_t elapsedMs, char code)
{
    char attemptCount[32];
    std::snprintf(attemptCount, sizeof attemptCount, "%02d", attempts);
    char testedCount[32];
    std::snprintf(testedCount, sizeof testedCount, "%04d", tested);
    std::vector<std::string> args{std::to_string(primes), attemptCount, testedCount, Seconds(elapsedMs, 2),
                                  std::string(1, code)};
    if (const Source* status = CodeStatus(code))
        return Phrase(*status, std::move(args));
    return Phrase(MORVANE_TR("Book", "找到 %1 个素数. 调用程序%2次 检验大数 %3 个 用时%4秒 %5 ..."), std::move(args));
}

int KeygenProgress(void* context, char code)
{
    KeyTree& tree = *static_cast<KeyTree*>(context);
    KeygenState& state = tree.keygen;
    if (state.stopRequested)
        return kPrimeStopUser;
    if (CodeStatus(code) == nullptr)
        return -5;
    if (code == kPrimeEventPrime) {
        ++state.primes;
        ++state.tested;
    } else if (code == kPrimeEventComposite) {
        ++state.tested;
    }
    if (tree.desktop == nullptr)
        return kPrimeContinue;
    const std::uint32_t ms = Elapsed(tree);
    if (tree.view)
        tree.view->StatusTextChanged(KeygenStatusText(state.primes, state.attempts, state.tested, ms, code));
    return tree.desktop->PumpMessages() ? kPrimeStopClosing : kPrimeContinue;
}

KeygenOutcome GenerateKeyCommand(KeyTree& tree)
{
    KeygenOutcome outcome;
    Book& book = tree.book;
    const Node target = tree.Live(tree.rightClickedItem);
    const std::int32_t kind = book.Kind(target);
    CRSA& engine = tree.engine[0];
    KeygenState& state = tree.keygen;
    // Only a lock or key has the fields a key goes into; any record can ask a running
    // generation to stop.
    const bool record = kind == KindCode(ItemKind::Lock) || kind == KindCode(ItemKind::Key);
    if (tree.desktop == nullptr || !target || (!record && !state.busy))
        return outcome;

    DisplayLine(tree, target);
    book.Expand(target, true);
    Desktop& desktop = *tree.desktop;
    if (Tell(desktop, MORVANE_TR("Book", "原有的密钥数据将被删除, 继续吗?"), MsgIcon::Question,
             MsgButtons::OkCancel) != MsgAnswer::Ok) {
        outcome.end = KeygenEnd::Cancelled;
        return outcome;
    }
    if (state.busy) {
        state.stopRequested = true;
        outcome.end = KeygenEnd::StopRequested;
        return outcome;
    }

    tree.menusEnabled = false;
    tree.random.ResetSamples();
    state = KeygenState{};
    state.busy = true;
    state.startTick = desktop.TickCount();
    engine.SetRandom(&tree.random);
    const int bits = GetStrength(book, target);
    // The key is made in an engine of its own: the window's selection display loads the
    // clicked record into the first engine while events are pumped, and those numbers must
    // not mix with the primes found so far.
    CRSA work;
    work.mode = engine.mode;
    work.SetRandom(&tree.random);

    int status = 0;
    int selfTest = -1;
    int failed = 0;
    KeygenEnd end = KeygenEnd::Failed;
    for (;;) {
        selfTest = -1;
        ++state.attempts;
        if (work.GeneratePrimes(bits, KeygenProgress, &tree, status) != 1) {
            end = IsStop(status) ? KeygenEnd::Stopped : KeygenEnd::Failed;
            break;
        }
        if (work.ComputeKey(status) == 1) {
            failed = 0;
            selfTest = work.SelfTest(failed);
            if (failed != 0) {
                status = 0;
                end = KeygenEnd::Failed;
                break;
            }
        } else if (status == kStatusRedraw) {
            const int answer = KeygenProgress(&tree, kKeygenEventRetry);
            if (answer != kPrimeContinue) {
                status = answer;
                end = IsStop(answer) ? KeygenEnd::Stopped : KeygenEnd::Failed;
                break;
            }
        } else {
            end = KeygenEnd::Failed;
            break;
        }
        if (selfTest != 1 && !state.stopRequested)
            continue;
        end = state.stopRequested ? KeygenEnd::Stopped : KeygenEnd::Done;
        break;
    }

    bool passed = selfTest == 1 && failed == 0;
    std::vector<std::pair<Node, std::string>> lines;
    if (passed && !NewKeyLines(book, target, kind == KindCode(ItemKind::Key), work, lines)) {
        // A key that cannot be stored whole is not stored at all.
        passed = false;
        end = KeygenEnd::Failed;
        status = -1;
    }

    outcome.end = end;
    outcome.status = status;
    outcome.closePending = end == KeygenEnd::Stopped && status == kPrimeStopClosing;
    if (end == KeygenEnd::Stopped)
        Tell(desktop, Phrase(MORVANE_TR("Book", "终止计算! 在计算进行(%1 秒)后"), {Seconds(Elapsed(tree), 3)}),
             MsgIcon::Exclamation);
    else if (end == KeygenEnd::Failed)
        Tell(desktop,
             Phrase(MORVANE_TR("Book", "发生错误 = %1! 在计算进行(%2 秒)后"),
                    {std::to_string(status), Seconds(Elapsed(tree), 3)}),
             MsgIcon::Exclamation);

    state.busy = false;
    tree.random.ResetSamples();
    tree.menusEnabled = true;

    if (passed) {
        // The first engine holds the new key afterwards, as the record does. The numbers are
        // handed over rather than copied, so that nothing can fail here; the engine's old
        // numbers are wiped with the working engine.
        for (auto [to, from] : {std::pair{&engine.P, &work.P}, {&engine.Q, &work.Q}, {&engine.E, &work.E},
                                {&engine.D, &work.D}, {&engine.U, &work.U}, {&engine.N, &work.N}})
            std::swap(*to, *from);
        bool written = true;
        for (const auto& [line, text] : lines)
            written = book.SetText(line, text) == 1 && written;
        outcome.keyWritten = written;
        Tell(desktop, KeygenStatisticsText(state.primes, state.tested, Elapsed(tree)), MsgIcon::Information);
    }
    (void)SetField(book, target, KindCode(ItemKind::DateField), FormatDate(desktop.Now()));
    return outcome;
}

}  // namespace morvane
