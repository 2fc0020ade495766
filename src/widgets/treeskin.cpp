#include "widgets/treeskin.h"

#include "widgets/lxsimage.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCursor>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QTreeWidget>
#include <cmath>
#include <functional>

// --- Arithmetic -------------------------------------------------------------------

int NearestEven(double x)
{
  const double lower = std::floor(x);
  const double fraction = x - lower;
  double result = lower;
  if (fraction > 0.5)
    result = lower + 1;
  else if (fraction == 0.5)
    result = std::fmod(lower, 2.0) == 0.0 ? lower : lower + 1;
  return static_cast<int>(result);
}

namespace {

ThumbPlacement ThumbAt(int topCapTop, int topCapHeight, int bodyHeight)
{
  ThumbPlacement t;
  t.topCapTop = topCapTop;
  t.bodyTop = t.topCapTop + topCapHeight;
  t.bottomCapTop = t.bodyTop + bodyHeight;
  return t;
}

ThumbPlacement ThumbAtBottom(int panelHeight, int topCapHeight, int bodyHeight, int bottomCapHeight)
{
  ThumbPlacement t;
  t.bottomCapTop = panelHeight - bottomCapHeight - 8;
  t.bodyTop = t.bottomCapTop - bodyHeight;
  t.topCapTop = t.bodyTop - topCapHeight;
  return t;
}

}  // namespace

TreeScrollResult ComputeTreeScroll(const TreeScrollInput &in)
{
  TreeScrollResult r;
  const int a = in.visibleRows;
  r.visibleRowCountTag = a == 99 ? 100 : a;
  // No rows never need a bar (and would divide by zero below).
  if (a <= 0 || static_cast<long long>(a) * TreeRowHeight < in.treeHeight)
    return r;
  const long long product = static_cast<long long>(in.treeHeight) * (in.trackBodyHeight - 4);
  r.bodyHeight =
      NearestEven(static_cast<double>(product) / (static_cast<double>(a) * TreeRowHeight)) - 40;
  if (r.bodyHeight < 10)
    r.bodyHeight = 10;
  r.scrollNeeded = true;
  const double step = static_cast<double>(in.trackBodyHeight - 4 - r.bodyHeight) / a;
  const int i = in.rowsAboveFirst;
  if (i == 0)
    r.thumb = ThumbAt(8, in.topCapHeight, r.bodyHeight);
  else if (a - i >= in.treeHeight / static_cast<double>(TreeRowHeight))
    r.thumb = ThumbAt(NearestEven(i * step) + 8, in.topCapHeight, r.bodyHeight);
  else
    r.thumb = ThumbAtBottom(in.panelHeight, in.topCapHeight, r.bodyHeight, in.bottomCapHeight);
  return r;
}

ThumbDragResult ComputeThumbDrag(const ThumbDragInput &in, int visibleRows)
{
  ThumbDragResult r;
  const int newTop = in.bodyTop + (in.mouseY - in.grabOffset);
  if (newTop < in.topCapHeight + 8) {
    r.thumb = ThumbAt(8, in.topCapHeight, in.bodyHeight);
  } else if (newTop > in.panelHeight - 8 - in.bottomCapHeight - in.bodyHeight) {
    r.thumb = ThumbAtBottom(in.panelHeight, in.topCapHeight, in.bodyHeight, in.bottomCapHeight);
  } else {
    r.thumb.bodyTop = newTop;
    r.thumb.topCapTop = newTop - in.topCapHeight;
    r.thumb.bottomCapTop = newTop + in.bodyHeight;
  }
  if (in.visibleRowCountTag == 0)
    return r;
  const double step =
      static_cast<double>(in.trackBodyHeight - in.bodyHeight - 4) / in.visibleRowCountTag;
  // A thumb as long as its track has nowhere to go: no scrolling.
  if (!(step > 0))
    return r;
  const int target = NearestEven((r.thumb.topCapTop - 8) / step);
  if (target >= 0 && target < visibleRows)
    r.targetRow = target;
  return r;
}

void DrawNodeImage(QPainter &painter, const QRect &rect, const QPixmap &image, int imageHeight)
{
  if (image.isNull())
    return;
  const int y = rect.top() + rect.height() / 2 - imageHeight / 2;
  painter.drawPixmap(rect.left(), y, image);
}

// --- The skin -----------------------------------------------------------------

