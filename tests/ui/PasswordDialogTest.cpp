// The password dialog: its layout and button tracking without a screen, and the real dialog
// with its modal mismatch message answered by a timer.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include "ui/common/QtText.h"
#include "ui/dialogs/PasswordDialog.h"
#include "ui/dialogs/PasswordLayout.h"

using namespace morvane;

TEST(PasswordLayout, RectanglesOfTheTwoShapes)
{
    const PasswordLayout one = LayOutPasswordDialog(kPasswordSetLogin, 279);
    EXPECT_TRUE(one.confirm);
    EXPECT_EQ(one.prompt, (PixelRect{13, 13, 266, 26}));
    EXPECT_EQ(one.first, (PixelRect{13, 29, 266, 43}));
    EXPECT_EQ(one.confirmPrompt, (PixelRect{13, 56, 266, 69}));
    EXPECT_EQ(one.second, (PixelRect{13, 72, 266, 86}));
    EXPECT_EQ(one.ok, (PixelRect{54, 99, 134, 119}));
    EXPECT_EQ(one.cancel, (PixelRect{144, 99, 224, 119}));
    EXPECT_EQ(one.clientHeight, 132);
    EXPECT_EQ(FieldFrame(one.first), (PixelRect{12, 28, 267, 47}));

    const PasswordLayout login = LayOutPasswordDialog(kPasswordLogin, 279);
    EXPECT_FALSE(login.confirm);
    EXPECT_EQ(login.second, login.first);
    EXPECT_EQ(login.ok, (PixelRect{54, 56, 134, 76}));
    EXPECT_EQ(login.clientHeight, 89);
}

TEST(PasswordLayout, ButtonsActOnlyWhereTheyWerePressed)
{
    const PasswordLayout l = LayOutPasswordDialog(kPasswordLogin);
    PasswordButtons b(l);
    const int okX = l.ok.left + 5, cancelX = l.cancel.left + 5, y = l.ok.top + 5;

    EXPECT_TRUE(b.Move(okX, y));
    EXPECT_FALSE(b.Move(okX + 1, y));
    EXPECT_EQ(b.LookOf(PasswordButtons::kOk), PasswordButtons::Look::Hot);
    EXPECT_EQ(b.LabelShift(PasswordButtons::kOk), -1);
    EXPECT_TRUE(b.Press(okX, y));
    EXPECT_EQ(b.LookOf(PasswordButtons::kOk), PasswordButtons::Look::Pressed);
    EXPECT_EQ(b.LabelShift(PasswordButtons::kOk), 0);
    // Dragged onto Cancel and let go there: nothing.
    b.Move(cancelX, y);
    EXPECT_EQ(b.LookOf(PasswordButtons::kCancel), PasswordButtons::Look::Hot);
    EXPECT_EQ(b.Release(cancelX, y), PasswordButtons::kNone);
    // Down beside the buttons takes nothing; a click on Cancel cancels.
    EXPECT_FALSE(b.Press(5, 5));
    EXPECT_EQ(b.Release(cancelX, y), PasswordButtons::kNone);
    b.Press(cancelX, y);
    EXPECT_EQ(b.Release(cancelX, y), PasswordButtons::kCancel);
    b.Leave();
    EXPECT_EQ(b.Hot(), PasswordButtons::kNone);
}

TEST(PasswordLayout, FramesFollowMouseAndFocus)
{
    FieldHighlight h;
    EXPECT_TRUE(h.FocusIn(1));
    // Over the second field while the first has the focus: both lit.
    EXPECT_TRUE(h.MouseOver(2, 1));
    EXPECT_TRUE(h.Lit(1) && h.Lit(2));
    EXPECT_TRUE(h.MouseOver(0, 1));
    EXPECT_TRUE(h.Lit(1) && !h.Lit(2));
    EXPECT_FALSE(h.MouseOver(1, 1));
    EXPECT_TRUE(h.FocusIn(2));
    EXPECT_TRUE(!h.Lit(1) && h.Lit(2));
}

