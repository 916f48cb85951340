#include "ui/shell/MainWindow.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QCursor>
#include <QDesktopServices>
#include <QDialog>
#include <QFile>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLinearGradient>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QSaveFile>
#include <QScreen>
#include <QTextLayout>
#include <QUrl>
#include <QWindow>
#include <QtMath>
#include <algorithm>
#include <cstdlib>

#include "book/BookFile.h"
#include "book/Collect.h"
#include "book/ContextMenu.h"
#include "book/KeyGen.h"
#include "book/KeyTree.h"
#include "book/Marking.h"
#include "book/Queries.h"
#include "message/Commands.h"
#include "message/Display.h"
#include "message/Operation.h"
#include "platform/Text.h"
#include "ui/boxes/IoBox.h"
#include "ui/common/QtText.h"
#include "ui/dialogs/AboutDialog.h"
#include "ui/dialogs/AddItemDialog.h"
#include "ui/dialogs/FindDialog.h"
#include "ui/shell/Safeguards.h"
#include "ui/shell/PaintedControls.h"
#include "ui/skin/Artwork.h"
#include "ui/skin/Fonts.h"
#include "ui/skin/ProgressBar.h"
#include "ui/skin/Splitter.h"
#include "ui/skin/StrengthSelector.h"
#include "ui/tree/BookView.h"
#include "ui/tree/TreeMenu.h"

namespace morvane {

using shell::Element;
using shell::Look;
using skin::Art;

namespace {

QRect ToQ(const shell::Rect& r)
{
    return QRect(r.left, r.top, r.Width(), r.Height());
}

bool IsSizer(Element e)
{
    return e == shell::kBottomEdge || e == shell::kRightEdge || e == shell::kGrip;
}

// A one-pixel frame just inside r, exact at any pixel ratio.
void Frame(QPainter& p, const QRect& r, const QColor& c)
{
    p.fillRect(r.left(), r.top(), r.width(), 1, c);
    p.fillRect(r.left(), r.bottom(), r.width(), 1, c);
    p.fillRect(r.left(), r.top(), 1, r.height(), c);
    p.fillRect(r.right(), r.top(), 1, r.height(), c);
}

QRegion Ring(const QRect& r)
{
    return QRegion(r) - QRegion(r.adjusted(1, 1, -1, -1));
}

shell::TextSize Measure(const QFont& font, const QString& text)
{
    // Laid out as drawText lays it out, so that the height counts the CJK face's ascent and
    // descent as well as the Latin one's; rounded up, as a scaled screen draws unhinted
    // glyphs up to a pixel past the rounded size.
    QTextLayout layout(text, font);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    line.setLineWidth(1e6);
    layout.endLayout();
    return {qCeil(line.naturalTextWidth()), qCeil(line.height())};
}

QString TitleText()
{
    return QCoreApplication::translate("morvane::MainWindow", "密钥通讯薄");
}

}  // namespace

MainWindow::MainWindow(KeyTree& tree, Desktop& desktop, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), tree_(tree), desktop_(desktop)
{
    // The commands follow this window from now on.
    tree_.view = this;
    setWindowTitle(QStringLiteral("Morvane"));
    setWindowIcon(skin::AppIcon());
    // Every pixel comes from the off-screen skin: no background erase, no flicker.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setMinimumSize(shell::kMinWindowWidth, shell::kMinWindowHeight);

    const QString host = QUrl(QStringLiteral(MORVANE_HOME_PAGE)).host();
    linkText_ = tr("访问软件主站 %1").arg(host.isEmpty() ? QStringLiteral(MORVANE_HOME_PAGE) : host);
    texts_.title = Measure(skin::StandardFont(15), TitleText());
    const shell::TextSize link = Measure(skin::StandardFont(12), linkText_);
    texts_.linkWidth = link.width;
    texts_.statusHeight = link.height;

    // The children in their stacking order: selector, splitters, progress bar, boxes, tree.
    selector_ = new StrengthSelector(tree_, this);
    selector_->setFont(skin::StandardFont(15));
    selector_->hide();
    splitter1_ = new Splitter(Splitter::Tree, this);
    splitter2_ = new Splitter(Splitter::Edge, this);
    progress_ = new ProgressBar(this);
    progress_->hide();
    input_ = new IoBox(IoBox::Input, tree_, this);
    output_ = new IoBox(IoBox::Output, tree_, this);
    for (IoBox* box : {input_, output_}) {
        box->setFont(skin::StandardFont(18));
        box->setFrameShape(QFrame::NoFrame);
    }
    tree_view_ = new BookView(tree_, this);

    // Both boxes light the frame edges; the frame shows while the input box is hovered.
    for (IoBox* box : {input_, output_})
        connect(box, &IoBox::hoverChanged, this, [this] { update(Ring(ToQ(layout_.textBox.Grown(1)))); });
    splitter1_->SetDragRule(
        [this](int current, int x) { return shell::DragOutlineLeft(layout_.client, p2_, current, x); });
    connect(splitter1_, &Splitter::dropped, this, [this](int left) {
        p1_ = left;
        Relayout();
    });

    connect(this, &MainWindow::aboutRequested, this, [this] { AboutDialog::Show(this); });
    connect(tree_view_, &BookView::dropped, this, [this] { update(); });
    AddShortcuts();
    guards_ = new Safeguards(*this, tree_, desktop_);
    AddFocusPlaces();

    collectTimer_.setInterval(10);
    connect(&collectTimer_, &QTimer::timeout, this,
            [this] { (void)CollectTick(tree_); });

    // A state dump for the end-to-end test, only when asked for.
    if (const char* dump = std::getenv("MORVANE_STATE_DUMP"); dump && *dump) {
        dumpPath_ = QFile::decodeName(dump);
        dumpTimer_.setInterval(100);
        connect(&dumpTimer_, &QTimer::timeout, this, &MainWindow::WriteStateDump);
        dumpTimer_.start();
    }

    QSize start(960, 660);
    if (QScreen* s = screen()) {
        const QRect avail = s->availableGeometry();
        start = start.boundedTo(avail.size() * 9 / 10).expandedTo(minimumSize());
        setGeometry(QRect(QPoint(0, 0), start).translated(avail.center() - QRect(QPoint(0, 0), start).center()));
    } else {
        resize(start);
    }
}

MainWindow::~MainWindow()
{
    if (tree_.view == this)
        tree_.view = nullptr;
}

void MainWindow::Start()
{
    // Both boxes greet with the same text, selected so that typing replaces it; only the
    // input box shows. No line is clicked yet, so nothing is written through.
    BoxDisplay greeting;
    greeting.visible = true;
    greeting.text = ToGbk(tr("在这里输入"));
    greeting.hasSelection = true;
    greeting.selLength = static_cast<std::uint32_t>(greeting.text.size());
    input_->Apply(greeting);
    greeting.visible = false;
    output_->Apply(greeting);
    selector_->Apply(false, 0);
    // Typing replaces the greeting at once; the splitter, earlier in the chain, would take
    // the first focus otherwise.
    input_->setFocus(Qt::OtherFocusReason);

    tree_.undo.SetDepth(3);
    tree_.undo.Bind(&tree_);
    tree_.undo.Push();
    Relayout();
}

bool MainWindow::ButtonEnabled(Element e) const
{
    return e == shell::kButton1 ? display_.button1Enabled
         : e == shell::kButton2 ? display_.button2Enabled
                                : display_.checkEnabled;
}

bool& MainWindow::Enabled(Element e)
{
    return e == shell::kButton1 ? display_.button1Enabled
         : e == shell::kButton2 ? display_.button2Enabled
                                : display_.checkEnabled;
}

QString MainWindow::Label(Element e) const
{
    return Tr(e == shell::kButton1 ? display_.button1Label
              : e == shell::kButton2 ? display_.button2Label
                                     : display_.checkLabel);
}

QString MainWindow::BookNameShown() const
{
    return QFile::decodeName(shell::BookNameText(tree_.bookPath).c_str());
}

void MainWindow::RefreshBookTitle()
{
    // The pair is centred together, so the title moves with the name.
    const shell::Rect old = shell::Union(layout_.title, layout_.bookName);
    texts_.bookName = Measure(skin::StandardFont(12), BookNameShown());
    layout_ = shell::ComputeLayout(layout_.client, p1_, p2_, texts_);
    update(ToQ(shell::Union(old, shell::Union(layout_.title, layout_.bookName))));
}

// ---- Layout

void MainWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (width() == 0)
        return;
    const shell::Rect client{0, 0, width(), height()};
    if (!splittersSet_) {
        const shell::Splitters s = shell::InitialSplitters(client);
        p1_ = s.p1;
        p2_ = s.p2;
        splittersSet_ = true;
    }
    const shell::Splitters s = shell::SplittersForClient(client, p1_);
    p1_ = s.p1;
    p2_ = s.p2;
    Relayout();
}

