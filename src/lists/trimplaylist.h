#pragma once
// The list organiser: a modal dialog that reorders and deletes the entries
// of the play list (mode "1", caption "整理游戏记录") or of the favorites
// (mode "2", caption "整理收藏") on a copy loaded from the stored list, and
// saves the copy over it.  The copy has records of its own: whatever is
// fetched or played while the dialog is open carries on untouched, and
// closing without saving changes nothing on disk or in the main trees.
#include "player/core/ksvplay.h"
#include "widgets/wintemplate.h"

#include <functional>

class QLabel;
class QTreeWidget;
class TPlayList;
class TFavorites;
class tLxsimage;
struct TrimStep;

// What the organiser works on and with.
struct TTrimLists {
  TPlayList *playList = nullptr;    // the play list (its file, tvPlayList)
  TFavorites *favorites = nullptr;  // the favorites (tvFavorite)
  // The player host's PlayItem.
  std::function<void(const TKsvPlayPtr &, bool)> playItem;
  // Deletes the cache files of items not in the tree.
  std::function<void(QTreeWidget *)> pruneCache;
};

class TfrmTrimPlayList : public TfrmWinTemplate {
  Q_OBJECT
public:
  explicit TfrmTrimPlayList(const TTrimLists &lists, QWidget *owner = nullptr);

  // Opens the organiser modally with this caption and mode and destroys it
  // when it closed.
  static void Open(const TTrimLists &lists, const QString &caption, const QString &mode,
                   QWidget *owner = nullptr);

  // The dialog's own tree (280 wide, rows of 36).
  QTreeWidget *tvPlayList = nullptr;
  // Hidden mode label: "1" the play list, "2" the favorites.
  QLabel *lblCurFun = nullptr;
  tLxsimage *imgDel = nullptr, *imgUp = nullptr, *imgDown = nullptr, *imgSave = nullptr;
  // Background pictures of the tree (for the tree skin).
  tLxsimage *imgTvBg = nullptr, *imgTvBg2 = nullptr;
  // The tree's modified mark: 0 when loaded, 1 after any change.
  int modified = 0;

  // Loads the stored list of the mode into the dialog's tree (at the first
  // showing).
  void FormShow();
  void imgDelClick();
  void imgUpClick();
  void imgDownClick();
  // Saves the copy when it was changed; on success the dialog closes.
  void imgSaveClick();

protected:
  void showEvent(QShowEvent *e) override;
  void closeEvent(QCloseEvent *e) override;

private:
  // The save itself: true when the stored list was replaced (the message
  // of the outcome is shown either way).
  bool saveList();
  // Asks to save unsaved changes; false when the dialog must stay open (the
  // save that was asked for failed).
  bool FormClose();
  void apply(const TrimStep &step, int selectedAfter);

  TTrimLists m_lists;
  bool m_shown = false;
};
