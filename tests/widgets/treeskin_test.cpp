// The list trees' skin: the picture scroll bar's arithmetic, its
// synchronisation with a tree, the thumb drag, the show/hide rule by the
// control under the pointer, and the drawing of rows.
#include "waitfor.h"
#include "widgets/lxsimage.h"
#include "widgets/treeskin.h"

#include <QApplication>
#include <QMouseEvent>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace {

ThumbPlacement Thumb(int a, int b, int c) { return ThumbPlacement{a, b, c}; }

}  // namespace

TEST(NearestEvenTest, HalvesGoToTheEvenNeighbour)
{
  struct Case {
    double x;
    int expected;
  } cases[] = {{0.5, 0},    {1.5, 2},    {2.5, 2},  {3.5, 4}, {-0.5, 0}, {-1.5, -2},
               {48.25, 48}, {87.33, 87}, {2.51, 3}, {7.0, 7}, {-2.6, -3}};
  for (const Case &c : cases)
    EXPECT_EQ(NearestEven(c.x), c.expected) << c.x;
}

TEST(TreeScrollArithmeticTest, SyncTable)
{
  struct Case {
    const char *what;
    int H, K, P, a, i;
    bool needed;
    int tag, body;
    ThumbPlacement thumb;
  } cases[] = {
      {"worked example", 262, 244, 262, 20, 5, true, 20, 47, Thumb(56, 59, 106)},
      {"first row at the top", 262, 244, 262, 20, 0, true, 20, 47, Thumb(8, 11, 58)},
      {"rest fits: at the bottom", 262, 244, 262, 20, 15, true, 20, 47, Thumb(201, 204, 251)},
      {"seven rows left: at the bottom", 262, 244, 262, 20, 13, true, 20, 47, Thumb(201, 204, 251)},
      {"rest just does not fit", 262, 244, 262, 20, 12, true, 20, 47, Thumb(124, 127, 174)},
      {"rows exactly fill the tree", 360, 342, 360, 10, 0, true, 10, 298, Thumb(8, 11, 309)},
      {"one pixel more fits", 361, 343, 361, 10, 0, false, 10, 0, Thumb(0, 0, 0)},
      {"99 rows keep 100", 262, 244, 262, 99, 0, true, 100, 10, Thumb(8, 11, 21)},
      {"very long list: 10 at least", 262, 244, 262, 1000, 0, true, 1000, 10, Thumb(8, 11, 21)},
      {"body height half to even", 360, 105, 123, 20, 0, true, 20, 10, Thumb(8, 11, 21)},
      {"no rows", 0, 0, 0, 0, 0, false, 0, 0, Thumb(0, 0, 0)},
  };
  for (const Case &c : cases) {
    TreeScrollInput in;
    in.treeHeight = c.H;
    in.trackBodyHeight = c.K;
    in.panelHeight = c.P;
    in.visibleRows = c.a;
    in.rowsAboveFirst = c.i;
    const TreeScrollResult r = ComputeTreeScroll(in);
    EXPECT_EQ(r.scrollNeeded, c.needed) << c.what;
    EXPECT_EQ(r.visibleRowCountTag, c.tag) << c.what;
    if (!c.needed)
      continue;
    EXPECT_EQ(r.bodyHeight, c.body) << c.what;
    EXPECT_EQ(r.thumb, c.thumb) << c.what << ": " << r.thumb.topCapTop << " " << r.thumb.bodyTop
                                << " " << r.thumb.bottomCapTop;
  }
}