namespace {

class RowDelegate : public QStyledItemDelegate {
public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
  {
    return QSize(QStyledItemDelegate::sizeHint(option, index).width(), TreeRowHeight);
  }
};

int NodeCount(const QTreeWidget *tree)
{
  int n = 0;
  QList<QTreeWidgetItem *> pending;
  for (int i = 0; i < tree->topLevelItemCount(); ++i)
    pending << tree->topLevelItem(i);
  while (!pending.isEmpty()) {
    QTreeWidgetItem *item = pending.takeLast();
    ++n;
    for (int c = 0; c < item->childCount(); ++c)
      pending << item->child(c);
  }
  return n;
}

}  // namespace

QFont TreeSkinFont()
{
  QFont f(QStringLiteral("宋体"));
  f.setPixelSize(13);
  return f;
}

QTreeWidget *NewListTree(QWidget *parent, const QString &objectName)
{
  auto *tree = new QTreeWidget(parent);
  tree->setObjectName(objectName);
  tree->setHeaderHidden(true);
  tree->setRootIsDecorated(false);
  tree->setIndentation(12);
  tree->setFrameShape(QFrame::NoFrame);
  tree->setUniformRowHeights(true);
  tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tree->setSelectionMode(QAbstractItemView::SingleSelection);
  tree->setSelectionBehavior(QAbstractItemView::SelectRows);
  tree->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  TreeSkinStyle skin;
  skin.font = TreeSkinFont();
  skin.indent = 12;
  new TreeSkin(tree, skin);
  return tree;
}

TreeSkin::TreeSkin(QTreeWidget *tree, const TreeSkinStyle &style)
    : QObject(tree), m_tree(tree), m_style(style)
{
  m_rows = SkinPixmap(QStringLiteral("TvBg"));
  m_below = SkinPixmap(QStringLiteral("TvBg2"));
  m_marker = SkinPixmap(QStringLiteral("TreeMarker"));

  tree->setFont(style.font);
  QPalette pal = tree->palette();
  if (style.backgroundColour.isValid())
    pal.setColor(QPalette::Base, style.backgroundColour);
  else
    pal.setColor(QPalette::Base, pal.color(QPalette::Window));
  if (style.textColour.isValid())
    pal.setColor(QPalette::Text, style.textColour);
  else
    pal.setColor(QPalette::Text, pal.color(QPalette::WindowText));
  tree->setPalette(pal);
  tree->setHeaderHidden(true);
  tree->setRootIsDecorated(false);
  tree->setItemsExpandable(false);
  tree->setIndentation(style.indent);
  tree->setFrameShape(QFrame::NoFrame);
  tree->setUniformRowHeights(true);
  tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tree->setSelectionBehavior(QAbstractItemView::SelectRows);
  tree->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
  tree->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  tree->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  tree->setItemDelegate(new RowDelegate(tree));
  tree->viewport()->installEventFilter(this);
  tree->viewport()->update();
}

void TreeSkin::setBackgrounds(const QPixmap &rows, const QPixmap &below)
{
  m_rows = rows;
  m_below = below;
  m_tree->viewport()->update();
}

bool TreeSkin::eventFilter(QObject *watched, QEvent *event)
{
  if (watched == m_tree->viewport() && event->type() == QEvent::Paint) {
    QPainter painter(m_tree->viewport());
    paint(painter, static_cast<QPaintEvent *>(event)->rect());
    return true;  // the tree does not draw its rows itself
  }
  return QObject::eventFilter(watched, event);
}

void TreeSkin::paint(QPainter &painter, const QRect &rect)
{
  // Background: the row picture down to the last row, the other one below
  // it; the line at n * 36 stays as it is.
  const int n = NodeCount(m_tree);
  const int rowsEnd = n * TreeRowHeight;
  QRect upper = rect;
  upper.setBottom(qMin(rect.bottom(), rowsEnd - 1));
  if (upper.isValid())
    painter.fillRect(upper, m_rows.isNull() ? QBrush(m_tree->palette().base()) : QBrush(m_rows));
  QRect lower = rect;
  lower.setTop(qMax(rect.top(), rowsEnd + 1));
  if (lower.isValid())
    painter.fillRect(lower, m_below.isNull() ? QBrush(m_tree->palette().base()) : QBrush(m_below));

  const int height = m_tree->viewport()->height();
  const int width = m_tree->viewport()->width();
  for (QTreeWidgetItem *item = m_tree->itemAt(QPoint(0, 0)); item; item = m_tree->itemBelow(item)) {
    const QRect r = m_tree->visualItemRect(item);
    if (r.top() >= height)
      break;
    const QRect row(0, r.top(), width, r.height());
    if (row.intersects(rect))
      paintRow(painter, item, row);
  }
}

