#include "player/contentfetch.h"

#include "base/globals.h"
#include "net/enginelibrary.h"
#include "player/core/cache.h"
#include "player/listnodes.h"
#include "player/pagebrowser.h"
#include "player/playerhost.h"
#include "player/playqueue.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QTimer>
#include <QTreeWidget>

namespace {

const QString ConnectFailed = QStringLiteral("服务器连接失败");

bool FileExists(const QString &path) { return !path.isEmpty() && QFileInfo(path).isFile(); }

bool MakeFolderOf(const QString &path) { return QDir().mkpath(QFileInfo(path).absolutePath()); }

}  // namespace

TContentFetch::TContentFetch(IEngine *engine, QTimer *timerDownload, QObject *parent)
    : QObject(parent), TimerDownload(timerDownload)
{
  if (!TimerDownload) {
    TimerDownload = new QTimer(this);
    TimerDownload->setObjectName(QStringLiteral("TimerDownload"));
  }
  TimerDownload->setInterval(1000);
  TimerDownload->stop();
  connect(TimerDownload, &QTimer::timeout, this, &TContentFetch::TimerDownloadTimer);
  setEngine(engine);
}

void TContentFetch::setEngine(IEngine *engine)
{
  if (m_engine)
    disconnect(m_engine, &IEngine::taskEnded, this, &TContentFetch::TaskEndCallback);
  m_engine = engine;
  if (m_engine)
    connect(m_engine, &IEngine::taskEnded, this, &TContentFetch::TaskEndCallback);
}

bool TContentFetch::stopTask(std::int32_t id)
{
  if (!m_engine)
    return false;
  // A stopped task still reports its end once; remember to expect it.
  const bool stopped = m_engine->StopDownload(id);
  if (stopped)
    ++m_stoppedReports[id];
  return stopped;
}

void TContentFetch::StartFetch(const TKsvPlayPtr &item)
{
  if (!item || !IsContentId(item->id))
    return;
  if (m_host) {
    m_host->setDownloadButton(false, QStringLiteral("正在缓冲,不要重复下载。"));
    m_host->setStatusFetching(true);
    if (m_host->isFullScreen())
      m_host->LeaveFullScreen();
    m_host->showPageBrowser();
    OpenPageChecked(m_host->wbMp3,
                    DownloadAdsUrl.isEmpty() ? QString()
                                             : DownloadAdsUrl + u'_' + QString::number(VarType) +
                                                   QStringLiteral(".html"),
                    OfflinePagePath());
  }

  item->cachePath = CachePathOf(*item);
  item->name = SpacedName(item->name);
  item->address = ContentAddress(*item);
  item->number = ContentIdValue(item->id);
  CurrentItem = item;

  if (PrefetchId != 0 && PrefetchId == item->number) {
    // The prefetch already fetches this item: follow it.
    PrefetchId = 0;
    PrefetchPath.clear();
    TimerDownload->start();
    return;
  }
  if (PrefetchId != 0) {
    stopTask(PrefetchId);
    PrefetchId = 0;
    PrefetchPath.clear();
  }

  MakeFolderOf(item->cachePath);
  if (m_engine && m_engine->NewDownload(item->number, item->address, item->cachePath)) {
    TimerDownload->start();
  } else if (m_host) {
    m_host->lblStatus->setText(ConnectFailed);
  }
}

void TContentFetch::TimerDownloadTimer()
{
  const TKsvPlayPtr item = CurrentItem;
  if (!item) {
    TimerDownload->stop();
    return;
  }
  std::int32_t percent = 0, spare = 0, total = 0;
  if (m_engine && m_engine->GetProgInfo(item->number, &percent, &spare, &total) && m_host) {
    QFont bold = m_host->lblStatus->font();
    bold.setBold(true);
    m_host->lblStatus->setFont(bold);
    m_host->lblStatus->setText(FetchProgressText(percent, total));
  }
  if (FileExists(item->cachePath)) {
    TimerDownload->stop();
    setPlayOverlay(item->number);
    if (m_host)
      m_host->PlayItem(item, true);
  }
}

void TContentFetch::PrefetchNext(QTreeWidget *playList)
{
  QTreeWidgetItem *selected = SelectedNode(playList);
  if (!selected)
    return;
  const int index = playList->indexOfTopLevelItem(selected);
  if (index < 0)
    return;
  const int nextIndex = index + 1 < playList->topLevelItemCount() ? index + 1 : 0;
  const TKsvPlayPtr next = NodeItem(playList->topLevelItem(nextIndex));
  if (!next || next->type == u"0" || !IsContentId(next->id))
    return;
  const QString path = CachePathOf(*next);
  if (FileExists(path))
    return;
  MakeFolderOf(path);
  const std::int32_t id = ContentIdValue(next->id);
  if (m_engine && m_engine->NewDownload(id, ContentAddress(*next), path)) {
    PrefetchId = id;
    PrefetchPath = path;
  }
}

void TContentFetch::TaskEndCallback(int id, int percent)
{
  if (belongsToDownloadWindow && belongsToDownloadWindow(id)) {
    if (downloadWindowTaskEnd)
      downloadWindowTaskEnd(id, percent);
    return;
  }
  if (percent < 100) {
    auto stopped = m_stoppedReports.find(id);
    if (stopped != m_stoppedReports.end()) {
      // The end of a task stopped here on purpose.
      if (--stopped.value() <= 0)
        m_stoppedReports.erase(stopped);
      return;
    }
  }
  if (percent >= 100 && id == PrefetchId && PrefetchId != 0) {
    if (FileExists(PrefetchPath))
      setPlayOverlay(id);
    PrefetchId = 0;
    PrefetchPath.clear();
    return;
  }
  if (percent < 100 && id == PrefetchId && PrefetchId != 0) {
    // A failed prefetch is no longer running: a later play request for
    // the item must start a fetch of its own rather than wait for it.
    PrefetchId = 0;
    PrefetchPath.clear();
    return;
  }
  const TKsvPlayPtr item = CurrentItem;
  if (!item || !TimerDownload->isActive() || item->number != id || id == 0)
    return;
  if (percent >= 100) {
    // Complete: hand the item over now rather than at the next tick.
    TimerDownloadTimer();
    return;
  }
  TimerDownload->stop();
  if (m_host) {
    QFont normal = m_host->lblStatus->font();
    normal.setBold(false);
    m_host->lblStatus->setFont(normal);
    m_host->lblStatus->setText(ConnectFailed);
  }
  Q_EMIT fetchFailed(item);
}

void TContentFetch::setPlayOverlay(int id)
{
  if (!m_list)
    return;
  QTreeWidget *tree = m_list->playListTree();
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

int TContentFetch::FlvCurDownloadPercent(const QString &id) const
{
  const std::int32_t value = ContentIdValue(id);
  if (value < 0 || !m_engine)
    return -1;
  std::int32_t percent = 0, spare = 0, total = 0;
  if (!m_engine->GetProgInfo(value, &percent, &spare, &total))
    return -1;
  return percent;
}

void TContentFetch::PruneCache(QTreeWidget *playList)
{
  PruneCacheFolder(CacheDir, ListedNodeIds(playList));
}

void TContentFetch::StopCurrentFetch()
{
  TimerDownload->stop();
  if (CurrentItem && CurrentItem->number != 0)
    stopTask(CurrentItem->number);
}
