#include "ui/shell/Safeguards.h"

#include <QAction>
#include <QMenu>

#include "platform/Desktop.h"
#include "platform/Text.h"
#include "ui/boxes/SecretClipboard.h"
#include "ui/common/QtText.h"
#include "ui/dialogs/PreferencesDialog.h"
#include "ui/shell/IdleLock.h"
#include "ui/shell/MainWindow.h"

namespace morvane {

Safeguards::Safeguards(MainWindow& window, KeyTree& tree, Desktop& desktop)
    : QObject(&window), window_(window), desktop_(desktop)
{
    clipboard_ = new SecretClipboard(this);
    lock_ = new IdleLock(window, tree, desktop, this);
    // A locked book leaves nothing of itself on the clipboard.
    connect(lock_, &IdleLock::locking, clipboard_, &SecretClipboard::ClearPending);

    preferences_ = new QAction(tr("首选项(&P)..."), this);
    preferences_->setObjectName(QStringLiteral("preferences"));
    connect(preferences_, &QAction::triggered, this, &Safeguards::EditPreferences);

    Apply(LoadPreferences());
}

void Safeguards::Apply(const Preferences& prefs)
{
    prefs_ = prefs;
    clipboard_->SetDelay(std::chrono::seconds(prefs.clipboardSeconds));
    lock_->SetDelay(std::chrono::minutes(prefs.lockMinutes));
}

void Safeguards::AddMenuEntries(QMenu& menu)
{
    menu.addAction(lock_->Action());
    menu.addAction(preferences_);
}

void Safeguards::EditPreferences()
{
    const std::optional<Preferences> chosen = PreferencesDialog::Edit(prefs_, &window_);
    if (!chosen)
        return;
    Apply(*chosen);
    const std::string path = PreferencesPath();
    if (!SavePreferences(*chosen, path))
        Tell(desktop_, Phrase::Plain(ToGbk(tr("不能写设置文件: %1").arg(QString::fromStdString(path)))));
}

}  // namespace morvane
