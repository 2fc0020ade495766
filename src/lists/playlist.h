#pragma once
// The self-selected play list ("自选", the game record): the tree tvPlayList
// on page 1 of the left panel, kept in step with Resource/Dat/pvlt_last.dat.
// Items that start playing with the add-to-list flag and items of link
// commands are added; a click on a row plays it; the selected row is the
// list's position (saved, restored at start, its successor prefetched).
//
// The operations that take a tree work on any list tree (the organiser loads
// its own copy); the ones without a tree work on tvPlayList.
#include "player/core/ksvplay.h"
#include "player/playqueue.h"

#include <QObject>
#include <QSet>
#include <QString>
#include <functional>

class QTreeWidget;
class QTreeWidgetItem;
class QWidget;
class tLxsimage;
class SkinButton;
class TreeScrollBar;

class TPlayList : public QObject, public IPlayQueue {
  Q_OBJECT
public:
  // Builds tvPlayList (rows of 36 pixels) and the organiser button
  // imgDealPlayList inside `page` (the list page, with a box layout).
  explicit TPlayList(QWidget *page, QObject *parent = nullptr);

  QTreeWidget *tvPlayList = nullptr;
  TreeScrollBar *pnlScroll_2 = nullptr;  // its picture scroll bar
  tLxsimage *imgDealPlayList = nullptr;
  SkinButton *dealPlayListSkin = nullptr;

  // Fills `tree` from a list file.  With a limit other than -1 a longer list
  // is trimmed around its selection and saved at once.  Returns false (the
  // tree untouched) when the file cannot be read.
  bool LoadListFile(const QString &file, QTreeWidget *tree, int limit);
  // Writes the tree to LastPlayedFile (temporary file renamed onto it).
  // Errors are ignored; returns whether the file was written.  A file that
  // was read with damaged lines is first copied aside (DamagedCopyName) and
  // the user is told where; when that copy fails nothing is written.
  bool SavePlayList(QTreeWidget *tree) override;
  // LastPlayedFile was last read with lines that are no items (or could not
  // be read at all) and has not been replaced since.
  bool listFileDamaged() const { return m_fileDamaged; }
  // Decimal 0-based index of the first node whose id equals `id`, or "-1".
  static QString FindInPlayList(const QString &id, const QTreeWidget *tree);
  // After an item started playing with add-to-list set: select its row or
  // append it, then save.
  void AddPlayedItem(const TKsvPlayPtr &item) override;
  QTreeWidget *playListTree() const override { return tvPlayList; }
  // Adds a node after the last one and selects it (not selected when the
  // type is not a number).  Items without a decimal id are not added.
  static QTreeWidgetItem *AppendItem(const TKsvPlayPtr &item, QTreeWidget *tree);
  // A link command's item: position 0 before the first node, 1 after the
  // last; marks it when its cache file is missing; selects it on request.
  // Items without a decimal id are not added (null is returned).
  static QTreeWidgetItem *AddToPlayList(const TKsvPlayPtr &item, QTreeWidget *tree, int position,
                                        bool select);
  // Marks every playable node whose file is in neither the cache nor the
  // download folder.
  static void MarkUncachedItems(QTreeWidget *tree);
  // Removes the not-yet-cached mark of the row of `id` (the selected row
  // first, else the first row of that id).
  void ClearUncachedMark(int id);
  // The ids of every node (for pruning the cache).
  static QSet<QString> ListedIds(const QTreeWidget *tree);

  // A click on the list: plays the selected row's item (not added again).
  void tvPlayListClick();
  // The left-panel tab: selects tab 2 and shows the list page.
  void imgSelfSelMouseDown();
  // The organiser button: pressed picture, then the organiser (when one is
  // connected through openOrganiser).
  void imgDealPlayListMouseDown();

  // --- Connections made by the main window -----------------------------
  // Plays an item (the player host's PlayItem).
  std::function<void(const TKsvPlayPtr &, bool)> playItem;
  // Returns the previously active left tab to its normal picture.
  std::function<void()> releaseActiveListTab;
  // Shows a page of the left panel's page control.
  std::function<void(int)> showListPage;
  // Brings the list's scroll bar up to date (pnlScroll_2 unless replaced).
  std::function<void()> syncScrollBar;
  // Opens the list organiser on the play list (caption "整理游戏记录", mode "1").
  std::function<void()> openOrganiser;

Q_SIGNALS:
  // The list was written to its file.
  void saved();

private:
  bool m_fileDamaged = false;
};