void MainWindow::Relayout()
{
    texts_.bookName = Measure(skin::StandardFont(12), BookNameShown());
    layout_ = shell::ComputeLayout({0, 0, width(), height()}, p1_, p2_, texts_);
    activityRect_ = shell::ActivityRect(layout_.client, Measure(skin::StandardFont(12), activity_));
    statusRect_ = shell::StatusRect(layout_.client, Measure(skin::StandardFont(12), statusText_));
    PlaceChildren();
    update();
}

void MainWindow::PlaceChildren()
{
    splitter1_->setGeometry(ToQ(layout_.splitter1));
    splitter2_->setGeometry(ToQ(layout_.splitter2));
    progress_->setGeometry(ToQ(layout_.progress));
    tree_view_->setGeometry(ToQ(layout_.tree));
    input_->setGeometry(ToQ(layout_.textBox));
    output_->setGeometry(ToQ(layout_.textBox));
    // A drop-down list takes its own height; the skin's rectangle counted the open list too.
    const QRect sel = ToQ(layout_.selector);
    selector_->setGeometry(sel.left(), sel.top(), sel.width(), selector_->sizeHint().height());
    for (PaintedControl* c : controls_)
        c->setGeometry(ToQ(c->Element() == shell::kCheckBox ? layout_.checkHit : layout_.Of(c->Element())));
    SyncFocusPlaces();
}

// ---- What the commands see

int MainWindow::ShowLine(KeyTree& tree, Node line)
{
    const int rc = DescribeLine(tree, line, input_->Columns(), display_);
    if (rc != 1)
        Apply();
    return rc;
}

