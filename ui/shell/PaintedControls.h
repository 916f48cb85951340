// The painted controls of the main window as focus places: an invisible widget over each
// painted button, check box, caption button and the link, which takes the keyboard focus in
// Tab order, works with Space and Enter, and speaks to screen readers with the control's
// name, role and state. The window paints them and the focus frame; the mouse goes through.
#pragma once

#include <QWidget>
#include <functional>

#include "ui/shell/Focus.h"

namespace morvane {

class PaintedControl : public QWidget {
    Q_OBJECT
public:
    PaintedControl(shell::Stop stop, QWidget* window);
    shell::Stop Stop() const { return stop_; }
    shell::Element Element() const { return shell::ElementOf(stop_); }

    // A check box's state, for screen readers.
    bool Checkable() const { return stop_ == shell::Stop::CheckBox; }
    bool Checked() const { return checked_ ? checked_() : false; }
    void SetCheckedSource(std::function<bool()> checked) { checked_ = std::move(checked); }

    // Clicks the control as the mouse would, at the next turn of the event loop: a screen
    // reader's press must get its answer before the operation's questions show.
    void Press();

Q_SIGNALS:
    void activated(shell::Element e);
    // The focus came or went: the window repaints the frame.
    void focusChanged();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    shell::Stop stop_;
    std::function<bool()> checked_;
};

// A dialog's painted push button as a focus place: Tab reaches it, Space and Enter press it,
// and screen readers see a button under its label. The dialog paints it and the frame.
class PaintedButton : public QWidget {
    Q_OBJECT
public:
    PaintedButton(const QString& label, QWidget* dialog);
    // Presses at the next turn of the event loop, as PaintedControl::Press.
    void Press();

Q_SIGNALS:
    void pressed();
    void focusChanged();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
};

// Teaches Qt's accessibility the window's own widgets (painted controls, the progress bar,
// the splitter). Once per program; later calls do nothing.
void InstallAccessibility();

}  // namespace morvane
