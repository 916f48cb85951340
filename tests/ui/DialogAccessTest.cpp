// Every control of every dialog tells a screen reader its name and role, and takes the focus
// from the keyboard.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <functional>

#include "book/KeyTree.h"
#include "book/Records.h"
#include "support/RecordingView.h"
#include "support/ScriptedDesktop.h"
#include "ui/dialogs/AboutDialog.h"
#include "ui/dialogs/AddItemDialog.h"
#include "ui/dialogs/FindDialog.h"
#include "ui/dialogs/NameClashDialog.h"
#include "ui/dialogs/PasswordDialog.h"
#include "ui/shell/QtDesktop.h"

using namespace morvane;

namespace {

// The controls of a dialog (interactive roles) whose accessible name is empty, or that no
// Tab reaches.
std::string Unnamed(QWidget* dialog, const QStringList& buttons = {})
{
    QStringList bad;
    QStringList named;
    std::function<void(QAccessibleInterface*)> walk = [&](QAccessibleInterface* a) {
        if (!a)
            return;
        switch (a->role()) {
        case QAccessible::Button:
        case QAccessible::CheckBox:
        case QAccessible::RadioButton:
        case QAccessible::EditableText:
        case QAccessible::ComboBox:
        case QAccessible::Link:
            named << a->text(QAccessible::Name);
            if (a->text(QAccessible::Name).trimmed().isEmpty())
                bad << QStringLiteral("unnamed %1 (%2)").arg(a->role()).arg(a->object()->metaObject()->className());
            if (!a->state().focusable && !a->state().disabled && !a->state().invisible)
                bad << QStringLiteral("unfocusable %1").arg(a->text(QAccessible::Name));
            break;
        default:
            break;
        }
        for (int i = 0; i < a->childCount(); ++i)
            walk(a->child(i));
    };
    walk(QAccessible::queryAccessibleInterface(dialog));
    for (const QString& b : buttons)
        if (!named.contains(b))
            bad << QStringLiteral("no control %1").arg(b);
    return bad.join(QStringLiteral("; ")).toStdString();
}

}  // namespace

TEST(DialogAccess, EveryControlIsNamedAndReachable)
{
    {
        AboutDialog about;
        about.show();
        EXPECT_EQ(Unnamed(&about), "") << "about";
    }

    ScriptedDesktop desk;
    RecordingView view;
    KeyTree tree{&desk};
    tree.view = &view;
    tree.rightClickedItem = BuildSampleBook(tree.book);
    std::string add;
    QTimer::singleShot(0, [&] {
        QWidget* d = QApplication::activeModalWidget();
        ASSERT_NE(d, nullptr);
        add = Unnamed(d);
        d->close();
    });
    (void)AddItemDialog::Run(tree, nullptr);
    EXPECT_EQ(add, "") << "add item";

    FindDialog* find = FindDialog::Open(tree, nullptr);
    ASSERT_NE(find, nullptr);
    EXPECT_EQ(Unnamed(find), "") << "find";
    find->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);  // it deletes itself on close

    QtDesktop desktop;
    std::string clash;
    QTimer::singleShot(0, [&] {
        QWidget* d = QApplication::activeModalWidget();
        ASSERT_NE(d, nullptr);
        clash = Unnamed(d);
        d->close();
    });
    desktop.ShowNameClash(Phrase::Plain("x"), KindCode(ItemKind::Key));
    EXPECT_EQ(clash, "") << "name clash";
}

// The password dialog's painted buttons are named buttons that come after the fields in Tab
// order; Space presses the one with the focus (Enter elsewhere stays OK).
TEST(DialogAccess, PasswordButtonsTakeTabAndSpace)
{
    for (PasswordMode mode : {kPasswordSetLogin, kPasswordLogin, kPasswordBook, kPasswordConfirmOld}) {
        PasswordDialog d(mode, QString());
        d.show();
        EXPECT_EQ(Unnamed(&d, {QStringLiteral("确定"), QStringLiteral("取消"), QStringLiteral("输入密码")}), "")
            << "password dialog, mode " << int(mode);
    }
    PasswordDialog d(kPasswordLogin, QString());
    d.show();
    d.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&d));
    d.firstField()->setFocus();
    QTest::keyClick(d.firstField(), Qt::Key_Tab);
    ASSERT_NE(QApplication::focusWidget(), nullptr);
    EXPECT_EQ(QApplication::focusWidget()->accessibleName(), QStringLiteral("确定"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget()->accessibleName(), QStringLiteral("取消"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    EXPECT_EQ(d.result(), QDialog::Rejected);
    EXPECT_FALSE(d.isVisible());
}