void MainWindow::Apply()
{
    const LineDisplay& d = display_;
    // Labels that change width (another language's) move the controls.
    const QFont small = skin::StandardFont(12);
    const int w1 = Measure(small, Tr(d.button1Label)).width, w2 = Measure(small, Tr(d.button2Label)).width,
              wc = Measure(small, Tr(d.checkLabel)).width;
    if (w1 != texts_.button1Width || w2 != texts_.button2Width || wc != texts_.checkWidth) {
        texts_.button1Width = w1;
        texts_.button2Width = w2;
        texts_.checkWidth = wc;
        const shell::Rect old = layout_.bottomBand;
        layout_ = shell::ComputeLayout(layout_.client, p1_, p2_, texts_);
        update(ToQ(old));
    }
    input_->Apply(d.input);
    output_->Apply(d.output);
    selector_->Apply(d.selectorVisible, d.selectorIndex);
    RepaintElement(shell::kButton1);
    RepaintElement(shell::kButton2);
    RepaintElement(shell::kCheckBox);
    update(ToQ(layout_.textBox.Grown(2)));
    SyncFocusPlaces();
}

void MainWindow::RepaintLine(Node)
{
    tree_view_->viewport()->update();
}

void MainWindow::ProgressChanged(int percent)
{
    progress_->SetPosition(percent);
}

void MainWindow::ActivityChanged(ActivityMode mode)
{
    // The commands pump nothing: everything here paints at once.
    const shell::Rect old = activityRect_;
    activity_ = Tr(shell::ActivityText(mode));
    if (mode != kActivityIdle) {
        activityRect_ = shell::ActivityRect(layout_.client, Measure(skin::StandardFont(12), activity_));
        progress_->show();
        progress_->repaint();
    } else {
        RepaintElement(shell::kButton1, true);
        RepaintElement(shell::kButton2, true);
        progress_->hide();
        progress_->SetPosition(0);
        repaint(ToQ(layout_.progress.Grown(1)));
    }
    repaint(ToQ(shell::Union(old, activityRect_)));
    SyncFocusPlaces();
}

void MainWindow::StatusTextChanged(const Phrase& text)
{
    statusText_ = Tr(text);
    const shell::Rect next = shell::StatusRect(layout_.client, Measure(skin::StandardFont(12), statusText_));
    const shell::Rect dirty = shell::Union(statusRect_.Grown(1), next.Grown(1));
    statusRect_ = next;
    repaint(ToQ(dirty));
}

void MainWindow::StartCollectionTimer()
{
    collectTimer_.start();
}

void MainWindow::StopCollectionTimer()
{
    collectTimer_.stop();
}

// ---- Painting

void MainWindow::RepaintElement(Element e, bool now)
{
    if (e == shell::kNone)
        return;
    // The link's text is drawn lifted by up to two pixels while hot.
    const QRect r = ToQ(e == shell::kLink ? layout_.link.Grown(2) : layout_.Of(e));
    if (now)
        repaint(r);
    else
        update(r);
}

void MainWindow::paintEvent(QPaintEvent* event)
{
    const qreal dpr = devicePixelRatioF();
    const QSize pixels(qCeil(width() * dpr), qCeil(height() * dpr));
    if (skin_.size() != pixels || skin_.devicePixelRatio() != dpr) {
        skin_ = QPixmap(pixels);
        skin_.setDevicePixelRatio(dpr);
    }
    {
        QPainter p(&skin_);
        p.setClipRegion(event->region());
        PaintSkin(p);
    }
    QPainter out(this);
    out.setClipRegion(event->region());
    out.drawPixmap(0, 0, skin_);
}

void MainWindow::DrawLabel(QPainter& p, const shell::Rect& r, const QString& text, Element e, bool enabled)
{
    if (text.isEmpty())
        return;
    QRect box = ToQ(r);
    if (enabled && tracker_.Lifted(e))
        box.translate(-1, 0);
    p.setPen(enabled ? QColor(51, 51, 255) : QColor(198, 196, 189));
    p.drawText(box, Qt::AlignCenter | Qt::TextSingleLine, text);
}

