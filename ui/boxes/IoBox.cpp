#include "ui/boxes/IoBox.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QMenu>
#include <QMimeData>
#include <QTextBlock>
#include <algorithm>
#include <cmath>

#include "message/Boxes.h"
#include "ui/boxes/SecretClipboard.h"
#include "ui/common/QtText.h"
#include "ui/skin/Fonts.h"

namespace morvane {

namespace {

constexpr int kBoxMargin = 8;

// The box shows line breaks as Qt does; the book keeps them as CR LF, as the program always
// has (an encrypted text carries them to the peer).
QString FromGbk(std::string_view gbk)
{
    QString text = ToQt(gbk);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

bool ClipboardHasText()
{
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    return data && data->hasText() && !data->text().isEmpty();
}

}  // namespace

IoBox::IoBox(Role role, KeyTree& tree, QWidget* parent) : QPlainTextEdit(parent), role_(role), tree_(tree)
{
    setObjectName(role == Input ? QStringLiteral("inputBox") : QStringLiteral("outputBox"));
    setFont(skin::StandardFont(18));
    document()->setDocumentMargin(kBoxMargin);
    // Long lines wrap at the box's edge, as the edit box always did: a line that ran on
    // would scroll sideways and hide its first characters (an armored text pasted from a
    // wider box). The program frames armored text to lines that fit, so those never wrap.
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // A steady width to frame to: a vertical bar that came and went with the text's length
    // would change the columns under a framed text.
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setTabChangesFocus(true);
    setFrameShape(QFrame::NoFrame);
    connect(this, &QPlainTextEdit::textChanged, this, &IoBox::TextChanged);
}

QString IoBox::ToBoxText(const std::string& gbk)
{
    return FromGbk(gbk);
}

std::string IoBox::Text() const
{
    QString text = toPlainText();
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return ToGbk(text);
}

void IoBox::SetProgramText(const QString& text)
{
    const bool was = writing_;
    writing_ = true;
    setPlainText(text);
    writing_ = was;
}

int IoBox::Position(const std::string& gbk, std::uint32_t offset) const
{
    const std::size_t start = GbkCharStart(gbk, offset);
    const int position = static_cast<int>(FromGbk(std::string_view(gbk).substr(0, start)).size());
    return std::clamp(position, 0, std::max(document()->characterCount() - 1, 0));
}

void IoBox::Apply(const BoxDisplay& display)
{
    if (display.visible) {
        secret_ = display.secret;
        SetProgramText(FromGbk(display.text));
        if (display.programSet)
            programSet_ = true;
        QTextCursor cursor(document());
        if (display.hasSelection) {
            cursor.setPosition(Position(display.text, display.selStart + display.selLength));
            cursor.setPosition(Position(display.text, display.selStart), QTextCursor::KeepAnchor);
        }
        setTextCursor(cursor);
        ensureCursorVisible();
        setEnabled(display.enabled);
    }
    setVisible(display.visible);
}

int IoBox::Columns() const
{
    // The widest character of the lines an armored text fills (hex digits, the stars), so that
    // no framed line runs past the box. A sans face's letters differ in width: the flag at the
    // start of the first line ("SIGN" or "N_SI") may be wider than four of them, and then takes
    // the difference from the line.
    const QFontMetricsF metrics(font());
    qreal advance = 0;
    for (QChar c : QStringLiteral("0123456789ABCDEF*"))
        advance = std::max(advance, metrics.horizontalAdvance(c));
    qreal flag = 0;
    for (const QString& f : {QStringLiteral("SIGN"), QStringLiteral("N_SI")})
        flag = std::max(flag, metrics.horizontalAdvance(f) - 4 * advance);
    const qreal usable = viewport()->width() - 2 * document()->documentMargin() - cursorWidth() - flag;
    if (advance <= 0 || usable <= advance)
        return 1;
    return static_cast<int>(std::floor(usable / advance));
}

void IoBox::TextChanged()
{
    if (writing_)
        return;
    BoxTextChanged(tree_, programSet_, Text());
}

QMimeData* IoBox::createMimeDataFromSelection() const
{
    // Every copy, cut and selection the box hands out (menu, keys, the X11 selection) comes
    // through here.
    QMimeData* data = QPlainTextEdit::createMimeDataFromSelection();
    if (secret_ && data)
        MarkSecret(*data);
    return data;
}

void IoBox::resizeEvent(QResizeEvent* event)
{
    QPlainTextEdit::resizeEvent(event);
    if (!ReframeOnResize(tree_, role_ == Input, programSet_))
        return;
    std::string text = Text();
    if (FrameArmoredText(text, Columns()) == 1) {
        const QString framed = FromGbk(text);
        if (framed != toPlainText())
            SetProgramText(framed);
    }
}

QMenu* IoBox::CreateBoxMenu(QWidget* parent)
{
    auto* menu = new QMenu(parent);
    const bool clipboard = ClipboardHasText();
    const bool selection = textCursor().hasSelection();
    const bool undo = document()->isUndoAvailable();
    for (const BoxMenuEntry& entry : BoxMenu()) {
        if (entry.command == BoxCommand::Separator) {
            menu->addSeparator();
            continue;
        }
        QAction* action = menu->addAction(Tr(entry.label));
        const int command = static_cast<int>(entry.command);
        action->setData(command);
        action->setEnabled(BoxCommandEnabled(entry.command, clipboard, selection, undo));
        connect(action, &QAction::triggered, this, [this, command] { RunCommand(command); });
    }
    return menu;
}

void IoBox::RunCommand(int command)
{
    switch (static_cast<BoxCommand>(command)) {
    case BoxCommand::Undo: undo(); break;
    case BoxCommand::Copy: copy(); break;
    case BoxCommand::Cut: cut(); break;
    case BoxCommand::Delete: textCursor().removeSelectedText(); break;
    case BoxCommand::CopyAll: selectAll(); copy(); break;
    case BoxCommand::CutAll: selectAll(); cut(); break;
    case BoxCommand::DeleteAll: selectAll(); textCursor().removeSelectedText(); break;
    case BoxCommand::SelectAll: selectAll(); break;
    case BoxCommand::Paste: paste(); break;
    case BoxCommand::PasteReplace: selectAll(); paste(); break;
    case BoxCommand::Separator: break;
    }
}

void IoBox::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu* menu = CreateBoxMenu(this);
    menu->exec(event->globalPos());
    delete menu;
}

void IoBox::SetHovering(bool hovering)
{
    if (hovering_ == hovering)
        return;
    hovering_ = hovering;
    Q_EMIT hoverChanged(hovering);
}

void IoBox::enterEvent(QEnterEvent* event)
{
    QPlainTextEdit::enterEvent(event);
    SetHovering(true);
}

void IoBox::leaveEvent(QEvent* event)
{
    QPlainTextEdit::leaveEvent(event);
    SetHovering(false);
}

}  // namespace morvane
