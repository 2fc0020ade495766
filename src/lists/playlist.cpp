#include "lists/playlist.h"

#include "base/globals.h"
#include "base/pathcase.h"
#include "base/routines.h"
#include "lists/core/playlistfile.h"
#include "player/listnodes.h"
#include "widgets/dialogs.h"
#include "widgets/lxsimage.h"
#include "widgets/treeskin.h"

#include <QBoxLayout>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QTimer>
#include <QTreeWidget>

namespace {

constexpr int RowHeight = 36;

QTreeWidgetItem *NewNode(const TKsvPlayPtr &item)
{
  auto *node = new QTreeWidgetItem;
  node->setText(0, SpacedName(item->name));
  node->setSizeHint(0, QSize(0, RowHeight));
  SetNodeItem(node, item);
  SetNodeOverlay(node, -1);
  return node;
}

bool FileExists(const QString &path) { return !path.isEmpty() && QFileInfo(path).isFile(); }

}  // namespace

TPlayList::TPlayList(QWidget *page, QObject *parent) : QObject(parent)
{
  tvPlayList = NewListTree(page, QStringLiteral("tvPlayList"));
  // The picture scroll bar of this list tree.
  pnlScroll_2 = new TreeScrollBar(tvPlayList, QStringLiteral("_2"), 2);
  syncScrollBar = [this] { SyncTreeScrollBar(tvPlayList, pnlScroll_2); };

  imgDealPlayList = new tLxsimage(page);
  imgDealPlayList->setObjectName(QStringLiteral("imgDealPlayList"));
  imgDealPlayList->setCursor(Qt::PointingHandCursor);
  imgDealPlayList->setToolTip(QStringLiteral("整理游戏记录"));
  dealPlayListSkin = new SkinButton(imgDealPlayList, QStringLiteral("managerlist"));
  connect(dealPlayListSkin, &SkinButton::pressed, this, [this](Qt::MouseButton button) {
    if (button == Qt::LeftButton)
      imgDealPlayListMouseDown();
  });

  if (auto *box = qobject_cast<QBoxLayout *>(page->layout())) {
    box->addWidget(tvPlayList, 1);
    auto *strip = new QHBoxLayout;
    strip->setContentsMargins(4, 2, 4, 2);
    strip->addStretch(1);
    strip->addWidget(imgDealPlayList);
    box->addLayout(strip);
  }

  connect(tvPlayList, &QTreeWidget::itemClicked, this,
          [this](QTreeWidgetItem *, int) { tvPlayListClick(); });
}

bool TPlayList::LoadListFile(const QString &file, QTreeWidget *tree, int limit)
{
  if (!tree)
    return false;
  const QString path = ResolveCase(file);
  const bool liveFile = !LastPlayedFile.isEmpty() && path == ResolveCase(LastPlayedFile);
  const std::optional<QStringList> lines = ReadListLines(path);
  if (!lines) {
    if (liveFile && QFileInfo::exists(path))
      m_fileDamaged = true;
    return false;
  }
  tree->clear();

  ParsedPlayList list = ParseListLines(*lines);
  if (liveFile)
    m_fileDamaged = list.damagedLines > 0;
  // Trimming is decided on the list as read; the nodes are made from what
  // is kept, which gives the same tree as deleting the first nodes.
  const bool trimmed = TrimParsedList(list, limit);
  QTreeWidgetItem *selectedNode = nullptr;
  for (int i = 0; i < static_cast<int>(list.items.size()); ++i) {
    const TKsvPlayPtr &item = list.items.at(i);
    QTreeWidgetItem *node = NewNode(item);
    SetNodeImage(node, NodeImageForType(item->type));
    tree->addTopLevelItem(node);
    if (i == list.selected) {
      CurrentItem = item;
      selectedNode = node;
    }
  }
  SelectNode(tree, selectedNode);
  if (trimmed)
    SavePlayList(tree);
  MarkUncachedItems(tree);
  if (syncScrollBar)
    syncScrollBar();
  return true;
}

bool TPlayList::SavePlayList(QTreeWidget *tree)
{
  if (!tree || LastPlayedFile.isEmpty())
    return false;
  const QString path = ResolveCase(LastPlayedFile);
  // What could not be read of a damaged file is kept beside it before the
  // file is replaced; without that copy the file stays as it is.
  QString aside;
  if (m_fileDamaged && QFileInfo::exists(path)) {
    QFile damaged(path);
    if (!damaged.open(QIODevice::ReadOnly))
      return false;
    const QByteArray bytes = damaged.readAll();
    if (damaged.error() != QFileDevice::NoError)
      return false;
    aside = DamagedCopyName(path);
    if (!WriteFileAtomically(aside, bytes))
      return false;
  }
  int selected = -1;
  const std::vector<TKsvPlayPtr> items = TreeItems(tree, &selected);
  const bool ok = WriteFileAtomically(path, FormatListFile(items, selected));
  if (ok)
    m_fileDamaged = false;
  if (!aside.isEmpty()) {
    // Told once the caller's work is done (saves happen inside plays).
    const QString name = QFileInfo(aside).fileName();
    QTimer::singleShot(0, this, [name] {
      ShowInfoBox(
          QStringLiteral("原\"游戏记录\"文件已损坏,部分内容无法读取,已另存为%1。").arg(name));
    });
  }
  if (ok)
    Q_EMIT saved();
  return ok;
}

