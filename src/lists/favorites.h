#pragma once
// The favorites ("我的收藏", tab "收藏"): the tree tvFavorite on page 2 of the
// left panel, kept in step with the favorites file (lists/core/
// favoritesfile.h).  The play page's favorite button adds the current item,
// a click on a row plays it, and the organiser button opens the list
// organiser on the favorites.
//
// The tree is read from the file the first time the page is shown or a
// favorite is first added, and again after the organiser saved.
#include "player/core/ksvplay.h"

#include <QObject>
#include <QString>
#include <functional>

class QTreeWidget;
class TreeScrollBar;
class QWidget;
class tLxsimage;
class SkinButton;

class TFavorites : public QObject {
  Q_OBJECT
public:
  // Builds tvFavorite (rows of 36 pixels) and the organiser button
  // imgDealFavoriteList inside `page` (the favorites page, with a box
  // layout).  The page's first showing loads the tree.
  explicit TFavorites(QWidget *page, QObject *parent = nullptr);

  QWidget *tbsFavorite = nullptr;
  QTreeWidget *tvFavorite = nullptr;
  TreeScrollBar *pnlScroll_3 = nullptr;  // its picture scroll bar
  tLxsimage *imgDealFavoriteList = nullptr;
  SkinButton *dealFavoriteListSkin = nullptr;
  // The page's mark: 0 until the tree was first loaded.
  int favoriteMark = 0;

  // Image of every favorite in the main window's tree, and of a favorite of
  // type "0" in any tree.
  static constexpr int FavoriteImage = 10;
  static constexpr int NotPlayableImage = 0;

  // Fills `tree` from the favorites file.  Mode "play" (the main window's
  // tree) gives every favorite image 10, mode "mng" (the organiser) the
  // type's image; type "0" gets image 0 in both.  The tree is emptied first;
  // no file gives an empty tree.  Returns false (the tree empty) when the
  // file is not well-formed or cannot be read.
  static bool LoadFavorites(QTreeWidget *tree, const QString &mode);
  // Writes the tree to `file` with the backup rule (CreateFavoriteXML of
  // the core).  `keptAside`, when given, receives the name a damaged file
  // was kept under (empty when none was).
  static bool CreateFavoriteXML(QTreeWidget *tree, const QString &file,
                                QString *keptAside = nullptr);

  // Tells the user (once, when it happens) that a favorites file that was
  // not well-formed was kept under the name `keptAside`.
  static void TellKeptAside(const QString &keptAside);

  // The favorites page is shown: loads tvFavorite the first time.
  void tbsFavoriteShow();
  // The play page's favorite button: adds CurrentItem (one favorite per id).
  void imgFavorite2MouseDown();
  // A click on the list: plays the selected favorite (not added to the play
  // list).
  void tvFavoriteClick();
  // The left-panel tab: selects tab 3 and shows the favorites page.
  void imgFavoriteMouseDown();
  // The organiser button: the organiser on the favorites (when connected).
  void imgDealFavoriteListMouseDown();

  // The favorites were written; reloads tvFavorite from the file (after the
  // organiser saved).
  bool ReloadFavorites();

  // --- Connections made by the main window -----------------------------
  std::function<void(const TKsvPlayPtr &, bool)> playItem;
  std::function<void()> releaseActiveListTab;
  std::function<void(int)> showListPage;
  std::function<void()> syncScrollBar;
  // Opens the list organiser on the favorites (caption "整理收藏", mode "2").
  std::function<void()> openOrganiser;

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;
};
