// The input and output boxes: editors of the clicked line's value. Typing is written through
// into the line, a pasted public key is offered for import, armored text is framed to the
// box's width, and the mouse over the box lights the window's frame around it.
#pragma once

#include <QPlainTextEdit>
#include <string>

#include "message/LineDisplay.h"

class QMenu;

namespace morvane {

class KeyTree;

class IoBox : public QPlainTextEdit {
    Q_OBJECT
public:
    enum Role { Input = 4, Output = 7 };
    IoBox(Role role, KeyTree& tree, QWidget* parent = nullptr);

    // Shows what the selection display decided for this box. A hidden box keeps its text.
    void Apply(const BoxDisplay& display);
    // Characters that fit on one line, for framing armored text.
    int Columns() const;
    bool Hovering() const { return hovering_; }
    // The selection display has put a text into the box (from then on typing is written
    // through).
    bool ProgramSet() const { return programSet_; }
    // The box shows a line of a private key's record: what is copied from it carries the
    // password managers' secret hint (the clipboard guard clears it again).
    bool Secret() const { return secret_; }
    // Where an imported public key's line is shown; none runs the import headless.

    // The box's text as the core holds it (GBK, lines joined by CR LF), and back.
    std::string Text() const;
    static QString ToBoxText(const std::string& gbk);

    // The context menu as it would open now (items enabled for the clipboard and the
    // selection); each action's data is its command id. The caller owns it.
    QMenu* CreateBoxMenu(QWidget* parent = nullptr);

Q_SIGNALS:
    void hoverChanged(bool hovering);

protected:
    QMimeData* createMimeDataFromSelection() const override;
    void resizeEvent(QResizeEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void TextChanged();
    void RunCommand(int command);
    // Puts a text the program decided into the box without writing it back into the line.
    void SetProgramText(const QString& text);
    // The character position in the box of a byte offset into gbk, the box's text.
    int Position(const std::string& gbk, std::uint32_t offset) const;
    void SetHovering(bool hovering);

    Role role_;
    KeyTree& tree_;
    bool programSet_ = false;
    bool writing_ = false;
    bool hovering_ = false;
    bool secret_ = false;
};

}  // namespace morvane
