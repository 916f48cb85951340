#include "ui/shell/QtDesktop.h"

#include <QCoreApplication>
#include <QCursor>
#include <QFile>
#include <QFileDialog>
#include <QMouseEvent>
#include <QMessageBox>
#include <QPushButton>
#include <ctime>

#include "ui/common/QtText.h"
#include "ui/dialogs/NameClashDialog.h"
#include "ui/dialogs/PasswordDialog.h"
#include "ui/shell/MainWindow.h"

namespace morvane {

QtDesktop::QtDesktop()
{
    clock_.start();
    if (QCoreApplication* app = QCoreApplication::instance())
        app->installEventFilter(&watcher_);
}

void QtDesktop::Attach(MainWindow* window)
{
    window_ = window;
}

QWidget* QtDesktop::DialogParent() const
{
    // Before the window first shows (start-up) the dialogs stand on their own.
    return window_ && window_->isVisible() ? window_.data() : nullptr;
}

MsgAnswer QtDesktop::MessageBox(const Phrase& text, const std::string& caption, MsgIcon icon,
                                MsgButtons buttons)
{
    QMessageBox box(DialogParent());
    box.setWindowTitle(ToQt(caption));
    box.setText(Tr(text));
    switch (icon) {
    case MsgIcon::None: box.setIcon(QMessageBox::NoIcon); break;
    case MsgIcon::Exclamation: box.setIcon(QMessageBox::Warning); break;
    case MsgIcon::Information: box.setIcon(QMessageBox::Information); break;
    case MsgIcon::Question: box.setIcon(QMessageBox::Question); break;
    }
    // The program speaks Chinese; so do its buttons. The first button is the default, Esc
    // gives the last (Cancel or No), as the system's own boxes did.
    struct Choice {
        QMessageBox::StandardButton button;
        const char* label;
        MsgAnswer answer;
    };
    static const Choice ok{QMessageBox::Ok, QT_TRANSLATE_NOOP("morvane::QtDesktop", "确定"), MsgAnswer::Ok};
    static const Choice cancel{QMessageBox::Cancel, QT_TRANSLATE_NOOP("morvane::QtDesktop", "取消"), MsgAnswer::Cancel};
    static const Choice yes{QMessageBox::Yes, QT_TRANSLATE_NOOP("morvane::QtDesktop", "是(&Y)"), MsgAnswer::Yes};
    static const Choice no{QMessageBox::No, QT_TRANSLATE_NOOP("morvane::QtDesktop", "否(&N)"), MsgAnswer::No};
    std::vector<Choice> choices;
    switch (buttons) {
    case MsgButtons::Ok: choices = {ok}; break;
    case MsgButtons::OkCancel: choices = {ok, cancel}; break;
    case MsgButtons::YesNo: choices = {yes, no}; break;
    case MsgButtons::YesNoCancel: choices = {yes, no, cancel}; break;
    }
    for (const Choice& c : choices) {
        box.addButton(c.button);
        box.button(c.button)->setText(QCoreApplication::translate("morvane::QtDesktop", c.label));
    }
    box.setDefaultButton(choices.front().button);
    box.setEscapeButton(choices.back().button);
    box.exec();
    QAbstractButton* clicked = box.clickedButton();
    for (const Choice& c : choices) {
        if (clicked == box.button(c.button))
            return c.answer;
    }
    return choices.back().answer;
}

std::optional<std::string> QtDesktop::AskPassword(PasswordMode mode, const std::string& preset)
{
    PasswordDialog dialog(mode, ToQt(preset), DialogParent());
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return ToGbk(dialog.password());
}

QStringList QtDesktop::NameFilters(const std::vector<FileFilter>& filters)
{
    QStringList out;
    for (const FileFilter& f : filters) {
        QString patterns = ToQt(f.patterns).trimmed();
        if (patterns.isEmpty())
            continue;
        // "*.*" asked for every file on the old system; here it would miss names without a dot.
        patterns.replace(QLatin1String("*.*"), QLatin1String("*"));
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        QString shown = Tr(f.label);
        const qsizetype open = shown.indexOf(QLatin1Char('('));
        if (open >= 0)
            shown.truncate(open);
        out << QStringLiteral("%1 (%2)").arg(shown.trimmed(), patterns);
    }
    return out;
}

std::optional<std::string> QtDesktop::ChooseFile(const FileChoice& choice, bool save)
{
    QFileDialog dialog(DialogParent());
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setNameFilters(NameFilters(choice.filters));
    if (!choice.defaultExt.empty())
        dialog.setDefaultSuffix(QString::fromUtf8(choice.defaultExt.c_str()));
    if (!choice.initialDir.empty())
        dialog.setDirectory(QFile::decodeName(choice.initialDir.c_str()));
    // An open chooser offered "*.Bk" as its name; the filter already says that.
    if (!choice.defaultName.empty() && choice.defaultName.find('*') == std::string::npos)
        dialog.selectFile(QFile::decodeName(choice.defaultName.c_str()));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return QFile::encodeName(dialog.selectedFiles().first()).toStdString();
}

std::optional<std::string> QtDesktop::ChooseOpenFile(const FileChoice& choice)
{
    return ChooseFile(choice, false);
}

std::optional<std::string> QtDesktop::ChooseSaveFile(const FileChoice& choice)
{
    return ChooseFile(choice, true);
}

void QtDesktop::ShowNameClash(const Phrase& text, int kind)
{
    NameClashDialog box(Tr(text), kind, DialogParent());
    box.exec();
}

std::uint32_t QtDesktop::TickCount()
{
    return static_cast<std::uint32_t>(clock_.elapsed());
}

std::time_t QtDesktop::Now()
{
    return std::time(nullptr);
}

bool QtDesktop::MoveWatcher::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseMove)
        seen = static_cast<QMouseEvent*>(event)->globalPosition().toPoint();
    return QObject::eventFilter(watched, event);
}

ScreenPoint QtDesktop::CursorPos()
{
    // Where the window system cannot tell the cursor outside the program's windows (Wayland),
    // the moves those windows receive still stir the pool.
    const QPoint system = QCursor::pos();
    if (system != lastSystem_) {
        lastSystem_ = system;
        cursor_ = {system.x(), system.y()};
    } else if (watcher_.seen != lastSeen_) {
        lastSeen_ = watcher_.seen;
        cursor_ = {lastSeen_.x(), lastSeen_.y()};
    }
    return cursor_;
}

bool QtDesktop::PumpMessages()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    return window_ && window_->TakeCloseRequest();
}

}  // namespace morvane