void MainWindow::PaintSkin(QPainter& p)
{
    const shell::Layout& l = layout_;
    p.fillRect(ToQ(l.statusBand), QColor(0, 65, 198));
    skin::Draw(p, Art::Logo, ToQ(l.logo));
    skin::Draw(p, Art::Header, ToQ(l.header));
    skin::Draw(p, Art::Pane, ToQ(l.treePane));
    skin::Draw(p, Art::Pane, ToQ(l.rightPane));
    p.fillRect(ToQ(l.edit), Qt::white);

    // The inner panel: tool band and bottom band inside rounded corners.
    {
        p.save();
        p.setRenderHint(QPainter::Antialiasing);
        QPainterPath clip;
        clip.addRoundedRect(QRectF(ToQ(l.innerPanel)), 6, 6);
        p.setClipPath(clip, Qt::IntersectClip);
        const QRect band = ToQ(l.toolBand);
        const int cap = std::min(band.width(), qRound(skin::NaturalSize(Art::ToolCap).width()));
        skin::Draw(p, Art::ToolCap, QRectF(band.left(), band.top(), cap, band.height()));
        if (band.width() > cap) {
            QLinearGradient g(band.left() + cap, 0, band.right() + 1, 0);
            g.setColorAt(0, QColor(23, 160, 209));
            g.setColorAt(1, QColor(228, 240, 254));
            p.fillRect(QRect(band.left() + cap, band.top(), band.width() - cap, band.height()), g);
        }
        skin::Draw(p, Art::BottomBand, ToQ(l.bottomBand));
        p.restore();
    }
    {
        p.save();
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(151, 185, 231), 1));
        p.setBrush(Qt::NoBrush);
        const QRect r = ToQ(l.innerPanel);
        p.drawRoundedRect(QRectF(r.left() + 0.5, r.top() + 0.5, r.width() - 2, r.height() - 2), 5, 5);
        p.restore();
    }

    // Painted buttons, the check box, the caption buttons and the grip.
    static constexpr Art buttonArt[] = {Art::ButtonNormal, Art::ButtonHot, Art::ButtonPressed, Art::ButtonDisabled};
    const LineDisplay& d = display_;
    skin::Draw(p, buttonArt[int(tracker_.LookOf(shell::kButton1, d.button1Enabled))], ToQ(l.button1));
    skin::Draw(p, buttonArt[int(tracker_.LookOf(shell::kButton2, d.button2Enabled))], ToQ(l.button2));
    {
        const Look look = tracker_.LookOf(shell::kCheckBox, d.checkEnabled);
        const bool hot = look == Look::Hot || look == Look::Pressed;
        Art art = Art::CheckDisabled;
        if (look != Look::Disabled)
            art = tree_.singleStep ? (hot ? Art::CheckOnHot : Art::CheckOn) : (hot ? Art::CheckOffHot : Art::CheckOff);
        skin::Draw(p, art, ToQ(l.checkSquare));
    }
    auto caption = [&](Element e, Art normal, Art hot, Art pressed) {
        const Look look = tracker_.LookOf(e);
        skin::Draw(p, look == Look::Pressed ? pressed : look == Look::Hot ? hot : normal, ToQ(l.Of(e)));
    };
    caption(shell::kMinimise, Art::MinimiseNormal, Art::MinimiseHot, Art::MinimisePressed);
    if (maximised_)
        caption(shell::kMaximise, Art::RestoreNormal, Art::RestoreHot, Art::RestorePressed);
    else
        caption(shell::kMaximise, Art::MaximiseNormal, Art::MaximiseHot, Art::MaximisePressed);
    caption(shell::kClose, Art::CloseNormal, Art::CloseHot, Art::ClosePressed);
    skin::Draw(p, Art::Grip, ToQ(l.grip));

    Frame(p, ToQ(l.client), Qt::black);
    if (input_->Hovering())
        Frame(p, ToQ(l.textBox.Grown(1)), QColor(255, 200, 60));

    // Texts.
    const QFont small = skin::StandardFont(12);
    p.setFont(small);
    p.setPen(Qt::white);
    if (!activity_.isEmpty())
        p.drawText(ToQ(activityRect_), Qt::AlignCenter | Qt::TextSingleLine, activity_);
    if (tree_.keygen.busy) {
        p.drawText(ToQ(statusRect_), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, statusText_);
    } else {
        QRect link = ToQ(l.link);
        if (tracker_.Lifted(shell::kLink))
            link.translate(-1, -2);
        p.drawText(link, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, linkText_);
    }
    p.setFont(skin::StandardFont(15));
    p.drawText(ToQ(l.title), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, TitleText());
    p.setFont(small);
    p.drawText(ToQ(l.bookName), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, BookNameShown());
    DrawLabel(p, l.button1, Tr(d.button1Label), shell::kButton1, d.button1Enabled);
    DrawLabel(p, l.button2, Tr(d.button2Label), shell::kButton2, d.button2Enabled);
    DrawLabel(p, l.checkLabel, Tr(d.checkLabel), shell::kCheckBox, d.checkEnabled);

    // The keyboard focus: a dotted frame round the focused control, in the labels' blue on the
    // light tool band and in white on the dark header and status bar.
    const shell::Element focused = shell::ElementOf(FocusedStop());
    if (focused != shell::kNone) {
        const shell::Rect r = focused == shell::kCheckBox ? l.checkHit
                            : focused == shell::kLink     ? l.link.Grown(1)
                                                          : l.Of(focused);
        const bool onBand = focused == shell::kButton1 || focused == shell::kButton2 || focused == shell::kCheckBox;
        p.save();
        p.setPen(QPen(onBand ? QColor(51, 51, 255) : QColor(Qt::white), 1, Qt::DotLine));
        p.setBrush(Qt::NoBrush);
        p.drawRect(ToQ(r).adjusted(1, 1, -2, -2));
        p.restore();
    }
}

// ---- The mouse

void MainWindow::UpdateCursor()
{
    switch (tracker_.Hot()) {
    case shell::kGrip: setCursor(Qt::SizeFDiagCursor); break;
    case shell::kBottomEdge: setCursor(Qt::SizeVerCursor); break;
    case shell::kRightEdge: setCursor(Qt::SizeHorCursor); break;
    case shell::kLink: setCursor(Qt::PointingHandCursor); break;
    default: unsetCursor(); break;
    }
}

