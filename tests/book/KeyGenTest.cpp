// The key generation command: confirmation, generation into a record, stop and close requests
// through the pumped events, and the exact progress and statistics texts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bignum/SafeAlloc.h"
#include "book/KeyGen.h"
#include "book/KeyRecord.h"
#include "book/Queries.h"
#include "book/Records.h"
#include "crypto/CRSA.h"
#include "platform/Text.h"
#include "support/LcgSource.h"
#include "support/PhraseTesting.h"
#include "support/RecordingView.h"
#include "support/ScriptedDesktop.h"

using namespace morvane;

namespace {

constexpr std::uint32_t kTickPerPump = 7;

// A book with one key and one lock, a reproducible random pool, and a clock that advances by
// kTickPerPump with every pump.
struct KeygenBook {
    ScriptedDesktop desk;
    RecordingView view;
    LcgSource source;
    KeyTree tree{&desk};
    Node dir, key, lock;
    std::function<void()> atPump;  // runs after the tick has advanced

    explicit KeygenBook(std::uint32_t seed, const char* strength = "弱  512Bits") : source(seed)
    {
        tree.view = &view;
        SeedRandom(tree.random, source);
        Node root = tree.book.Insert(Node{}, ItemKind::BookRoot, Gbk("书"));
        dir = tree.book.Insert(root, ItemKind::Directory, Gbk("目录"));
        key = AddRecord(tree.book, dir, KindCode(ItemKind::Key), Gbk("我的"), 0);
        lock = AddRecord(tree.book, dir, KindCode(ItemKind::Lock), Gbk("对方"), 0);
        for (Node n : {key, lock}) {
            SetField(tree.book, n, KindCode(ItemKind::StrengthField), Gbk(strength));
            SetField(tree.book, n, KindCode(ItemKind::ModulusField), "ABC");
        }
        SetField(tree.book, key, KindCode(ItemKind::PrivateExponentField), "DDD");
        tree.rightClickedItem = key;
        desk.onPump = [this] {
            desk.tick += kTickPerPump;
            if (atPump)
                atPump();
        };
    }

    std::string Value(Node item, ItemKind field)
    {
        FieldLine line;
        return GetField(tree.book, item, KindCode(field), line) == 1 ? line.value : "<none>";
    }

    // Counts taken from the status texts: primes ('*') and tested numbers ('*' and '.').
    int StatusCount(char code) const
    {
        int n = 0;
        const std::string mark = std::string(1, ' ') + code + " ...";
        for (const auto& t : view.statusTexts)
            n += t.find(mark) != std::string::npos;
        return n;
    }
};

bool EndsWith(const std::string& s, const std::string& tail)
{
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

std::string Seconds3(std::uint32_t ms)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.3f", ms / 1000.0);
    return buf;
}

} // namespace

