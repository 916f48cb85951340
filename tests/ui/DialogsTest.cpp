// The find, add item, name clash and about dialogs on real widgets and key events: every way
// of closing the find dialog gives the tree's menus back, its buttons step through the
// results, and the add dialog paints a taken name red and refuses it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include "book/KeyTree.h"
#include "book/Queries.h"
#include "book/Records.h"
#include "platform/Text.h"
#include "support/RecordingView.h"
#include "support/ScriptedDesktop.h"
#include "ui/common/QtText.h"
#include "ui/dialogs/AboutDialog.h"
#include "ui/dialogs/AddItemDialog.h"
#include "ui/dialogs/FindDialog.h"
#include "ui/dialogs/NameClashDialog.h"
#include "ui/shell/QtDesktop.h"

using namespace morvane;

namespace {

QString U(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

// Types text as one key event: QTest::keyClicks cannot type characters outside Latin-1.
void Type(QWidget* widget, const QString& text)
{
    QKeyEvent typed(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text);
    QApplication::sendEvent(widget, &typed);
}

class DialogsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = BuildSampleBook(tree.book);
        ASSERT_TRUE(root);
        tree.view = &view;
        tree.rightClickedItem = root;
    }

    Node Named(const char* utf8) const
    {
        for (Node n = tree.book.FirstRoot(); n; n = tree.book.NextPreOrder(n))
            if (tree.book.Text(n) == Gbk(utf8))
                return n;
        return Node{};
    }

    static void Flush() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    ScriptedDesktop desk;
    RecordingView view;
    KeyTree tree{&desk};
    Node root;
};

TEST_F(DialogsTest, EveryWayOfClosingFindGivesTheMenusBack)
{
    enum class How { Escape, Enter, CloseButton, WindowManager, Destroyed };
    for (How how : {How::Escape, How::Enter, How::CloseButton, How::WindowManager, How::Destroyed}) {
        SCOPED_TRACE(static_cast<int>(how));
        tree.menusEnabled = true;
        QPointer<FindDialog> dialog = FindDialog::Open(tree, nullptr);
        ASSERT_TRUE(dialog);
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_FALSE(tree.menusEnabled);
        switch (how) {
        case How::Escape: QTest::keyClick(dialog->textField(), Qt::Key_Escape); break;
        case How::Enter: QTest::keyClick(dialog->textField(), Qt::Key_Return); break;
        case How::CloseButton: QTest::mouseClick(dialog->closeButton(), Qt::LeftButton); break;
        case How::WindowManager: dialog->close(); break;
        case How::Destroyed: delete dialog.data(); break;
        }
        EXPECT_TRUE(tree.menusEnabled);
        Flush();
        EXPECT_FALSE(dialog) << "deletes itself once closed";
    }
}

TEST_F(DialogsTest, FindStepsThroughTheResults)
{
    AddRecord(tree.book, Named("目录B"), KindCode(ItemKind::Lock), Gbk("我的1"), 0);
    FindDialog dialog(tree);
    dialog.show();
    EXPECT_EQ(dialog.textField()->text(), U("我的1"));
    EXPECT_EQ(dialog.statusPane()->text(), U("就绪"));
    EXPECT_FALSE(dialog.previousButton()->isEnabled());
    EXPECT_FALSE(dialog.nextButton()->isEnabled());

    // Only keys: the lock of the same name is left out.
    QTest::mouseClick(dialog.lockBox(), Qt::LeftButton);
    EXPECT_EQ(dialog.session().Mask(), kMaskDirectory | kMaskKey);
    QTest::mouseClick(dialog.searchButton(), Qt::LeftButton);
    EXPECT_EQ(dialog.statusPane()->text(), U("搜索到 1 个结果! 第 1/1 个"));
    EXPECT_FALSE(dialog.previousButton()->isEnabled());
    EXPECT_FALSE(dialog.nextButton()->isEnabled());

    // Typed text and all kinds, searched again from the clicked item's directory (目录A)...
    QTest::mouseClick(dialog.lockBox(), Qt::LeftButton);
    dialog.textField()->clear();
    QTest::keyClicks(dialog.textField(), QStringLiteral("nothing"));
    QTest::mouseClick(dialog.searchButton(), Qt::LeftButton);
    EXPECT_EQ(dialog.statusPane()->text(), U("搜索无结果!"));
    // ... and from the root once it is the clicked item.
    dialog.textField()->selectAll();
    Type(dialog.textField(), U("我的1"));
    tree.clickedItem = root;
    QTest::mouseClick(dialog.searchButton(), Qt::LeftButton);
    ASSERT_EQ(dialog.session().Results().size(), 2u);
    EXPECT_EQ(dialog.statusPane()->text(), U("搜索到 2 个结果! 第 1/2 个"));
    EXPECT_EQ(view.shownLines.back(), dialog.session().Results()[0]);
    EXPECT_FALSE(dialog.previousButton()->isEnabled());
    ASSERT_TRUE(dialog.nextButton()->isEnabled());

    // Enter on a focused step button steps; on the last result the focus moves to the other
    // step button, so a second Enter does not close the dialog.
    dialog.nextButton()->setFocus();
    QTest::keyClick(dialog.nextButton(), Qt::Key_Return);
    EXPECT_EQ(dialog.statusPane()->text(), U("第 2/2 个"));
    EXPECT_EQ(view.shownLines.back(), dialog.session().Results()[1]);
    EXPECT_FALSE(dialog.nextButton()->isEnabled());
    EXPECT_TRUE(dialog.previousButton()->isEnabled());
    EXPECT_EQ(dialog.focusWidget(), dialog.previousButton());
    QTest::keyClick(dialog.previousButton(), Qt::Key_Return);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.session().CurrentIndex(), 1);
    EXPECT_EQ(dialog.statusPane()->text(), U("第 1/2 个"));
    EXPECT_FALSE(dialog.previousButton()->isEnabled());
    EXPECT_TRUE(dialog.nextButton()->isEnabled());
    EXPECT_EQ(view.shownLines.back(), dialog.session().Results()[0]);
    EXPECT_FALSE(tree.menusEnabled);
}

