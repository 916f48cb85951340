// The main window: a frameless window that paints its own skin (logo and header band that
// move the window, caption buttons, the tree pane, the edit pane with the two operation
// buttons and the single-step box, the status bar with the progress bar and the site link),
// holds the tree, the text boxes and the strength selector, and is the commands' MainView.
#pragma once

#include <QPixmap>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <string>
#include <vector>

#include "book/MainView.h"
#include "message/LineDisplay.h"
#include "ui/shell/Focus.h"
#include "ui/shell/Layout.h"
#include "ui/shell/Tracking.h"

namespace morvane {

class BookView;
class Desktop;
class IoBox;
class KeyTree;
class ProgressBar;
class Safeguards;
class Splitter;
class PaintedControl;
class StrengthSelector;
class TreeActions;

class MainWindow : public QWidget, public MainView {
    Q_OBJECT
public:
    // desktop answers the window's own questions (the close question, the site link); the
    // commands reach it through the tree.
    MainWindow(KeyTree& tree, Desktop& desktop, QWidget* parent = nullptr);
    ~MainWindow() override;

    // After a successful start-up: the boxes' first text, and the undo queue with its first
    // snapshot of the book as loaded.
    void Start();

    // The key generation command for the right-clicked record (the tree's context menu runs
    // it through here): a close asked for while it ran is carried out once it has stopped.
    void GenerateKey();
    // A command of the tree's context menu (or its shortcut), on the menu's item.
    void RunCommand(int id);
    // Whether a close was asked for while a command pumped events; clears the request.
    bool TakeCloseRequest();
    // The book's path changed (New, Open, Save As): the title shows the new name.
    void RefreshBookTitle();

    // MainView
    int ShowLine(KeyTree& tree, Node line) override;
    void RepaintLine(Node line) override;
    void ProgressChanged(int percent) override;
    void ActivityChanged(ActivityMode mode) override;
    void StatusTextChanged(const Phrase& text) override;
    void StartCollectionTimer() override;
    void StopCollectionTimer() override;

    // What the window shows, for tests and the state dump.
    const shell::Layout& CurrentLayout() const { return layout_; }
    const shell::Tracker& Tracking() const { return tracker_; }
    int Splitter1() const { return p1_; }
    bool Maximised() const { return maximised_; }
    bool ButtonEnabled(shell::Element e) const;
    QString Label(shell::Element e) const;
    QString BookNameShown() const;
    QString ActivityShown() const { return activity_; }
    BookView* Tree() const { return tree_view_; }
    IoBox* Input() const { return input_; }
    IoBox* Output() const { return output_; }
    StrengthSelector* Selector() const { return selector_; }
    ProgressBar* Progress() const { return progress_; }
    Splitter* TreeSplitter() const { return splitter1_; }
    // The clipboard guard, the idle lock and the preferences.
    Safeguards* Guards() const { return guards_; }
    TreeActions* Actions() const { return actions_; }
    // The focus place of a painted control (button, check box, caption button, link).
    PaintedControl* Control(shell::Element e) const;
    // Where the keyboard focus is, as a focus place.
    shell::Stop FocusedStop() const;

Q_SIGNALS:
    // The window menu's about entry.
    void aboutRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void Relayout();
    void PlaceChildren();
    void Apply();
    bool& Enabled(shell::Element e);
    void RepaintElement(shell::Element e, bool now = false);
    void Click(shell::Element e);
    void Operate(int sign);
    void ToggleMaximised();
    bool RunCloseSequence();
    void ShowWindowMenu(const QPoint& globalPos);
    void AddShortcuts();
    void AddFocusPlaces();
    void SyncFocusPlaces();
    QWidget* WidgetOf(shell::Stop stop) const;
    void UpdateCursor();
    void PaintSkin(QPainter& p);
    void DrawLabel(QPainter& p, const shell::Rect& r, const QString& text, shell::Element e, bool enabled);
    void WriteStateDump();

    KeyTree& tree_;
    Desktop& desktop_;

    BookView* tree_view_ = nullptr;
    IoBox* input_ = nullptr;
    IoBox* output_ = nullptr;
    StrengthSelector* selector_ = nullptr;
    ProgressBar* progress_ = nullptr;
    Splitter* splitter1_ = nullptr;
    Splitter* splitter2_ = nullptr;
    Safeguards* guards_ = nullptr;
    TreeActions* actions_ = nullptr;
    std::vector<PaintedControl*> controls_;

    int p1_ = 0, p2_ = 0;
    bool splittersSet_ = false;
    shell::Layout layout_;
    shell::LayoutTexts texts_;
    shell::Tracker tracker_;
    QPixmap skin_;  // the off-screen image every paint goes through

    LineDisplay display_;  // what the window shows for the clicked line; the selection display updates it
    QString linkText_;
    QString activity_;
    shell::Rect activityRect_;
    QString statusText_;
    shell::Rect statusRect_;

    bool maximised_ = false;
    QRect restoreGeometry_;
    bool moving_ = false;        // moving by hand where the window system cannot
    QPoint moveOffset_;
    bool inCloseSequence_ = false;
    bool closeAccepted_ = false;
    bool closeRequested_ = false;
    QTimer collectTimer_;
    QTimer dumpTimer_;
    QString dumpPath_;
    QByteArray lastDump_;
};

}  // namespace morvane
