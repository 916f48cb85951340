// The tree model and view under long random sessions of clicks, editing commands, rebuilds and
// view actions. Qt's model tester (fatal mode) checks every notification for consistency; a
// mirror that learns the tree only from the model's notifications must equal the book after
// every step, which catches a change that was not reported at all; and the view's expanded
// and current lines must equal the book's.
#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QScrollBar>
#include <QTest>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "book/AddItem.h"
#include "book/BookFile.h"
#include "book/ContextMenu.h"
#include "book/DragDrop.h"
#include "book/Editing.h"
#include "book/FindItems.h"
#include "book/KeyTree.h"
#include "book/Marking.h"
#include "book/MenuIds.h"
#include "book/Queries.h"
#include "book/TreeStream.h"
#include "platform/Text.h"
#include "support/BookTesting.h"
#include "support/RecordingView.h"
#include "support/ScriptedDesktop.h"
#include "ui/tree/BookModel.h"
#include "ui/tree/BookView.h"

using namespace morvane;

namespace {

// What a client of the model knows when it believes the notifications alone: the children of
// each parent and what each line shows.
class ModelMirror {
public:
    explicit ModelMirror(BookModel& model) : model_(model)
    {
        QObject::connect(&model, &QAbstractItemModel::modelReset, [this] { ReadAll(); });
        QObject::connect(&model, &QAbstractItemModel::rowsInserted, [this](const QModelIndex& parent, int first, int last) {
            auto& kids = kids_[Id(parent)];
            for (int row = first; row <= last; ++row) {
                const QModelIndex child = model_.index(row, 0, parent);
                kids.insert(kids.begin() + row, Id(child));
                Read(child);
            }
        });
        QObject::connect(&model, &QAbstractItemModel::rowsRemoved, [this](const QModelIndex& parent, int first, int last) {
            auto& kids = kids_[Id(parent)];
            for (int row = first; row <= last; ++row)
                Drop(kids[static_cast<std::size_t>(row)]);
            kids.erase(kids.begin() + first, kids.begin() + last + 1);
        });
        QObject::connect(&model, &QAbstractItemModel::layoutChanged,
                         [this](const QList<QPersistentModelIndex>& parents) {
                             if (parents.isEmpty()) {
                                 ReadAll();
                                 return;
                             }
                             // A reorder: the same children in a new order.
                             for (const QPersistentModelIndex& p : parents) {
                                 auto& kids = kids_[Id(p)];
                                 std::vector<quintptr> now = Children(p);
                                 std::vector<quintptr> a = kids, b = now;
                                 std::sort(a.begin(), a.end());
                                 std::sort(b.begin(), b.end());
                                 EXPECT_EQ(a, b) << "a layout change changed the children";
                                 kids = now;
                             }
                         });
        QObject::connect(&model, &QAbstractItemModel::dataChanged,
                         [this](const QModelIndex& topLeft, const QModelIndex& bottomRight) {
                             for (int row = topLeft.row(); row <= bottomRight.row(); ++row)
                                 cells_[Id(topLeft.siblingAtRow(row))] = CellOf(topLeft.siblingAtRow(row));
                         });
        ReadAll();
    }

    // The mirror equals the book and the model's present answers.
    ::testing::AssertionResult Matches(const Book& book) const
    {
        std::size_t nodes = 0;
        for (Node parent; ; ) {
            const auto it = kids_.find(Id(model_.IndexOf(parent)));
            std::vector<quintptr> expected;
            for (Node c = book.FirstChild(parent); c; c = book.NextSibling(c))
                expected.push_back(Id(model_.IndexOf(c)));
            const std::vector<quintptr> seen = it == kids_.end() ? std::vector<quintptr>{} : it->second;
            if (seen != expected)
                return ::testing::AssertionFailure() << "children of node " << parent.slot << " differ: mirror has "
                                                     << seen.size() << ", book " << expected.size();
            for (Node c = book.FirstChild(parent); c; c = book.NextSibling(c)) {
                ++nodes;
                const auto cell = cells_.find(Id(model_.IndexOf(c)));
                if (cell == cells_.end() || !(cell->second == CellOf(model_.IndexOf(c))))
                    return ::testing::AssertionFailure() << "line " << c.slot << " changed without a notification";
            }
            parent = parent ? book.NextPreOrder(parent) : book.FirstRoot();
            if (!parent)
                break;
        }
        if (nodes != book.NodeCount())
            return ::testing::AssertionFailure() << "mirror saw " << nodes << " of " << book.NodeCount() << " nodes";
        return ::testing::AssertionSuccess();
    }

private:
    struct Cell {
        QString text;
        QVariant background, foreground;
        int kind = 0;
        bool cut = false;
        bool operator==(const Cell&) const = default;
    };