TEST_F(DialogsTest, AddPaintsATakenNameRedAndRefusesIt)
{
    const Node dirA = Named("目录A");
    tree.rightClickedItem = dirA;
    AddItemDialog dialog(tree);
    dialog.show();
    QLineEdit* name = dialog.nameField();
    // The hint stays in grey, unselected, until the user acts on the field, although it has
    // the focus.
    EXPECT_EQ(name->text(), U("在此输入项目名字"));
    EXPECT_EQ(name->palette().color(QPalette::Text), QColor(160, 160, 160));
    EXPECT_FALSE(name->hasSelectedText());
    EXPECT_FALSE(dialog.okButton()->isEnabled());
    EXPECT_EQ(dialog.statusPane()->text(), U("就绪"));

    QTest::mouseClick(dialog.kindButton(kMaskLock), Qt::LeftButton);
    EXPECT_EQ(dialog.statusPane()->text(), U("就绪"));
    Type(name, U("对方1"));
    EXPECT_EQ(name->text(), U("对方1"));
    EXPECT_EQ(dialog.statusPane()->text(), U("重名, 不能使用!"));
    EXPECT_FALSE(dialog.okButton()->isEnabled());
    // Red with white letters, as painted.
    EXPECT_EQ(name->palette().color(QPalette::Base), QColor(255, 0, 0));
    EXPECT_EQ(name->palette().color(QPalette::Text), QColor(Qt::white));
    const QImage shot = name->grab().toImage();
    EXPECT_EQ(QColor(shot.pixel(shot.width() - 6, shot.height() / 2)), QColor(255, 0, 0));
    // Enter does not get past the disabled OK.
    QTest::keyClick(name, Qt::Key_Return);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(tree.book.ChildCount(dirA), 2u);

    // A key of that name is free: normal colours, OK, and the key is added.
    QTest::mouseClick(dialog.kindButton(kMaskKey), Qt::LeftButton);
    EXPECT_EQ(dialog.statusPane()->text(), U("名字可以使用!"));
    EXPECT_NE(name->palette().color(QPalette::Base), QColor(255, 0, 0));
    ASSERT_TRUE(dialog.okButton()->isEnabled());
    QTest::keyClick(name, Qt::Key_Return);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    ASSERT_TRUE(dialog.added());
    EXPECT_EQ(tree.book.Parent(dialog.added()), dirA);
    EXPECT_EQ(tree.book.Kind(dialog.added()), KindCode(ItemKind::Key));
    EXPECT_EQ(Utf8(tree.book.Text(dialog.added())), "对方1");
}

TEST_F(DialogsTest, AddRunReturnsNothingWhenCancelled)
{
    QTimer::singleShot(0, [] {
        auto* d = qobject_cast<AddItemDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(d, nullptr);
        QTest::keyClicks(d->nameField(), QStringLiteral("new"));
        QTest::mouseClick(d->kindButton(kMaskDirectory), Qt::LeftButton);
        QTest::keyClick(d->nameField(), Qt::Key_Escape);
    });
    EXPECT_FALSE(AddItemDialog::Run(tree, nullptr));
    EXPECT_FALSE(Named("new"));
}

TEST_F(DialogsTest, NameClashBoxAndAboutBox)
{
    // The paste's warning comes through the desktop as the clash box, with its text as is.
    QtDesktop desktop;
    const std::string message = Gbk("<钥匙>:  \"<b>我的1</b>\" 重名");
    QString caption, text;
    bool icon = false;
    QTimer::singleShot(0, [&] {
        auto* d = qobject_cast<NameClashDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(d, nullptr);
        caption = d->windowTitle();
        text = d->textLabel()->text();
        icon = !d->iconLabel()->pixmap().isNull();
        d->accept();
    });
    desktop.ShowNameClash(Phrase::Plain(message), KindCode(ItemKind::Key));
    EXPECT_EQ(caption, U("重名警告!"));
    EXPECT_EQ(text, ToQt(message));
    EXPECT_TRUE(icon);

    // The licence is compiled in and shown whole.
    AboutDialog about;
    EXPECT_EQ(about.windowTitle(), QStringLiteral("Morvane"));
    EXPECT_EQ(about.versionLabel()->text(), QStringLiteral("Morvane Version " MORVANE_VERSION));
    EXPECT_TRUE(about.licenceView()->toPlainText().startsWith(QStringLiteral("MIT License")));
    EXPECT_TRUE(about.licenceView()->toPlainText().contains(QStringLiteral("WITHOUT WARRANTY OF ANY KIND")));
    EXPECT_TRUE(about.linkLabel()->text().contains(QStringLiteral(MORVANE_HOME_PAGE)));
}

}  // namespace
