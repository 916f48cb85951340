#include "ui/dialogs/PreferencesDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
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
    setWindowTitle(tr("首选项"));
    clipboard_ =
        Field("clipboardSeconds", Preferences::kClipboardMin, Preferences::kClipboardMax, prefs.clipboardSeconds, this);
    lock_ = Field("lockMinutes", Preferences::kLockMin, Preferences::kLockMax, prefs.lockMinutes, this);

    auto* form = new QFormLayout;
    form->addRow(tr("剪贴板清除时间（秒）"), clipboard_);
    form->addRow(tr("自动锁定时间（分钟，0 为不锁定）"), lock_);
    language_ = new QComboBox(this);
    language_->setObjectName(QStringLiteral("language"));
    language_->addItem(tr("跟随系统"), int(LanguageChoice::Auto));
    // Each language under its own name, so that it can be found in either.
    language_->addItem(QStringLiteral("中文"), int(LanguageChoice::Chinese));
    language_->addItem(QStringLiteral("English"), int(LanguageChoice::English));
    language_->setCurrentIndex(language_->findData(int(prefs.language)));
    form->addRow(tr("界面语言"), language_);
    auto* restart = new QLabel(tr("界面语言在下次启动时生效。"), this);
    restart->setObjectName(QStringLiteral("languageNote"));
    form->addRow(restart);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(tr("确定"));
    buttons->button(QDialogButtonBox::Cancel)->setText(tr("取消"));
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
    prefs.language = static_cast<LanguageChoice>(language_->currentData().toInt());
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
