// The key tree on a book of 10,000 keys (in 200 directories of 50, each key with its 31
// lines: 320,201 nodes): loading the book (rebuilt from its tree stream, or opened from its
// file) to the first painted frame, expanding everything, and one hover repaint, beside a
// plain QTreeWidget filled with the same rows (label and icon per node, the same expanded
// items, the same first visible line) in the same run. Offscreen platform unless another is
// set. The closing table gives the best run's CPU and wall-clock times.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QMouseEvent>
#include <QTreeWidget>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <cstdlib>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/support/KeyNumbers.h"
#include "book/BookFile.h"
#include "book/KeyTree.h"
#include "book/Marking.h"
#include "book/Queries.h"
#include "book/Records.h"
#include "book/TreeStream.h"
#include "platform/Text.h"
#include "ui/common/QtText.h"
#include "ui/skin/Artwork.h"
#include "ui/tree/BookModel.h"
#include "ui/tree/BookView.h"

using namespace morvane;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kKeys = 10000;
constexpr int kPerDirectory = 50;
const QSize kViewSize(320, 640);

double Since(Clock::time_point t0)
{
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

double CpuNow()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// Best (smallest) wall and CPU seconds per measured phase, for the closing table.
std::map<std::string, double> bestWall, bestCpu;
void Note(const std::string& what, double wall, double cpu)
{
    auto keep = [](std::map<std::string, double>& m, const std::string& k, double v) {
        auto it = m.find(k);
        if (it == m.end() || v < it->second)
            m[k] = v;
    };
    keep(bestWall, what, wall);
    keep(bestCpu, what, cpu);
}

// Wall and CPU time of one phase.
struct Phase {
    Clock::time_point wall0 = Clock::now();
    double cpu0 = CpuNow();
    double wall = 0, cpu = 0;
    void Stop()
    {
        wall = Since(wall0);
        cpu = CpuNow() - cpu0;
    }
};

const char kPassword[] = "benchmark password";

struct BookBytes {
    std::vector<std::uint8_t> stream;  // the tree stream, as undo and redo rebuild from it
    std::vector<std::uint8_t> file;    // the book file, as opening it reads it
};

// The whole book: the root and every directory expanded, the first visible line a directory
// in the middle.
const BookBytes& Bytes()
{
    static const BookBytes bytes = [] {
        KeyTree t;
        std::mt19937 rng(kKeys);
        Book& b = t.book;
        const Node root = BuildEmptyBook(b);
        Node dir, middle;
        for (int k = 0; k < kKeys; ++k) {
            if (k % kPerDirectory == 0) {
                dir = b.Insert(root, ItemKind::Directory, Gbk("目录") + std::to_string(k / kPerDirectory + 1));
                b.Expand(dir, true);
                if (k == kKeys / 2)
                    middle = dir;
            }
            const Node key = AddRecord(b, dir, KindCode(ItemKind::Key), Gbk("我的钥匙") + std::to_string(k + 1),
                                       1767225600 - static_cast<std::time_t>(rng() % 100000000));
            bench::FillKeyNumbers(b, key, rng);
            if (rng() % 2)
                SetField(b, key, KindCode(ItemKind::OutputField), bench::RandomHex(rng, 260));
        }
        b.Expand(root, true);
        b.SetFirstVisible(middle);
        BookBytes out;
        if (WriteTreeStream(t, Node{}, out.stream) != 1 || EncodeBookFile(t, kPassword, out.file) != 1)
            std::abort();
        return out;
    }();
    return bytes;
}

// Rebuilds the book from its tree stream (as undo and redo do).
void Load(KeyTree& tree)
{
    if (ReadTreeStream(tree, Node{}, Bytes().stream) != 1)
        std::abort();
    MendAfterRebuild(tree);
}

// Opens the book file (password check, cipher, digest, expanding, the tree stream, the undo
// queue's first snapshot).
void Open(KeyTree& tree)
{
    tree.bookPassword = kPassword;
    if (!LoadBookData(tree, Bytes().file, "/tmp/bench.Bk").Loaded())
        std::abort();
}

// ---- Ours: the model over the book and the tree view.

struct OurView {
    KeyTree tree;
    BookView view{tree};
    OurView()
    {
        BuildSampleBook(tree.book);
        view.resize(kViewSize);
        view.show();
        QApplication::processEvents();
    }
};

// ---- Reference: a QTreeWidget holding one item per node.

struct RefView {
    QTreeWidget widget;
    std::vector<QIcon> icons;
    RefView()
    {
        widget.setHeaderHidden(true);
        widget.setUniformRowHeights(true);
        for (int kind = 0; kind <= kKindCount; ++kind)
            icons.push_back(skin::KindIcon(kind));
        widget.resize(kViewSize);
        widget.show();
        QApplication::processEvents();
    }
    const QIcon& Icon(std::int32_t kind) const
    {
        return icons[static_cast<std::size_t>(kind >= 0 && kind < kKindCount ? kind : kKindCount)];
    }
    // Fills the widget with the book's rows, expands what the book expands and shows the
    // first visible line, as a view of a loaded book must.
    void Fill(const Book& book)
    {
        widget.clear();
        std::vector<std::pair<QTreeWidgetItem*, Node>> expanded;
        QTreeWidgetItem* firstVisible = nullptr;
        const Node first = book.FirstVisible();
        QList<QTreeWidgetItem*> top;
        // Pre-order with an explicit stack of parents.
        std::vector<QTreeWidgetItem*> parents;
        for (Node n = book.FirstRoot(); n; n = book.NextPreOrder(n)) {
            const int depth = book.Depth(n);
            parents.resize(static_cast<std::size_t>(depth));
            auto* item = depth == 0 ? new QTreeWidgetItem() : new QTreeWidgetItem(parents.back());
            item->setText(0, ToQt(book.Label(n)));
            item->setIcon(0, Icon(book.Kind(n)));
            if (depth == 0)
                top.append(item);
            if (book.Expanded(n))
                expanded.emplace_back(item, n);
            if (n == first)
                firstVisible = item;
            parents.push_back(item);
        }
        widget.addTopLevelItems(top);
        for (auto& e : expanded)
            e.first->setExpanded(true);
        if (firstVisible)
            widget.scrollToItem(firstVisible, QAbstractItemView::PositionAtTop);
    }
};

std::unique_ptr<OurView> ours;
std::unique_ptr<RefView> ref;

// ---- Loading to the first painted frame

// Argument 0: a rebuild from the tree stream; 1: opening the book file.
void BM_LoadToFirstFrame(benchmark::State& state)
{
    OurView& v = *ours;
    const std::string what = state.range(0) ? "open" : "rebuild";
    for (auto _ : state) {
        // The view follows the load as it happens (reset, expanded lines, first visible line,
        // layout); the frame is painted after it.
        Phase p;
        state.range(0) ? Open(v.tree) : Load(v.tree);
        v.view.viewport()->repaint();
        p.Stop();
        state.SetIterationTime(p.wall);
        Note(what, p.wall, p.cpu);
    }
    state.counters["rows"] = static_cast<double>(v.tree.book.NodeCount());
}

void BM_RefLoadToFirstFrame(benchmark::State& state)
{
    RefView& r = *ref;
    KeyTree tree;
    const std::string what = state.range(0) ? "open" : "rebuild";
    for (auto _ : state) {
        Phase read;
        state.range(0) ? Open(tree) : Load(tree);
        read.Stop();
        Phase frame;
        r.Fill(tree.book);
        r.widget.viewport()->repaint();
        frame.Stop();
        state.SetIterationTime(read.wall + frame.wall);
        Note("ref " + what + ": book alone", read.wall, read.cpu);
        Note("ref " + what, read.wall + frame.wall, read.cpu + frame.cpu);
        if (!state.range(0))
            Note("ref load: view", frame.wall, frame.cpu);
    }
}

// The view's share of a load alone: what it does when the book is replaced (the reset, the
// expanded lines, the focus line, the first visible line and the layout), then the frame.
void BM_ViewReset(benchmark::State& state)
{
    OurView& v = *ours;
    Load(v.tree);
    v.view.viewport()->repaint();
    for (auto _ : state) {
        Phase p;
        v.view.reset();
        v.view.viewport()->repaint();
        p.Stop();
        state.SetIterationTime(p.wall);
        Note("load: view", p.wall, p.cpu);
    }
}

// ---- Expanding every line

void BM_ExpandAll(benchmark::State& state)
{
    OurView& v = *ours;
    for (auto _ : state) {
        state.PauseTiming();
        Load(v.tree);
        v.view.viewport()->repaint();
        state.ResumeTiming();
        Phase p;
        v.view.expandAll();
        v.view.viewport()->repaint();
        p.Stop();
        state.SetIterationTime(p.wall);
        Note("expand all", p.wall, p.cpu);
    }
}

void BM_RefExpandAll(benchmark::State& state)
{
    RefView& r = *ref;
    KeyTree tree;
    Load(tree);
    for (auto _ : state) {
        state.PauseTiming();
        r.Fill(tree.book);
        r.widget.viewport()->repaint();
        state.ResumeTiming();
        Phase p;
        r.widget.expandAll();
        r.widget.viewport()->repaint();
        p.Stop();
        state.SetIterationTime(p.wall);
        Note("ref expand all", p.wall, p.cpu);
    }
}

// ---- One hover repaint: the mouse moves from one line's label to another's.

template <class Send>
void Hover(benchmark::State& state, QAbstractItemView& view, const std::string& what, Send send)
{
    const QRect first = view.visualRect(view.indexAt(QPoint(4, 30)));
    const QRect second = view.visualRect(view.indexAt(QPoint(4, 30 + first.height() * 2)));
    // Over the label: a little right of the icon.
    const QPoint a(first.left() + 30, first.center().y()), b(second.left() + 30, second.center().y());
    bool atA = false;
    for (auto _ : state) {
        const QPoint to = atA ? b : a, from = atA ? a : b;
        atA = !atA;
        Phase p;
        send(to, from);
        QApplication::processEvents();
        p.Stop();
        state.SetIterationTime(p.wall);
        Note(what, p.wall, p.cpu);
    }
}

void BM_HoverRepaint(benchmark::State& state)
{
    OurView& v = *ours;
    Load(v.tree);
    v.view.viewport()->repaint();
    QWidget* port = v.view.viewport();
    Hover(state, v.view, "hover", [&](QPoint to, QPoint) {
        QMouseEvent move(QEvent::MouseMove, QPointF(to), QPointF(port->mapToGlobal(to)), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(port, &move);
    });
}

void BM_RefHoverRepaint(benchmark::State& state)
{
    RefView& r = *ref;
    KeyTree tree;
    Load(tree);
    r.Fill(tree.book);
    r.widget.viewport()->repaint();
    QWidget* port = r.widget.viewport();
    port->setAttribute(Qt::WA_Hover);
    Hover(state, r.widget, "ref hover", [&](QPoint to, QPoint from) {
        QHoverEvent move(QEvent::HoverMove, QPointF(to), QPointF(port->mapToGlobal(to)), QPointF(from));
        QApplication::sendEvent(port, &move);
    });
}

BENCHMARK(BM_LoadToFirstFrame)->Arg(0)->Arg(1)->Iterations(8)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RefLoadToFirstFrame)->Arg(0)->Arg(1)->Iterations(8)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ViewReset)->Iterations(8)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExpandAll)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RefExpandAll)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HoverRepaint)->Iterations(200)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RefHoverRepaint)->Iterations(200)->UseManualTime()->Unit(benchmark::kMicrosecond);