TEST(TreeScrollArithmeticTest, DragTable)
{
  // The worked example's bar: panel 262, track body 244, thumb body 47.
  struct Case {
    const char *what;
    int bodyTop, mouseY, grab, tag, rows;
    ThumbPlacement thumb;
    int target;
  } cases[] = {
      {"above the top", 59, 0, 60, 20, 20, Thumb(8, 11, 58), 0},
      {"below the bottom", 59, 400, 10, 20, 20, Thumb(201, 204, 251), -1},
      {"in between", 59, 30, 10, 20, 20, Thumb(76, 79, 126), 7},
      {"exactly at the lowest place", 59, 155, 10, 20, 20, Thumb(201, 204, 251), -1},
      {"no rows counted", 59, 30, 10, 0, 20, Thumb(76, 79, 126), -1},
      {"99 rows divide by 100", 59, 30, 10, 100, 99, Thumb(76, 79, 126), 35},
  };
  for (const Case &c : cases) {
    ThumbDragInput in;
    in.bodyTop = c.bodyTop;
    in.bodyHeight = 47;
    in.panelHeight = 262;
    in.trackBodyHeight = 244;
    in.mouseY = c.mouseY;
    in.grabOffset = c.grab;
    in.visibleRowCountTag = c.tag;
    const ThumbDragResult r = ComputeThumbDrag(in, c.rows);
    EXPECT_EQ(r.thumb, c.thumb) << c.what << ": " << r.thumb.topCapTop;
    EXPECT_EQ(r.targetRow, c.target) << c.what;
  }
  // A thumb as long as its track never divides by zero or scrolls.
  ThumbDragInput full;
  full.bodyHeight = 240;
  full.panelHeight = 262;
  full.trackBodyHeight = 244;
  full.visibleRowCountTag = 8;
  full.bodyTop = 11;
  full.mouseY = 5;
  EXPECT_EQ(ComputeThumbDrag(full, 8).targetRow, -1);
}

namespace {

class TreeSkinTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    parent.resize(200, 262);
    tree = new QTreeWidget(&parent);
    tree->setObjectName(QStringLiteral("tv1"));
    TreeSkinStyle style;
    style.font = TreeSkinFont();
    style.backgroundColour = QColor(0xFE, 0xFE, 0xFE);
    style.textColour = QColor(0x44, 0x44, 0x44);
    new TreeSkin(tree, style);
    tree->setGeometry(0, 0, 210, 262);
    bar = new TreeScrollBar(tree, QString(), 1);
    parent.show();
  }
  void fill(QTreeWidget *t, int rows)
  {
    for (int i = 0; i < rows; ++i)
      t->addTopLevelItem(new QTreeWidgetItem(QStringList{QStringLiteral("频道 %1").arg(i)}));
    QCoreApplication::processEvents();
  }
  void drag(int pressY, int moveY)
  {
    QWidget *body = bar->imgScrollMiddle2;
    auto send = [body](QEvent::Type type, int y, Qt::MouseButtons held) {
      QMouseEvent e(type, QPointF(5, y), QPointF(body->mapToGlobal(QPoint(5, y))), Qt::LeftButton,
                    held, Qt::NoModifier);
      QApplication::sendEvent(body, &e);
    };
    send(QEvent::MouseButtonPress, pressY, Qt::LeftButton);
    send(QEvent::MouseMove, moveY, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, moveY, Qt::NoButton);
  }
  int topRow() const { return tree->indexOfTopLevelItem(tree->itemAt(QPoint(0, 0))); }

  QWidget parent;
  QTreeWidget *tree = nullptr;
  TreeScrollBar *bar = nullptr;
};

}  // namespace

