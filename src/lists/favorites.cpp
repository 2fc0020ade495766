#include "lists/favorites.h"

#include "base/globals.h"
#include "lists/core/favoritesfile.h"
#include "lists/playlist.h"
#include "player/listnodes.h"
#include "widgets/dialogs.h"
#include "widgets/lxsimage.h"
#include "widgets/treeskin.h"

#include <QBoxLayout>
#include <QEvent>
#include <QFileInfo>
#include <QTreeWidget>

namespace {

constexpr int RowHeight = 36;

QTreeWidgetItem *NewNode(const TKsvPlayPtr &item, int image)
{
  auto *node = new QTreeWidgetItem;
  node->setText(0, SpacedName(item->name));
  node->setSizeHint(0, QSize(0, RowHeight));
  SetNodeItem(node, item);
  SetNodeImage(node, image);
  SetNodeOverlay(node, -1);
  return node;
}

}  // namespace

TFavorites::TFavorites(QWidget *page, QObject *parent) : QObject(parent), tbsFavorite(page)
{
  tvFavorite = NewListTree(page, QStringLiteral("tvFavorite"));
  // The picture scroll bar of this list tree.
  pnlScroll_3 = new TreeScrollBar(tvFavorite, QStringLiteral("_3"), 3);
  syncScrollBar = [this] { SyncTreeScrollBar(tvFavorite, pnlScroll_3); };

  imgDealFavoriteList = new tLxsimage(page);
  imgDealFavoriteList->setObjectName(QStringLiteral("imgDealFavoriteList"));
  imgDealFavoriteList->setCursor(Qt::PointingHandCursor);
  imgDealFavoriteList->setToolTip(QStringLiteral("整理收藏"));
  dealFavoriteListSkin = new SkinButton(imgDealFavoriteList, QStringLiteral("managerlist"));
  connect(dealFavoriteListSkin, &SkinButton::pressed, this, [this](Qt::MouseButton button) {
    if (button == Qt::LeftButton)
      imgDealFavoriteListMouseDown();
  });

  if (auto *box = qobject_cast<QBoxLayout *>(page->layout())) {
    box->addWidget(tvFavorite, 1);
    auto *strip = new QHBoxLayout;
    strip->setContentsMargins(4, 2, 4, 2);
    strip->addStretch(1);
    strip->addWidget(imgDealFavoriteList);
    box->addLayout(strip);
  }

  connect(tvFavorite, &QTreeWidget::itemClicked, this,
          [this](QTreeWidgetItem *, int) { tvFavoriteClick(); });
  page->installEventFilter(this);
}

bool TFavorites::eventFilter(QObject *watched, QEvent *event)
{
  if (watched == tbsFavorite && event->type() == QEvent::Show)
    tbsFavoriteShow();
  return QObject::eventFilter(watched, event);
}

bool TFavorites::LoadFavorites(QTreeWidget *tree, const QString &mode)
{
  if (!tree)
    return false;
  tree->clear();
  const FavoritesRead read = ReadFavoritesFile(FavoritesFilePath());
  if (read.status != FavoritesRead::Loaded)
    return read.status == FavoritesRead::Missing;
  const bool manage = mode == u"mng";
  for (const TKsvPlayPtr &item : read.items) {
    int image = manage ? NodeImageForType(item->type) : FavoriteImage;
    if (item->type == u"0")
      image = NotPlayableImage;
    tree->addTopLevelItem(NewNode(item, image));
  }
  return true;
}

bool TFavorites::CreateFavoriteXML(QTreeWidget *tree, const QString &file, QString *keptAside)
{
  const FavoritesWrite w = ::CreateFavoriteXML(TreeItems(tree), file);
  if (keptAside)
    *keptAside = w.keptAside;
  return w.ok;
}

void TFavorites::TellKeptAside(const QString &keptAside)
{
  ShowInfoBox(QStringLiteral("原\"我的收藏\"文件已损坏,无法读取,已另存为%1。")
                  .arg(QFileInfo(keptAside).fileName()));
}

void TFavorites::tbsFavoriteShow()
{
  if (favoriteMark != 0)
    return;
  favoriteMark = 1;
  LoadFavorites(tvFavorite, QStringLiteral("play"));
  if (syncScrollBar)
    syncScrollBar();
}

bool TFavorites::ReloadFavorites()
{
  favoriteMark = 1;
  const bool ok = LoadFavorites(tvFavorite, QStringLiteral("play"));
  if (syncScrollBar)
    syncScrollBar();
  return ok;
}

void TFavorites::imgFavorite2MouseDown()
{
  // The pressed picture is shown by the button's state rule.
  const TKsvPlayPtr item = CurrentItem;
  if (!item)
    return;
  tbsFavoriteShow();
  if (TPlayList::FindInPlayList(item->id, tvFavorite) != u"-1") {
    ShowInfoBox(QStringLiteral("该节目在\"我的收藏\"已存在。"));
    return;
  }
  QTreeWidgetItem *node = NewNode(item, FavoriteImage);
  tvFavorite->addTopLevelItem(node);
  QString keptAside;
  const bool ok = CreateFavoriteXML(tvFavorite, FavoritesFilePath(), &keptAside);
  if (!keptAside.isEmpty())
    TellKeptAside(keptAside);
  if (!ok) {
    // The tree shows what is stored: the favorite is taken back out, so a
    // second try is not refused as a duplicate.
    delete node;
    ShowInfoBox(QStringLiteral("加入\"我的收藏\"失败。"));
    return;
  }
  if (syncScrollBar)
    syncScrollBar();
  ShowInfoBox(QStringLiteral("已加入\"我的收藏\"。"));
}

void TFavorites::tvFavoriteClick()
{
  const TKsvPlayPtr item = NodeItem(SelectedNode(tvFavorite));
  if (item && playItem)
    playItem(item, false);
}

void TFavorites::imgFavoriteMouseDown()
{
  if (ActiveListTab != 3) {
    if (releaseActiveListTab)
      releaseActiveListTab();
    ActiveListTab = 3;
  }
  if (showListPage)
    showListPage(2);
  tbsFavoriteShow();
}

void TFavorites::imgDealFavoriteListMouseDown()
{
  if (openOrganiser)
    openOrganiser();
}
