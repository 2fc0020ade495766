#include "lists/trimplaylist.h"

#include "widgets/treeskin.h"

#include "base/globals.h"
#include "lists/core/favoritesfile.h"
#include "lists/core/trimlist.h"
#include "lists/favorites.h"
#include "lists/playlist.h"
#include "player/listnodes.h"
#include "widgets/dialogs.h"
#include "widgets/lxsimage.h"

#include <QCloseEvent>
#include <QLabel>
#include <QTreeWidget>

namespace {

constexpr QSize DialogSize(308, 381);
constexpr int TreeWidth = 280;
constexpr int BarHeight = 30;
constexpr int ButtonY = 5;
constexpr QSize ButtonSize(55, 21);

TrimList ListOf(const QTreeWidget *tree)
{
  TrimList list;
  list.items = TreeItems(tree, &list.selected);
  return list;
}

}  // namespace

TfrmTrimPlayList::TfrmTrimPlayList(const TTrimLists &lists, QWidget *owner)
    : TfrmWinTemplate(owner, DialogSize), m_lists(lists)
{
  setObjectName(QStringLiteral("frmTrimPlayList"));
  setCaption(QStringLiteral("列表整理"));

  const int treeHeight = pnlMain->height() - BarHeight;
  imgTvBg = new tLxsimage(pnlMain);
  imgTvBg->setObjectName(QStringLiteral("imgTvBg"));
  LoadSkinImage(imgTvBg, QStringLiteral("TvBg"));
  imgTvBg->hide();
  imgTvBg2 = new tLxsimage(pnlMain);
  imgTvBg2->setObjectName(QStringLiteral("imgTvBg2"));
  LoadSkinImage(imgTvBg2, QStringLiteral("TvBg2"));
  imgTvBg2->hide();

  tvPlayList = NewListTree(pnlMain, QStringLiteral("tvPlayList"));
  tvPlayList->setGeometry(0, 0, TreeWidth, treeHeight);
  tvPlayList->setItemsExpandable(false);

  lblCurFun = new QLabel(QStringLiteral("1"), pnlMain);
  lblCurFun->setObjectName(QStringLiteral("lblCurFun"));
  lblCurFun->hide();

  const int y = treeHeight + ButtonY;
  imgDel = AddButton(pnlMain, QStringLiteral("managerlistdel"), QRect(QPoint(8, y), ButtonSize),
                     [this] { imgDelClick(); });
  imgUp = AddButton(pnlMain, QStringLiteral("managerlistup"), QRect(QPoint(67, y), ButtonSize),
                    [this] { imgUpClick(); });
  imgDown = AddButton(pnlMain, QStringLiteral("managerlistdown"), QRect(QPoint(127, y), ButtonSize),
                      [this] { imgDownClick(); });
  imgSave = AddButton(pnlMain, QStringLiteral("managerlistsave"), QRect(QPoint(211, y), ButtonSize),
                      [this] { imgSaveClick(); });
  imgDel->setObjectName(QStringLiteral("imgDel"));
  imgUp->setObjectName(QStringLiteral("imgUp"));
  imgDown->setObjectName(QStringLiteral("imgDown"));
  imgSave->setObjectName(QStringLiteral("imgSave"));
}

void TfrmTrimPlayList::Open(const TTrimLists &lists, const QString &caption, const QString &mode,
                            QWidget *owner)
{
  auto *dlg = new TfrmTrimPlayList(lists, owner);
  dlg->setCaption(caption);
  dlg->lblCurFun->setText(mode);
  RunModal(dlg);
}

void TfrmTrimPlayList::showEvent(QShowEvent *e)
{
  if (!m_shown) {
    m_shown = true;
    FormShow();
  }
  TfrmWinTemplate::showEvent(e);
}

void TfrmTrimPlayList::FormShow()
{
  modified = 0;
  if (lblCurFun->text() == u"1") {
    if (m_lists.playList) {
      // The copy's records are the dialog's own; the item being played or
      // fetched stays the current one.
      const TKsvPlayPtr current = CurrentItem;
      m_lists.playList->LoadListFile(LastPlayedFile, tvPlayList, -1);
      CurrentItem = current;
    }
  } else if (lblCurFun->text() == u"2") {
    TFavorites::LoadFavorites(tvPlayList, QStringLiteral("mng"));
  }
}