    static quintptr Id(const QModelIndex& index) { return index.isValid() ? index.internalId() : 0; }

    Cell CellOf(const QModelIndex& index) const
    {
        return {index.data(Qt::DisplayRole).toString(), index.data(Qt::BackgroundRole),
                index.data(Qt::ForegroundRole), index.data(BookModel::KindRole).toInt(),
                index.data(BookModel::CutRole).toBool()};
    }

    std::vector<quintptr> Children(const QModelIndex& parent) const
    {
        std::vector<quintptr> ids;
        for (int row = 0, n = model_.rowCount(parent); row < n; ++row)
            ids.push_back(Id(model_.index(row, 0, parent)));
        return ids;
    }

    void Read(const QModelIndex& index)
    {
        cells_[Id(index)] = CellOf(index);
        auto& kids = kids_[Id(index)];
        kids = Children(index);
        for (int row = 0; row < static_cast<int>(kids.size()); ++row)
            Read(model_.index(row, 0, index));
    }

    void Drop(quintptr id)
    {
        const auto it = kids_.find(id);
        if (it != kids_.end()) {
            for (quintptr c : it->second)
                Drop(c);
            kids_.erase(it);
        }
        cells_.erase(id);
    }

    void ReadAll()
    {
        kids_.clear();
        cells_.clear();
        auto& top = kids_[0];
        top = Children({});
        for (int row = 0; row < static_cast<int>(top.size()); ++row)
            Read(model_.index(row, 0, {}));
    }

    BookModel& model_;
    std::map<quintptr, std::vector<quintptr>> kids_;  // parent (0: top level) -> children
    std::map<quintptr, Cell> cells_;
};

class Session {
public:
    explicit Session(unsigned seed) : rng_(seed)
    {
        RandomBookOptions o;
        o.nodes = 40 + static_cast<int>(rng_() % 160);
        o.maxDepth = 5;
        o.maxTextBytes = rng_() % 3 ? 2 : 40;  // short names clash often; long ones get cut labels
        AddRandomBook(book(), rng_, o);
        for (Node n = book().FirstRoot(); n; n = book().NextPreOrder(n))
            book().SetState(n, book().State(n) & kStateExpanded, ~0u);
        MendAfterRebuild(tree_);
        (void)PrepareUndo(tree_);

        window_.onShowLine = [this](KeyTree&, Node) { return rng_() % 10 == 0 ? -1 : 0; };
        tree_.view = &window_;
        view_.resize(260, 320);
        if (rng_() % 4 != 0)
            view_.show();
        tester_ = std::make_unique<QAbstractItemModelTester>(
            view_.bookModel(), QAbstractItemModelTester::FailureReportingMode::Fatal);
        mirror_ = std::make_unique<ModelMirror>(*view_.bookModel());
    }

    Book& book() { return tree_.book; }

    void Step()
    {
        switch (rng_() % 20) {
        case 0: PlainClick(tree_, PickNode()); break;
        case 1:
            tree_.multiSelect = true;
            CtrlClick(tree_, PickNode(), [this] { return rng_() % 2 == 0; });
            tree_.multiSelect = false;
            break;
        case 2:
        case 3: ClickInView(); break;
        case 4:
        case 5:
        case 6: MenuCommand(); break;
        case 7: DragAndDrop(); break;
        case 8: Add(); break;
        case 9: Find(); break;
        case 10: (rng_() % 2 ? UndoCommand(tree_) : RedoCommand(tree_)); break;
        case 11: Reload(); break;
        case 12: book().Expand(PickNode(), rng_() % 2); break;
        case 13: ExpandInView(); break;
        case 14: Keys(); break;
        case 15: book().Select(PickNode()); break;
        case 16: book().SetFirstVisible(PickNode()); break;
        case 17: view_.verticalScrollBar()->setValue(static_cast<int>(rng_() % 400)); break;
        case 18:
            if (rng_() % 8 == 0) {
                desk_.answers.assign(1, MsgAnswer::Ok);
                (void)NewBookCommand(tree_);
                desk_.answers.clear();
            }
            break;
        default: book().SetText(PickNode(), RandomGbkText(rng_, 40)); break;
        }
        if (rng_() % 3 == 0)
            QApplication::processEvents();
        Check();
    }

private:
    Node PickNode()
    {
        std::vector<Node> all;
        for (Node n = book().FirstRoot(); n; n = book().NextPreOrder(n))
            all.push_back(n);
        if (all.empty() || rng_() % 20 == 0)
            return Node{};
        return all[rng_() % all.size()];
    }