TEST(KeygenCommand, TextsHaveTheirExactFormats)
{
    EXPECT_EQ(Utf8(KeygenStatusText(1, 3, 12, 1234, '*')),
              "找到 1 个素数. 调用程序03次 检验大数 0012 个 用时1.23秒 * ...(找到质数)");
    EXPECT_EQ(Utf8(KeygenStatusText(0, 1, 0, 0, '>')), "找到 0 个素数. 调用程序01次 检验大数 0000 个 用时0.00秒 > ...(生成大数)");
    EXPECT_EQ(Utf8(KeygenStatusText(12, 123, 54321, 60000, '.')),
              "找到 12 个素数. 调用程序123次 检验大数 54321 个 用时60.00秒 . ...(未过费马测试)");
    EXPECT_EQ(Utf8(KeygenStatusText(2, 1, 5, 10, '/')),
              "找到 2 个素数. 调用程序01次 检验大数 0005 个 用时0.01秒 / ...(超过大数生成资源范围, 再重试一次)");
    EXPECT_TRUE(EndsWith(Utf8(KeygenStatusText(2, 1, 5, 10, '?')), "秒 ? ...(随机数验证素数)"));
    EXPECT_TRUE(EndsWith(Utf8(KeygenStatusText(2, 1, 5, 10, 'e')), "秒 e ...(e与lcm非互质)"));

    EXPECT_EQ(Utf8(KeygenStatisticsText(3, 40, 2500)),
              "密钥生成OK. 耗时 2.500 秒, 发现 3 个质数, 测试 40 个大数, 速度 16 个大数/秒");
    EXPECT_EQ(Utf8(KeygenStatisticsText(3, 40, 1)),
              "密钥生成OK. 耗时 0.001 秒, 发现 3 个质数, 测试 40 个大数, 速度大于 1000 个大数/秒");
    EXPECT_EQ(Utf8(KeygenStatisticsText(3, 40, 0)),
              "密钥生成OK. 耗时 0.000 秒, 发现 3 个质数, 测试 40 个大数, 速度大于 1000 个大数/秒");
    // The rate is computed without overflow and rounded down.
    EXPECT_EQ(Utf8(KeygenStatisticsText(9, 5000000, 3)),
              "密钥生成OK. 耗时 0.003 秒, 发现 9 个质数, 测试 5000000 个大数, 速度 1666666666 个大数/秒");
}

TEST(KeygenCommand, ProgressCallbackCountsReportsAndAnswers)
{
    KeygenBook b(1);
    KeygenState& e = b.tree.keygen;
    e.startTick = b.desk.tick;
    e.attempts = 2;
    EXPECT_EQ(KeygenProgress(&b.tree, '*'), 1);
    EXPECT_EQ(KeygenProgress(&b.tree, '.'), 1);
    EXPECT_EQ(KeygenProgress(&b.tree, '?'), 1);
    EXPECT_EQ(e.primes, 1);
    EXPECT_EQ(e.tested, 2);
    ASSERT_EQ(b.view.statusTexts.size(), 3u);
    EXPECT_EQ(b.desk.pumps, 3);
    // Each text shows the time before its own pump.
    EXPECT_EQ(Utf8(b.view.statusTexts[2]), "找到 1 个素数. 调用程序02次 检验大数 0002 个 用时0.01秒 ? ...(随机数验证素数)");

    // An unknown code: -5, nothing shown or pumped.
    EXPECT_EQ(KeygenProgress(&b.tree, 'x'), -5);
    EXPECT_EQ(b.view.statusTexts.size(), 3u);
    // A pending close answers 4 after showing the text.
    b.desk.closePending = true;
    EXPECT_EQ(KeygenProgress(&b.tree, 'e'), 4);
    EXPECT_EQ(b.view.statusTexts.size(), 4u);
    // A stop request answers 3 before anything else.
    e.stopRequested = true;
    EXPECT_EQ(KeygenProgress(&b.tree, '*'), 3);
    EXPECT_EQ(e.primes, 1);
    EXPECT_EQ(b.desk.pumps, 4);
}

TEST(KeygenCommand, CancelOrNoRecordChangesNothing)
{
    KeygenBook b(2);
    b.desk.answers = {MsgAnswer::Cancel};
    const std::string before = b.Value(b.key, ItemKind::DateField);
    KeygenOutcome out = GenerateKeyCommand(b.tree);
    EXPECT_EQ(out.end, KeygenEnd::Cancelled);
    ASSERT_EQ(b.desk.messages.size(), 1u);
    EXPECT_EQ(b.desk.LastMessage(), "原有的密钥数据将被删除, 继续吗?");
    EXPECT_EQ(b.desk.messages[0].icon, MsgIcon::Question);
    EXPECT_EQ(b.desk.messages[0].buttons, MsgButtons::OkCancel);
    EXPECT_EQ(b.Value(b.key, ItemKind::ModulusField), "ABC");
    EXPECT_EQ(b.Value(b.key, ItemKind::DateField), before);
    EXPECT_TRUE(b.tree.menusEnabled);
    EXPECT_FALSE(b.tree.keygen.busy);
    // The record was selected and expanded before the question.
    EXPECT_EQ(b.tree.book.Selected(), b.key);
    EXPECT_TRUE(b.tree.book.Expanded(b.key));

    // No right-clicked record, or one that is not a lock or key: no question at all.
    b.tree.rightClickedItem = Node{};
    EXPECT_EQ(GenerateKeyCommand(b.tree).end, KeygenEnd::NoTarget);
    b.tree.rightClickedItem = b.dir;
    EXPECT_EQ(GenerateKeyCommand(b.tree).end, KeygenEnd::NoTarget);
    EXPECT_EQ(b.desk.messages.size(), 1u);
}