void TfrmTrimPlayList::apply(const TrimStep &step, int selectedAfter)
{
  if (step.outcome != TrimOutcome::Done)
    return;
  if (step.removed) {
    delete tvPlayList->takeTopLevelItem(step.from);
  } else {
    QTreeWidgetItem *node = tvPlayList->takeTopLevelItem(step.from);
    tvPlayList->insertTopLevelItem(step.to, node);
  }
  SelectNode(tvPlayList, selectedAfter >= 0 ? tvPlayList->topLevelItem(selectedAfter) : nullptr);
  modified = 1;
}

void TfrmTrimPlayList::imgDelClick()
{
  TrimList list = ListOf(tvPlayList);
  const TrimStep step = TrimDelete(list);
  apply(step, list.selected);
}

void TfrmTrimPlayList::imgUpClick()
{
  TrimList list = ListOf(tvPlayList);
  const TrimStep step = TrimMoveUp(list);
  if (step.outcome != TrimOutcome::Done) {
    ShowInfoBox(TrimMessage(step.outcome), this);
    return;
  }
  apply(step, list.selected);
}

void TfrmTrimPlayList::imgDownClick()
{
  TrimList list = ListOf(tvPlayList);
  const TrimStep step = TrimMoveDown(list);
  if (step.outcome != TrimOutcome::Done) {
    ShowInfoBox(TrimMessage(step.outcome), this);
    return;
  }
  apply(step, list.selected);
}

void TfrmTrimPlayList::imgSaveClick()
{
  if (modified != 1) {
    ShowInfoBox(QStringLiteral("列表未调整。"), this);
    return;
  }
  if (saveList())
    close();
}

bool TfrmTrimPlayList::saveList()
{
  const QString mode = lblCurFun->text();
  if (mode == u"1") {
    bool ok = false;
    try {
      TPlayList *playList = m_lists.playList;
      ok = playList && playList->SavePlayList(tvPlayList) &&
           playList->LoadListFile(LastPlayedFile, playList->tvPlayList, 100);
      if (ok) {
        // The entry selected in the stored list (the dialog's selection)
        // plays; an emptied list plays nothing.
        const TKsvPlayPtr item = NodeItem(SelectedNode(playList->tvPlayList));
        if (item && m_lists.playItem)
          m_lists.playItem(item, true);
        if (m_lists.pruneCache)
          m_lists.pruneCache(tvPlayList);
      }
    } catch (...) {
      ok = false;
    }
    if (!ok) {
      ShowInfoBox(QStringLiteral("游戏记录整理失败。"), this);
      return false;
    }
    ShowInfoBox(QStringLiteral("游戏记录整理完成。"), this);
    modified = 0;
    return true;
  }
  if (mode == u"2") {
    bool ok = false;
    QString keptAside;
    try {
      ok = TFavorites::CreateFavoriteXML(tvPlayList, FavoritesFilePath(), &keptAside);
      if (!keptAside.isEmpty())
        TFavorites::TellKeptAside(keptAside);
      if (ok && m_lists.favorites)
        ok = m_lists.favorites->ReloadFavorites();
    } catch (...) {
      ok = false;
    }
    if (!ok) {
      ShowInfoBox(QStringLiteral("我的收藏整理失败。"), this);
      return false;
    }
    ShowInfoBox(QStringLiteral("我的收藏整理完成。"), this);
    modified = 0;
    return true;
  }
  return false;
}

bool TfrmTrimPlayList::FormClose()
{
  if (modified != 1)
    return true;
  if (!AskYesNo(QStringLiteral("列表已调整,是否保存?"), this))
    return true;  // the changes are dropped
  return saveList();
}

void TfrmTrimPlayList::closeEvent(QCloseEvent *e)
{
  // A save asked for on closing that failed keeps the dialog and its
  // changes, so nothing is lost unasked.
  if (!FormClose()) {
    e->ignore();
    return;
  }
  TfrmWinTemplate::closeEvent(e);
}
