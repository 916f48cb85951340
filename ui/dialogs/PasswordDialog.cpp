#include "ui/dialogs/PasswordDialog.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>

#include "ui/common/QtText.h"
#include "ui/skin/Fonts.h"
#include "ui/skin/Artwork.h"

#include "ui/shell/PaintedControls.h"

namespace morvane {

namespace {

const QColor kFrameColor(127, 157, 185);
const QColor kFrameLit(255, 200, 60);

QRect ToQRect(const PixelRect& r)
{
    return QRect(r.left, r.top, r.Width(), r.Height());
}

}  // namespace

PasswordDialog::PasswordDialog(PasswordMode mode, const QString& preset, QWidget* parent)
    : QDialog(parent), mode_(mode), layout_(LayOutPasswordDialog(mode)), buttons_(layout_)
{
    setObjectName(QStringLiteral("passwordDialog"));
    setWindowTitle(Tr(PasswordTitle(mode)));
    setFont(skin::StandardFont(12));
    setMouseTracking(true);
    first_ = MakeField(layout_.first, "firstPassword");
    if (layout_.confirm)
        second_ = MakeField(layout_.second, "secondPassword");
    if (mode == kPasswordBook)
        first_->setText(preset);
    first_->setAccessibleName(tr("输入密码"));
    if (second_)
        second_->setAccessibleName(tr("再次输入密码以确认"));
    // The painted buttons take the focus after the fields, Space or Enter pressing them.
    for (int element : {int(PasswordButtons::kOk), int(PasswordButtons::kCancel)}) {
        auto* place = new PaintedButton(element == PasswordButtons::kOk ? tr("确定") : tr("取消"), this);
        place->setGeometry(ToQRect(*buttons_.RectOf(element)));
        connect(place, &PaintedButton::focusChanged, this, [this] { update(); });
        if (element == PasswordButtons::kOk) {
            connect(place, &PaintedButton::pressed, this, &PasswordDialog::ok);
            okPlace_ = place;
        } else {
            connect(place, &PaintedButton::pressed, this, &QDialog::reject);
            cancelPlace_ = place;
        }
    }
    setFixedSize(layout_.clientWidth, layout_.clientHeight);
    first_->setFocus();
}

QLineEdit* PasswordDialog::MakeField(const PixelRect& rect, const char* name)
{
    auto* field = new QLineEdit(this);
    field->setObjectName(QString::fromLatin1(name));
    field->setFrame(false);
    field->setEchoMode(QLineEdit::Password);
    // The field fills its frame (which reaches four pixels below it), so that the text sits
    // in the middle of the white rather than on its top edge.
    const PixelRect frame = FieldFrame(rect);
    field->setGeometry(ToQRect(frame.Grown(-1, -1, -1, -1)));
    field->setTextMargins(3, 0, 3, 0);
    // The mask dots come from the desktop's own face: the CJK faces draw them tiny.
    QFont dots = QApplication::font();
    dots.setPixelSize(11);
    field->setFont(dots);
    field->setMouseTracking(true);
    field->installEventFilter(this);
    return field;
}

int PasswordDialog::FieldOf(const QObject* object) const
{
    if (object && object == first_)
        return 1;
    if (object && object == second_)
        return 2;
    return 0;
}

int PasswordDialog::FocusedField() const
{
    if (first_->hasFocus())
        return 1;
    if (second_ && second_->hasFocus())
        return 2;
    return 0;
}

void PasswordDialog::RepaintFrames()
{
    update(ToQRect(FieldFrame(layout_.first)));
    if (layout_.confirm)
        update(ToQRect(FieldFrame(layout_.second)));
}

void PasswordDialog::MouseOver(int field)
{
    if (highlight_.MouseOver(field, FocusedField()))
        RepaintFrames();
}

bool PasswordDialog::eventFilter(QObject* watched, QEvent* event)
{
    const int field = FieldOf(watched);
    if (field != 0) {
        if (event->type() == QEvent::MouseMove) {
            MouseOver(field);
            // Over a field the mouse is over neither button.
            MoveTo(QPoint(-1, -1));
        } else if (event->type() == QEvent::FocusIn) {
            if (highlight_.FocusIn(field))
                RepaintFrames();
        }
    }
    return QDialog::eventFilter(watched, event);
}

void PasswordDialog::RepaintButton(int element)
{
    if (const PixelRect* r = buttons_.RectOf(element))
        update(ToQRect(*r));
}

void PasswordDialog::MoveTo(const QPoint& point)
{
    const int old = buttons_.Hot();
    if (buttons_.Move(point.x(), point.y())) {
        RepaintButton(old);
        RepaintButton(buttons_.Hot());
    }
}

void PasswordDialog::mouseMoveEvent(QMouseEvent* event)
{
    MouseOver(0);
    MoveTo(event->position().toPoint());
    QDialog::mouseMoveEvent(event);
}

void PasswordDialog::leaveEvent(QEvent* event)
{
    MouseOver(0);
    MoveTo(QPoint(-1, -1));
    QDialog::leaveEvent(event);
}

void PasswordDialog::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return QDialog::mousePressEvent(event);
    const QPoint p = event->position().toPoint();
    MoveTo(p);
    if (buttons_.Press(p.x(), p.y()))
        RepaintButton(buttons_.Hot());
}