TEST(PasswordDialog, TitlesAndThePresetText)
{
    const std::pair<PasswordMode, const char*> modes[] = {{kPasswordSetLogin, "设定系统登录密码"},
                                                          {kPasswordLogin, "输入密码登录应用"},
                                                          {kPasswordBook, "输入密码保存通讯簿"},
                                                          {kPasswordConfirmOld, "确认原有密码"}};
    for (const auto& [mode, title] : modes) {
        PasswordDialog d(mode, QStringLiteral("preset"));
        EXPECT_EQ(d.windowTitle(), QString::fromUtf8(title));
        EXPECT_EQ(d.secondField() != nullptr, mode == kPasswordSetLogin);
        EXPECT_EQ(d.firstField()->text(), mode == kPasswordBook ? QStringLiteral("preset") : QString());
        EXPECT_EQ(d.firstField()->echoMode(), QLineEdit::Password);
        EXPECT_EQ(d.size(), QSize(279, d.layout().clientHeight));
    }
}

TEST(PasswordDialog, MismatchKeepsItOpenWithBothFieldsEmpty)
{
    PasswordDialog d(kPasswordSetLogin, QString());
    d.show();
    QTest::keyClicks(d.firstField(), QStringLiteral("secret"));
    QTest::keyClicks(d.secondField(), QStringLiteral("secreT"));
    d.secondField()->setFocus();
    QString shown;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        shown = box->text();
        EXPECT_EQ(box->parentWidget(), &d);
        EXPECT_EQ(box->icon(), QMessageBox::Warning);
        box->button(QMessageBox::Ok)->click();
    });
    QTest::keyClick(d.secondField(), Qt::Key_Return);
    EXPECT_EQ(shown, QString::fromUtf8("两次输入的密码不相符, 重新输入!"));
    EXPECT_TRUE(d.isVisible());
    EXPECT_EQ(d.result(), QDialog::Rejected);
    EXPECT_TRUE(d.firstField()->text().isEmpty());
    EXPECT_TRUE(d.secondField()->text().isEmpty());
    EXPECT_EQ(d.focusWidget(), d.firstField());

    for (QLineEdit* field : {d.firstField(), d.secondField()}) {
        QKeyEvent typed(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString::fromUtf8("密码"));
        QApplication::sendEvent(field, &typed);
    }
    QTest::keyClick(d.firstField(), Qt::Key_Enter);
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ(d.password(), QString::fromUtf8("密码"));
}

TEST(PasswordDialog, PaintedButtonsAndEscape)
{
    {
        PasswordDialog d(kPasswordLogin, QString());
        d.show();
        QTest::keyClicks(d.firstField(), QStringLiteral("pw"));
        const PixelRect ok = d.layout().ok, cancel = d.layout().cancel;
        // Pressed on OK, released on Cancel: still open.
        QTest::mousePress(&d, Qt::LeftButton, {}, QPoint(ok.left + 4, ok.top + 4));
        QTest::mouseMove(&d, QPoint(cancel.left + 4, cancel.top + 4));
        QTest::mouseRelease(&d, Qt::LeftButton, {}, QPoint(cancel.left + 4, cancel.top + 4));
        EXPECT_TRUE(d.isVisible());
        QTest::mouseClick(&d, Qt::LeftButton, {}, QPoint(ok.left + 40, ok.top + 10));
        EXPECT_EQ(d.result(), QDialog::Accepted);
        EXPECT_EQ(d.password(), QStringLiteral("pw"));
    }
    {
        PasswordDialog d(kPasswordBook, QStringLiteral("old"));
        d.show();
        QTest::keyClick(d.firstField(), Qt::Key_Escape);
        EXPECT_EQ(d.result(), QDialog::Rejected);
        EXPECT_FALSE(d.isVisible());
        EXPECT_TRUE(d.password().isEmpty());
    }
}