void MainWindow::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    const QPoint pt = event->position().toPoint();
    if (shell::InMoveArea(layout_, pt.x(), pt.y())) {
        // The window system moves the window (X11 and Wayland alike); by hand where it cannot.
        if (!(windowHandle() && windowHandle()->startSystemMove())) {
            moving_ = true;
            moveOffset_ = event->globalPosition().toPoint() - pos();
        }
        return;
    }
    const Element hit = shell::HitTest(layout_, pt.x(), pt.y(), !tree_.keygen.busy);
    const shell::Tracker::Answer a = tracker_.Press(hit, maximised_);
    for (Element e : a.repaint)
        RepaintElement(e);
    UpdateCursor();
    if (a.resize) {
        Qt::Edges edges;
        if (hit == shell::kBottomEdge || hit == shell::kGrip)
            edges |= Qt::BottomEdge;
        if (hit == shell::kRightEdge || hit == shell::kGrip)
            edges |= Qt::RightEdge;
        if (windowHandle() && windowHandle()->startSystemResize(edges))
            tracker_.CancelPress();
    }
}

void MainWindow::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint global = event->globalPosition().toPoint();
    if (moving_) {
        move(global - moveOffset_);
        return;
    }
    const QPoint pt = event->position().toPoint();
    const Element hit = shell::HitTest(layout_, pt.x(), pt.y(), !tree_.keygen.busy);
    for (Element e : tracker_.Move(hit).repaint)
        RepaintElement(e);
    UpdateCursor();
    if (tracker_.ButtonDown() && IsSizer(tracker_.Pressed()) && !maximised_) {
        // Sizing by hand, where the window system did not take the drag.
        const QRect g = geometry();
        const shell::Rect r = shell::SizeByMouse({g.left(), g.top(), g.left() + g.width(), g.top() + g.height()},
                                                 tracker_.Pressed(), global.x(), global.y());
        setGeometry(r.left, r.top, r.Width(), r.Height());
    }
}

void MainWindow::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    if (moving_) {
        moving_ = false;
        return;
    }
    const QPoint pt = event->position().toPoint();
    const Element hit = shell::HitTest(layout_, pt.x(), pt.y(), !tree_.keygen.busy);
    const shell::Tracker::Answer a = tracker_.Release(hit);
    for (Element e : a.repaint)
        RepaintElement(e);
    UpdateCursor();
    if (a.action != shell::kNone)
        Click(a.action);
}

void MainWindow::mouseDoubleClickEvent(QMouseEvent* event)
{
    const QPoint pt = event->position().toPoint();
    if (event->button() == Qt::LeftButton && shell::InMoveArea(layout_, pt.x(), pt.y()))
        ToggleMaximised();
}

void MainWindow::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    for (Element e : tracker_.Leave().repaint)
        RepaintElement(e);
    unsetCursor();
}

void MainWindow::Click(Element e)
{
    switch (e) {
    case shell::kLink:
        if (Tell(desktop_, Phrase::Plain(ToGbk(tr("访问软件主站，确定吗？"))), MsgIcon::Question, MsgButtons::OkCancel) == MsgAnswer::Ok)
            QDesktopServices::openUrl(QUrl(QStringLiteral(MORVANE_HOME_PAGE)));
        break;
    case shell::kMaximise:
        ToggleMaximised();
        break;
    case shell::kMinimise:
        showMinimized();
        break;
    case shell::kClose:
        close();
        break;
    case shell::kCheckBox:
        if (display_.checkEnabled) {
            const OperationButtons b = ToggleSingleStep(tree_);
            display_.button1Enabled = b.button1;
            display_.button2Enabled = b.button2;
            RepaintElement(shell::kButton1);
            RepaintElement(shell::kButton2);
            RepaintElement(shell::kCheckBox);
            SyncFocusPlaces();
        }
        break;
    case shell::kButton1:
    case shell::kButton2:
        if (Enabled(e)) {
            // Disabled before the command runs: it pumps nothing, so a second click cannot
            // start a second operation, and the button must look it at once.
            Enabled(e) = false;
            RepaintElement(e, true);
            Operate(e == shell::kButton1 ? 0 : 1);
        }
        break;
    default:
        break;
    }
}

void MainWindow::Operate(int sign)
{
    // The commands show the line again when they end, which offers the buttons anew. One
    // that failed without a word does not; show the clicked line again so that the button
    // does not stay disabled.
    if (RunOperation(tree_, sign) == -1)
        (void)SelectionDisplay(tree_, tree_.Live(tree_.clickedItem));
}

void MainWindow::ToggleMaximised()
{
    if (maximised_) {
        maximised_ = false;
        setGeometry(restoreGeometry_);
    } else {
        restoreGeometry_ = geometry();
        maximised_ = true;
        // The available area, so that the desktop's panels stay visible.
        if (QScreen* s = screen())
            setGeometry(s->availableGeometry());
    }
    update();
    SyncFocusPlaces();
}

// ---- Keyboard, menu and closing

void MainWindow::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // Unhandled by the child that had the focus: ask before closing, never end silently.
        close();
        return;
    case Qt::Key_Space:
        if (event->modifiers() == Qt::AltModifier) {
            ShowWindowMenu(mapToGlobal(QPoint(layout_.logo.left, layout_.logo.bottom)));
            return;
        }
        break;
    default:
        break;
    }
    QWidget::keyPressEvent(event);
}