TEST(KeygenCommand, GeneratesAKeyWithExactStatistics)
{
    KeygenBook b(3);
    KeygenOutcome out = GenerateKeyCommand(b.tree);
    ASSERT_EQ(out.end, KeygenEnd::Done);
    EXPECT_TRUE(out.keyWritten);
    EXPECT_FALSE(out.closePending);
    EXPECT_EQ(b.view.shownLines, std::vector<Node>{b.key});

    // The record now holds a working key of its nominal strength.
    CRSA k;
    int complete = 0;
    ASSERT_EQ(CheckKey(k, complete, b.tree, b.key), 1);
    ASSERT_EQ(complete, 1);
    EXPECT_EQ(BitLength(k.N), 512u);
    EXPECT_EQ(BitLength(k.E), 128u);
    BigInt pq;
    ASSERT_EQ(Mul(pq, k.P, k.Q), 0);
    EXPECT_EQ(Compare(pq, k.N), 0);
    int failed = 1;
    EXPECT_EQ(k.SelfTest(failed), 1);
    EXPECT_EQ(failed, 0);
    EXPECT_EQ(b.Value(b.key, ItemKind::ModulusField), k.N.ToString(16));
    EXPECT_EQ(b.Value(b.key, ItemKind::DateField), FormatDate(b.desk.now));

    // Counters, progress texts and the statistics agree exactly. One pump per report, each
    // advancing the clock by kTickPerPump.
    const KeygenState& e = b.tree.keygen;
    EXPECT_FALSE(e.busy);
    EXPECT_TRUE(b.tree.menusEnabled);
    EXPECT_EQ(e.primes, 3 * e.attempts);
    EXPECT_EQ(e.primes, b.StatusCount('*'));
    EXPECT_EQ(e.tested, b.StatusCount('*') + b.StatusCount('.'));
    ASSERT_EQ(static_cast<int>(b.view.statusTexts.size()), b.desk.pumps);
    const std::uint32_t elapsed = kTickPerPump * static_cast<std::uint32_t>(b.desk.pumps);
    EXPECT_EQ(b.view.statusTexts.back(),
              KeygenStatusText(e.primes, e.attempts, e.tested, elapsed - kTickPerPump, '*'));
    ASSERT_EQ(b.desk.messages.size(), 2u);
    EXPECT_EQ(b.desk.messages[1].text, KeygenStatisticsText(e.primes, e.tested, elapsed));
    EXPECT_EQ(b.desk.messages[1].icon, MsgIcon::Information);
    const std::string stats = b.desk.LastMessage();
    EXPECT_EQ(stats.rfind("密钥生成OK. 耗时 " + Seconds3(elapsed) + " 秒, 发现 " + std::to_string(e.primes) +
                              " 个质数, 测试 " + std::to_string(e.tested) + " 个大数, 速度 " +
                              std::to_string(e.tested * 1000 / elapsed) + " 个大数/秒",
                          0),
              0u);
    // The first prime's report.
    std::size_t first = 0;
    while (b.view.statusTexts[first].find(" * ...") == std::string::npos)
        ++first;
    EXPECT_EQ(Utf8(b.view.statusTexts[first]).rfind("找到 1 个素数. 调用程序01次 检验大数 ", 0), 0u);
    // The pool was not told of any collected samples.
    EXPECT_EQ(b.tree.random.CollectedSamples(), 0);
}

