// The secrets around the window: the clipboard that forgets a key's lines, the idle lock and
// Ctrl+L, and the preferences file that times them.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QElapsedTimer>
#include <QMimeData>
#include <QSpinBox>
#include <QTimer>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sys/stat.h>

#include "book/KeyTree.h"
#include "book/Marking.h"
#include "book/Queries.h"
#include "book/Records.h"
#include "platform/Paths.h"
#include "platform/Text.h"
#include "support/ScriptedDesktop.h"
#include "support/TempDataHome.h"
#include "ui/boxes/IoBox.h"
#include "ui/boxes/SecretClipboard.h"
#include "ui/common/Preferences.h"
#include "ui/dialogs/PreferencesDialog.h"
#include "ui/shell/IdleLock.h"
#include "ui/shell/LockRules.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/Safeguards.h"
#include "ui/tree/BookView.h"

using namespace morvane;
using namespace std::chrono_literals;

namespace {

// XDG_CONFIG_HOME pointed at a fresh folder for the test's lifetime.
class TempConfigHome {
public:
    TempConfigHome()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "morvane-config-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            std::abort();
        dir_ = pattern;
        if (const char* old = std::getenv("XDG_CONFIG_HOME"))
            old_ = old;
        ::setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
    }
    ~TempConfigHome()
    {
        if (old_)
            ::setenv("XDG_CONFIG_HOME", old_->c_str(), 1);
        else
            ::unsetenv("XDG_CONFIG_HOME");
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    const std::string& Path() const { return dir_; }

private:
    std::string dir_;
    std::optional<std::string> old_;
};

// What the window showed each time the lock asked for the password.
struct Seen {
    bool tree, input, cover;
    qint64 at;
};

class LockDesktop : public ScriptedDesktop {
public:
    MainWindow* window = nullptr;
    std::vector<Seen> seen;
    QElapsedTimer clock;
    LockDesktop() { clock.start(); }
    std::optional<std::string> AskPassword(PasswordMode mode, const std::string& preset) override
    {
        if (window) {
            const QWidget* cover = window->findChild<QWidget*>(QStringLiteral("lockCover"));
            seen.push_back({window->Tree()->isVisible(), window->Input()->isVisible(), cover && cover->isVisible(),
                            clock.elapsed()});
        }
        return ScriptedDesktop::AskPassword(mode, preset);
    }
};

bool WaitUntil(const std::function<bool()>& done, int ms = 5000)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QTest::qWait(10);
    return done();
}

class SafeguardsTest : public ::testing::Test {
protected:
    TempDataHome home;
    TempConfigHome config;
    LockDesktop desk;
    KeyTree tree{&desk};
    std::unique_ptr<MainWindow> window = std::make_unique<MainWindow>(tree, desk);
    Node lock, key;

    void SetUp() override
    {
        desk.window = window.get();
        BuildSampleBook(tree.book);
        const Node dir = tree.book.FirstChild(tree.book.FirstRoot());
        lock = FindChildByName(tree.book, dir, Gbk("对方1"), kMaskLock);
        key = FindChildByName(tree.book, dir, Gbk("我的1"), kMaskKey);
        tree.loginPassword = Gbk("登录 pw");
        window->Start();
        window->resize(800, 600);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        QGuiApplication::clipboard()->clear();
    }
    void TearDown() override
    {
        desk.window = nullptr;
    }

    IdleLock& Lock() { return window->Guards()->Lock(); }
    // Shows the record's output line with value and copies all of the box (a lock's output
    // shows framed).
    void CopyOutput(Node record, const char* value)
    {
        ASSERT_EQ(SetField(tree.book, record, KindCode(ItemKind::OutputField), Gbk(value)), 1);
        (void)SelectionDisplay(tree, FindChildByKind(tree.book, record, ItemKind::OutputField));
        ASSERT_TRUE(window->Input()->isVisible());
        window->Input()->selectAll();
        window->Input()->copy();
        ASSERT_TRUE(window->Input()->toPlainText().contains(QString::fromUtf8(value)));
        ASSERT_EQ(QGuiApplication::clipboard()->text(), window->Input()->toPlainText());
    }
    bool BookShown() const { return window->Tree()->isVisible() && window->Input()->isVisible(); }
};

}  // namespace

// A copy from a key's output line is marked secret and gone after the delay; a copy from a
// lock's output line is ordinary and stays, even when it replaced a secret still waiting.
TEST_F(SafeguardsTest, ClipboardForgetsAKeysLineButNotALocksLine)
{
    SecretClipboard& guard = window->Guards()->Clipboard();
    guard.SetDelay(150ms);
    QClipboard* board = QGuiApplication::clipboard();

    const QString hint = QStringLiteral("x-kde-passwordManagerHint");
    CopyOutput(key, "decrypted secret");
    EXPECT_EQ(board->mimeData()->data(hint), QByteArrayLiteral("secret"));
    EXPECT_TRUE(guard.Pending());
    CopyOutput(lock, "armored for a friend");
    const QString ordinary = board->text();
    EXPECT_FALSE(board->mimeData()->hasFormat(hint));
    QTest::qWait(400);
    EXPECT_EQ(board->text(), ordinary);
    EXPECT_FALSE(guard.Pending());

    CopyOutput(key, "decrypted secret");
    ASSERT_TRUE(WaitUntil([&] { return board->text().isEmpty(); }));
    EXPECT_FALSE(guard.Pending());

    // Whatever is still pending goes when the program ends.
    guard.SetDelay(60s);
    CopyOutput(key, "decrypted secret");
    window.reset();
    EXPECT_TRUE(board->text().isEmpty());
}

