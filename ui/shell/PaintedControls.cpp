#include "ui/shell/PaintedControls.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QAccessibleWidget>
#include <QKeyEvent>

#include "ui/skin/ProgressBar.h"
#include "ui/skin/Splitter.h"

namespace morvane {

PaintedControl::PaintedControl(shell::Stop stop, QWidget* window) : QWidget(window), stop_(stop)
{
    InstallAccessibility();
    // The window takes the mouse and paints; this widget only holds the focus.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::TabFocus);
}

void PaintedControl::keyPressEvent(QKeyEvent* event)
{
    shell::Key key = shell::Key::Other;
    if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
        if (event->key() == Qt::Key_Space)
            key = shell::Key::Space;
        else if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
            key = shell::Key::Enter;
    }
    const shell::Element e = shell::Activation(stop_, key);
    if (e == shell::kNone || !isEnabled()) {
        QWidget::keyPressEvent(event);
        return;
    }
    Q_EMIT activated(e);
}

void PaintedControl::Press()
{
    QMetaObject::invokeMethod(
        this, [this] {
            if (isEnabled())
                Q_EMIT activated(Element());
        },
        Qt::QueuedConnection);
}

void PaintedControl::focusInEvent(QFocusEvent* event)
{
    QWidget::focusInEvent(event);
    Q_EMIT focusChanged();
}

void PaintedControl::focusOutEvent(QFocusEvent* event)
{
    QWidget::focusOutEvent(event);
    Q_EMIT focusChanged();
}

PaintedButton::PaintedButton(const QString& label, QWidget* dialog) : QWidget(dialog)
{
    InstallAccessibility();
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::TabFocus);
    setAccessibleName(label);
}

void PaintedButton::Press()
{
    QMetaObject::invokeMethod(this, [this] { Q_EMIT pressed(); }, Qt::QueuedConnection);
}

void PaintedButton::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    if ((event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier &&
        (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter)) {
        Q_EMIT pressed();
        return;
    }
    QWidget::keyPressEvent(event);
}

void PaintedButton::focusInEvent(QFocusEvent* event)
{
    QWidget::focusInEvent(event);
    Q_EMIT focusChanged();
}

void PaintedButton::focusOutEvent(QFocusEvent* event)
{
    QWidget::focusOutEvent(event);
    Q_EMIT focusChanged();
}

namespace {

class ButtonAccessible : public QAccessibleWidget {
public:
    explicit ButtonAccessible(PaintedButton* w) : QAccessibleWidget(w, QAccessible::Button) {}
    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.invisible = false;
        return s;
    }
    QStringList actionNames() const override { return QStringList(pressAction()) + QAccessibleWidget::actionNames(); }
    void doAction(const QString& name) override
    {
        if (name == pressAction())
            static_cast<PaintedButton*>(widget())->Press();
        else
            QAccessibleWidget::doAction(name);
    }
};

class PaintedAccessible : public QAccessibleWidget {
public:
    explicit PaintedAccessible(PaintedControl* w) : QAccessibleWidget(w, RoleOf(w->Stop())) {}

    static QAccessible::Role RoleOf(shell::Stop stop)
    {
        return stop == shell::Stop::CheckBox ? QAccessible::CheckBox
             : stop == shell::Stop::Link     ? QAccessible::Link
                                             : QAccessible::Button;
    }
    PaintedControl* control() const { return static_cast<PaintedControl*>(widget()); }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.invisible = false;  // drawn by the window, though this widget paints nothing
        if (control()->Checkable()) {
            s.checkable = true;
            s.checked = control()->Checked();
        }
        return s;
    }
    QStringList actionNames() const override
    {
        QStringList names = QAccessibleWidget::actionNames();
        if (control()->isEnabled())
            names.prepend(control()->Checkable() ? toggleAction() : pressAction());
        return names;
    }
    void doAction(const QString& name) override
    {
        if (control()->isEnabled() && (name == pressAction() || name == toggleAction()))
            control()->Press();
        else
            QAccessibleWidget::doAction(name);
    }
};

class ProgressAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit ProgressAccessible(ProgressBar* w) : QAccessibleWidget(w, QAccessible::ProgressBar) {}
    void* interface_cast(QAccessible::InterfaceType t) override
    {
        if (t == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(t);
    }
    QVariant currentValue() const override { return static_cast<ProgressBar*>(widget())->Position(); }
    void setCurrentValue(const QVariant&) override {}
    QVariant maximumValue() const override { return 100; }
    QVariant minimumValue() const override { return 0; }
    QVariant minimumStepSize() const override { return 1; }
};

QAccessibleInterface* Factory(const QString& className, QObject* object)
{
    if (className == QLatin1String("morvane::PaintedControl"))
        return new PaintedAccessible(static_cast<PaintedControl*>(object));
    if (className == QLatin1String("morvane::PaintedButton"))
        return new ButtonAccessible(static_cast<PaintedButton*>(object));
    if (className == QLatin1String("morvane::ProgressBar"))
        return new ProgressAccessible(static_cast<ProgressBar*>(object));
    if (className == QLatin1String("morvane::Splitter"))
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Splitter);
    return nullptr;
}

}  // namespace

void InstallAccessibility()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    QAccessible::installFactory(Factory);
}

}  // namespace morvane