TEST(KeygenCommand, ALockReceivesTheModulusAndExponentOnly)
{
    KeygenBook b(4);
    b.tree.rightClickedItem = b.lock;
    ASSERT_EQ(GenerateKeyCommand(b.tree).end, KeygenEnd::Done);
    EXPECT_EQ(b.tree.book.ChildCount(b.lock), 13u);
    const CRSA& e = b.tree.engine[0];
    EXPECT_EQ(b.Value(b.lock, ItemKind::ModulusField), e.N.ToString(16));
    EXPECT_EQ(b.Value(b.lock, ItemKind::PublicExponentField), e.E.ToString(16));
    // The key next to it is untouched.
    EXPECT_EQ(b.Value(b.key, ItemKind::ModulusField), "ABC");
    EXPECT_EQ(b.Value(b.key, ItemKind::PrivateExponentField), "DDD");
}

TEST(KeygenCommand, RunningTheCommandAgainStopsTheGeneration)
{
    KeygenBook b(5);
    b.desk.now += 3600;
    std::vector<KeygenOutcome> inner;
    b.atPump = [&] {
        if (b.desk.pumps == 6)
            inner.push_back(GenerateKeyCommand(b.tree));
    };
    KeygenOutcome out = GenerateKeyCommand(b.tree);
    ASSERT_EQ(inner.size(), 1u);
    EXPECT_EQ(inner[0].end, KeygenEnd::StopRequested);
    EXPECT_EQ(out.end, KeygenEnd::Stopped);
    EXPECT_EQ(out.status, 3);
    EXPECT_FALSE(out.keyWritten);
    EXPECT_FALSE(out.closePending);
    // The stop takes effect at the next report: six pumps in all.
    EXPECT_EQ(b.desk.pumps, 6);
    ASSERT_EQ(b.desk.messages.size(), 3u);
    EXPECT_EQ(b.desk.messages[1].buttons, MsgButtons::OkCancel);
    EXPECT_EQ(b.desk.LastMessage(), "终止计算! 在计算进行(0.042 秒)后");
    EXPECT_EQ(b.desk.messages[2].icon, MsgIcon::Exclamation);
    // Old key fields kept, date updated, state restored.
    EXPECT_EQ(b.Value(b.key, ItemKind::ModulusField), "ABC");
    EXPECT_EQ(b.Value(b.key, ItemKind::PrivateExponentField), "DDD");
    EXPECT_EQ(b.Value(b.key, ItemKind::DateField), FormatDate(b.desk.now));
    EXPECT_FALSE(b.tree.keygen.busy);
    EXPECT_TRUE(b.tree.menusEnabled);

    // A cancelled re-entry leaves the generation running to the end.
    KeygenBook c(5);
    c.atPump = [&] {
        if (c.desk.pumps == 2) {
            c.desk.answers = {MsgAnswer::Cancel};
            EXPECT_EQ(GenerateKeyCommand(c.tree).end, KeygenEnd::Cancelled);
        }
    };
    EXPECT_EQ(GenerateKeyCommand(c.tree).end, KeygenEnd::Done);
}

TEST(KeygenCommand, AStopAfterTheLastKeyPassedStillStoresIt)
{
    KeygenBook b(6);
    b.atPump = [&] {
        // The report of the third prime (E) is the last before the key is derived and tested.
        if (b.tree.keygen.primes == 3 && !b.tree.keygen.stopRequested) {
            EXPECT_EQ(GenerateKeyCommand(b.tree).end, KeygenEnd::StopRequested);
        }
    };
    KeygenOutcome out = GenerateKeyCommand(b.tree);
    EXPECT_EQ(out.end, KeygenEnd::Stopped);
    EXPECT_TRUE(out.keyWritten);
    ASSERT_EQ(b.desk.messages.size(), 4u);
    EXPECT_EQ(b.desk.MessageTexts()[2].rfind("终止计算! 在计算进行(", 0), 0u);
    EXPECT_EQ(b.desk.MessageTexts()[3].rfind("密钥生成OK. ", 0), 0u);
    EXPECT_EQ(b.Value(b.key, ItemKind::ModulusField), b.tree.engine[0].N.ToString(16));
}

