// Every text the window draws fits where it is drawn, in the one pair of faces. CTest runs
// the Scaled tests again under QT_SCALE_FACTOR 1.5 and 2, where glyphs are drawn unhinted
// and CJK and Latin faces mix in one line.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QGlyphRun>
#include <QRawFont>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <QUrl>
#include <cmath>
#include <map>

#include "book/KeyTree.h"
#include "book/Marking.h"
#include "book/Queries.h"
#include "book/Records.h"
#include "message/ArmoredText.h"
#include "message/Boxes.h"
#include "platform/Text.h"
#include "support/ScriptedDesktop.h"
#include "support/TempDataHome.h"
#include "ui/boxes/IoBox.h"
#include "ui/shell/MainWindow.h"
#include "ui/skin/Fonts.h"
#include "ui/skin/Splitter.h"
#include "ui/skin/StrengthSelector.h"

using namespace morvane;

namespace {

QRectF ToQF(const shell::Rect& r)
{
    return QRectF(r.left, r.top, r.Width(), r.Height());
}

struct Line {
    qreal ascent = 0, height = 0, width = 0;
};

Line LayOut(const QFont& font, const QString& text)
{
    QTextLayout layout(text, font);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    line.setLineWidth(100000);
    layout.endLayout();
    return {line.ascent(), line.height(), line.naturalTextWidth()};
}

// The ink of text drawn into r with the alignment lies inside r: nothing is clipped.
void ExpectInkInside(const char* what, const QFont& font, const QString& text, const shell::Rect& r,
                     Qt::Alignment align)
{
    SCOPED_TRACE(what);
    const Line line = LayOut(font, text);
    const QRectF box = ToQF(r);
    const qreal x = (align & Qt::AlignHCenter) ? box.left() + (box.width() - line.width) / 2 : box.left();
    const qreal top = (align & Qt::AlignVCenter) ? box.top() + (box.height() - line.height) / 2 : box.top();
    const QRectF ink = QFontMetricsF(font).boundingRect(text).translated(x, top + line.ascent);
    EXPECT_GE(ink.top(), box.top() - 0.01) << text.toStdString() << " cut at the top of a " << r.Height()
                                           << "-pixel rectangle";
    EXPECT_LE(ink.bottom(), box.bottom() + 0.01) << text.toStdString() << " cut at the bottom of a "
                                                 << r.Height() << "-pixel rectangle";
    EXPECT_GE(ink.left(), box.left() - 1) << text.toStdString();
    EXPECT_LE(ink.right(), box.right() + 1) << text.toStdString();
    // drawText lays a line out from the top (or the centre) of its rectangle: a line taller
    // than the rectangle loses its bottom even where the ink would have fitted.
    EXPECT_LE(line.height, box.height() + 0.01) << text.toStdString();
}

bool Inside(const shell::Rect& inner, const shell::Rect& outer)
{
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

bool Overlap(const shell::Rect& a, const shell::Rect& b)
{
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

class ScaledWindow : public ::testing::Test {
protected:
    TempDataHome home;
    ScriptedDesktop desk;
    KeyTree tree{&desk};
    MainWindow window{tree, desk};
    Node lock;

    void SetUp() override
    {
        BuildSampleBook(tree.book);
        lock = FindChildByName(tree.book, tree.book.FirstChild(tree.book.FirstRoot()), Gbk("对方1"), kMaskLock);
        ASSERT_TRUE(lock);
        tree.bookPath = "/home/u/旅程.Bk";
        window.Start();
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
};

}  // namespace

// At the default size and at a maximised one: the status bar's texts, the progress bar's
// percentage, the tree's title and book name and the operation buttons' labels.
TEST_F(ScaledWindow, EveryTextFitsItsRectangle)
{
    const QString host = QUrl(QStringLiteral(MORVANE_HOME_PAGE)).host();
    const QString link = QStringLiteral("访问软件主站 %1").arg(host);
    const QFont small = skin::StandardFont(12);
    for (const QSize size : {QSize(960, 660), QSize(1600, 1000)}) {
        SCOPED_TRACE(size.width());
        window.resize(size);
        // The tree at a third of the width, as a window opened at this size has it.
        Q_EMIT window.TreeSplitter()->dropped(size.width() / 3);
        QApplication::processEvents();
        window.RefreshBookTitle();
        const shell::Layout& l = window.CurrentLayout();
        ASSERT_EQ(l.client.Width(), size.width());

        ExpectInkInside("link", small, link, l.link, Qt::AlignLeft | Qt::AlignTop);
        EXPECT_TRUE(Inside(l.link, l.statusBar));
        EXPECT_FALSE(Overlap(l.link, l.progress));
        EXPECT_GE(l.link.Width(), std::ceil(LayOut(small, link).width));

        for (int mode : {1, 2, 4, 5, 6}) {
            const QString text = QString::fromUtf8(Utf8(shell::ActivityText(mode).Gbk()).c_str());
            const Line line = LayOut(small, text);
            const shell::Rect r = shell::ActivityRect(
                l.client, {int(std::ceil(line.width)), int(std::ceil(line.height))});
            ExpectInkInside("activity", small, text, r, Qt::AlignCenter);
            EXPECT_TRUE(Inside(r, l.statusBar));
            EXPECT_FALSE(Overlap(r, l.progress));
        }

        // The percentage inside the progress bar, which must not overlap the bar's edges.
        ExpectInkInside("progress", skin::StandardFont(12, QFont::Medium), QStringLiteral("100%"), l.progress,
                        Qt::AlignCenter);
        EXPECT_TRUE(Inside(l.progress, l.statusBar));

        ExpectInkInside("title", skin::StandardFont(15), QStringLiteral("密钥通讯薄"), l.title,
                        Qt::AlignLeft | Qt::AlignTop);
        ExpectInkInside("book name", small, window.BookNameShown(), l.bookName, Qt::AlignLeft | Qt::AlignTop);
        EXPECT_EQ(window.BookNameShown(), QStringLiteral("(旅程.Bk)"));

        for (const char* label : {"加 密", "解 密", "签字后加密", "验证签字"})
            ExpectInkInside("button", small, QString::fromUtf8(label), l.button2, Qt::AlignCenter);
        ExpectInkInside("check box", small, QStringLiteral("单步"), l.checkLabel, Qt::AlignCenter);
        // The strength selector's entries, in its own font, within the width the skin gives it.
        const StrengthSelector* selector = window.Selector();
        EXPECT_LE(selector->sizeHint().width(), l.selector.Width()) << "a strength entry is cut";
        EXPECT_EQ(selector->font().pixelSize(), 15);
    }
}

// An armored text framed to the box fits it line for line, and one pasted from elsewhere,
// framed wider, wraps instead of scrolling sideways with its first characters out of sight.
TEST_F(ScaledWindow, ArmoredTextNeverScrollsSideways)
{
    for (const std::string& armored : {"N_SI" + kNoSigner + std::string(300, 'D'),
                                      "SIGN" + std::string(32, 'D') + std::string(300, 'D')})
    for (const QSize size : {QSize(960, 660), QSize(1600, 1000)}) {
        SCOPED_TRACE(size.width());
        SCOPED_TRACE(armored.substr(0, 4));
        ASSERT_EQ(SetField(tree.book, lock, KindCode(ItemKind::OutputField), armored), 1);
        window.resize(size);
        QApplication::processEvents();
        ASSERT_EQ(SelectionDisplay(tree, FindChildByKind(tree.book, lock, ItemKind::OutputField)), 0);
        IoBox* box = window.Input();
        ASSERT_TRUE(box->isVisible());
        QApplication::processEvents();
        const int columns = box->Columns();
        EXPECT_EQ(box->toPlainText().split(QLatin1Char('\n')).first(), QString(columns, QLatin1Char('*')));
        for (QTextBlock b = box->document()->begin(); b.isValid(); b = b.next())
            EXPECT_EQ(b.layout()->lineCount(), 1) << "a framed line wraps: " << b.text().toStdString();
        EXPECT_EQ(box->horizontalScrollBar()->maximum(), 0);

        std::string wide = armored;
        ASSERT_EQ(FrameArmoredText(wide, columns + 40), 1);
        QApplication::clipboard()->setText(IoBox::ToBoxText(wide));
        box->selectAll();
        box->paste();
        QApplication::processEvents();
        EXPECT_EQ(box->horizontalScrollBar()->value(), 0) << "the first characters are scrolled away";
        EXPECT_EQ(box->horizontalScrollBar()->maximum(), 0);
        EXPECT_GT(box->document()->begin().next().layout()->lineCount(), 1) << "the long line wraps";
    }
}

// The header and the box draw in the pair: Latin letters, digits and hexadecimal from the
// Latin sans face, Chinese from the CJK face; none falls back to a third (serif) face.
TEST_F(ScaledWindow, HeaderAndBoxUseTheFacePair)
{
    const skin::FacePair& pair = skin::StandardPair();
    ASSERT_FALSE(pair.latin.isEmpty()) << "no Latin sans face installed (tools/dev.sh installs fonts-dejavu-core)";
    ASSERT_FALSE(pair.cjk.isEmpty()) << "no Chinese face installed (tools/dev.sh installs one)";
    EXPECT_FALSE(pair.latin.contains(QStringLiteral("Serif")));

    auto faces = [](const QFont& font, const QString& text) {
        QTextLayout layout(text, font);
        layout.beginLayout();
        layout.createLine().setLineWidth(100000);
        layout.endLayout();
        std::map<QString, int> glyphs;  // face -> how many glyphs it drew
        for (const QGlyphRun& run : layout.glyphRuns())
            glyphs[run.rawFont().familyName()] += int(run.glyphIndexes().size());
        return glyphs;
    };
    using Faces = std::map<QString, int>;
    EXPECT_EQ(faces(skin::StandardFont(15), QStringLiteral("密钥通讯薄")), (Faces{{pair.cjk, 5}}));
    // "(", ".", "B", "k", ")" and the two characters of the name.
    EXPECT_EQ(faces(skin::StandardFont(12), window.BookNameShown()), (Faces{{pair.latin, 5}, {pair.cjk, 2}}));
    for (IoBox* box : {window.Input(), window.Output()}) {
        EXPECT_EQ(faces(box->font(), QStringLiteral("N_SI09AF明天")), (Faces{{pair.latin, 8}, {pair.cjk, 2}}));
        EXPECT_EQ(box->font().pixelSize(), 18);
    }
}
