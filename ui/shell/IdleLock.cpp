#include "ui/shell/IdleLock.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QLabel>
#include <QWindow>
#include <algorithm>
#include <optional>
#include <string>

#include "book/KeyTree.h"
#include "platform/Desktop.h"
#include "platform/Text.h"
#include "platform/Wipe.h"
#include "ui/boxes/IoBox.h"
#include "ui/common/QtText.h"
#include "ui/shell/MainWindow.h"
#include "ui/skin/Fonts.h"
#include "ui/skin/StrengthSelector.h"
#include "ui/tree/BookView.h"

namespace morvane {

namespace {

// Keyboard and mouse input: what keeps the book open, and what a locked window ignores.
bool IsInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
    case QEvent::InputMethod: return true;
    default: return false;
    }
}

}  // namespace

IdleLock::IdleLock(MainWindow& window, KeyTree& tree, Desktop& desktop, QObject* parent)
    : QObject(parent), window_(window), tree_(tree), desktop_(desktop)
{
    clock_.start();
    rules_.SetDelay(kDefaultDelay.count(), Now());
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &IdleLock::Check);

    action_ = new QAction(tr("锁定(&L)"), &window_);
    action_->setObjectName(QStringLiteral("lockBook"));
    action_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    action_->setShortcutContext(Qt::WindowShortcut);
    connect(action_, &QAction::triggered, this, &IdleLock::Lock);
    window_.addAction(action_);

    cover_ = new QLabel(tr("已锁定"), &window_);
    cover_->setObjectName(QStringLiteral("lockCover"));
    cover_->setAlignment(Qt::AlignCenter);
    cover_->setAutoFillBackground(true);
    QPalette palette = cover_->palette();
    palette.setColor(QPalette::Window, Qt::white);
    palette.setColor(QPalette::WindowText, QColor(127, 157, 185));
    cover_->setPalette(palette);
    cover_->setFont(skin::StandardFont(18));
    cover_->hide();

    if (QCoreApplication* app = QCoreApplication::instance())
        app->installEventFilter(this);
    Check();
}

IdleLock::~IdleLock()
{
    if (QCoreApplication* app = QCoreApplication::instance())
        app->removeEventFilter(this);
}

void IdleLock::SetDelay(std::chrono::milliseconds delay)
{
    rules_.SetDelay(delay.count(), Now());
    if (!locked_)
        Check();
}

bool IdleLock::Busy() const
{
    // Before start-up has shown the window, and after it closed, there is no book to hide.
    return tree_.keygen.busy || tree_.collection.running || tree_.collection.finishing || !window_.isVisible();
}

void IdleLock::Lock()
{
    rules_.Request();
    Check();
}

void IdleLock::Check()
{
    if (locked_)
        return;
    const std::int64_t now = Now();
    const bool busy = Busy();
    if (rules_.Due(now, busy)) {
        Run();
        return;
    }
    const std::int64_t wait = rules_.Wait(now, busy);
    if (wait < 0)
        timer_.stop();
    else
        timer_.start(static_cast<int>(std::min<std::int64_t>(wait, 24 * 3600 * 1000)));
}

void IdleLock::Run()
{
    timer_.stop();
    locked_ = true;
    Q_EMIT locking();
    HideBook();
    for (;;) {
        std::optional<std::string> entry = desktop_.AskPassword(kPasswordLogin, std::string());
        if (!entry) {
            // As at the login, Cancel leaves the program, through the usual close sequence; a
            // No there keeps the book locked.
            if (window_.close())
                return;
            continue;
        }
        const bool right = shell::LoginMatches(tree_.loginPassword, *entry);
        Wipe(*entry);
        if (right)
            break;
        Tell(desktop_, Phrase::Plain(ToGbk(tr("密码MD5验证未能通过!"))));
        Pause(retryDelay_);
        if (!window_.isVisible())
            return;
    }
    ShowBook();
    locked_ = false;
    rules_.Unlocked(Now());
    Check();
}

void IdleLock::Pause(std::chrono::milliseconds delay)
{
    QEventLoop loop;
    QTimer::singleShot(delay, &loop, &QEventLoop::quit);
    loop.exec();
}

void IdleLock::HideBook()
{
    // A context menu open on the book goes first; it would show over the lock.
    for (int i = 0; i < 8 && QApplication::activePopupWidget(); ++i)
        QApplication::activePopupWidget()->close();
    frozen_.clear();
    hidden_.clear();
    focus_ = QApplication::focusWidget();
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (!w->isVisible())
            continue;
        frozen_.emplace_back(w);
        // A modeless window (find) shows the book's names; a modal one (a message box a
        // command waits on) would end its command if hidden, and its input is ignored anyway.
        const Qt::WindowType kind = w->windowType();
        const bool plain = kind == Qt::Window || kind == Qt::Dialog || kind == Qt::Tool;
        if (w != &window_ && plain && w->windowModality() == Qt::NonModal && !w->isModal()) {
            hidden_.emplace_back(w);
            w->hide();
        }
    }
    for (QWidget* w : {static_cast<QWidget*>(window_.Tree()), static_cast<QWidget*>(window_.Input()),
                       static_cast<QWidget*>(window_.Output()), static_cast<QWidget*>(window_.Selector())}) {
        if (w && w->isVisible()) {
            hidden_.emplace_back(w);
            w->hide();
        }
    }
    PlaceCover();
    cover_->show();
    cover_->raise();
    window_.update();
}

void IdleLock::ShowBook()
{
    cover_->hide();
    for (const QPointer<QWidget>& w : hidden_)
        if (w)
            w->show();
    hidden_.clear();
    frozen_.clear();
    if (focus_)
        focus_->setFocus();
    focus_.clear();
    window_.update();
}

void IdleLock::PlaceCover()
{
    if (window_.Input())
        cover_->setGeometry(window_.Input()->geometry());
}

bool IdleLock::Frozen(QObject* receiver) const
{
    // Shortcuts arrive at their action or shortcut object; the widget it belongs to decides.
    QObject* o = receiver;
    while (o && !o->isWidgetType())
        o = o->parent();
    if (!o)
        return false;
    const QWidget* top = static_cast<QWidget*>(o)->window();
    for (const QPointer<QWidget>& w : frozen_)
        if (w == top)
            return true;
    return false;
}

bool IdleLock::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (!locked_) {
        if (IsInput(type))
            rules_.Touch(Now());
        return false;
    }
    if (watched == &window_ && type == QEvent::Resize)
        QTimer::singleShot(0, this, [this] { PlaceCover(); });
    if (IsInput(type) && Frozen(watched))
        return true;
    // A window the lock found open must not close under it (its command would go on and show
    // the book); the main window closes through its usual sequence.
    if (type == QEvent::Close && watched != &window_ && watched->isWidgetType() && Frozen(watched)) {
        event->ignore();
        return true;
    }
    return false;
}

}  // namespace morvane
