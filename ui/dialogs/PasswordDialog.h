// The password dialog: one mode per purpose (set the login password, log in, a book's
// password, confirm the old password), painted OK and Cancel, mismatch check in the set mode.
#pragma once

#include <QDialog>
#include <QString>

#include "platform/Desktop.h"
#include "ui/dialogs/PasswordLayout.h"

class QLineEdit;

namespace morvane {

class PasswordDialog : public QDialog {
    Q_OBJECT
public:
    PasswordDialog(PasswordMode mode, const QString& preset, QWidget* parent = nullptr);
    // The first field's text once accepted.
    QString password() const { return password_; }

    QLineEdit* firstField() const { return first_; }
    QLineEdit* secondField() const { return second_; }  // null but in the set-login mode
    const PasswordLayout& layout() const { return layout_; }
    bool highlighted(int field) const { return highlight_.Lit(field); }

    // OK: in the set-login mode two different entries are refused with a message, both fields
    // emptied; otherwise the dialog closes with the first field's text.
    void ok();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QLineEdit* MakeField(const PixelRect& rect, const char* name);
    int FieldOf(const QObject* object) const;
    int FocusedField() const;
    void MouseOver(int field);
    void RepaintFrames();
    void RepaintButton(int element);
    void MoveTo(const QPoint& point);

    PasswordMode mode_;
    PasswordLayout layout_;
    PasswordButtons buttons_;
    FieldHighlight highlight_;
    QString password_;
    QLineEdit* first_ = nullptr;
    QLineEdit* second_ = nullptr;
    QWidget* okPlace_ = nullptr;      // the painted buttons' focus places
    QWidget* cancelPlace_ = nullptr;
};

}  // namespace morvane