QString TPlayList::FindInPlayList(const QString &id, const QTreeWidget *tree)
{
  if (tree) {
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
      const TKsvPlayPtr item = NodeItem(tree->topLevelItem(i));
      if (item && item->id == id)
        return QString::number(i);
    }
  }
  return QStringLiteral("-1");
}

void TPlayList::AddPlayedItem(const TKsvPlayPtr &item)
{
  if (!item)
    return;
  const QString found = FindInPlayList(item->id, tvPlayList);
  bool ok = false;
  const int index = found.toInt(&ok);
  if (found != u"-1" && ok && index >= 0 && index < tvPlayList->topLevelItemCount())
    SelectNode(tvPlayList, tvPlayList->topLevelItem(index));
  else
    AppendItem(item, tvPlayList);
  SavePlayList(tvPlayList);
}

QTreeWidgetItem *TPlayList::AppendItem(const TKsvPlayPtr &item, QTreeWidget *tree)
{
  if (!item || !tree || !IsContentId(item->id))
    return nullptr;
  QTreeWidgetItem *node = NewNode(item);
  tree->addTopLevelItem(node);
  if (IsIntegerText(item->type)) {
    SetNodeImage(node, NodeImageForType(item->type));
    SelectNode(tree, tree->topLevelItem(tree->topLevelItemCount() - 1));
  } else {
    SetNodeImage(node, 3);
  }
  return node;
}

QTreeWidgetItem *TPlayList::AddToPlayList(const TKsvPlayPtr &item, QTreeWidget *tree, int position,
                                          bool select)
{
  if (!item || !tree || !IsContentId(item->id))
    return nullptr;
  QTreeWidgetItem *node = NewNode(item);
  if (tree->topLevelItemCount() > 0 && position == 0)
    tree->insertTopLevelItem(0, node);
  else
    tree->addTopLevelItem(node);
  if (!IsIntegerText(item->type)) {
    SetNodeImage(node, 3);
    return node;
  }
  SetNodeImage(node, NodeImageForType(item->type));
  item->cachePath = CachePathOf(*item);
  if (!FileExists(item->cachePath))
    SetNodeOverlay(node, UncachedOverlay);
  if (select)
    SelectNode(tree, node);
  return node;
}

void TPlayList::MarkUncachedItems(QTreeWidget *tree)
{
  if (!tree)
    return;
  for (int i = 0; i < tree->topLevelItemCount(); ++i) {
    QTreeWidgetItem *node = tree->topLevelItem(i);
    const TKsvPlayPtr item = NodeItem(node);
    if (!item || item->type == u"0")
      continue;
    if (!FileExists(CachePathOf(*item)) && !FileExists(DownloadPathOf(*item)))
      SetNodeOverlay(node, UncachedOverlay);
  }
}

QSet<QString> TPlayList::ListedIds(const QTreeWidget *tree) { return ListedNodeIds(tree); }

void TPlayList::tvPlayListClick()
{
  const TKsvPlayPtr item = NodeItem(SelectedNode(tvPlayList));
  if (item && playItem)
    playItem(item, false);
}

void TPlayList::imgSelfSelMouseDown()
{
  if (ActiveListTab != 2) {
    if (releaseActiveListTab)
      releaseActiveListTab();
    ActiveListTab = 2;
  }
  if (showListPage)
    showListPage(1);
}

void TPlayList::imgDealPlayListMouseDown()
{
  // The pressed picture is shown by the button's state rule.
  if (openOrganiser)
    openOrganiser();
}

void TPlayList::ClearUncachedMark(int id)
{
  QTreeWidget *tree = tvPlayList;
  const QString text = QString::number(id);
  QTreeWidgetItem *selected = SelectedNode(tree);
  if (selected) {
    const TKsvPlayPtr item = NodeItem(selected);
    if (item && item->id == text) {
      SetNodeOverlay(selected, -1);
      return;
    }
  }
  for (int i = 0; i < tree->topLevelItemCount(); ++i) {
    QTreeWidgetItem *node = tree->topLevelItem(i);
    const TKsvPlayPtr item = NodeItem(node);
    if (item && item->id == text) {
      SetNodeOverlay(node, -1);
      return;
    }
  }
}
