// The desktop the commands talk to, on Qt: message boxes, the password dialog, file choosers,
// the name clash box, the clock, the cursor and the message pump. Texts arrive as GBK and are
// converted here, nowhere else.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPoint>
#include <QPointer>

#include "platform/Desktop.h"

class QWidget;

namespace morvane {

class MainWindow;

class QtDesktop : public Desktop {
public:
    QtDesktop();

    // The main window: the dialogs' parent once it shows, and where the pump learns of a
    // close asked for meanwhile.
    void Attach(MainWindow* window);

    MsgAnswer MessageBox(const Phrase& text, const std::string& caption, MsgIcon icon,
                         MsgButtons buttons) override;
    std::optional<std::string> AskPassword(PasswordMode mode, const std::string& preset) override;
    std::optional<std::string> ChooseOpenFile(const FileChoice& choice) override;
    std::optional<std::string> ChooseSaveFile(const FileChoice& choice) override;
    void ShowNameClash(const Phrase& text, int kind) override;
    std::uint32_t TickCount() override;
    std::time_t Now() override;
    ScreenPoint CursorPos() override;
    bool PumpMessages() override;

    // The Qt name filters for a chooser's type list.
    static QStringList NameFilters(const std::vector<FileFilter>& filters);

private:
    // Sees every mouse move the program's windows receive, wherever it goes on to.
    class MoveWatcher : public QObject {
    public:
        bool eventFilter(QObject* watched, QEvent* event) override;
        QPoint seen;
    };

    QWidget* DialogParent() const;
    std::optional<std::string> ChooseFile(const FileChoice& choice, bool save);

    QElapsedTimer clock_;
    QPointer<MainWindow> window_;
    MoveWatcher watcher_;
    QPoint lastSystem_, lastSeen_;
    ScreenPoint cursor_;
};

}  // namespace morvane
