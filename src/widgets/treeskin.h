#pragma once
// The skin of the list trees (channels, play list, favorites, the
// organiser's list): fixed 36-pixel rows over two tiled background pictures,
// a marker picture at x 16 on the selected row, the text at x 60, and no
// native scroll bars.  The three trees of the main window each get a picture
// scroll bar (TreeScrollBar), shown only while the pointer is over that tree
// or its bar and only when the rows do not fit.
//
// Small state lives in the controls' "Tag" property: the tree's visible row
// count of the last synchronisation (99 is kept as 100), the bar's need flag
// (1 when the rows did not fit).
#include <QColor>
#include <QFont>
#include <QObject>
#include <QPixmap>
#include <QPointer>
#include <QTreeWidget>
#include <QWidget>

class QPainter;
class tLxsimage;

inline constexpr int TreeRowHeight = 36;

// --- Arithmetic of the picture scroll bar (no widgets) ----------------------

// The integer nearest to x; a half goes to the even neighbour.
int NearestEven(double x);

// Vertical positions of the thumb's three pieces.
struct ThumbPlacement {
  int topCapTop = 0;
  int bodyTop = 0;
  int bottomCapTop = 0;
  bool operator==(const ThumbPlacement &) const = default;
};

struct TreeScrollInput {
  int treeHeight = 0;       // H
  int trackBodyHeight = 0;  // K's height
  int panelHeight = 0;      // P's height
  int topCapHeight = 3;     // A's height
  int bottomCapHeight = 3;  // C's height
  int visibleRows = 0;      // a
  int rowsAboveFirst = 0;   // i
};

struct TreeScrollResult {
  int visibleRowCountTag = 0;  // a, or 100 for 99
  bool scrollNeeded = false;   // false: the bar is hidden, nothing else applies
  int bodyHeight = 0;          // B's height
  ThumbPlacement thumb;
};

// The synchronisation: rows fit when a * 36 < H; otherwise the thumb body is
// nearest(H * (K - 4) / (a * 36)) - 40 high (at least 10) and the thumb sits
// at the top (i = 0), at nearest(i * step) + 8 while the rows from the first
// one on do not fit (a - i >= H / 36), else 8 pixels above the panel's
// bottom; step = (K - 4 - B) / a.
TreeScrollResult ComputeTreeScroll(const TreeScrollInput &in);

struct ThumbDragInput {
  int bodyTop = 0;          // B's top before the move
  int bodyHeight = 0;       // B's height
  int topCapHeight = 3;     // A's height
  int bottomCapHeight = 3;  // C's height
  int panelHeight = 0;      // P's height
  int trackBodyHeight = 0;  // K's height
  int mouseY = 0;           // mouse position within B
  int grabOffset = 0;       // mouse position within B when the drag began
  int visibleRowCountTag = 0;
};

struct ThumbDragResult {
  ThumbPlacement thumb;
  // The visible row to bring to the top, or -1 when the tree does not
  // scroll (no rows, no room to move, or a target beyond the rows).
  int targetRow = -1;
};

// One move of a thumb drag: the thumb follows the mouse between 8 pixels
// from the top and 8 from the bottom; the row to show at the top is
// nearest((A's top - 8) / step), step = (K - B - 4) / the tree's row count.
ThumbDragResult ComputeThumbDrag(const ThumbDragInput &in, int visibleRows);

// Draws `image` with its left edge at rect's left and its vertical centre at
// rect's: y = rect top + rect height / 2 - imageHeight / 2 (whole halves),
// imageHeight being the height of the tree's own images.
void DrawNodeImage(QPainter &painter, const QRect &rect, const QPixmap &image, int imageHeight);

// --- The skin ------------------------------------------------------------------

struct TreeSkinStyle {
  QFont font;
  QColor textColour;               // invalid: the system's window-text colour
  QColor backgroundColour;         // invalid: the system's window colour
  bool keepSelectionShown = true;  // selection drawn also without focus
  int indent = 12;
};

// The tree's font: SimSun, 13 pixels.
QFont TreeSkinFont();