TEST(KeygenCommand, APendingCloseStopsAndIsHandedBack)
{
    KeygenBook b(7);
    b.atPump = [&] {
        if (b.desk.pumps == 4)
            b.desk.closePending = true;
    };
    KeygenOutcome out = GenerateKeyCommand(b.tree);
    EXPECT_EQ(out.end, KeygenEnd::Stopped);
    EXPECT_EQ(out.status, 4);
    EXPECT_TRUE(out.closePending);
    EXPECT_EQ(b.desk.pumps, 4);
    EXPECT_EQ(b.desk.LastMessage(), "终止计算! 在计算进行(0.028 秒)后");
    EXPECT_EQ(b.Value(b.key, ItemKind::ModulusField), "ABC");
    EXPECT_EQ(b.Value(b.key, ItemKind::DateField), FormatDate(b.desk.now));
}

TEST(KeygenCommand, AnUnusableStrengthEndsWithTheErrorMessage)
{
    KeygenBook b(8, "弱  16Bits");
    KeygenOutcome out = GenerateKeyCommand(b.tree);
    EXPECT_EQ(out.end, KeygenEnd::Failed);
    EXPECT_EQ(out.status, -1);
    EXPECT_EQ(b.desk.LastMessage(), "发生错误 = -1! 在计算进行(0.000 秒)后");
    EXPECT_EQ(b.Value(b.key, ItemKind::ModulusField), "ABC");
    EXPECT_EQ(b.Value(b.key, ItemKind::DateField), FormatDate(b.desk.now));
    EXPECT_TRUE(b.tree.menusEnabled);
    EXPECT_FALSE(b.tree.keygen.busy);
}

TEST(KeygenCommand, FirstPrimeOfA1024BitKeyIsReported)
{
    KeygenBook b(9, "中 1024Bits");
    std::string firstPrimeText;
    b.atPump = [&] {
        if (firstPrimeText.empty() && b.tree.keygen.primes == 1) {
            firstPrimeText = b.view.statusTexts.back();
            b.tree.keygen.stopRequested = true;  // no need to finish
        }
    };
    EXPECT_EQ(GenerateKeyCommand(b.tree).end, KeygenEnd::Stopped);
    const std::string text = Utf8(firstPrimeText);
    EXPECT_EQ(text.rfind("找到 1 个素数. 调用程序01次 检验大数 ", 0), 0u) << text;
    EXPECT_NE(text.find(" * ...(找到质数)"), std::string::npos) << text;
}

