#include "book/KeyGen.h"

#include <cstdio>
#include <utility>
#include <string>

#include "book/Queries.h"
#include "book/Records.h"
#include "crypto/CRSA.h"
#include "platform/Text.h"

namespace morvane {

namespace {

// The progress label of a code (GBK), or null for a code that is not one of ours.
const std::string* CodeLabel(char code)
{
    static const std::string prime = Gbk("(找到质数)");
    static const std::string composite = Gbk("(未过费马测试)");
    static const std::string window = Gbk("(超过大数生成资源范围, 再重试一次)");
    static const std::string drawQ = Gbk("(生成大数)");
    static const std::string nextTest = Gbk("(随机数验证素数)");
    static const std::string retry = Gbk("(e与lcm非互质)");
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
    return tree.desktop->TickCount() - tree.engine[0].startTick;
}

// "终止计算! 在计算进行(t 秒)后" / "发生错误 = s! 在计算进行(t 秒)后"
std::string AfterText(std::uint32_t ms)
{
    return Gbk("! 在计算进行(") + Seconds(ms, 3) + Gbk(" 秒)后");
}

bool IsStop(int code)
{
    return code == kPrimeStopUser || code == kPrimeStopClosing;
}

} // namespace

std::string KeygenStatisticsText(int primes, int tested, std::uint32_t ms)
{
    std::string text = Gbk("密钥生成OK. 耗时 ") + Seconds(ms, 3) + Gbk(" 秒, 发现 ") + std::to_string(primes) +
                       Gbk(" 个质数, 测试 ") + std::to_string(tested) + Gbk(" 个大数, ");
    if (ms <= 1)
        return text + Gbk("速度大于 1000 个大数/秒");
    const std::uint64_t rate = static_cast<std::uint64_t>(static_cast<std::uint32_t>(tested)) * 1000 / ms;
    return text + Gbk("速度 ") + std::to_string(static_cast<std::uint32_t>(rate)) + Gbk(" 个大数/秒");
}

std::string KeygenStatusText(int primes, int attempts, int tested, std::uint32_t elapsedMs, char code)
{
    const std::string* label = CodeLabel(code);
    char counts[96];
    std::snprintf(counts, sizeof counts, "%02d", attempts);
    std::string text = Gbk("找到 ") + std::to_string(primes) + Gbk(" 个素数. 调用程序") + counts;
    std::snprintf(counts, sizeof counts, "%04d", tested);
    text += Gbk("次 检验大数 ") + counts + Gbk(" 个 用时") + Seconds(elapsedMs, 2) + Gbk("秒 ");
    text += code;
    text += " ...";
    if (label != nullptr)
        text += *label;
    return text;
}

int KeygenProgress(void* context, char code)
{
    KeyTree& tree = *static_cast<KeyTree*>(context);
    CRSA& engine = tree.engine[0];
    if (engine.stopRequested != 0)
        return kPrimeStopUser;
    if (CodeLabel(code) == nullptr)
        return -5;
    if (code == kPrimeEventPrime) {
        ++engine.primes;
        ++engine.tested;
    } else if (code == kPrimeEventComposite) {
        ++engine.tested;
    }
    if (tree.desktop == nullptr)
        return kPrimeContinue;
    const std::uint32_t ms = Elapsed(tree);
    tree.desktop->StatusTextChanged(KeygenStatusText(engine.primes, engine.attempts, engine.tested, ms, code));
    return tree.desktop->PumpMessages() ? kPrimeStopClosing : kPrimeContinue;
}

KeygenOutcome GenerateKeyCommand(KeyTree& tree, const ShowRecordFn& showSelection)
{
    KeygenOutcome outcome;
    Book& book = tree.book;
    const Node target = tree.Live(tree.rightClickedItem);
    const std::int32_t kind = book.Kind(target);
    CRSA& engine = tree.engine[0];
    // Only a lock or key has the fields a key goes into; any record can ask a running
    // generation to stop.
    const bool record = kind == KindCode(ItemKind::Lock) || kind == KindCode(ItemKind::Key);
    if (tree.desktop == nullptr || !target || (!record && engine.busy == 0))
        return outcome;

    book.Select(target);
    book.Expand(target, true);
    if (showSelection)
        showSelection(target);
    Desktop& desktop = *tree.desktop;
    if (Tell(desktop, Gbk("原有的密钥数据将被删除, 继续吗?"), MsgIcon::Question, MsgButtons::OkCancel) != MsgAnswer::Ok) {
        outcome.end = KeygenEnd::Cancelled;
        return outcome;
    }
    if (engine.busy != 0) {
        engine.stopRequested = 1;
        outcome.end = KeygenEnd::StopRequested;
        return outcome;
    }

    tree.menusEnabled = false;
    tree.random.ResetSamples();
    engine.busy = 1;
    engine.stopRequested = 0;
    engine.primes = 0;
    engine.tested = 0;
    engine.attempts = 0;
    engine.startTick = desktop.TickCount();
    engine.SetRandom(&tree.random);
    const int bits = GetStrength(book, target);
    // The key is made in an engine of its own: the window's selection display loads the
    // clicked record into the first engine while events are pumped, and those numbers must
    // not mix with the primes found so far. The counters and flags stay on the first engine.
    CRSA work;
    work.mode = engine.mode;
    work.owner = engine.owner;
    work.SetRandom(&tree.random);

    int status = 0;
    int selfTest = -1;
    int failed = 0;
    KeygenEnd end = KeygenEnd::Failed;
    for (;;) {
        selfTest = -1;
        ++engine.attempts;
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
        if (selfTest != 1 && engine.stopRequested == 0)
            continue;
        end = engine.stopRequested != 0 ? KeygenEnd::Stopped : KeygenEnd::Done;
        break;
    }

    outcome.end = end;
    outcome.status = status;
    outcome.closePending = end == KeygenEnd::Stopped && status == kPrimeStopClosing;
    if (end == KeygenEnd::Stopped)
        Tell(desktop, Gbk("终止计算") + AfterText(Elapsed(tree)), MsgIcon::Exclamation);
    else if (end == KeygenEnd::Failed)
        Tell(desktop, Gbk("发生错误 = ") + std::to_string(status) + AfterText(Elapsed(tree)), MsgIcon::Exclamation);

    engine.busy = 0;
    tree.random.ResetSamples();
    tree.menusEnabled = true;

    if (selfTest == 1 && failed == 0) {
        // The first engine holds the new key afterwards, as the record does.
        const std::pair<BigInt*, const BigInt*> made[] = {{&engine.P, &work.P}, {&engine.Q, &work.Q},
                                                          {&engine.E, &work.E}, {&engine.D, &work.D},
                                                          {&engine.U, &work.U}, {&engine.N, &work.N}};
        bool copied = true;
        for (const auto& [to, from] : made)
            copied = Copy(*to, *from) == 0 && copied;
        if (!copied) {
            // Out of memory: the engine must not keep a mix of the old and the new key.
            for (const auto& [to, from] : made)
                to->Release();
        }
        int written = 1;
        if (kind == KindCode(ItemKind::Key)) {
            written &= SetNumberField(book, target, KindCode(ItemKind::PrimePField), work.P) == 1;
            written &= SetNumberField(book, target, KindCode(ItemKind::PrimeQField), work.Q) == 1;
            written &= SetNumberField(book, target, KindCode(ItemKind::PrivateExponentField), work.D) == 1;
            written &= SetNumberField(book, target, KindCode(ItemKind::CoefficientField), work.U) == 1;
        }
        written &= SetNumberField(book, target, KindCode(ItemKind::ModulusField), work.N) == 1;
        written &= SetNumberField(book, target, KindCode(ItemKind::PublicExponentField), work.E) == 1;
        outcome.keyWritten = written != 0;
        Tell(desktop, KeygenStatisticsText(engine.primes, engine.tested, Elapsed(tree)), MsgIcon::Information);
    }
    SetField(book, target, KindCode(ItemKind::DateField), FormatDate(desktop.Now()));
    return outcome;
}

}  // namespace morvane