void MainWindow::contextMenuEvent(QContextMenuEvent* event)
{
    const QPoint pt = event->pos();
    if (shell::InMoveArea(layout_, pt.x(), pt.y()))
        ShowWindowMenu(event->globalPos());
    else
        QWidget::contextMenuEvent(event);
}

void MainWindow::ShowWindowMenu(const QPoint& globalPos)
{
    QMenu menu(this);
    QAction* restore = menu.addAction(tr("还原(&R)"), this, [this] { ToggleMaximised(); });
    restore->setEnabled(maximised_);
    menu.addAction(tr("最小化(&N)"), this, [this] { showMinimized(); });
    QAction* maximise = menu.addAction(tr("最大化(&X)"), this, [this] { ToggleMaximised(); });
    maximise->setEnabled(!maximised_);
    menu.addSeparator();
    menu.addAction(tr("关闭(&C)"), this, [this] { close(); });
    menu.addSeparator();
    guards_->AddMenuEntries(menu);
    menu.addSeparator();
    menu.addAction(tr("关于 Morvane(&A)..."), this, [this] { Q_EMIT aboutRequested(); });
    menu.exec(globalPos);
}

void MainWindow::AddFocusPlaces()
{
    InstallAccessibility();
    using shell::Stop;
    for (Stop stop : {Stop::Button1, Stop::Button2, Stop::CheckBox, Stop::Link, Stop::Minimise, Stop::Maximise,
                      Stop::Close}) {
        auto* c = new PaintedControl(stop, this);
        connect(c, &PaintedControl::activated, this, &MainWindow::Click);
        connect(c, &PaintedControl::focusChanged, this, [this, c] {
            const shell::Element e = c->Element();
            update(ToQ((e == shell::kCheckBox ? layout_.checkHit : layout_.Of(e)).Grown(2)));
        });
        if (stop == Stop::CheckBox)
            c->SetCheckedSource([this] { return tree_.singleStep; });
        controls_.push_back(c);
    }
    // The text boxes hand Tab on, as every other place does; the tree keeps its own keys.
    for (IoBox* box : {input_, output_})
        box->setTabChangesFocus(true);
    tree_view_->setAccessibleName(TitleText());
    input_->setAccessibleName(tr("输入框"));
    output_->setAccessibleName(tr("输出框"));
    selector_->setAccessibleName(tr("强度"));
    progress_->setAccessibleName(tr("进度"));
    splitter1_->setAccessibleName(tr("分隔条"));
    splitter1_->setFocusPolicy(Qt::TabFocus);
    splitter1_->installEventFilter(this);
    tree_view_->installEventFilter(this);
    SyncFocusPlaces();
}

void MainWindow::SyncFocusPlaces()
{
    for (PaintedControl* c : controls_) {
        const shell::Element e = c->Element();
        QString name;
        bool enabled = true;
        switch (e) {
        case shell::kButton1:
        case shell::kButton2:
        case shell::kCheckBox:
            enabled = ButtonEnabled(e);
            name = Label(e);
            if (name.isEmpty())
                name = e == shell::kButton1 ? tr("操作1") : e == shell::kButton2 ? tr("操作2")
                                                                           : tr("单步运算");
            break;
        case shell::kLink: name = linkText_; break;
        case shell::kMinimise: name = tr("最小化"); break;
        case shell::kMaximise: name = maximised_ ? tr("还原") : tr("最大化"); break;
        case shell::kClose: name = tr("关闭"); break;
        default: break;
        }
        // Hidden controls take no focus: the link gives way to the generation's status.
        c->setVisible(e != shell::kLink || !tree_.keygen.busy);
        if (c->accessibleName() != name)
            c->setAccessibleName(name);
        if (c->isEnabled() != enabled)
            c->setEnabled(enabled);
        if (e == shell::kCheckBox && QAccessible::isActive()) {
            QAccessible::State changed;
            changed.checked = true;
            QAccessibleStateChangeEvent ev(c, changed);
            QAccessible::updateAccessibility(&ev);
        }
    }
}

PaintedControl* MainWindow::Control(Element e) const
{
    for (PaintedControl* c : controls_)
        if (c->Element() == e)
            return c;
    return nullptr;
}

QWidget* MainWindow::WidgetOf(shell::Stop stop) const
{
    using shell::Stop;
    switch (stop) {
    case Stop::Tree: return tree_view_;
    case Stop::Selector: return selector_;
    case Stop::Input: return input_;
    case Stop::Output: return output_;
    case Stop::Splitter: return splitter1_;
    case Stop::None: return nullptr;
    default: return Control(shell::ElementOf(stop));
    }
}

shell::Stop MainWindow::FocusedStop() const
{
    using shell::Stop;
    for (QWidget* w = QApplication::focusWidget(); w && w != this; w = w->parentWidget())
        for (Stop s : {Stop::Tree, Stop::Selector, Stop::Input, Stop::Output, Stop::Button1, Stop::Button2,
                       Stop::CheckBox, Stop::Splitter, Stop::Link, Stop::Minimise, Stop::Maximise, Stop::Close})
            if (WidgetOf(s) == w)
                return s;
    return Stop::None;
}