// Idle past the delay, the window hides the book and asks the login password; a wrong one
// keeps it hidden and is asked again after the pause; the right one shows the book with its
// unsaved change, and nothing was written.
TEST_F(SafeguardsTest, IdleLockHidesTheBookUntilTheRightPassword)
{
    ASSERT_EQ(SetField(tree.book, lock, KindCode(ItemKind::NoteField), Gbk("unsaved note")), 1);
    (void)SelectionDisplay(tree, FindChildByKind(tree.book, lock, ItemKind::NoteField));
    desk.passwords = {Gbk("wrong"), Gbk("登录 pw")};
    Lock().SetRetryDelay(200ms);
    Lock().SetDelay(100ms);
    ASSERT_TRUE(WaitUntil([&] { return desk.seen.size() == 2 && !Lock().Locked(); }));

    for (const Seen& s : desk.seen)
        EXPECT_TRUE(!s.tree && !s.input && s.cover);
    EXPECT_GE(desk.seen[1].at - desk.seen[0].at, 200);
    EXPECT_EQ(desk.passwordRequests.size(), 2u);
    EXPECT_EQ(desk.passwordRequests[0].first, kPasswordLogin);
    EXPECT_EQ(desk.MessageTexts(), std::vector<std::string>{"密码MD5验证未能通过!"});
    EXPECT_TRUE(BookShown());
    EXPECT_EQ(Utf8(tree.book.Text(FindChildByKind(tree.book, lock, ItemKind::NoteField))), "附加说明: unsaved note");
    EXPECT_EQ(window->Input()->toPlainText(), QStringLiteral("unsaved note"));
    const std::string programDir = home.Path() + "/Morvane";
    EXPECT_TRUE(!std::filesystem::exists(programDir) || std::filesystem::is_empty(programDir));
}

// Ctrl+L locks at once, and drops a secret from the clipboard. Cancel asks the close question
// as at the login; No keeps the book locked. A lock asked for while a key is generated waits
// for it to end.
TEST_F(SafeguardsTest, CtrlLLocksAtOnceAndWaitsForAComputation)
{
    window->Guards()->Clipboard().SetDelay(60s);
    CopyOutput(key, "decrypted secret");
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    desk.passwords = {std::nullopt, Gbk("登录 pw")};
    desk.answers = {MsgAnswer::No};
    QTest::keyClick(window.get(), Qt::Key_L, Qt::ControlModifier);
    ASSERT_EQ(desk.seen.size(), 2u);
    EXPECT_FALSE(desk.seen[0].tree || desk.seen[1].tree);
    EXPECT_EQ(desk.MessageTexts(), std::vector<std::string>{"确认退出吗?"});
    EXPECT_TRUE(QGuiApplication::clipboard()->text().isEmpty());
    EXPECT_TRUE(BookShown());
    EXPECT_TRUE(window->isVisible());

    tree.keygen.busy = true;
    desk.passwords = {Gbk("登录 pw")};
    window->Guards()->Lock().Action()->trigger();
    QTest::qWait(400);
    EXPECT_EQ(desk.seen.size(), 2u);
    tree.keygen.busy = false;
    ASSERT_TRUE(WaitUntil([&] { return desk.seen.size() == 3; }));
    EXPECT_FALSE(desk.seen[2].tree);
    EXPECT_TRUE(BookShown());
}

// Input keeps the book open; no delay never locks for idleness but a request still does; a
// running computation holds the lock back until it ends.
TEST(LockRules, IdleTimeRequestsAndComputations)
{
    shell::LockClock c;
    c.SetDelay(1000, 0);
    EXPECT_FALSE(c.Due(999, false));
    EXPECT_EQ(c.Wait(400, false), 600);
    c.Touch(500);
    EXPECT_FALSE(c.Due(1200, false));
    EXPECT_TRUE(c.Due(1500, false));
    EXPECT_FALSE(c.Due(1500, true));
    EXPECT_EQ(c.Wait(1500, true), shell::LockClock::kBusyPoll);
    c.Unlocked(1500);
    EXPECT_FALSE(c.Due(2000, false));

    c.SetDelay(0, 0);
    EXPECT_FALSE(c.Due(1 << 30, false));
    EXPECT_EQ(c.Wait(1 << 30, false), -1);
    c.Request();
    EXPECT_TRUE(c.Due(0, false));
    c.Unlocked(0);
    EXPECT_FALSE(c.Due(0, false));

    EXPECT_TRUE(shell::LoginMatches(Gbk("登录 pw"), Gbk("登录 pw")));
    EXPECT_FALSE(shell::LoginMatches(Gbk("登录 pw"), Gbk("登录 pW")));
    EXPECT_FALSE(shell::LoginMatches("pw", ""));
}

