// The input and output boxes: editors of the clicked line's value. Typing is written through
// into the line, a pasted public key is offered for import, armored text is framed to the
// box's width, and the mouse over the box lights the window's frame around it.
#pragma once

#include <QPlainTextEdit>

#include "message/LineDisplay.h"

namespace morvane {

class KeyTree;

class IoBox : public QPlainTextEdit {
    Q_OBJECT
public:
    enum Role { Input = 4, Output = 7 };
    IoBox(Role role, KeyTree& tree, QWidget* parent = nullptr);

    // Shows what the selection display decided for this box.
    void Apply(const BoxDisplay& display);
    // Characters that fit on one line, for framing armored text.
    int Columns() const;
    bool Hovering() const { return hovering_; }

Q_SIGNALS:
    void hoverChanged(bool hovering);

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    Role role_;
    KeyTree& tree_;
    bool hovering_ = false;
};

}  // namespace morvane