void PrintSummary()
{
    auto row = [](const char* label, const char* a, const char* b, double scale, const char* unit) {
        auto get = [](std::map<std::string, double>& m, const char* k) { return m.count(k) ? m[k] : 0.0; };
        const double ca = get(bestCpu, a), cb = b ? get(bestCpu, b) : 0, wa = get(bestWall, a), wb = b ? get(bestWall, b) : 0;
        std::printf("%-30s %9.3f %9.3f | %9.3f %9.3f | %6.2f  %s\n", label, ca * scale, cb * scale, wa * scale,
                    wb * scale, cb > 0 ? ca / cb : 0.0, unit);
    };
    std::printf("\nBest of the runs (ratio = ours / QTreeWidget, CPU):\n");
    std::printf("%-30s %9s %9s | %9s %9s | %6s\n", "", "ours CPU", "ref CPU", "ours wall", "ref wall", "ratio");
    row("rebuild: the book alone", "ref rebuild: book alone", nullptr, 1e3, "ms (in both)");
    row("rebuild to first frame", "rebuild", "ref rebuild", 1e3, "ms (goal < 300)");
    row("open file: the book alone", "ref open: book alone", nullptr, 1e3, "ms (in both)");
    row("open file to first frame", "open", "ref open", 1e3, "ms (goal < 300)");
    row("the view's part of a load", "load: view", "ref load: view", 1e3, "ms");
    row("expand all", "expand all", "ref expand all", 1e3, "ms");
    row("hover repaint", "hover", "ref hover", 1e3, "ms (goal < 2)");
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    ours = std::make_unique<OurView>();
    ref = std::make_unique<RefView>();
    benchmark::RunSpecifiedBenchmarks();
    PrintSummary();
    // The widgets go before the application.
    ours.reset();
    ref.reset();
    return 0;
}