TEST_F(TreeSkinTest, BarSitsAtTheVisibleRightEdgeWithItsTrack)
{
  EXPECT_EQ(bar->objectName(), QStringLiteral("pnlScroll"));
  EXPECT_EQ(bar->imgScrollMiddle2->objectName(), QStringLiteral("imgScrollMiddle2"));
  // The tree is 10 pixels wider than its parent; the bar lies over its
  // visible part.
  EXPECT_EQ(bar->geometry(), QRect(187, 0, 13, 262));
  EXPECT_EQ(bar->imgScrollTop->geometry(), QRect(0, 0, 13, 9));
  EXPECT_EQ(bar->imgScrollMiddle->geometry(), QRect(0, 9, 13, 244));
  EXPECT_EQ(bar->imgScrollBottom->geometry(), QRect(0, 253, 13, 9));
  EXPECT_EQ(tree->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
  EXPECT_EQ(tree->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
  fill(tree, 3);
  EXPECT_EQ(tree->visualItemRect(tree->topLevelItem(1)).top(), 36);
}

TEST_F(TreeSkinTest, SyncPlacesTheThumbOfTheWorkedExample)
{
  fill(tree, 20);
  tree->setCurrentItem(tree->topLevelItem(9));
  tree->scrollToItem(tree->topLevelItem(5), QAbstractItemView::PositionAtTop);
  ASSERT_EQ(topRow(), 5);
  SyncTreeScrollBar(tree, bar);
  EXPECT_EQ(tree->property("Tag").toInt(), 20);
  EXPECT_EQ(bar->property("Tag").toInt(), 1);
  EXPECT_TRUE(bar->isVisible());
  EXPECT_EQ(bar->imgScrollTop2->y(), 56);
  EXPECT_EQ(bar->imgScrollMiddle2->y(), 59);
  EXPECT_EQ(bar->imgScrollMiddle2->height(), 47);
  EXPECT_EQ(bar->imgScrollBottom2->y(), 106);

  // Without a selection the thumb is at the top, however the tree scrolled.
  tree->clearSelection();
  SyncTreeScrollBar(tree, bar);
  EXPECT_EQ(bar->imgScrollTop2->y(), 8);

  // Rows that fit hide the bar.
  tree->clear();
  fill(tree, 7);
  SyncTreeScrollBar(tree, bar);
  EXPECT_EQ(tree->property("Tag").toInt(), 7);
  EXPECT_EQ(bar->property("Tag").toInt(), 0);
  EXPECT_FALSE(bar->isVisible());
}

TEST_F(TreeSkinTest, CollapsedChildrenAreNoVisibleRows)
{
  fill(tree, 5);
  QTreeWidgetItem *folder = tree->topLevelItem(0);
  for (int i = 0; i < 30; ++i)
    folder->addChild(new QTreeWidgetItem(QStringList{QStringLiteral("子 %1").arg(i)}));
  folder->setExpanded(false);
  SyncTreeScrollBar(tree, bar);
  EXPECT_EQ(tree->property("Tag").toInt(), 5);
  EXPECT_EQ(bar->property("Tag").toInt(), 0);
  folder->setExpanded(true);
  SyncTreeScrollBar(tree, bar);
  EXPECT_EQ(tree->property("Tag").toInt(), 35);
  EXPECT_EQ(bar->property("Tag").toInt(), 1);
}

TEST_F(TreeSkinTest, DraggingTheThumbScrollsTheTree)
{
  fill(tree, 20);
  SyncTreeScrollBar(tree, bar);
  ASSERT_EQ(bar->imgScrollMiddle2->y(), 11);
  // Down by 65: the body at 76, its cap at 73 -> row nearest(65 / 9.65) = 7.
  drag(10, 75);
  EXPECT_EQ(bar->imgScrollTop2->y(), 73);
  EXPECT_EQ(bar->imgScrollMiddle2->y(), 76);
  EXPECT_EQ(bar->imgScrollBottom2->y(), 123);
  EXPECT_EQ(topRow(), 7);
  EXPECT_FALSE(bar->dragging());
  // Far beyond the top: the top cap stays at 8 and row 0 comes back.
  drag(10, -500);
  EXPECT_EQ(bar->imgScrollTop2->y(), 8);
  EXPECT_EQ(topRow(), 0);
  // Far beyond the bottom: the bottom cap 8 pixels above the panel's edge.
  drag(10, 900);
  EXPECT_EQ(bar->imgScrollBottom2->y(), 262 - 3 - 8);
  // A move without a press does nothing.
  const int before = bar->imgScrollMiddle2->y();
  QMouseEvent move(QEvent::MouseMove, QPointF(5, 0), QPointF(5, 0), Qt::NoButton, Qt::NoButton,
                   Qt::NoModifier);
  QApplication::sendEvent(bar->imgScrollMiddle2, &move);
  EXPECT_EQ(bar->imgScrollMiddle2->y(), before);
}

TEST_F(TreeSkinTest, ReleasingTheMouseOnTheTreeSyncsItsBar)
{
  fill(tree, 20);
  EXPECT_EQ(bar->property("Tag").toInt(), 0);
  const QPoint at(20, 10);
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(at),
                    QPointF(tree->viewport()->mapToGlobal(at)), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QApplication::sendEvent(tree->viewport(), &press);
  QMouseEvent release(QEvent::MouseButtonRelease, QPointF(at),
                      QPointF(tree->viewport()->mapToGlobal(at)), Qt::LeftButton, Qt::NoButton,
                      Qt::NoModifier);
  QApplication::sendEvent(tree->viewport(), &release);
  EXPECT_EQ(tree->property("Tag").toInt(), 20);
  EXPECT_EQ(bar->property("Tag").toInt(), 1);
}

TEST_F(TreeSkinTest, OnlyTheBarOfTheControlUnderThePointerShows)
{
  QWidget otherParent;
  otherParent.resize(200, 100);
  auto *list = new QTreeWidget(&otherParent);
  list->setObjectName(QStringLiteral("tvPlayList"));
  new TreeSkin(list, TreeSkinStyle{});
  list->setGeometry(0, 0, 200, 100);
  auto *listBar = new TreeScrollBar(list, QStringLiteral("_2"), 2);
  otherParent.show();
  fill(tree, 20);
  fill(list, 20);
  SyncTreeScrollBar(tree, bar);
  SyncTreeScrollBar(list, listBar);

  ShowScrollBarForControl(tree->viewport());
  EXPECT_TRUE(bar->isVisible());
  EXPECT_FALSE(listBar->isVisible());
  // The thumb picture counts as its bar.
  ShowScrollBarForControl(bar->imgScrollMiddle2);
  EXPECT_TRUE(bar->isVisible());
  ShowScrollBarForControl(list);
  EXPECT_FALSE(bar->isVisible());
  EXPECT_TRUE(listBar->isVisible());
  ShowScrollBarForControl(&parent);
  EXPECT_FALSE(bar->isVisible());
  EXPECT_FALSE(listBar->isVisible());
  ShowScrollBarForControl(listBar);
  EXPECT_TRUE(listBar->isVisible());
  ShowScrollBarForControl(nullptr);
  EXPECT_FALSE(listBar->isVisible());
  // A tree whose rows fit shows no bar even under the pointer.
  tree->clear();
  SyncTreeScrollBar(tree, bar);
  ShowScrollBarForControl(tree);
  EXPECT_FALSE(bar->isVisible());
  EXPECT_FALSE(listBar->isVisible());
}

TEST_F(TreeSkinTest, RowsAreDrawnOverTheBackgroundPictures)
{
  QPixmap rows(200, 36);
  rows.fill(QColor(10, 200, 10));
  QPixmap below(200, 36);
  below.fill(QColor(200, 10, 10));
  tree->findChild<TreeSkin *>()->setBackgrounds(rows, below);
  fill(tree, 3);
  tree->setCurrentItem(tree->topLevelItem(1));
  const QImage img = tree->viewport()->grab().toImage();
  const QColor highlight = tree->palette().color(QPalette::Active, QPalette::Highlight);
  // Row 0: the row picture; row 1 (selected): the selection colour, with the
  // marker at x 16, y row top + 10; below the rows: the other picture.
  EXPECT_EQ(img.pixelColor(4, 4), QColor(10, 200, 10));
  EXPECT_EQ(img.pixelColor(4, 36 + 4), highlight);
  EXPECT_EQ(img.pixelColor(150, 36 + 30), highlight);
  const QImage marker = SkinPixmap(QStringLiteral("TreeMarker")).toImage();
  ASSERT_FALSE(marker.isNull());
  EXPECT_EQ(img.pixelColor(16 + 8, 36 + 10 + 8), marker.pixelColor(8, 8));
  EXPECT_EQ(img.pixelColor(4, 3 * 36 + 4), QColor(200, 10, 10));
  // Text starts at x 60: nothing of it left of that.
  for (int x = 32; x < 60; ++x)
    EXPECT_EQ(img.pixelColor(x, 14), QColor(10, 200, 10)) << x;
}