    // A node the view shows in its viewport, if any.
    Node PickShown()
    {
        std::vector<Node> shown;
        const QRect area = view_.viewport()->rect();
        for (Node n = book().FirstRoot(); n; n = book().NextPreOrder(n))
            if (area.contains(view_.ItemRect(n)))
                shown.push_back(n);
        return shown.empty() ? Node{} : shown[rng_() % shown.size()];
    }

    void ClickInView()
    {
        if (!view_.isVisible())
            return;
        const Node n = PickShown();
        const QPoint at = n ? view_.ItemRect(n).center() : QPoint(view_.viewport()->width() - 2, 2);
        const Qt::KeyboardModifiers mods = rng_() % 3 == 0 ? Qt::ControlModifier : Qt::NoModifier;
        if (rng_() % 5 == 0)
            QTest::mouseDClick(view_.viewport(), Qt::LeftButton, mods, at);
        else
            QTest::mouseClick(view_.viewport(), Qt::LeftButton, mods, at);
    }

    void ExpandInView()
    {
        const QModelIndex index = view_.IndexOf(PickNode());
        if (index.isValid())
            view_.setExpanded(index, !view_.isExpanded(index));
    }

    void Keys()
    {
        static const Qt::Key kKeys[] = {Qt::Key_Down, Qt::Key_Up, Qt::Key_Left, Qt::Key_Right,
                                        Qt::Key_Home, Qt::Key_End, Qt::Key_PageDown, Qt::Key_Asterisk};
        view_.setFocus();
        QTest::keyClick(&view_, kKeys[rng_() % std::size(kKeys)]);
    }

    void MenuCommand()
    {
        auto menu = OpenContextMenu(tree_, PickNode());
        if (!menu)
            return;
        static const int kIds[] = {kCmdSortType, kCmdSortName, kCmdSortStrength, kCmdSortDate, kCmdCut,
                                   kCmdCopy,     kCmdDelete,   kCmdPaste,        kCmdCopyHere, kCmdCutHere,
                                   kCmdClearTraces};
        std::vector<int> offered;
        for (int id : kIds)
            if (menu->Enabled(id))
                offered.push_back(id);
        if (offered.empty())
            return;
        desk_.answers.assign(1, rng_() % 4 == 0 ? MsgAnswer::No : MsgAnswer::Yes);
        (void)RunEditCommand(tree_, offered[rng_() % offered.size()]);
        desk_.answers.clear();
    }

    void DragAndDrop()
    {
        TreeDrag drag;
        if (!drag.Begin(tree_, PickNode()))
            return;
        drag.Hover(tree_, PickNode());
        drag.Drop(tree_);
    }

    void Add()
    {
        tree_.rightClickedItem = PickNode();
        AddItemForm form;
        form.FocusName(tree_);
        static const unsigned kMasks[] = {kMaskDirectory, kMaskKey, kMaskLock};
        form.ChooseKind(tree_, kMasks[rng_() % 3]);
        form.SetName(tree_, RandomGbkText(rng_, 2));
        (void)form.Accept(tree_);
    }

    void Find()
    {
        if (!tree_.menusEnabled)
            return;
        FindSession find(tree_);
        const Node pick = PickNode();
        find.text = book().Valid(pick) ? book().Text(pick) : std::string("x");
        find.Search();
        for (int i = rng_() % 3; i > 0; --i)
            find.Next();
        find.Close();
    }

