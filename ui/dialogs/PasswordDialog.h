// The password dialog: one mode per purpose (set the login password, log in, a book's
// password, confirm the old password), painted OK and Cancel, mismatch check in the set mode.
#pragma once

#include <QDialog>
#include <QString>

#include "platform/Desktop.h"

class QLineEdit;

namespace morvane {

class PasswordDialog : public QDialog {
    Q_OBJECT
public:
    PasswordDialog(PasswordMode mode, const QString& preset, QWidget* parent = nullptr);
    // The first field's text once accepted.
    QString password() const { return password_; }

private:
    PasswordMode mode_;
    QString password_;
    QLineEdit* first_ = nullptr;
};

}  // namespace morvane