// A list tree (play list, favorites, the organiser's copy): flat rows of
// the tree skin, one selected at a time, nothing edited, no native scroll bar
// across.  The tree is drawn with the skin (TreeSkin).
QTreeWidget *NewListTree(QWidget *parent, const QString &objectName);

// Draws `tree` with the skin from now on (the skin is a child of the tree).
// Background pictures default to "TvBg" and "TvBg2", the marker to
// "TreeMarker".
class TreeSkin : public QObject {
  Q_OBJECT
public:
  TreeSkin(QTreeWidget *tree, const TreeSkinStyle &style);

  QTreeWidget *tree() const { return m_tree; }
  void setBackgrounds(const QPixmap &rows, const QPixmap &below);

  // The painting of one frame of the tree's viewport: the background in
  // `rect`, then every row that shows.
  void paint(QPainter &painter, const QRect &rect);

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  void paintRow(QPainter &painter, QTreeWidgetItem *item, const QRect &row);

  QTreeWidget *m_tree;
  TreeSkinStyle m_style;
  QPixmap m_rows;
  QPixmap m_below;
  QPixmap m_marker;
};

// --- The picture scroll bar ------------------------------------------------------

// A 13-pixel panel at the tree's visible right edge, a child of the tree's
// parent: the track (caps 9 high at top and bottom, the body stretched
// between) and the thumb (caps 3 high, the body stretched).  The panel is
// named "pnlScroll" + suffix, its pictures imgScrollTop, imgScrollBottom,
// imgScrollMiddle (track) and imgScrollTop2, imgScrollMiddle2,
// imgScrollBottom2 (thumb), each + suffix.  A mouse release on the tree
// synchronises the bar.  `order` places the bar among the window's bars for
// the show/hide rule (1 first).
class TreeScrollBar : public QWidget {
  Q_OBJECT
public:
  TreeScrollBar(QTreeWidget *tree, const QString &suffix, int order);
  ~TreeScrollBar() override;

  QTreeWidget *tree() const { return m_tree; }
  int order() const { return m_order; }
  // The need flag (the panel's "Tag").
  int scrollNeeded() const;
  bool dragging() const { return m_dragging; }

  tLxsimage *imgScrollTop = nullptr;
  tLxsimage *imgScrollBottom = nullptr;
  tLxsimage *imgScrollMiddle = nullptr;
  tLxsimage *imgScrollTop2 = nullptr;
  tLxsimage *imgScrollMiddle2 = nullptr;
  tLxsimage *imgScrollBottom2 = nullptr;

  // The thumb body's mouse handlers (positions within the body).
  void imgScrollMiddle2MouseDown(int y);
  void imgScrollMiddle2MouseMove(int y);
  void imgScrollMiddle2MouseUp();

  // Places the panel over the tree's visible right edge and lays out the
  // track.
  void Place();

  // All bars, in order.
  static QList<TreeScrollBar *> All();

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;
  void resizeEvent(QResizeEvent *event) override;

private:
  void placeTrack();

  QPointer<QTreeWidget> m_tree;
  int m_order;
  bool m_dragging = false;
  int m_grabOffset = 0;
};

// Recomputes the tree's visible row count, the bar's need flag and the
// thumb's size and place (see ComputeTreeScroll).  The first row is the
// tree's top visible row while a node is selected, else row 0.
void SyncTreeScrollBar(QTreeWidget *tree, TreeScrollBar *bar);

// Visible rows of a tree (nodes whose ancestors are all expanded), in order.
QList<QTreeWidgetItem *> VisibleTreeItems(const QTreeWidget *tree);

// The show/hide rule, for the control under the pointer (null: none): the
// first bar, in order, whose tree or panel is that control and whose rows do
// not fit is shown; every other bar is hidden (a bar being dragged stays).
void ShowScrollBarForControl(QWidget *underPointer);

// Runs the show/hide rule for the pointer's position whenever the
// application has become idle after pointer movement.  Installed once.
void InstallTreeScrollBarSwitch();