// The settings file: values in range are read; a damaged file, a value out of range or not a
// number, and a file far too large give the defaults. A save creates a private folder and
// reads back; the window applies what the file says.
TEST(Preferences, DamagedFilesGiveTheDefaults)
{
    TempConfigHome config;
    const std::string path = PreferencesPath();
    EXPECT_EQ(path, config.Path() + "/Morvane/Morvane.ini");
    EXPECT_EQ(LoadPreferences(), Preferences{});

    ASSERT_TRUE(SavePreferences({5, 0}));
    struct stat st {};
    ASSERT_EQ(::stat(PreferencesDir().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(LoadPreferences(), (Preferences{5, 0}));

    auto load = [&](const std::string& content) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
        return LoadPreferences();
    };
    EXPECT_EQ(load("[Security]\nClipboardClearSeconds=0\nAutoLockMinutes=-3\n"), Preferences{});
    EXPECT_EQ(load("[Security]\nClipboardClearSeconds=12abc\nAutoLockMinutes=99999999999\n"), Preferences{});
    EXPECT_EQ(load("[Security]\nClipboardClearSeconds=7, 8\nAutoLockMinutes= 3 \n"), (Preferences{30, 3}));
    EXPECT_EQ(load(std::string("\xff\xfe[Sec\0urity\n=\n[[[\n\x01\x02", 20) + std::string(300, '\n')), Preferences{});
    EXPECT_EQ(load("[Security]\nAutoLockMinutes=2\n" + std::string(100000, '#')), Preferences{});

    load("[Security]\nClipboardClearSeconds=45\nAutoLockMinutes=0\n");
    TempDataHome home;
    ScriptedDesktop desk;
    KeyTree tree{&desk};
    MainWindow window(tree, desk);
    EXPECT_EQ(window.Guards()->Current(), (Preferences{45, 0}));
    EXPECT_EQ(window.Guards()->Clipboard().Delay(), 45s);
}

// The language: MORVANE_LANG before the preference before the desktop; the preference survives
// a save beside the delays, and the dialog keeps what it was given.
TEST(Preferences, LanguageChoice)
{
    EXPECT_EQ(ChooseLanguage("en", LanguageChoice::Chinese, "zh-CN"), Language::English);
    EXPECT_EQ(ChooseLanguage(" ZH ", LanguageChoice::English, "en-US"), Language::Chinese);
    EXPECT_EQ(ChooseLanguage("fr", LanguageChoice::English, "zh-CN"), Language::English);  // unknown: ignored
    EXPECT_EQ(ChooseLanguage("", LanguageChoice::Chinese, "en-US"), Language::Chinese);
    EXPECT_EQ(ChooseLanguage("", LanguageChoice::Auto, "zh-Hant-TW"), Language::Chinese);
    EXPECT_EQ(ChooseLanguage("", LanguageChoice::Auto, "zh"), Language::Chinese);
    EXPECT_EQ(ChooseLanguage("", LanguageChoice::Auto, "zhx"), Language::English);
    EXPECT_EQ(ChooseLanguage("", LanguageChoice::Auto, "en-GB"), Language::English);
    EXPECT_EQ(ChooseLanguage("", LanguageChoice::Auto, ""), Language::English);

    TempConfigHome config;
    ASSERT_TRUE(SavePreferences({45, 2, LanguageChoice::English}));
    EXPECT_EQ(LoadPreferences(), (Preferences{45, 2, LanguageChoice::English}));
    std::ofstream(PreferencesPath(), std::ios::trunc) << "[Interface]\nLanguage=klingon\n";
    EXPECT_EQ(LoadPreferences(), Preferences{});

    PreferencesDialog dialog({30, 10, LanguageChoice::Chinese});
    EXPECT_EQ(dialog.Values().language, LanguageChoice::Chinese);
    dialog.languageField()->setCurrentIndex(dialog.languageField()->findData(int(LanguageChoice::Auto)));
    EXPECT_EQ(dialog.Values(), Preferences{});
}

// The window menu's preferences entry: OK applies the two delays and writes the file.
TEST_F(SafeguardsTest, PreferencesDialogAppliesAndSaves)
{
    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<PreferencesDialog*>(QApplication::activeModalWidget());
        ASSERT_TRUE(dialog);
        EXPECT_EQ(dialog->Values(), Preferences{});
        dialog->clipboardField()->setValue(12);
        dialog->lockField()->setValue(0);
        dialog->accept();
    });
    QAction* entry = window->findChild<QAction*>(QStringLiteral("preferences"));
    ASSERT_TRUE(entry);
    entry->trigger();
    EXPECT_EQ(window->Guards()->Clipboard().Delay(), 12s);
    EXPECT_EQ(LoadPreferences(), (Preferences{12, 0}));
    EXPECT_TRUE(desk.messages.empty());
}