    // The whole book read back from its stream, as a load does.
    void Reload()
    {
        std::vector<std::uint8_t> stream;
        if (WriteTreeStream(tree_, Node{}, stream) == 1) {
            ASSERT_EQ(ReadTreeStream(tree_, Node{}, stream), 1);
            MendAfterRebuild(tree_);
        }
    }

    void Check()
    {
        const Book& b = tree_.book;
        ASSERT_TRUE(mirror_->Matches(b));
        EXPECT_EQ(view_.NodeOf(view_.currentIndex()), b.Selected()) << "the focus line is not the book's";
        for (Node n = b.FirstRoot(); n; n = b.NextPreOrder(n)) {
            if (b.FirstChild(n)) {
                ASSERT_EQ(view_.isExpanded(view_.IndexOf(n)), b.Expanded(n))
                    << "expanded state of " << n.slot << " differs";
            }
        }
    }

    std::mt19937 rng_;
    ScriptedDesktop desk_;
    RecordingView window_;
    KeyTree tree_{&desk_};
    BookView view_{tree_};
    std::unique_ptr<QAbstractItemModelTester> tester_;
    std::unique_ptr<ModelMirror> mirror_;
};

}  // namespace

TEST(BookModel, FollowsRandomSessionsRowByRow)
{
    const bool longRun = std::getenv("MORVANE_LONG_TESTS") != nullptr;
    const int sessions = longRun ? 200 : 24;
    const int steps = longRun ? 1000 : 250;
    for (int s = 0; s < sessions; ++s) {
        SCOPED_TRACE("session " + std::to_string(s));
        Session session(static_cast<unsigned>(s) * 104729u + 3u);
        for (int i = 0; i < steps; ++i) {
            session.Step();
            if (::testing::Test::HasFailure()) {
                ADD_FAILURE() << "at step " << i;
                return;
            }
        }
    }
}

TEST(BookModel, ShowsLabelsIconsAndTheMarkingColours)
{
    KeyTree tree;
    Book& book = tree.book;
    const Node root = book.Insert(Node{}, ItemKind::BookRoot, Gbk("加密通讯薄"));
    const Node dir = book.Insert(root, ItemKind::Directory, std::string(31, 'd'));
    const Node key = book.Insert(dir, ItemKind::Key, Gbk("我的1"));
    const Node line = book.Insert(key, ItemKind::InputField, Gbk("输    入: "));
    // Any non-zero kind can come from a file.
    const Node odd = book.Insert(root, 99, "odd");
    const Node negative = book.Insert(root, -7, "negative");
    BookModel model(book);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);

    EXPECT_EQ(model.IndexOf(dir).data().toString(), QString(30, 'd') + "...");
    EXPECT_EQ(model.IndexOf(key).data().toString(), QString::fromUtf8("我的1"));
    for (Node n : {root, odd, negative})
        EXPECT_FALSE(qvariant_cast<QIcon>(model.IndexOf(n).data(Qt::DecorationRole)).isNull());
    EXPECT_FALSE(model.flags(model.IndexOf(key)) & Qt::ItemIsEditable);

    auto colours = [&](Node n) {
        const QModelIndex index = model.IndexOf(n);
        const QVariant bg = index.data(Qt::BackgroundRole), fg = index.data(Qt::ForegroundRole);
        return std::pair(bg.isValid() ? qvariant_cast<QColor>(bg).name() : QString(),
                         fg.isValid() ? qvariant_cast<QColor>(fg).name() : QString());
    };
    const auto none = std::pair(QString(), QString());
    const auto blue = std::pair(QColor(49, 106, 197).name(), QColor(Qt::white).name());
    const auto green = std::pair(QColor(9, 147, 32).name(), QColor(Qt::white).name());
    const auto plain = std::pair(QColor(237, 242, 252).name(), QColor(51, 51, 255).name());

    EXPECT_EQ(colours(key), none);
    PlainClick(tree, key);
    EXPECT_EQ(colours(key), blue) << "a marked item";
    book.Select(key);
    EXPECT_EQ(colours(key), blue) << "the focus line and marked";
    PlainClick(tree, dir);
    EXPECT_EQ(colours(key), plain) << "the focus line alone shows no highlight";
    PlainClick(tree, line);
    EXPECT_EQ(colours(line), none) << "a marked field line that is not the focus line";
    book.Select(line);
    EXPECT_EQ(colours(line), green);
    EXPECT_EQ(colours(dir), none);
}