void TreeSkin::paintRow(QPainter &painter, QTreeWidgetItem *item, const QRect &row)
{
  const QPalette &pal = m_tree->palette();
  const bool selected = item->isSelected() && (m_style.keepSelectionShown || m_tree->hasFocus());
  const QColor fill =
      selected ? pal.color(QPalette::Active, QPalette::Highlight) : pal.color(QPalette::Base);
  const QColor text =
      selected ? pal.color(QPalette::Active, QPalette::HighlightedText) : pal.color(QPalette::Text);
  if (selected) {
    painter.fillRect(QRect(0, row.top(), m_tree->width(), row.height() - 1), fill);
    DrawNodeImage(painter, QRect(16, row.top(), row.width() - 16, row.height()), m_marker,
                  m_marker.height());
  }
  painter.save();
  painter.setFont(m_tree->font());
  painter.setPen(text);
  painter.setBackgroundMode(Qt::OpaqueMode);
  painter.setBackground(fill);
  const QFontMetrics fm(m_tree->font());
  painter.drawText(QPoint(60, row.top() + 10 + fm.ascent()), item->text(0));
  painter.restore();
}

// --- The scroll bar ------------------------------------------------------------------

namespace {

QList<QPointer<TreeScrollBar>> &Bars()
{
  static QList<QPointer<TreeScrollBar>> bars;
  return bars;
}

tLxsimage *Piece(QWidget *panel, const QString &name, const char *picture, bool stretch)
{
  auto *img = new tLxsimage(panel);
  img->setObjectName(name);
  img->setStretch(stretch);
  LoadSkinImage(img, QString::fromLatin1(picture));
  return img;
}

constexpr int BarWidth = 13;
constexpr int TrackCap = 9;
constexpr int ThumbCap = 3;

// Runs the show/hide rule once the events of the moment are served.
class ScrollBarSwitch : public QObject {
public:
  static ScrollBarSwitch *instance()
  {
    static QPointer<ScrollBarSwitch> one;
    if (!one && qApp) {
      one = new ScrollBarSwitch(qApp);
      qApp->installEventFilter(one);
    }
    return one;
  }
  void schedule()
  {
    if (m_pending)
      return;
    m_pending = true;
    QTimer::singleShot(0, this, [this] {
      m_pending = false;
      ShowScrollBarForControl(QApplication::widgetAt(QCursor::pos()));
    });
  }

protected:
  bool eventFilter(QObject *watched, QEvent *event) override
  {
    switch (event->type()) {
    case QEvent::MouseMove:
    case QEvent::Enter:
    case QEvent::Leave:
    case QEvent::Wheel:
      schedule();
      break;
    default:
      break;
    }
    return QObject::eventFilter(watched, event);
  }

private:
  using QObject::QObject;
  bool m_pending = false;
};

}  // namespace

TreeScrollBar::TreeScrollBar(QTreeWidget *tree, const QString &suffix, int order)
    : QWidget(tree->parentWidget()), m_tree(tree), m_order(order)
{
  setObjectName(QStringLiteral("pnlScroll") + suffix);
  setProperty("Tag", 0);
  imgScrollMiddle = Piece(this, QStringLiteral("imgScrollMiddle") + suffix, "ScrollMiddle", true);
  imgScrollTop = Piece(this, QStringLiteral("imgScrollTop") + suffix, "ScrollTop", false);
  imgScrollBottom = Piece(this, QStringLiteral("imgScrollBottom") + suffix, "ScrollBottom", false);
  imgScrollTop2 = Piece(this, QStringLiteral("imgScrollTop2") + suffix, "ScrollThumbTop", false);
  imgScrollMiddle2 =
      Piece(this, QStringLiteral("imgScrollMiddle2") + suffix, "ScrollThumbMiddle", true);
  imgScrollBottom2 =
      Piece(this, QStringLiteral("imgScrollBottom2") + suffix, "ScrollThumbBottom", false);
  imgScrollTop2->setGeometry(0, 8, BarWidth, ThumbCap);
  imgScrollMiddle2->setGeometry(0, 8 + ThumbCap, BarWidth, 10);
  imgScrollBottom2->setGeometry(0, 8 + ThumbCap + 10, BarWidth, ThumbCap);
  imgScrollMiddle2->installEventFilter(this);
  hide();

  tree->installEventFilter(this);
  tree->viewport()->installEventFilter(this);
  if (parentWidget())
    parentWidget()->installEventFilter(this);

  QList<QPointer<TreeScrollBar>> &bars = Bars();
  bars.removeAll(nullptr);
  auto at = std::find_if(bars.begin(), bars.end(),
                         [order](const QPointer<TreeScrollBar> &b) { return b->order() > order; });
  bars.insert(at, this);
  ScrollBarSwitch::instance();
  Place();
}