bool MainWindow::focusNextPrevChild(bool next)
{
    shell::StopState now;
    now.selector = selector_->isVisible();
    now.input = input_->isVisible();
    now.output = output_->isVisible();
    now.button1 = display_.button1Enabled;
    now.button2 = display_.button2Enabled;
    now.check = display_.checkEnabled;
    now.link = !tree_.keygen.busy;
    QWidget* to = WidgetOf(shell::NextStop(shell::FocusOrder(now), FocusedStop(), next));
    if (!to)
        return QWidget::focusNextPrevChild(next);
    to->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    return true;
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == tree_view_ && event->type() == QEvent::KeyPress) {
        // Space or Enter clicks the focus line as the mouse would (Ctrl+Space: a Ctrl-click,
        // which marks), so that a line's display opens without the mouse.
        const auto* key = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
        const bool space = key->key() == Qt::Key_Space && (mods == Qt::NoModifier || mods == Qt::ControlModifier);
        const bool enter = (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && mods == Qt::NoModifier;
        const QModelIndex current = tree_view_->currentIndex();
        if (key->key() == Qt::Key_F10 && mods == Qt::ShiftModifier) {
            // Shift+F10 opens the focus line's menu, as the Menu key does.
            QContextMenuEvent menu(QContextMenuEvent::Keyboard, QPoint(), QCursor::pos(), Qt::NoModifier);
            QApplication::sendEvent(tree_view_, &menu);
            return true;
        }
        if ((space || enter) && current.isValid()) {
            tree_view_->scrollTo(current);
            const QPoint at = tree_view_->ItemRect(tree_view_->NodeOf(current)).center();
            QWidget* vp = tree_view_->viewport();
            const QPointF global = vp->mapToGlobal(QPointF(at));
            QMouseEvent press(QEvent::MouseButtonPress, QPointF(at), global, Qt::LeftButton, Qt::LeftButton, mods);
            QApplication::sendEvent(vp, &press);
            QMouseEvent release(QEvent::MouseButtonRelease, QPointF(at), global, Qt::LeftButton, Qt::NoButton, mods);
            QApplication::sendEvent(vp, &release);
            return true;
        }
    }
    if (watched == splitter1_) {
        if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut) {
            splitter1_->update();
        } else if (event->type() == QEvent::KeyPress) {
            // The arrows move the splitter by ten pixels, within the limits a drag keeps.
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Left || key == Qt::Key_Right) {
                const int step = key == Qt::Key_Left ? -10 : 10;
                p1_ = shell::DragOutlineLeft(layout_.client, p2_, p1_, p1_ + 4 + step);
                Relayout();
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void MainWindow::AddShortcuts()
{
    // One action per command, shared by the keys and the tree's context menu.
    actions_ = new TreeActions(tree_, this, tree_view_);
    connect(actions_, &TreeActions::commandTriggered, this, &MainWindow::RunCommand);
}

void MainWindow::RunCommand(int id)
{
    switch (RunMenuCommand(tree_, id)) {
    case WindowCommand::None:
        break;
    case WindowCommand::Find:
        FindDialog::Open(tree_, this);
        break;
    case WindowCommand::Add:
        (void)AddItemDialog::Run(tree_, this);
        break;
    case WindowCommand::About:
        Q_EMIT aboutRequested();
        break;
    case WindowCommand::GenerateKey:
        GenerateKey();
        break;
    }
    // New, Open and Save As change the book's name.
    RefreshBookTitle();
}

bool MainWindow::TakeCloseRequest()
{
    const bool requested = closeRequested_;
    closeRequested_ = false;
    return requested;
}

void MainWindow::GenerateKey()
{
    const KeygenOutcome outcome =
        GenerateKeyCommand(tree_);
    update(ToQ(layout_.statusBand));
    if (outcome.closePending && RunCloseSequence()) {
        closeAccepted_ = true;
        close();
    }
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (closeAccepted_) {
        event->accept();
        return;
    }
    event->ignore();
    if (inCloseSequence_)
        return;
    if (tree_.keygen.busy) {
        // The generation notices at its next pump, stops, and the close sequence follows.
        closeRequested_ = true;
        return;
    }
    if (RunCloseSequence()) {
        closeAccepted_ = true;
        event->accept();
    }
}

bool MainWindow::RunCloseSequence()
{
    inCloseSequence_ = true;
    const bool quit = Tell(desktop_, Phrase::Plain(ToGbk(tr("确认退出吗?"))), MsgIcon::Question, MsgButtons::YesNo) == MsgAnswer::Yes;
    if (quit) {
        StopCollectionTimer();
        (void)SaveAtExit(tree_);  // a failed save was told; the user chose to quit
        RemoveItems(tree_, Node{});
    }
    inCloseSequence_ = false;
    return quit;
}

// ---- State dump for the end-to-end test

void MainWindow::WriteStateDump()
{
    QByteArray out;
    auto line = [&out](const QString& s) { out += s.toUtf8() + '\n'; };
    const QRect g = geometry();
    line(QStringLiteral("window %1 %2 %3 %4 %5").arg(g.x()).arg(g.y()).arg(g.width()).arg(g.height()).arg(isVisible()));
    line(QStringLiteral("button1 %1 %2").arg(int(display_.button1Enabled)).arg(Label(shell::kButton1)));
    line(QStringLiteral("button2 %1 %2").arg(int(display_.button2Enabled)).arg(Label(shell::kButton2)));
    line(QStringLiteral("check %1 %2 %3").arg(int(display_.checkEnabled)).arg(int(tree_.singleStep)).arg(Label(shell::kCheckBox)));
    line(QStringLiteral("bookname %1").arg(BookNameShown()));
    line(QStringLiteral("nodes %1").arg(tree_.book.NodeCount()));
    line(QStringLiteral("clicked %1").arg(ToQt(tree_.book.Text(tree_.Live(tree_.clickedItem)))));
    line(QStringLiteral("activity %1").arg(activity_));
    line(QStringLiteral("focus %1").arg(QLatin1String(shell::StopName(FocusedStop()))));
    line(QStringLiteral("status %1").arg(statusText_));
    line(QStringLiteral("menus %1 generating %2 collecting %3")
             .arg(int(tree_.menusEnabled)).arg(int(tree_.keygen.busy)).arg(int(tree_.collection.running)));
    // Where to click, in screen coordinates.
    auto place = [&](const QString& name, const QRect& r, bool visible) {
        const QPoint at = mapToGlobal(r.topLeft());
        line(QStringLiteral("place %1 %2 %3 %4 %5 %6").arg(name).arg(at.x()).arg(at.y()).arg(r.width()).arg(r.height()).arg(int(visible)));
    };
    place(QStringLiteral("button1"), ToQ(layout_.button1), display_.button1Enabled);
    place(QStringLiteral("button2"), ToQ(layout_.button2), display_.button2Enabled);
    place(QStringLiteral("check"), ToQ(layout_.checkHit), display_.checkEnabled);
    place(QStringLiteral("input"), input_->geometry(), input_->isVisible());
    place(QStringLiteral("output"), output_->geometry(), output_->isVisible());
    place(QStringLiteral("selector"), selector_->geometry(), selector_->isVisible());
    place(QStringLiteral("tree"), tree_view_->geometry(), tree_view_->isVisible());
    // The tree's visible rows with their screen rectangles, for clicking them.
    if (QAbstractItemModel* model = tree_view_->model()) {
        QModelIndex i = model->index(0, 0);
        for (int n = 0; i.isValid() && n < 500; ++n, i = tree_view_->indexBelow(i)) {
            // The icon and label: only they take clicks.
            const QRect r = tree_view_->ItemRect(tree_view_->NodeOf(i));
            if (!tree_view_->viewport()->rect().contains(r)) {
                // Scrolled away, wholly or in part: which way to scroll to reach it.
                const bool above = tree_view_->visualRect(i).top() < 0;
                line(QStringLiteral("offrow %1 %2").arg(above ? QStringLiteral("above") : QStringLiteral("below"))
                         .arg(i.data(Qt::DisplayRole).toString()));
                continue;
            }
            const QPoint at = tree_view_->viewport()->mapToGlobal(r.topLeft());
            line(QStringLiteral("row %1 %2 %3 %4 %5 %6")
                     .arg(at.x()).arg(at.y()).arg(r.width()).arg(r.height())
                     .arg(int(tree_view_->isExpanded(i)))
                     .arg(i.data(Qt::DisplayRole).toString()));
        }
    }
    if (QWidget* popup = QApplication::activePopupWidget())
        line(QStringLiteral("popup %1").arg(QString::fromLatin1(popup->metaObject()->className())));
    if (QWidget* modal = QApplication::activeModalWidget()) {
        line(QStringLiteral("modal %1").arg(QString::fromLatin1(modal->metaObject()->className())));
        if (auto* box = qobject_cast<QMessageBox*>(modal))
            line(QStringLiteral("message %1").arg(box->text().simplified()));
    }
    // Every open dialog's own words, modal or not, for the tests that read its language.
    for (const QWidget* top : QApplication::topLevelWidgets()) {
        if (!top->isVisible() || !qobject_cast<const QDialog*>(top))
            continue;
        line(QStringLiteral("dialog %1").arg(QString::fromLatin1(top->metaObject()->className())));
        line(QStringLiteral("dialogtitle %1").arg(top->windowTitle()));
        for (const QWidget* w : top->findChildren<QWidget*>()) {
            QString text;
            if (const auto* label = qobject_cast<const QLabel*>(w))
                text = label->text();
            else if (const auto* button = qobject_cast<const QAbstractButton*>(w))
                text = button->text();
            if (w->isVisible() && !text.isEmpty())
                line(QStringLiteral("dialogtext %1").arg(text.simplified()));
        }
    }
    // An open popup's entries.
    if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget()))
        for (QAction* a : menu->actions()) {
            const QRect r = menu->actionGeometry(a);
            if (a->isSeparator() || r.isEmpty())
                continue;
            const QPoint at = menu->mapToGlobal(r.topLeft());
            line(QStringLiteral("menuitem %1 %2 %3 %4 %5 %6")
                     .arg(at.x()).arg(at.y()).arg(r.width()).arg(r.height()).arg(int(a->isEnabled())).arg(a->text()));
        }
    if (out == lastDump_)
        return;
    QSaveFile file(dumpPath_);
    if (file.open(QIODevice::WriteOnly) && file.write(out) == out.size() && file.commit())
        lastDump_ = out;
}

}  // namespace morvane
