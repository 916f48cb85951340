// Placeholder until the painted dialog lands: a plain field and OK.
#include "ui/dialogs/PasswordDialog.h"

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QVBoxLayout>

namespace morvane {

PasswordDialog::PasswordDialog(PasswordMode mode, const QString& preset, QWidget* parent)
    : QDialog(parent), mode_(mode)
{
    auto* layout = new QVBoxLayout(this);
    first_ = new QLineEdit(preset, this);
    first_->setEchoMode(QLineEdit::Password);
    layout->addWidget(first_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        password_ = first_->text();
        accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

}  // namespace morvane
