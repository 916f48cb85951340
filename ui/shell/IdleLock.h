// The book that locks itself: after a time without keyboard or mouse input anywhere in the
// program, or on Ctrl+L, the main window hides the tree and the text boxes and asks for the
// login password to show them again. Nothing of the book changes and nothing is written; a
// key generation or random collection that runs finishes first. A wrong password keeps the
// book hidden and asks again after a short delay; Cancel runs the window's usual close
// sequence, as Cancel at the login ends the program.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <vector>

#include "ui/shell/LockRules.h"

class QAction;
class QLabel;

namespace morvane {

class Desktop;
class KeyTree;
class MainWindow;

class IdleLock : public QObject {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds kDefaultDelay{10 * 60 * 1000};
    static constexpr std::chrono::milliseconds kDefaultRetryDelay{2000};

    IdleLock(MainWindow& window, KeyTree& tree, Desktop& desktop, QObject* parent = nullptr);
    ~IdleLock() override;

    // Idle time before the lock; zero never locks for idleness (Ctrl+L still does).
    void SetDelay(std::chrono::milliseconds delay);
    // The pause after a wrong password before it is asked again.
    void SetRetryDelay(std::chrono::milliseconds delay) { retryDelay_ = delay; }
    // The window-wide lock command ("lockBook", Ctrl+L).
    QAction* Action() const { return action_; }
    bool Locked() const { return locked_; }
    // Locks now, or once the running computation has finished.
    void Lock();

Q_SIGNALS:
    // The book is about to be hidden.
    void locking();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::int64_t Now() const { return clock_.elapsed(); }
    bool Busy() const;
    void Check();
    void Run();
    void HideBook();
    void ShowBook();
    void Pause(std::chrono::milliseconds delay);
    bool Frozen(QObject* receiver) const;
    void PlaceCover();

    MainWindow& window_;
    KeyTree& tree_;
    Desktop& desktop_;
    QAction* action_ = nullptr;
    QLabel* cover_ = nullptr;
    QElapsedTimer clock_;
    shell::LockClock rules_;
    QTimer timer_;
    std::chrono::milliseconds retryDelay_ = kDefaultRetryDelay;
    bool locked_ = false;

    // While locked: the windows that showed when the lock came (their input goes nowhere), the
    // book's widgets and the modeless windows hidden, and where the focus was.
    std::vector<QPointer<QWidget>> frozen_;
    std::vector<QPointer<QWidget>> hidden_;
    QPointer<QWidget> focus_;
};

}  // namespace morvane