TreeScrollBar::~TreeScrollBar() { Bars().removeAll(this); }

QList<TreeScrollBar *> TreeScrollBar::All()
{
  QList<TreeScrollBar *> all;
  for (const QPointer<TreeScrollBar> &b : std::as_const(Bars()))
    if (b)
      all << b;
  return all;
}

int TreeScrollBar::scrollNeeded() const { return property("Tag").toInt(); }

void TreeScrollBar::Place()
{
  QWidget *parent = parentWidget();
  if (!m_tree || !parent)
    return;
  const QRect g = m_tree->geometry();
  const int right = qMin(g.x() + g.width(), parent->width());
  const int bottom = qMin(g.y() + g.height(), parent->height());
  setGeometry(right - BarWidth, g.y(), BarWidth, qMax(0, bottom - g.y()));
  raise();
  placeTrack();
}

void TreeScrollBar::placeTrack()
{
  const int h = height();
  imgScrollTop->setGeometry(0, 0, BarWidth, TrackCap);
  imgScrollBottom->setGeometry(0, h - TrackCap, BarWidth, TrackCap);
  imgScrollMiddle->setGeometry(0, TrackCap, BarWidth, qMax(0, h - 2 * TrackCap));
}

void TreeScrollBar::resizeEvent(QResizeEvent *event)
{
  QWidget::resizeEvent(event);
  placeTrack();
}

bool TreeScrollBar::eventFilter(QObject *watched, QEvent *event)
{
  if (watched == imgScrollMiddle2) {
    switch (event->type()) {
    case QEvent::MouseButtonPress:
      if (static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton)
        imgScrollMiddle2MouseDown(static_cast<QMouseEvent *>(event)->position().toPoint().y());
      return true;
    case QEvent::MouseMove:
      imgScrollMiddle2MouseMove(static_cast<QMouseEvent *>(event)->position().toPoint().y());
      return true;
    case QEvent::MouseButtonRelease:
      imgScrollMiddle2MouseUp();
      return true;
    default:
      break;
    }
  } else if (m_tree && watched == m_tree->viewport()) {
    if (event->type() == QEvent::MouseButtonRelease)
      SyncTreeScrollBar(m_tree, this);
  } else if (watched == m_tree || watched == parentWidget()) {
    if (event->type() == QEvent::Resize || event->type() == QEvent::Move ||
        event->type() == QEvent::Show)
      Place();
  }
  return QWidget::eventFilter(watched, event);
}

void TreeScrollBar::imgScrollMiddle2MouseDown(int y)
{
  m_dragging = true;
  m_grabOffset = y;
}

void TreeScrollBar::imgScrollMiddle2MouseMove(int y)
{
  if (!m_dragging || !m_tree)
    return;
  ThumbDragInput in;
  in.bodyTop = imgScrollMiddle2->y();
  in.bodyHeight = imgScrollMiddle2->height();
  in.topCapHeight = imgScrollTop2->height();
  in.bottomCapHeight = imgScrollBottom2->height();
  in.panelHeight = height();
  in.trackBodyHeight = imgScrollMiddle->height();
  in.mouseY = y;
  in.grabOffset = m_grabOffset;
  in.visibleRowCountTag = m_tree->property("Tag").toInt();
  const QList<QTreeWidgetItem *> rows = VisibleTreeItems(m_tree);
  const ThumbDragResult r = ComputeThumbDrag(in, static_cast<int>(rows.size()));
  imgScrollTop2->move(0, r.thumb.topCapTop);
  imgScrollMiddle2->move(0, r.thumb.bodyTop);
  imgScrollBottom2->move(0, r.thumb.bottomCapTop);
  if (r.targetRow >= 0)
    m_tree->scrollToItem(rows.at(r.targetRow), QAbstractItemView::PositionAtTop);
}

