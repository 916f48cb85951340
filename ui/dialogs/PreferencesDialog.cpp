#include "ui/dialogs/PreferencesDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace morvane {

namespace {

QSpinBox* Field(const char* name, int lo, int hi, int value, QWidget* parent)
{
    auto* box = new QSpinBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setRange(lo, hi);
    box->setValue(value);
    return box;
}

}  // namespace

PreferencesDialog::PreferencesDialog(const Preferences& prefs, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("preferencesDialog"));
    setWindowTitle(QStringLiteral("首选项"));
    clipboard_ =
        Field("clipboardSeconds", Preferences::kClipboardMin, Preferences::kClipboardMax, prefs.clipboardSeconds, this);
    lock_ = Field("lockMinutes", Preferences::kLockMin, Preferences::kLockMax, prefs.lockMinutes, this);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("剪贴板清除时间（秒）"), clipboard_);
    form->addRow(QStringLiteral("自动锁定时间（分钟，0 为不锁定）"), lock_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("确定"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    setFixedSize(sizeHint());
}

Preferences PreferencesDialog::Values() const
{
    Preferences prefs;
    prefs.clipboardSeconds = clipboard_->value();
    prefs.lockMinutes = lock_->value();
    return prefs;
}

std::optional<Preferences> PreferencesDialog::Edit(const Preferences& prefs, QWidget* parent)
{
    PreferencesDialog dialog(prefs, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.Values();
}

}  // namespace morvane