void PasswordDialog::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return QDialog::mouseReleaseEvent(event);
    const QPoint p = event->position().toPoint();
    const int done = buttons_.Release(p.x(), p.y());
    MoveTo(p);
    RepaintButton(buttons_.Hit(p.x(), p.y()));
    if (done == PasswordButtons::kOk)
        ok();
    else if (done == PasswordButtons::kCancel)
        reject();
}

void PasswordDialog::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        ok();
        break;
    case Qt::Key_Escape:
        reject();
        break;
    default:
        QDialog::keyPressEvent(event);
    }
}

void PasswordDialog::ok()
{
    if (second_ && first_->text() != second_->text()) {
        QMessageBox box(QMessageBox::Warning, QStringLiteral("Morvane"),
                        tr("两次输入的密码不相符, 重新输入!"), QMessageBox::Ok, this);
        box.exec();
        first_->clear();
        second_->clear();
        first_->setFocus();
        return;
    }
    password_ = first_->text();
    accept();
}

void PasswordDialog::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setFont(font());
    const QColor base = palette().color(QPalette::Base);

    // The frames: the field's own white runs on into the four pixels below it.
    auto frame = [&](const PixelRect& field, bool lit) {
        const PixelRect f = FieldFrame(field);
        painter.fillRect(QRect(f.left, f.top, f.Width(), f.Height()), base);
        painter.setPen(lit ? kFrameLit : kFrameColor);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRect(f.left, f.top, f.Width() - 1, f.Height() - 1));
    };
    frame(layout_.first, highlight_.Lit(1));
    if (layout_.confirm)
        frame(layout_.second, highlight_.Lit(2));

    for (int element : {int(PasswordButtons::kOk), int(PasswordButtons::kCancel)}) {
        const QRect r = ToQRect(*buttons_.RectOf(element));
        skin::Art art = skin::Art::ButtonNormal;
        switch (buttons_.LookOf(element)) {
        case PasswordButtons::Look::Pressed: art = skin::Art::ButtonPressed; break;
        case PasswordButtons::Look::Hot: art = skin::Art::ButtonHot; break;
        case PasswordButtons::Look::Normal: break;
        }
        skin::Draw(painter, art, QRectF(r));
        painter.setPen(Qt::black);
        const QString label = element == PasswordButtons::kOk ? tr("确定") : tr("取消");
        painter.drawText(r.translated(buttons_.LabelShift(element), 0), Qt::AlignCenter | Qt::TextSingleLine, label);
        const QWidget* place = element == PasswordButtons::kOk ? okPlace_ : cancelPlace_;
        if (place && place->hasFocus()) {
            painter.save();
            painter.setPen(QPen(QColor(51, 51, 255), 1, Qt::DotLine));
            painter.drawRect(r.adjusted(2, 2, -3, -3));
            painter.restore();
        }
    }

    painter.setPen(Qt::black);
    const auto prompt = [&](const PixelRect& r, const QString& text) {
        painter.drawText(ToQRect(r), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
    };
    prompt(layout_.prompt, tr("输入密码:"));
    if (layout_.confirm)
        prompt(layout_.confirmPrompt, tr("再次输入密码以确认:"));
}

}  // namespace morvane