TEST(KeygenCommand, KeysLoadedWhileItRunsDoNotMixIntoTheNewKey)
{
    // The window's selection display loads a clicked record into the first engine while the
    // generation pumps events; here during the search for Q, with small numbers that would
    // show up in the new key.
    KeygenBook b(10);
    Node other = AddRecord(b.tree.book, b.dir, KindCode(ItemKind::Key), Gbk("另一个"), 0);
    for (auto [field, value] : {std::pair{ItemKind::ModulusField, "8F"}, {ItemKind::PublicExponentField, "3"},
                                {ItemKind::PrimePField, "B"}, {ItemKind::PrimeQField, "D"},
                                {ItemKind::PrivateExponentField, "7"}, {ItemKind::CoefficientField, "6"}})
        SetField(b.tree.book, other, KindCode(field), value);
    bool loaded = false;
    int pFound = 0;  // the pump that reported P; the draw of Q and its search follow
    b.atPump = [&] {
        if (pFound == 0 && b.tree.keygen.primes == 1)
            pFound = b.desk.pumps;
        if (!loaded && pFound != 0 && b.desk.pumps == pFound + 2) {
            int complete = 0;
            EXPECT_EQ(CheckKey(b.tree.engine[0], complete, b.tree, other), 1);
            loaded = true;
        }
    };
    ASSERT_EQ(GenerateKeyCommand(b.tree).end, KeygenEnd::Done);
    ASSERT_TRUE(loaded);
    CRSA k;
    int complete = 0;
    ASSERT_EQ(CheckKey(k, complete, b.tree, b.key), 1);
    ASSERT_EQ(complete, 1);
    EXPECT_EQ(BitLength(k.P), 512u / 2 - 17);
    EXPECT_EQ(BitLength(k.N), 512u);
    BigInt pq;
    ASSERT_EQ(Mul(pq, k.P, k.Q), 0);
    EXPECT_EQ(Compare(pq, k.N), 0);
    // Afterwards the first engine holds the new key, as the record does.
    EXPECT_EQ(Compare(b.tree.engine[0].N, k.N), 0);
    EXPECT_EQ(Compare(b.tree.engine[0].D, k.D), 0);

    // A stopped generation leaves whatever the first engine held.
    KeygenBook c(11);
    int complete2 = 0;
    ASSERT_EQ(LoadKey(c.tree.engine[0], complete2, c.tree, c.key), 1);
    c.atPump = [&] {
        if (c.tree.keygen.primes == 2)
            c.tree.keygen.stopRequested = true;
    };
    ASSERT_EQ(GenerateKeyCommand(c.tree).end, KeygenEnd::Stopped);
    EXPECT_EQ(c.tree.engine[0].N.ToString(16), "ABC");
    EXPECT_EQ(c.tree.engine[0].E.ToString(16), "10001");
}

TEST(KeygenCommand, RunningOutOfMemoryAfterThePrimesNeverStoresAKey)
{
    // Memory runs out at each allocation in turn from the report of the last prime on (storing
    // it, deriving the key, the self-test, handing the key over): every such run must end as
    // a failure with the record's old key whole, until the first run that needs no failing
    // allocation stores a working key.
    for (long successes = 0;; ++successes) {
        ASSERT_LT(successes, 100000) << "the generation never finished";
        KeygenBook b(12, "弱  256Bits");
        bool armed = false;
        b.atPump = [&] {
            if (!armed && b.tree.keygen.primes == 3) {
                armed = true;
                FailAllocationsAfter(successes);
            }
        };
        const KeygenOutcome out = GenerateKeyCommand(b.tree);
        FailAllocationsAfter(-1);
        ASSERT_TRUE(armed);
        if (out.end == KeygenEnd::Done) {
            EXPECT_TRUE(out.keyWritten);
            CRSA k;
            int complete = 0;
            ASSERT_EQ(CheckKey(k, complete, b.tree, b.key), 1);
            ASSERT_EQ(complete, 1);
            int failed = 1;
            EXPECT_EQ(k.SelfTest(failed), 1);
            EXPECT_EQ(failed, 0);
            EXPECT_EQ(Compare(b.tree.engine[0].N, k.N), 0);
            break;
        }
        ASSERT_EQ(out.end, KeygenEnd::Failed) << successes;
        EXPECT_FALSE(out.keyWritten);
        EXPECT_EQ(b.desk.LastMessage().rfind("发生错误 = ", 0), 0u) << successes;
        for (const std::string& m : b.desk.MessageTexts())
            ASSERT_NE(m.rfind("密钥生成OK", 0), 0u) << successes;
        ASSERT_EQ(b.Value(b.key, ItemKind::ModulusField), "ABC") << successes;
        ASSERT_EQ(b.Value(b.key, ItemKind::PrivateExponentField), "DDD") << successes;
        EXPECT_FALSE(b.tree.keygen.busy);
        EXPECT_TRUE(b.tree.menusEnabled);
    }
}
