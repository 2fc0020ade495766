#include "player/contentfetch.h"

#include "base/globals.h"
#include "net/enginelibrary.h"
#include "player/core/cache.h"
#include "player/listnodes.h"
#include "player/pagebrowser.h"

#include <QDir>
#include <QFileInfo>
#include <QTimer>
#include <QTreeWidget>
#include <utility>

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

bool TContentFetch::newTask(std::int32_t id, const QString &address, const QString &path)
{
  if (!m_engine || !m_engine->NewDownload(id, address, path))
    return false;
  m_running[id].append(false);
  return true;
}

bool TContentFetch::stopTask(std::int32_t id)
{
  if (!m_engine)
    return false;
  const bool stopped = m_engine->StopDownload(id);
  // The newest task of that id, if it has not reported its end yet, was
  // stopped here: its end report is expected and means nothing.
  auto running = m_running.find(id);
  if (stopped && running != m_running.end())
    running.value().last() = true;
  return stopped;
}

void TContentFetch::StartFetch(const TKsvPlayPtr &item)
{
  if (!item || !IsContentId(item->id))
    return;
  Q_EMIT fetchStarted(item);

  item->cachePath = CachePathOf(*item);
  item->name = SpacedName(item->name);
  item->address = ContentAddress(*item);
  item->number = ContentIdValue(item->id);
  CurrentItem = item;
  m_item = item;

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
  if (newTask(item->number, item->address, item->cachePath)) {
    TimerDownload->start();
  } else {
    m_item.reset();
    Q_EMIT statusChanged(ConnectFailed, false);
  }
}

QString TContentFetch::AdvertisementAddress()
{
  return DownloadAdsUrl.isEmpty()
             ? QString()
             : DownloadAdsUrl + u'_' + QString::number(VarType) + QStringLiteral(".html");
}

void TContentFetch::TimerDownloadTimer()
{
  const TKsvPlayPtr item = m_item;
  if (!item) {
    TimerDownload->stop();
    return;
  }
  std::int32_t percent = 0, spare = 0, total = 0;
  if (m_engine && m_engine->GetProgInfo(item->number, &percent, &spare, &total))
    Q_EMIT statusChanged(FetchProgressText(percent, total), true);
  if (FileExists(item->cachePath)) {
    TimerDownload->stop();
    m_item.reset();
    Q_EMIT itemCached(item->number);
    Q_EMIT fetchReady(item);
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
  if (newTask(id, ContentAddress(*next), path)) {
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
  // Every task this fetch started reports its end once, whatever made it end;
  // the oldest task of an id ends first.
  auto running = m_running.find(id);
  if (running == m_running.end())
    return;  // not a task of ours (or already reported)
  const bool stoppedHere = running.value().takeFirst();
  if (running.value().isEmpty())
    m_running.erase(running);
  if (stoppedHere)
    return;  // stopped on purpose: its end means nothing for a later task
  if (percent >= 100 && id == PrefetchId && PrefetchId != 0) {
    if (FileExists(PrefetchPath))
      Q_EMIT itemCached(id);
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
  const TKsvPlayPtr item = m_item;
  if (!item || !TimerDownload->isActive() || item->number != id || id == 0)
    return;
  if (percent >= 100) {
    // Complete: hand the item over now rather than at the next tick.
    TimerDownloadTimer();
    return;
  }
  TimerDownload->stop();
  m_item.reset();
  Q_EMIT statusChanged(ConnectFailed, false);
  Q_EMIT fetchFailed(item);
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
  if (const TKsvPlayPtr item = std::exchange(m_item, nullptr); item && item->number != 0)
    stopTask(item->number);
}