void TreeScrollBar::imgScrollMiddle2MouseUp() { m_dragging = false; }

QList<QTreeWidgetItem *> VisibleTreeItems(const QTreeWidget *tree)
{
  QList<QTreeWidgetItem *> rows;
  if (!tree)
    return rows;
  // Pre-order walk; a node counts when all its ancestors are expanded.
  std::function<void(QTreeWidgetItem *)> walk = [&](QTreeWidgetItem *item) {
    rows << item;
    if (item->isExpanded())
      for (int c = 0; c < item->childCount(); ++c)
        walk(item->child(c));
  };
  for (int i = 0; i < tree->topLevelItemCount(); ++i)
    walk(tree->topLevelItem(i));
  return rows;
}

void SyncTreeScrollBar(QTreeWidget *tree, TreeScrollBar *bar)
{
  if (!tree || !bar)
    return;
  bar->Place();
  // First row: the top visible node while a node is selected.
  QTreeWidgetItem *first = nullptr;
  if (!tree->selectedItems().isEmpty())
    first = tree->itemAt(QPoint(0, 0));
  int a = 0, i = 0;
  bool firstFound = first == nullptr;
  std::function<void(QTreeWidgetItem *, bool)> walk = [&](QTreeWidgetItem *item, bool visible) {
    if (item == first)
      firstFound = true;
    if (visible) {
      ++a;
      if (!firstFound)
        ++i;
    }
    for (int c = 0; c < item->childCount(); ++c)
      walk(item->child(c), visible && item->isExpanded());
  };
  for (int n = 0; n < tree->topLevelItemCount(); ++n)
    walk(tree->topLevelItem(n), true);

  TreeScrollInput in;
  in.treeHeight = tree->height();
  in.trackBodyHeight = bar->imgScrollMiddle->height();
  in.panelHeight = bar->height();
  in.topCapHeight = bar->imgScrollTop2->height();
  in.bottomCapHeight = bar->imgScrollBottom2->height();
  in.visibleRows = a;
  in.rowsAboveFirst = i;
  const TreeScrollResult r = ComputeTreeScroll(in);
  tree->setProperty("Tag", r.visibleRowCountTag);
  if (!r.scrollNeeded) {
    bar->hide();
    bar->setProperty("Tag", 0);
    return;
  }
  bar->imgScrollMiddle2->resize(BarWidth, r.bodyHeight);
  bar->show();
  bar->raise();
  bar->setProperty("Tag", 1);
  bar->imgScrollTop2->move(0, r.thumb.topCapTop);
  bar->imgScrollMiddle2->move(0, r.thumb.bodyTop);
  bar->imgScrollBottom2->move(0, r.thumb.bottomCapTop);
  if (ScrollBarSwitch *s = ScrollBarSwitch::instance())
    s->schedule();
}

void ShowScrollBarForControl(QWidget *underPointer)
{
  // The pictures of a bar count as the bar; the inner parts of a tree (its
  // viewport) as the tree.
  QWidget *control = underPointer;
  for (QWidget *w = underPointer; w; w = w->parentWidget()) {
    if (qobject_cast<TreeScrollBar *>(w) || qobject_cast<QTreeWidget *>(w)) {
      control = w;
      break;
    }
  }
  const QString name = control ? control->objectName() : QString();
  const QList<TreeScrollBar *> bars = TreeScrollBar::All();
  TreeScrollBar *shown = nullptr;
  if (control) {
    for (TreeScrollBar *bar : bars) {
      const bool named =
          name == bar->objectName() || (bar->tree() && name == bar->tree()->objectName());
      if (named && bar->scrollNeeded() == 1) {
        shown = bar;
        break;
      }
    }
  }
  for (TreeScrollBar *bar : bars) {
    if (bar == shown) {
      bar->show();
      bar->raise();
    } else if (!bar->dragging()) {
      bar->hide();
    }
  }
}

void InstallTreeScrollBarSwitch() { ScrollBarSwitch::instance(); }
